#pragma once
// A loader workbook, or one of the formats inside it, that does not read back.
#include <stdexcept>
#include <string>

class LoaderFormatError : public std::runtime_error {
 public:
  explicit LoaderFormatError(const std::string& what) : std::runtime_error(what) {}
};
