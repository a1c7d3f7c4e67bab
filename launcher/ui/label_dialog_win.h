#pragma once
// CLabelDialog: what the launcher's label-stacking dialogs share: four Arial fonts
// and labels stacked from the top, each as wide as the widest line so far.
#include <windows.h>

#include <string>
#include <vector>

#include "core/win/scoped_win.h"
#include "launcher/ui/label_layout.h"

class CLabelDialog {
 public:
  // Creates a centred label below the previous one, with `font` or the default font.
  HWND AddLabel(HWND parent, const std::wstring& text, HFONT font = nullptr);

 protected:
  // Creates the fonts not made yet and gives the dialog the default font.
  void CreateFonts(HWND dialog);

  HFONT DefaultFont() const { return defaultFont_.get(); }
  HFONT MediumFont() const { return mediumFont_.get(); }

  unsigned contentWidth_ = 0;
  int nextY_ = 0;

 private:
  LabelFont KindOf(HFONT font) const;

  ScopedGdiObject<HFONT> titleFont_;
  ScopedGdiObject<HFONT> defaultFont_;
  ScopedGdiObject<HFONT> mediumFont_;
  ScopedGdiObject<HFONT> smallFont_;
  std::vector<HWND> labels_;  // destroyed with the dialog, listed in creation order
};
