// The catalogue of 68 named colour palettes for pseudo-colouring single-band
// rasters. Each palette is 256 colours indexed by an 8-bit display value; the
// tables are constant data compiled into the library.
#pragma once

#include <cstdint>

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// Palette indices. The values are those of the public eColorTable; 69 names
/// no palette and selects the caller's default.
enum _XCOLORTABLE : int32_t {
    XCT_GRAY = 1,
    XCT_RAINBOW = 2,
    XCT_RAINBOW_REVERSED = 3,
    XCT_RAINBOW1 = 4,
    XCT_RAINBOW2 = 5,
    XCT_BLACK_RAINBOW = 6,
    XCT_RAINBOW_BLACK = 7,
    XCT_WHITE_RAINBOW = 8,
    XCT_RAINBOW_WHITE = 9,
    XCT_BLACK_RED = 10,
    XCT_BLACK_GREEN = 11,
    XCT_BLACK_BLUE = 12,
    XCT_RED_WHITE = 13,
    XCT_GREEN_WHITE = 14,
    XCT_BLUE_WHITE = 15,
    XCT_DARK_BLUE_WHITE = 16,
    XCT_DARK_RED_WHITE = 17,
    XCT_GREEN_RED_BLUE_WHITE = 18,
    XCT_BLUE_GREEN_RED_YELLOW = 19,
    XCT_STANDARD_GAMMA_II = 20,
    XCT_PRISM = 21,
    XCT_DARK_PURPLE_WHITE = 22,
    XCT_DARK_GREEN_WHITE = 23,
    XCT_GREEN_PINK = 24,
    XCT_BLUE_RED = 25,
    XCT_LEVEL16 = 26,
    XCT_STEPS = 27,
    XCT_HAZE = 28,
    XCT_BLUE_PASTEL_RED = 29,
    XCT_PASTELS = 30,
    XCT_HUE_SAT_LIGHTNESS1 = 31,
    XCT_HUE_SAT_LIGHTNESS2 = 32,
    XCT_HUE_SAT_VALUE1 = 33,
    XCT_HUE_SAT_VALUE2 = 34,
    XCT_STRIPY_PURPLE_RED = 35,
    XCT_BEACH = 36,
    XCT_MAC_STYLE = 37,
    XCT_EOS_A = 38,
    XCT_EOS_B = 39,
    XCT_DARK_RAINBOW = 40,
    XCT_HARD_CANDY = 41,
    XCT_NATURE = 42,
    XCT_OCEAN = 43,
    XCT_PEPPERMINT = 44,
    XCT_PLASMA = 45,
    XCT_VOLCANO = 46,
    XCT_WAVES = 47,
    XCT_BLUE_WAVES = 48,
    XCT_AMP_PHASE = 49,
    XCT_AZIMUTH = 50,
    XCT_BROWN_GREEN = 51,
    XCT_CONTOUR = 52,
    XCT_ELEVATION = 53,
    XCT_HUE = 54,
    XCT_LUTRAMP = 55,
    XCT_NEW_GRAY = 56,
    XCT_PSEUDO_COLOR = 57,
    XCT_RED_BLUE = 58,
    XCT_RED_YELLOW_SAR = 59,
    XCT_RGB = 60,
    XCT_RGB_REDUCE = 61,
    XCT_RT_SHADE = 62,
    XCT_SAW = 63,
    XCT_SPECTRUM = 64,
    XCT_STEP = 65,
    XCT_UNIQUE = 66,
    XCT_WATER_LEVEL = 67,
    XCT_YELLOW_BLUE = 68,
    XCT_DEFAULT = 69,
};

namespace Xfn {

/// Number of palettes in the catalogue: 68.
int GetNumberOfPalette();

/// The palette's name ("Grey", "RainBow", ..., "Yellow - Blue"); "Default"
/// for any index outside 1..68.
XString GetPaletteName(_XCOLORTABLE index);

/// Writes entries 0..255 of the palette into r, g and b, each of at least 256
/// bytes. Returns false, writing nothing, for an index outside 1..68 or a
/// null array.
bool GetPalette(_XCOLORTABLE index, unsigned char* r, unsigned char* g, unsigned char* b);

} // namespace Xfn
} // namespace Pelmora::Tivra
