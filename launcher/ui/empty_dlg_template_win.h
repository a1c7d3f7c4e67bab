#pragma once
// An empty dialog template in memory (no controls, no font entry): the frame of a
// dialog whose controls are all created in code. It lives in one movable,
// zero-initialised global block that stays locked while the template exists.
#include <windows.h>

#include <cstddef>

class CEmptyDlgTemplate {
 public:
  CEmptyDlgTemplate() = default;
  CEmptyDlgTemplate(const CEmptyDlgTemplate&) = delete;
  CEmptyDlgTemplate& operator=(const CEmptyDlgTemplate&) = delete;
  ~CEmptyDlgTemplate();

  // Writes the header for a dialog of that style and size in pixels (converted to
  // dialog units of the system font). Throws std::bad_alloc when memory runs out.
  void Create(DWORD style, DWORD exStyle, int widthPixels, int heightPixels);

  // Null until Create has succeeded.
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_); }

 private:
  void Append(const void* bytes, size_t count);

  HGLOBAL block_ = nullptr;
  BYTE* data_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
};
