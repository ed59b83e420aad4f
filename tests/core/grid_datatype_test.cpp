// Clamping ranges and markers of the sample types. Sizes and names of every
// code are checked through the public layer; channel counts with the channel
// spread of the grid.
#include <gtest/gtest.h>

#include <tivra/grid/XDataType.h>

#include <cstring>

using namespace Pelmora::Tivra;

TEST(GridDataType, ClampRangesPerComponentTypeAndMarkers)
{
    const double F32 = 3.3999999521443642e+38, R64 = 1.7e308;  // the float bound widened
    const struct { int type; double lo, hi; } ranges[] = {
        {XDT_UINT08, 0, 255}, {XDT_SINT08C, -128, 127}, {XDT_UINT16C, 0, 65535}, {XDT_SINT16, -32768, 32767},
        {XDT_UINT32C, 0, 4294967295.0}, {XDT_SINT32, -2147483648.0, 2147483647}, {XDT_REAL32C, -F32, F32},
        {XDT_UINT64, -R64, R64}, {XDT_SINT64C, -R64, R64}, {XDT_REAL64, -R64, R64}, {XDT_GRAY, -R64, R64},
        {XDT_RGBA, -R64, R64}, {XDT_ABGR1555, -R64, R64}, {XDT_NONE, -R64, R64}, {-1, -R64, R64}, {34, -R64, R64}};
    for (const auto& t : ranges) {
        double lo = 0, hi = 0;
        Xfn::GetDataRange(t.type, lo, hi);
        EXPECT_EQ(lo, t.lo) << t.type;
        EXPECT_EQ(hi, t.hi) << t.type;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &NAN_REAL32, sizeof bits);
    EXPECT_EQ(bits, 0x7F7FC99Eu);
    EXPECT_EQ(NAN_REAL64, R64);
}
