// The palette catalogue: names and stored tables against the reference CSV
// files, the closed forms and step palettes entry by entry, every fixed
// entry, the derived palettes, and indices that name no palette.
#include <gtest/gtest.h>

#include <tivra/grid/XPalette.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

/// The data lines of resources/palettes/<name>, header skipped.
std::vector<std::string> Lines(const std::string& name)
{
    std::ifstream f(std::string(TIVRA_SOURCE_DIR) + "/resources/palettes/" + name);
    EXPECT_TRUE(f.good()) << name;
    std::vector<std::string> out;
    for (std::string line; std::getline(f, line);) out.push_back(line);
    if (!out.empty()) out.erase(out.begin());
    return out;
}

/// index -> entry -> colour, from a CSV of index,entry,r,g,b.
std::map<int, std::map<int, RGB>> ReadCsv(const std::string& name)
{
    std::map<int, std::map<int, RGB>> out;
    for (const std::string& line : Lines(name)) {
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
    case 61: return i < 216 ? RGB{51 * (i / 36), 51 * (i / 6 % 6), 51 * (i % 6)} : RGB{0, 0, 0};  // colour cube
    case 63: return Saw(i);
    case 66: return i == 0 ? RGB{128, 128, 128} : PseudoColor(i);
    case 67: return i <= 9 ? RGB{0, 0, 255} : i <= 251 ? RGB{i, i, i} : RGB{255, 255, 0};
    case 68: return {255 - i, 255 - i, i};
    default: return {-1, -1, -1};
    }
}

} // namespace

TEST(GridPalette, NamesMatchTheCatalogueAndOtherIndicesAreDefault)
{
    EXPECT_EQ(Xfn::GetNumberOfPalette(), 68);
    int index = 0;
    for (const std::string& line : Lines("catalogue.csv")) {  // index,"name",source
        const size_t q1 = line.find('"'), q2 = line.rfind('"');
        ASSERT_EQ(std::stoi(line), ++index);
        EXPECT_EQ(std::string(Xfn::GetPaletteName(_XCOLORTABLE(index))), line.substr(q1 + 1, q2 - q1 - 1));
    }
    EXPECT_EQ(index, 68);
    for (int other : {0, 69, -1, 1000}) EXPECT_STREQ(Xfn::GetPaletteName(_XCOLORTABLE(other)), "Default") << other;
}

TEST(GridPalette, TablesMatchReferenceClosedFormsAndStepBlocks)
{
    // The standard colour tables: all 256 entries of the reference file.
    const auto reference = ReadCsv("palettes.csv");
    ASSERT_EQ(reference.size(), 34u);
    for (const auto& [index, entries] : reference) {
        ASSERT_EQ(entries.size(), 256u) << index;
        const Table t = Load(index);
        for (const auto& [i, rgb] : entries) ASSERT_EQ(t.at(i), rgb) << "palette " << index << " entry " << i;
    }
    for (int index : {1, 10, 11, 12, 13, 14, 15, 57, 58, 59, 61, 62, 63, 66, 67, 68}) {
        const Table t = Load(index);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(t.at(i), ClosedForm(index, i)) << "palette " << index << " entry " << i;
    }
    // Step palettes: one colour per block of 16 entries, "16 LEVEL" (26) with
    // exceptions in blocks 0 and 13, "Contour" (52) in its last entry.
    const Table level = Load(26), contour = Load(52);
    for (int i = 0; i < 255; ++i) ASSERT_EQ(contour.at(i), contour.at(i & ~15)) << i;
    const struct { const Table* t; int i; RGB rgb; } steps[] = {
        {&level, 0, {0, 0, 0}}, {&level, 1, {0, 84, 0}}, {&level, 15, {0, 84, 0}}, {&level, 16, {0, 168, 0}},
        {&level, 127, {128, 0, 255}}, {&level, 212, {220, 190, 190}}, {&level, 213, {221, 190, 190}},
        {&level, 217, {221, 190, 190}}, {&level, 218, {222, 190, 190}}, {&level, 223, {223, 190, 190}},
        {&level, 224, {220, 220, 220}}, {&level, 255, {255, 255, 255}}, {&contour, 0, {0, 0, 255}},
        {&contour, 111, {32, 255, 223}}, {&contour, 112, {80, 255, 175}}, {&contour, 254, {255, 46, 0}},
        {&contour, 255, {255, 1, 0}}};
    for (const auto& s : steps) EXPECT_EQ(s.t->at(s.i), s.rgb) << (s.t == &level ? 26 : 52) << " entry " << s.i;
}

TEST(GridPalette, FixedEntriesDerivedPalettesAndInvalidIndices)
{
    const auto anchors = ReadCsv("anchors.csv");
    ASSERT_EQ(anchors.size(), 52u);
    for (const auto& [index, entries] : anchors) {
        const Table t = Load(index);
        ASSERT_EQ(entries.size(), 5u);
        for (const auto& [i, rgb] : entries) EXPECT_EQ(t.at(i), rgb) << "palette " << index << " entry " << i;
    }
    // 3 is 2 reversed; 6 and 8 are 2 from entry 64 on.
    const Table rainbow = Load(2), reversed = Load(3), black = Load(6), white = Load(8);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(reversed.at(i), rainbow.at(255 - i)) << i;
    for (int i = 64; i < 256; ++i) ASSERT_TRUE(black.at(i) == rainbow.at(i) && white.at(i) == rainbow.at(i)) << i;

    // No palette or a null array: nothing written.
    unsigned char r[256], g[256], b[256];
    for (int index : {0, 69, -1, 70}) {
        for (auto* p : {r, g, b}) std::memset(p, 7, 256);
        EXPECT_FALSE(Xfn::GetPalette(_XCOLORTABLE(index), r, g, b));
        EXPECT_EQ(r[0] + r[255] + g[128] + b[255], 28);
    }
    EXPECT_FALSE(Xfn::GetPalette(XCT_GRAY, r, nullptr, b));
    EXPECT_EQ(r[200], 7);
}
