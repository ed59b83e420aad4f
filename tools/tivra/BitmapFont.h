// A small 5 x 7 pixel font for labels in generated images: letters, digits,
// the space and a few punctuation marks. Other characters draw as a box.
#pragma once

#include "RgbImage.h"

#include <string>

namespace Pelmora::Tivra::Tool {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;  // one blank column between glyphs

/// Draws text with its top-left corner at (x, y) in the given colour.
void DrawText(RgbImage& image, int x, int y, const std::string& text, uint8_t r, uint8_t g, uint8_t b);

} // namespace Pelmora::Tivra::Tool
