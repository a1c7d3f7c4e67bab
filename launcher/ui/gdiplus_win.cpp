#include "launcher/ui/gdiplus_win.h"

#include <gdiplus.h>

#include "launcher/base/system_library_win.h"

namespace {

// The flat functions stand for the C++ classes of <gdiplus.h>, whose inline members
// would import them statically.
namespace flat = Gdiplus::DllExports;

struct GdiplusFunctions {
  decltype(&Gdiplus::GdiplusStartup) startup = nullptr;
  decltype(&Gdiplus::GdiplusShutdown) shutdown = nullptr;
  decltype(&flat::GdipLoadImageFromStream) loadImageFromStream = nullptr;
  decltype(&flat::GdipDisposeImage) disposeImage = nullptr;
  decltype(&flat::GdipGetImageWidth) getImageWidth = nullptr;
  decltype(&flat::GdipGetImageHeight) getImageHeight = nullptr;
  decltype(&flat::GdipGetImageBounds) getImageBounds = nullptr;
  decltype(&flat::GdipCreateFromHDC) createFromHdc = nullptr;
  decltype(&flat::GdipDeleteGraphics) deleteGraphics = nullptr;
  decltype(&flat::GdipSetCompositingQuality) setCompositingQuality = nullptr;
  decltype(&flat::GdipSetSmoothingMode) setSmoothingMode = nullptr;
  decltype(&flat::GdipDrawImageRectI) drawImageRectI = nullptr;
  bool complete = false;
};

template <typename Function>
bool Take(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return function != nullptr;
}

GdiplusFunctions LoadFunctions() {
  GdiplusFunctions f;
  HMODULE library = LoadSystemLibrary(L"gdiplus.dll");
  if (!library) return f;
  // The library stays loaded for the rest of the process.
  f.complete = Take(library, "GdiplusStartup", f.startup) && Take(library, "GdiplusShutdown", f.shutdown) &&
               Take(library, "GdipLoadImageFromStream", f.loadImageFromStream) &&
               Take(library, "GdipDisposeImage", f.disposeImage) &&
               Take(library, "GdipGetImageWidth", f.getImageWidth) &&
               Take(library, "GdipGetImageHeight", f.getImageHeight) &&
               Take(library, "GdipGetImageBounds", f.getImageBounds) &&
               Take(library, "GdipCreateFromHDC", f.createFromHdc) &&
               Take(library, "GdipDeleteGraphics", f.deleteGraphics) &&
               Take(library, "GdipSetCompositingQuality", f.setCompositingQuality) &&
               Take(library, "GdipSetSmoothingMode", f.setSmoothingMode) &&
               Take(library, "GdipDrawImageRectI", f.drawImageRectI);
  return f;
}

// Loaded on first use (the entry function's start), once for the process.
const GdiplusFunctions& Functions() {
  static const GdiplusFunctions functions = LoadFunctions();
  return functions;
}

Gdiplus::GpImage* AsImage(void* image) { return static_cast<Gdiplus::GpImage*>(image); }

}  // namespace

ULONG_PTR StartGdiplus() {
  const GdiplusFunctions& f = Functions();
  if (!f.complete) return 0;
  Gdiplus::GdiplusStartupInput input;  // version 1, nothing suppressed
  ULONG_PTR token = 0;
  if (f.startup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
  return token;
}

void ShutdownGdiplus(ULONG_PTR token) {
  if (token) Functions().shutdown(token);
}

std::unique_ptr<GdiplusPicture> GdiplusPicture::Load(IStream* stream) {
  const GdiplusFunctions& f = Functions();
  if (!f.complete || !stream) return nullptr;
  Gdiplus::GpImage* image = nullptr;
  if (f.loadImageFromStream(stream, &image) != Gdiplus::Ok || !image) return nullptr;
  std::unique_ptr<GdiplusPicture> picture(new GdiplusPicture(image));
  if (picture->Width() == 0) return nullptr;
  return picture;
}

GdiplusPicture::~GdiplusPicture() { Functions().disposeImage(AsImage(image_)); }

UINT GdiplusPicture::Width() const {
  UINT width = 0;
  if (Functions().getImageWidth(AsImage(image_), &width) != Gdiplus::Ok) return 0;
  return width;
}

UINT GdiplusPicture::Height() const {
  UINT height = 0;
  if (Functions().getImageHeight(AsImage(image_), &height) != Gdiplus::Ok) return 0;
  return height;
}

void GdiplusPicture::Draw(HDC dc, int x, int y) const {
  const GdiplusFunctions& f = Functions();
  Gdiplus::GpGraphics* graphics = nullptr;
  if (f.createFromHdc(dc, &graphics) != Gdiplus::Ok || !graphics) return;
  f.setCompositingQuality(graphics, Gdiplus::CompositingQualityHighQuality);
  f.setSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::GpRectF bounds;
  Gdiplus::GpUnit unit = Gdiplus::UnitPixel;
  if (f.getImageBounds(AsImage(image_), &bounds, &unit) == Gdiplus::Ok) {
    f.drawImageRectI(graphics, AsImage(image_), x, y, static_cast<INT>(bounds.Width), static_cast<INT>(bounds.Height));
  }
  f.deleteGraphics(graphics);
}
