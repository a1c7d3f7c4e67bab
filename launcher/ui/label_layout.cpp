#include "launcher/ui/label_layout.h"

#include <algorithm>

namespace {

int HeightFor(LabelFont font, int cy) {
  switch (font) {
    case LabelFont::Title:
      return cy + 3;
    case LabelFont::Medium:
      return cy - 1;
    case LabelFont::Small:
      return cy - 4;
    case LabelFont::Default:
      break;
  }
  return cy + 1;
}

}  // namespace

LabelStep StackLabel(unsigned contentWidth, LabelFont font, bool multiLine, std::optional<TextExtent> measured,
                     int parentClientWidth) {
  LabelStep step;
  step.contentWidth = contentWidth;
  if (!measured) {
    step.contentWidth = std::max(contentWidth, static_cast<unsigned>(std::max(parentClientWidth, 0)));
    step.advance = 18;
    step.height = 0;
    return step;
  }
  if (multiLine) {
    step.height = 5 * measured->cy;
  } else {
    const double factor = font == LabelFont::Title ? 1.1 : 0.9;
    if (measured->cx > 0 && contentWidth < static_cast<unsigned>(measured->cx)) {
      step.contentWidth = static_cast<unsigned>(measured->cx * factor);
    }
    step.height = HeightFor(font, measured->cy);
  }
  step.advance = step.height;
  return step;
}
