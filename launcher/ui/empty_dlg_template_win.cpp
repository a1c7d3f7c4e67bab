#include "launcher/ui/empty_dlg_template_win.h"

#include <cstring>
#include <new>

static_assert(sizeof(DLGTEMPLATE) == 18, "the classic template header is 18 bytes");

namespace {

// Blocks grow in whole kilobytes, at least one more than the append needs.
size_t GrowthFor(size_t count) { return (count & ~static_cast<size_t>(0x3FF)) + 1024; }

}  // namespace

CEmptyDlgTemplate::~CEmptyDlgTemplate() {
  if (!block_) return;
  GlobalUnlock(block_);
  GlobalFree(block_);
}

void CEmptyDlgTemplate::Create(DWORD style, DWORD exStyle, int widthPixels, int heightPixels) {
  LONG baseUnits = GetDialogBaseUnits();
  DLGTEMPLATE header = {};
  header.style = style;
  header.dwExtendedStyle = exStyle;
  header.cdit = 0;
  header.x = 0;
  header.y = 0;
  header.cx = static_cast<short>(MulDiv(widthPixels, 4, LOWORD(baseUnits)));
  header.cy = static_cast<short>(MulDiv(heightPixels, 8, HIWORD(baseUnits)));
  Append(&header, sizeof header);
  // Menu and window class: none. The title word that follows is left to the zero fill.
  const WORD none[2] = {0, 0};
  Append(none, sizeof none);
}

void CEmptyDlgTemplate::Append(const void* bytes, size_t count) {
  if (!block_) {
    size_t size = GrowthFor(count);
    block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block_) throw std::bad_alloc();
    data_ = static_cast<BYTE*>(GlobalLock(block_));
    capacity_ = size;
  } else if (used_ + count > capacity_) {
    size_t size = capacity_ + GrowthFor(count);
    GlobalUnlock(block_);
    data_ = nullptr;
    HGLOBAL grown = GlobalReAlloc(block_, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (grown) {
      block_ = grown;
      capacity_ = size;
    }
    data_ = static_cast<BYTE*>(GlobalLock(block_));
    if (!grown) throw std::bad_alloc();
  }
  if (!data_) throw std::bad_alloc();
  std::memcpy(data_ + used_, bytes, count);
  used_ += count;
}
