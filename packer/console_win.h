#pragma once
// Text for a Windows console: the packer's messages are UTF-8, and a console shows
// bytes in its own code page, so non-ASCII paths and titles would come out garbled.
// Written to a console, they go through the console's wide output instead; written to
// a file or a pipe, they stay UTF-8 bytes.
#include <windows.h>

#include <memory>
#include <streambuf>
#include <string>

// A buffer that writes UTF-8 as UTF-16 to the console `console` (WriteConsoleW). A
// character cut between two writes is held until its last byte comes.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}
  ~ConsoleBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int sync() override;

 private:
  HANDLE console_;
  std::string pending_;
};

// The console buffer for a standard handle (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE); null
// when the handle is not a console.
std::unique_ptr<ConsoleBuffer> ConsoleBufferFor(DWORD standardHandle);
