// tivra palettes OUT.png: a swatch sheet of the built-in colour palettes, two
// columns of labelled strips. Each strip shows entries 0..255 of one palette
// left to right, one pixel per entry and 12 pixels high, inside a thin grey
// frame so that white and black ends stay visible.
#include "BitmapFont.h"
#include "Commands.h"
#include "PngWriter.h"

#include <tivra/grid/XPalette.h>

#include <cstdio>
#include <string>

namespace Pelmora::Tivra::Tool {

namespace {

constexpr int kMargin = 10;
constexpr int kLabelWidth = 31 * kGlyphAdvance;  // the longest name and its index
constexpr int kStripWidth = 256, kStripHeight = 12;
constexpr int kFrame = 1;
constexpr int kRowHeight = kStripHeight + 2 * kFrame + 4;
constexpr int kColumnGap = 24;
constexpr int kColumnWidth = kLabelWidth + kStripWidth + 2 * kFrame;
constexpr int kTitleHeight = 20;

void DrawStrip(RgbImage& image, int x, int y, const unsigned char* r, const unsigned char* g, const unsigned char* b)
{
    for (int i = -kFrame; i < kStripWidth + kFrame; ++i)
        for (int j = -kFrame; j < kStripHeight + kFrame; ++j) {
            const bool frame = i < 0 || j < 0 || i >= kStripWidth || j >= kStripHeight;
            if (frame) image.Set(x + i, y + j, 128, 128, 128);
            else image.Set(x + i, y + j, r[i], g[i], b[i]);
        }
}

} // namespace

int RunPalettes(int argc, char** argv)
{
    if (argc != 1) {
        std::fprintf(stderr, "usage: tivra palettes OUT.png\n");
        return 2;
    }
    const int count = Xfn::GetNumberOfPalette();
    const int perColumn = (count + 1) / 2;
    const int width = 2 * kMargin + 2 * kColumnWidth + kColumnGap;
    const int height = 2 * kMargin + kTitleHeight + perColumn * kRowHeight;
    RgbImage image(width, height, 255, 255, 255);
    DrawText(image, kMargin, kMargin, "Colour palettes - entries 0 to 255 from left to right", 0, 0, 0);

    for (int k = 1; k <= count; ++k) {
        const int column = (k - 1) / perColumn, row = (k - 1) % perColumn;
        const int x = kMargin + column * (kColumnWidth + kColumnGap);
        const int y = kMargin + kTitleHeight + row * kRowHeight;
        const _XCOLORTABLE index = static_cast<_XCOLORTABLE>(k);
        unsigned char r[256], g[256], b[256];
        if (!Xfn::GetPalette(index, r, g, b)) {
            std::fprintf(stderr, "tivra: palette %d has no table\n", k);
            return 1;
        }
        char number[16];
        std::snprintf(number, sizeof number, "%2d ", k);
        const std::string label = number + std::string(static_cast<const char*>(Xfn::GetPaletteName(index)));
        DrawText(image, x, y + kFrame + (kStripHeight - kGlyphHeight) / 2, label, 0, 0, 0);
        DrawStrip(image, x + kLabelWidth + kFrame, y + kFrame, r, g, b);
    }

    std::string error;
    if (!WritePng(argv[0], image, error)) {
        std::fprintf(stderr, "tivra: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s: %d palettes, %d x %d pixels\n", argv[0], count, width, height);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
