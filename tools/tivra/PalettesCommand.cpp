// tivra palettes OUT [--of FORMAT] [--co NAME=VALUE]: a swatch sheet of the built-in colour palettes, two
// columns of labelled strips. Each strip shows entries 0..255 of one palette
// left to right, one pixel per entry and 12 pixels high, inside a thin grey
// frame so that white and black ends stay visible.
#include "BitmapFont.h"
#include "Cli.h"
#include "Commands.h"
#include "RgbImage.h"

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
    std::string outPath, message;
    WriteOptions write;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (TakeWriteOption(argc, argv, i, write, message)) {
            if (!message.empty()) return UsageError("palettes", message);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("palettes", "unknown option " + arg);
        } else if (outPath.empty()) {
            outPath = arg;
        } else {
            return UsageError("palettes", "one output only");
        }
    }
    if (outPath.empty()) return UsageError("palettes", "expected OUT");
    std::string error;
    if (!CheckOutput(outPath, write, XDT_UINT08, error)) return Fail(error);
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
        if (!Xfn::GetPalette(index, r, g, b)) return Fail("palette " + std::to_string(k) + " has no table");
        char number[16];
        std::snprintf(number, sizeof number, "%2d ", k);
        const std::string label = number + std::string(static_cast<const char*>(Xfn::GetPaletteName(index)));
        DrawText(image, x, y + kFrame + (kStripHeight - kGlyphHeight) / 2, label, 0, 0, 0);
        DrawStrip(image, x + kLabelWidth + kFrame, y + kFrame, r, g, b);
    }

    if (!WriteRaster(outPath, image.ToRaster(), write, error)) return Fail(error);
    std::printf("wrote %s: %d palettes, %d x %d pixels\n", outPath.c_str(), count, width, height);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
