// The palette catalogue: names and tables come from the generated constant
// data in XPaletteData.inc (see tools/palettes/gen_palettes.py).
#include <tivra/grid/XPalette.h>

#include <cstdint>
#include <cstring>

namespace Pelmora::Tivra {

namespace {

#include "grid/XPaletteData.inc"

bool IsPalette(int index) { return index >= 1 && index <= kPaletteCount; }

} // namespace

namespace Xfn {

int GetNumberOfPalette() { return kPaletteCount; }

XString GetPaletteName(_XCOLORTABLE index)
{
    return XString(IsPalette(index) ? kPaletteNames[index] : "Default");
}

bool GetPalette(_XCOLORTABLE index, unsigned char* r, unsigned char* g, unsigned char* b)
{
    if (!IsPalette(index) || !r || !g || !b) return false;
    const auto& table = kPaletteRGB[index - 1];
    std::memcpy(r, table[0], 256);
    std::memcpy(g, table[1], 256);
    std::memcpy(b, table[2], 256);
    return true;
}

} // namespace Xfn
} // namespace Pelmora::Tivra
