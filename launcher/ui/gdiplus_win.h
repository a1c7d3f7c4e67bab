#pragma once
// GDI+, which draws the start notice's information sign, taken from the system folder
// at run time and called through its flat functions. It is no static import: GDI+ is
// not a known DLL everywhere, and a static import would be looked up beside the
// executable before any code of the launcher runs.
#include <windows.h>
#include <objidl.h>

#include <memory>

// Loads GDI+ from the system folder and starts it (version 1, no debug callback, the
// background thread and external codecs not suppressed). The token, or 0 when the
// library is missing or does not start; pictures then do not decode.
ULONG_PTR StartGdiplus();
// Shuts GDI+ down again; nothing for a token of 0.
void ShutdownGdiplus(ULONG_PTR token);

// A picture decoded by GDI+.
class GdiplusPicture {
 public:
  // Decodes the picture in `stream` (GDI+ must have been started); null when GDI+ is
  // missing or the bytes do not decode to a picture at least one pixel wide.
  static std::unique_ptr<GdiplusPicture> Load(IStream* stream);
  ~GdiplusPicture();
  GdiplusPicture(const GdiplusPicture&) = delete;
  GdiplusPicture& operator=(const GdiplusPicture&) = delete;

  UINT Width() const;
  UINT Height() const;
  // Draws the picture at its own size with its top left corner at (x, y), with
  // high-quality compositing and anti-aliasing.
  void Draw(HDC dc, int x, int y) const;

 private:
  explicit GdiplusPicture(void* image) : image_(image) {}
  void* image_;  // the GDI+ image object
};
