#pragma once
// Failures of the packer. Each one carries the exit code its command ends with and a
// message of one line that names the file and the problem.
#include <stdexcept>
#include <string>

enum class ExitCode : int {
  kSuccess = 0,
  kPackingFailed = 1,  // the input was fine, but writing the result failed
  kBadInput = 2,       // a file, argument or configuration value the user must fix
};

class PackError : public std::runtime_error {
 public:
  PackError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode Code() const { return code_; }

 private:
  ExitCode code_;
};

// "<file>: <problem>", the shape of every message the packer prints on failure.
inline PackError BadInput(const std::string& file, const std::string& problem) {
  return PackError(ExitCode::kBadInput, file + ": " + problem);
}

inline PackError PackingFailed(const std::string& file, const std::string& problem) {
  return PackError(ExitCode::kPackingFailed, file + ": " + problem);
}
