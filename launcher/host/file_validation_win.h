#pragma once
// From version 14 the host validates every file it opens and sends one it doubts to a
// protected view, where no macro runs. The loader workbook is the launcher's own file,
// written a moment ago into the user's own temporary folder: validating it protects
// nothing, and a false doubt would stop the application before it starts.
#include <windows.h>
#include <oleauto.h>

// While it lives, the host skips file validation (FileValidation is
// msoFileValidationSkip); it puts the previous mode back when it goes. Nothing here
// fails the launch: a host without the property (before version 14) or one that refuses
// it opens the loader as it would have anyway. The mode is set only when it could be read
// first, so validation is never left off for the user's own files.
class FileValidationSkip {
 public:
  FileValidationSkip(IDispatch* host, int hostVersion);
  ~FileValidationSkip();
  FileValidationSkip(const FileValidationSkip&) = delete;
  FileValidationSkip& operator=(const FileValidationSkip&) = delete;

 private:
  IDispatch* host_;
  DISPID dispid_ = DISPID_UNKNOWN;
  LONG previous_ = 0;
  bool changed_ = false;
};
