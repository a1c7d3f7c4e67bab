#pragma once
// How a stacked label of a dialog is sized: its text is measured in the label's
// device context, whose font is the default one, not the label's; the factor and the
// height corrections make up for the difference per label font.
#include <optional>

enum class LabelFont { Title, Default, Medium, Small };

struct TextExtent {
  int cx = 0;
  int cy = 0;
};

struct LabelStep {
  unsigned contentWidth = 0;  // the running width afterwards; also the label's right edge
  int advance = 0;            // how far the next label moves down
  int height = 0;             // the label's own height
};

// `measured` is empty when no device context could be had for the measurement.
LabelStep StackLabel(unsigned contentWidth, LabelFont font, bool multiLine, std::optional<TextExtent> measured,
                     int parentClientWidth);
