// The palette catalogue: names, the stored tables against the reference CSV,
// the closed forms and step palettes entry by entry, every fixed entry, and
// the reversal of palette 3.
#include <gtest/gtest.h>

#include <tivra/grid/XPalette.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

using namespace Pelmora::Tivra;

namespace {

using RGB = std::array<int, 3>;

struct Table { unsigned char r[256], g[256], b[256]; RGB at(int i) const { return {r[i], g[i], b[i]}; } };

Table Load(int index)
{
    Table t;
    EXPECT_TRUE(Xfn::GetPalette(static_cast<_XCOLORTABLE>(index), t.r, t.g, t.b)) << index;
    return t;
}

/// index -> entry -> colour, from a CSV of index,entry,r,g,b.
std::map<int, std::map<int, RGB>> ReadCsv(const std::string& path)
{
    std::map<int, std::map<int, RGB>> out;
    std::ifstream f(path);
    EXPECT_TRUE(f.good()) << path;
    std::string line;
    std::getline(f, line);  // header
    while (std::getline(f, line)) {
        std::istringstream s(line);
        int v[5];
        char comma;
        s >> v[0] >> comma >> v[1] >> comma >> v[2] >> comma >> v[3] >> comma >> v[4];
        if (s) out[v[0]][v[1]] = {v[2], v[3], v[4]};
    }
    return out;
}

RGB PseudoColor(int i)
{
    const int r = i <= 85 ? 0 : i <= 169 ? 3 * i - 256 : 255;
    const int g = i == 0 ? 0 : i <= 84 ? 3 * i - 1 : i <= 170 ? 255 : 766 - 3 * i;
    const int b = i <= 85 ? 255 : i <= 169 ? 511 - 3 * i : 0;
    return {r, g, b};
}

RGB Saw(int i)
{
    const int r = i <= 128 ? 0 : i <= 192 ? 4 * i - 513 : 255;
    const int g = i == 0 ? 0 : i <= 64 ? 4 * i - 1 : i <= 192 ? 255 : 1024 - 4 * i;
    const int b = i <= 64 ? 255 : i <= 128 ? 512 - 4 * i : 0;
    return {r, g, b};
}

/// The palettes with a closed form, entry i.
RGB ClosedForm(int index, int i)
{
    switch (index) {
    case 1: case 62: return {i, i, i};
    case 10: return {i, 0, 0};
    case 11: return {0, i, 0};
    case 12: return {0, 0, i};
    case 13: return {255, i, i};
    case 14: return {i, 255, i};
    case 15: return {i, i, 255};
    case 57: return PseudoColor(i);
    case 58: return {255 - i, 0, i};
    case 59: return {255, i, 0};
    case 63: return Saw(i);
    case 67: return i <= 9 ? RGB{0, 0, 255} : i <= 251 ? RGB{i, i, i} : RGB{255, 255, 0};
    case 68: return {255 - i, 255 - i, i};
    default: return {-1, -1, -1};
    }
}

} // namespace

TEST(GridPalette, CatalogueNames)
{
    EXPECT_EQ(Xfn::GetNumberOfPalette(), 68);
    const std::pair<int, const char*> names[] = {
        {1, "Grey"}, {2, "RainBow"}, {3, "RainBow_Reversed"}, {6, "Black + Rainbow"}, {18, "Green - Red - Blue - White"},
        {20, "Standard GAMMA-II"}, {26, "16 LEVEL"}, {31, "Hue Sat Lightness 1"}, {49, "Amp phase"}, {56, "New Grey"},
        {61, "RGB_Reduce"}, {67, "Waterlevel"}, {68, "Yellow - Blue"}, {0, "Default"}, {69, "Default"},
        {-1, "Default"}, {1000, "Default"}};
    for (const auto& [index, name] : names)
        EXPECT_STREQ(static_cast<const char*>(Xfn::GetPaletteName(static_cast<_XCOLORTABLE>(index))), name) << index;
    for (int k = 1; k <= 68; ++k)
        for (int j = 1; j < k; ++j)
            EXPECT_STRNE(Xfn::GetPaletteName(_XCOLORTABLE(k)), Xfn::GetPaletteName(_XCOLORTABLE(j)));
}

TEST(GridPalette, TablesMatchReferenceClosedFormsAndStepBlocks)
{
    // The standard colour tables: all 256 entries of the reference file.
    const auto reference = ReadCsv(std::string(TIVRA_SOURCE_DIR) + "/resources/palettes/palettes.csv");
    ASSERT_EQ(reference.size(), 34u);
    for (const auto& [index, entries] : reference) {
        ASSERT_EQ(entries.size(), 256u) << index;
        const Table t = Load(index);
        for (const auto& [i, rgb] : entries) ASSERT_EQ(t.at(i), rgb) << "palette " << index << " entry " << i;
    }
    for (int index : {1, 10, 11, 12, 13, 14, 15, 57, 58, 59, 62, 63, 67, 68}) {
        const Table t = Load(index);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(t.at(i), ClosedForm(index, i)) << "palette " << index << " entry " << i;
    }
    // "16 LEVEL": block colours with the exceptions of block 0 and block 13.
    const Table level = Load(26);
    EXPECT_EQ(level.at(0), (RGB{0, 0, 0}));
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(level.at(i), (RGB{0, 84, 0}));
    EXPECT_EQ(level.at(16), (RGB{0, 168, 0}));
    EXPECT_EQ(level.at(127), (RGB{128, 0, 255}));
    EXPECT_EQ(level.at(212), (RGB{220, 190, 190}));
    EXPECT_EQ(level.at(213), (RGB{221, 190, 190}));
    EXPECT_EQ(level.at(217), (RGB{221, 190, 190}));
    EXPECT_EQ(level.at(218), (RGB{222, 190, 190}));
    EXPECT_EQ(level.at(223), (RGB{223, 190, 190}));
    EXPECT_EQ(level.at(224), (RGB{220, 220, 220}));
    EXPECT_EQ(level.at(255), (RGB{255, 255, 255}));
    const Table contour = Load(52);
    for (int i = 0; i < 255; ++i) EXPECT_EQ(contour.at(i), contour.at(i & ~15)) << i;
    EXPECT_EQ(contour.at(0), (RGB{0, 0, 255}));
    EXPECT_EQ(contour.at(111), (RGB{32, 255, 223}));
    EXPECT_EQ(contour.at(112), (RGB{80, 255, 175}));
    EXPECT_EQ(contour.at(254), (RGB{255, 46, 0}));
    EXPECT_EQ(contour.at(255), (RGB{255, 1, 0}));
}

TEST(GridPalette, FixedEntriesReversalAndInvalidIndices)
{
    const auto anchors = ReadCsv(std::string(TIVRA_SOURCE_DIR) + "/resources/palettes/anchors.csv");
    ASSERT_EQ(anchors.size(), 52u);
    for (const auto& [index, entries] : anchors) {
        const Table t = Load(index);
        ASSERT_EQ(entries.size(), 5u);
        for (const auto& [i, rgb] : entries) EXPECT_EQ(t.at(i), rgb) << "palette " << index << " entry " << i;
    }
    const Table rainbow = Load(2), reversed = Load(3);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(reversed.at(i), rainbow.at(255 - i)) << i;
    const Table pseudo = Load(57), unique = Load(66);
    EXPECT_EQ(unique.at(0), (RGB{128, 128, 128}));
    for (int i = 1; i < 256; ++i) ASSERT_EQ(unique.at(i), pseudo.at(i)) << i;
    for (int index : {6, 8}) {
        const Table t = Load(index);
        for (int i = 64; i < 256; ++i) ASSERT_EQ(t.at(i), rainbow.at(i)) << index << " " << i;
    }

    // No palette: nothing written.
    unsigned char r[256], g[256], b[256];
    for (int index : {0, 69, -1, 70}) {
        std::memset(r, 7, 256);
        std::memset(g, 7, 256);
        std::memset(b, 7, 256);
        EXPECT_FALSE(Xfn::GetPalette(_XCOLORTABLE(index), r, g, b));
        EXPECT_EQ(r[0] + r[255] + g[128] + b[255], 28);
    }
    EXPECT_FALSE(Xfn::GetPalette(XCT_GRAY, r, nullptr, b));
    EXPECT_EQ(r[200], 7);
}
