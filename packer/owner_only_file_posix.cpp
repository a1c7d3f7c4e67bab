#include "packer/owner_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "packer/file_io.h"
#include "packer/pack_error.h"

void WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes) {
  const std::string name = PathToUtf8(path);
  // The mode is applied at creation, under the umask, which can only narrow it further.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) throw PackingFailed(name, std::string("cannot create it: ") + std::strerror(errno));
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool complete = written == bytes.size() && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!complete || !closed) {
    unlink(path.c_str());
    throw PackingFailed(name, "write failed (disk full?)");
  }
}

bool OthersMayRead(const std::filesystem::path& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}
