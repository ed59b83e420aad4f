#include <gtest/gtest.h>

#include <tivra/grid/XDataType.h>

using namespace Pelmora::Tivra;

TEST(GridDataType, SizesChannelsAndNamesCoverEveryCode)
{
    int total = 0;
    for (int t = 0; t <= XDT_LAST; ++t) total += Xfn::GetDataSize(t);
    EXPECT_EQ(total, 1 + 1 + 2 + 2 + 4 + 4 + 8 + 8 + 4 + 8 + 2 + 2 + 4 + 4 + 8 + 8 + 16 + 16 + 8 + 16 +
                         1 + 3 + 3 + 4 * 4 + 2 * 6);
    EXPECT_EQ(Xfn::GetDataSize(-1), 0);
    EXPECT_EQ(Xfn::GetDataSize(34), 0);
    EXPECT_EQ(Xfn::GetChannelCount(XDT_REAL32C), 2);
    EXPECT_EQ(Xfn::GetChannelCount(XDT_RGB565), 3);
    EXPECT_EQ(Xfn::GetChannelCount(XDT_ARGB1555), 4);
    EXPECT_EQ(Xfn::GetChannelCount(XDT_NONE), 0);
    EXPECT_STREQ(Xfn::GetDataTypeString(XDT_UINT08), "Unsigned 8-bit integer");
    EXPECT_STREQ(Xfn::GetDataTypeString(XDT_UINT64), "");
    EXPECT_STREQ(Xfn::GetDataTypeString(XDT_SINT64C), "");
    EXPECT_STREQ(Xfn::GetDataTypeString(XDT_ABGR1555), "Datatype for ABGR1555 image");
    EXPECT_STREQ(Xfn::GetDataTypeString(99), "");
}

TEST(GridDataType, RangesAndMarkers)
{
    double lo = 0, hi = 0;
    Xfn::GetDataRange(XDT_UINT32C, lo, hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 4294967295.0);
    Xfn::GetDataRange(XDT_SINT08, lo, hi);
    EXPECT_EQ(lo, -128.0);
    EXPECT_EQ(hi, 127.0);
    Xfn::GetDataRange(XDT_REAL32, lo, hi);
    EXPECT_EQ(hi, 3.3999999521443642e+38);
    Xfn::GetDataRange(XDT_GRAY, lo, hi);
    EXPECT_EQ(hi, 1.7e+308);
    uint32_t bits = 0;
    static_assert(sizeof(bits) == sizeof(NAN_REAL32));
    __builtin_memcpy(&bits, &NAN_REAL32, sizeof(bits));
    EXPECT_EQ(bits, 0x7F7FC99Eu);
    EXPECT_EQ(NAN_REAL64, MAX_REAL64);
}
