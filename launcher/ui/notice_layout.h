#pragma once
// The start notice's layout, in pixels and client coordinates: the text box beside
// the information sign, the buttons in a row from the right edge, and the window
// width that fits the buttons within two thirds of the screen.
#include <vector>

#include "launcher/ui/splash_layout.h"

constexpr int kNoticeMargin = 15;          // left and top of the text box without a sign
constexpr int kNoticeSignGap = 25;         // the sign's width plus this gives the text's left edge
constexpr int kNoticeRightMargin = 10;
constexpr int kNoticeButtonMinWidth = 75;
constexpr int kNoticeButtonGap = 9;
constexpr int kNoticeButtonRightMargin = 7;
constexpr int kNoticeBelowText = 46;       // client height below the text box

// Left edge of the text box.
int NoticeTextLeft(int signWidth);

// The text box's bottom edge: tall (its width / 2.2) for RTF or more than 10 lines,
// else 15 pixels a line plus one, and never short of the sign's height plus 20.
int NoticeTextBottom(int lineCount, bool rtf, int left, int right, int signHeight);

// The window height for a text box ending at `textBottom`: the client area gets 46
// pixels below it; `frameHeight` is the non-client height (caption and borders).
int NoticeWindowHeight(int textBottom, int frameHeight);

// Button widths for measured caption widths: 75, or the caption plus `pad` when wider.
std::vector<int> NoticeButtonWidths(const std::vector<int>& textWidths, int pad);

// Places the buttons in list order from the right edge of the client area, each 9
// pixels left of the previous one. `bottomEdge` is the client bottom plus the dialog
// frame height; the buttons span from 36 to 10 pixels above it.
std::vector<PixelRect> PlaceNoticeButtons(const std::vector<int>& widths, int clientRight, int bottomEdge);

// The buttons' total width with the gaps between them.
int NoticeButtonsWidth(const std::vector<int>& widths);

// The window width: widened to fit the buttons, or narrowed to the limit of two thirds
// of `fullScreenWidth`, never beyond it. `edgeWidth` is the 3-D edge width.
int NoticeWindowWidth(int currentWidth, int buttonsWidth, int edgeWidth, int fullScreenWidth);

// The text box's width after a change of the window width: the client width less the
// box's left edge and its right margin.
int NoticeTextWidth(int clientWidth, int signWidth);
