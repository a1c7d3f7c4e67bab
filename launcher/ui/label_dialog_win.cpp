#include "launcher/ui/label_dialog_win.h"

#include <optional>

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;

HFONT CreateArial(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_SWISS, L"Arial");
}

void CreateOnce(ScopedGdiObject<HFONT>& font, int height, int weight) {
  if (!font.get()) font.reset(CreateArial(height, weight));
}

}  // namespace

void CLabelDialog::CreateFonts(HWND dialog) {
  CreateOnce(titleFont_, -14, 600);
  CreateOnce(smallFont_, -10, 300);
  CreateOnce(defaultFont_, -12, 400);
  CreateOnce(mediumFont_, -11, 400);
  SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_.get()), TRUE);
}

LabelFont CLabelDialog::KindOf(HFONT font) const {
  if (font == titleFont_.get()) return LabelFont::Title;
  if (font == mediumFont_.get()) return LabelFont::Medium;
  if (font == smallFont_.get()) return LabelFont::Small;
  return LabelFont::Default;
}

HWND CLabelDialog::AddLabel(HWND parent, const std::wstring& text, HFONT font) {
  if (!font) font = defaultFont_.get();
  HWND label = CreateWindowExW(0, L"STATIC", L"", kLabelStyle, 0, nextY_, 0, 0, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  const bool multiLine = text.find(L'\n') != std::wstring::npos;

  // Measured in the label's own context, where the label font is not selected.
  HDC dc = GetDC(label);
  std::optional<TextExtent> measured;
  if (dc) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    measured = TextExtent{size.cx, size.cy};
  }
  RECT parentClient = {};
  GetClientRect(parent, &parentClient);
  LabelStep step = StackLabel(contentWidth_, KindOf(font), multiLine, measured, parentClient.right - parentClient.left);

  const int top = nextY_;
  contentWidth_ = step.contentWidth;
  nextY_ += step.advance;
  MoveWindow(label, 0, top, static_cast<int>(contentWidth_), step.height, TRUE);
  SetWindowTextW(label, text.c_str());
  labels_.push_back(label);
  if (dc) ReleaseDC(label, dc);
  return label;
}
