#include "packer/workbook_item.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "office/agile_encryption.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"
#include "packer/progress.h"
#include "packer/size_limits.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kPiece = 4 * 1024 * 1024;
constexpr char kCompoundFileSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

std::ifstream OpenWorkbook(const fs::path& workbook) {
  std::ifstream in(workbook, std::ios::binary);
  if (!in) throw BadInput(PathToUtf8(workbook), std::string("cannot open: ") + std::strerror(errno));
  return in;
}

// Calls `use` with each piece of the file, which must be `size` bytes long.
template <typename Use>
void ReadPieces(const fs::path& workbook, uint64_t size, Progress& progress, Use use) {
  std::ifstream in = OpenWorkbook(workbook);
  std::string piece(kPiece, '\0');
  uint64_t done = 0;
  while (done < size) {
    in.read(piece.data(), static_cast<std::streamsize>(std::min<uint64_t>(kPiece, size - done)));
    const auto got = static_cast<size_t>(in.gcount());
    if (got == 0) break;
    use(std::string_view(piece.data(), got));
    done += got;
    progress.Set(done);
  }
  if (in.bad() || done != size || in.peek() != std::char_traits<char>::eof()) {
    throw BadInput(PathToUtf8(workbook), "changed while it was read, or could not be read; build again");
  }
}

}  // namespace

uint64_t WorkbookSize(const fs::path& workbook) {
  const std::string name = PathToUtf8(workbook);
  std::error_code error;
  const fs::file_status status = fs::status(workbook, error);
  if (!fs::exists(status)) throw BadInput(name, "no such file");
  if (fs::is_directory(status)) throw BadInput(name, "is a folder, not a file");
  const uint64_t size = fs::file_size(workbook, error);
  if (error) throw BadInput(name, "cannot read its size: " + error.message());
  // The launcher writes an empty workbook item as an empty file, which the host cannot open.
  if (size == 0) throw BadInput(name, "is empty (0 bytes); name the workbook file itself");
  return size;
}

bool StartsAsCompoundFile(const fs::path& file) {
  std::ifstream in = OpenWorkbook(file);
  char start[8] = {};
  in.read(start, sizeof start);
  return in.gcount() == sizeof start && std::memcmp(start, kCompoundFileSignature, sizeof start) == 0;
}

std::string PackWorkbookFile(const fs::path& workbook, uint64_t size, uint64_t budget, Progress& progress) {
  ItemPacker packer(size + 4);
  std::string marker;
  AppendU32(marker, kWorkbookMarker);
  packer.Add(marker);
  ReadPieces(workbook, size, progress, [&](std::string_view piece) {
    packer.Add(piece);
    if (packer.PackedSize() > budget) throw BadInput(PathToUtf8(workbook), ImageLimitProblem(budget, true));
  });
  std::string item = packer.Finish();
  if (item.size() > budget) throw BadInput(PathToUtf8(workbook), ImageLimitProblem(budget, true));
  return item;
}

std::string ReadWorkbookFile(const fs::path& workbook, uint64_t size, Progress& progress) {
  std::string bytes;
  // Room for what encryption and the item's marker put around it, so that both happen
  // in this buffer (reserved address space costs no memory until it is written).
  bytes.reserve(size + EncryptedFileRoom(size) + 4);
  ReadPieces(workbook, size, progress, [&](std::string_view piece) { bytes += piece; });
  return bytes;
}
