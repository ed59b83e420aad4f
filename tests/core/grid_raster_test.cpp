// Native raster grid: sample coding of every type, allocation and ownership,
// whole-grid and rectangle operations, geo-reference and derived values.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr double N = NAN_REAL64;
constexpr double F32MAX = 3.3999999521443642e+38;  // the float bound widened
const double P63 = std::ldexp(1.0, 63), P64 = std::ldexp(1.0, 64), ULP23 = std::ldexp(1.0, -23);
using Q = std::array<double, 4>;
using Geo4 = std::array<double, 4>;
const Geo4 kDefaultGeo{0, 0, 1, 1};

Q Read(const XGrid& g, int r, int c)
{
    Q q{-9, -9, -9, -9};
    EXPECT_TRUE(g.GetValue(r, c, q[0], q[1], q[2], q[3]));
    return q;
}
void Write(XGrid& g, int r, int c, const Q& q) { g.SetValue(r, c, q[0], q[1], q[2], q[3]); }
Geo4 Geo(const XGrid& g) { return {g.GetGeoTop(), g.GetGeoLeft(), g.GetRowSpacing(), g.GetColSpacing()}; }
// Block, shape, type, owned bytes and geo-reference: what a refused operation must leave alone.
using GridState = std::tuple<const void*, int, int, int, int, Geo4>;
GridState State(const void* data, int rows, int cols, int type, int alloc, Geo4 geo = kDefaultGeo)
{
    return {data, rows, cols, type, alloc, geo};
}
GridState State(const XGrid& g)
{
    return State(g.GetData(), g.GetRSize(), g.GetCSize(), g.GetDataType(), g.GetAllocSize(), Geo(g));
}
// A grid whose cell (r, c) holds r * 10 + c in every channel.
XGrid Numbered(int rows, int cols, int type)
{
    XGrid g(rows, cols, type);
    for (int i = 0; i < rows * cols; ++i) g.SetFromREAL64(i / cols, i % cols, (i / cols) * 10 + i % cols);
    return g;
}

Q S(double v) { return {v, N, N, N}; }  // a single-channel sample
using B = std::vector<uint8_t>;

// SetValue input (a marker channel takes the previous channel), GetValue output and, where given,
// the stored bytes.
struct Case { int type; Q in, out; B bytes{}; };
const Case kCases[] = {
    {XDT_UINT08, S(300), S(255)}, {XDT_UINT08, S(-5), S(0)}, {XDT_UINT08, S(254.9), S(254), {0xFE}},
    {XDT_SINT08, S(200), S(127)}, {XDT_SINT08, S(-200), S(-128), {0x80}}, {XDT_SINT08, S(-3.7), S(-3)},
    {XDT_UINT16, S(70000), S(65535), {0xFF, 0xFF}}, {XDT_UINT16, S(-1), S(0)}, {XDT_SINT16, S(40000), S(32767)},
    {XDT_SINT16, S(-40000), S(-32768)}, {XDT_SINT16, S(-2.7), S(-2), {0xFE, 0xFF}}, {XDT_UINT32, S(-1), S(0)},
    {XDT_UINT32, S(4294967295.0), S(4294967295.0), {0xFF, 0xFF, 0xFF, 0xFF}}, {XDT_UINT32, S(5e9), S(4294967295.0)},
    {XDT_UINT32, S(2147483648.7), S(2147483648.0), {0, 0, 0, 0x80}}, {XDT_SINT32, S(3e9), S(2147483647)},
    {XDT_SINT32, S(-3e9), S(-2147483648.0), {0, 0, 0, 0x80}}, {XDT_SINT32, S(-2147483647.9), S(-2147483647)},
    {XDT_UINT64, S(12345.9), S(12345), {0x39, 0x30, 0, 0, 0, 0, 0, 0}}, {XDT_SINT64, S(-5.9), S(-5)},
    {XDT_UINT64, S(-1), S(P64), B(8, 0xFF)}, {XDT_SINT64, S(-P63), S(-P63)},
    {XDT_UINT64, S(-P63), S(P63), {0, 0, 0, 0, 0, 0, 0, 0x80}}, {XDT_SINT64, S(-1), S(-1), B(8, 0xFF)},
    {XDT_REAL32, S(0.1), S(double(0.1f))}, {XDT_REAL32, S(1e39), S(F32MAX)}, {XDT_REAL32, S(-1e39), S(-F32MAX)},
    {XDT_REAL32, S(1 + 0.75 * ULP23), S(1 + ULP23)}, {XDT_REAL32, S(-1 - 0.75 * ULP23), S(-1 - ULP23)},
    {XDT_REAL64, S(0.1), S(0.1)}, {XDT_REAL64, S(HUGE_VAL), S(1.7e308)}, {XDT_REAL64, S(-HUGE_VAL), S(-1.7e308)},
    {XDT_UINT08C, {300, -5, N, N}, {255, 0, N, N}, {0xFF, 0}}, {XDT_UINT08C, {7, N, 1, 1}, {7, 7, N, N}},
    {XDT_SINT08C, {-3.7, 200, N, N}, {-3, 127, N, N}, {0xFD, 0x7F}}, {XDT_UINT16C, {70000, 2.5, N, N}, {65535, 2, N, N}},
    {XDT_SINT16C, {-40000, -1.5, N, N}, {-32768, -1, N, N}, {0, 0x80, 0xFF, 0xFF}},
    {XDT_UINT32C, {4294967295.0, -1, N, N}, {4294967295.0, 0, N, N}}, {XDT_UINT64C, {-1, 5.5, N, N}, {P64, 5, N, N}},
    {XDT_SINT32C, {-1, 7.9, N, N}, {-1, 7, N, N}, {0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}},
    {XDT_SINT64C, {-7.5, P63 / 2, N, N}, {-7, P63 / 2, N, N}}, {XDT_REAL32C, {1e39, 0.1, N, N}, {F32MAX, 0.1f, N, N}},
    {XDT_REAL32C, {1.5, -2, N, N}, {1.5, -2, N, N}, {0, 0, 0xC0, 0x3F, 0, 0, 0, 0xC0}},  // real part first
    {XDT_REAL64C, {1.5, -2, N, N}, {1.5, -2, N, N}, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0}},
    {XDT_GRAY, S(300), S(44), {0x2C}}, {XDT_GRAY, S(-1.5), S(255)}, {XDT_GRAY, S(255.9), S(255)},
    {XDT_RGB, {1, 2, N, N}, {1, 2, 2, N}, {1, 2, 2}}, {XDT_RGB, {266, -2, 511.5, N}, {10, 254, 255, N}},
    {XDT_BGR, {1, N, 3, N}, {1, 1, 3, N}, {1, 1, 3}}, {XDT_RGBA, {1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}},
    {XDT_BGRA, {256, 257, -256, -257}, {0, 1, 0, 255}}, {XDT_ARGB, {255, 3, 4, 0}, {255, 3, 4, 0}},
    {XDT_ABGR, S(9), {9, 9, 9, 9}}, {XDT_RGBA, {1, N, 3, N}, {1, 1, 3, 3}}, {XDT_BGRA, {1, N, N, 4}, {1, 1, 1, 4}},
    {XDT_RGB565, {255, 255, 255, N}, {248, 252, 248, N}, {0xFF, 0xFF}},
    {XDT_RGB565, {0x12, 0x34, 0x56, N}, {0x10, 0x34, 0x50, N}, {0xAA, 0x11}},
    {XDT_BGR565, {504, -1, 7, N}, {248, 252, 0, N}, {0xE0, 0xFF}}, {XDT_BGR565, {0, 0, 255, N}, {0, 0, 248, N}, {0x1F, 0}},
    {XDT_RGBA5551, {0x12, 0x34, 0x56, 0x80}, {0x10, 0x30, 0x50, 1}, {0x95, 0x11}},
    {XDT_BGRA5551, {255, 255, 255, 0}, {248, 248, 248, 0}, {0xFE, 0xFF}},
    {XDT_BGRA5551, {0, 0, 255, 0}, {0, 0, 248, 0}, {0x3E, 0}},
    {XDT_ARGB1555, {1, 255, 0, 255}, {1, 248, 0, 248}, {0x1F, 0xFC}},
    {XDT_ARGB1555, {0x12, 0x34, 0x56, 0x78}, {1, 0x30, 0x50, 0x78}, {0x4F, 0x99}},
    {XDT_ABGR1555, {0, 255, 255, 255}, {0, 248, 248, 248}, {0xFF, 0x7F}},
};

} // namespace

TEST(GridSamples, EveryTypeRoundTripsWithClampingTruncationWrapAndPacking)
{
    bool seen[XDT_LAST + 1] = {};
    for (const auto& t : kCases) {
        SCOPED_TRACE(::testing::Message() << "type " << t.type << " in " << t.in[0]);
        XGrid g(3, 4, t.type);
        const int size = g.GetDataSize();
        ASSERT_TRUE(g.IsValid() && size == DATASIZE[t.type]);
        std::memset(g.GetData(), 0xCD, size * 12);
        Write(g, 1, 2, t.in);  // sample 6 of a 3 x 4 grid
        EXPECT_EQ(Read(g, 1, 2), t.out);
        const uint8_t* p = g.GetData();
        if (!t.bytes.empty()) {
            EXPECT_EQ(B(p + 6 * size, p + 7 * size), t.bytes);
        }
        EXPECT_EQ(std::count(p, p + 6 * size, 0xCD) + std::count(p + 7 * size, p + 12 * size, 0xCD), 11 * size);
        seen[t.type] = true;
    }
    for (int t = XDT_FIRST; t <= XDT_LAST; ++t) EXPECT_TRUE(seen[t]) << "no case for type " << t;
    XGrid u(1, 1, XDT_UINT64);  // a raw word with its top bit set reads back as 2^63 or more
    std::memcpy(u.GetData(), "\x01\0\0\0\0\0\0\x80", 8);
    EXPECT_GE(u.GetAsREAL64(0, 0), P63);
}

TEST(GridSamples, ChannelSpreadComparisonAndEmptyGrid)
{
    const int channels[] = {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2,
                            2, 2, 2, 2, 1, 3, 3, 4, 4, 4, 4, 3, 3, 4, 4, 4, 4};
    for (int t : {-1, 34}) EXPECT_EQ(Xfn::GetChannelCount(t), 0);
    for (int t = XDT_NONE; t <= XDT_LAST; ++t) {
        EXPECT_EQ(Xfn::GetChannelCount(t), channels[t]) << t;
        if (t == XDT_NONE) continue;
        XGrid h(1, 1, t);
        Q q{0, 0, 0, 0};
        EXPECT_TRUE(h.ConvToFourValues(3, q[0], q[1], q[2], q[3])) << t;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(q[i], i < channels[t] ? 3.0 : N) << "type " << t;
        EXPECT_TRUE(h.IsSameValue(3, q[0], q[1], q[2], q[3]));
        EXPECT_FALSE(h.IsSameValue(3, q[0], q[1], q[2], 3.5));
    }
    XGrid c(1, 1, XDT_REAL32C), e;
    EXPECT_TRUE(c.IsSameValue(2, 2, 2, N, N));
    EXPECT_FALSE(c.IsSameValue(2, 2, 2, 2, N) || c.IsSameValue(2, 2, 0, N, N));
    c.SetFromREAL32(0, 0, 0.1f);
    EXPECT_EQ(c.GetAsREAL32(0, 0), 0.1f);
    Q q{0, 0, 0, 0};  // an empty grid reads nothing and reports the markers
    EXPECT_FALSE(e.GetValue(0, 0, q[0], q[1], q[2], q[3]));
    EXPECT_EQ(q, (Q{N, N, N, N}));
    EXPECT_FALSE(e.ConvToFourValues(1, q[0], q[1], q[2], q[3]));
    EXPECT_EQ(std::make_tuple(e.GetAsREAL64(0, 0), e.GetAsREAL32(0, 0), e.GetMagnitude(0, 0)),
              std::make_tuple(N, NAN_REAL32, N));
}

TEST(GridAlloc, RefusalsChangeNothingAndBlocksAreReused)
{
    XGrid g, bad(4, 4, 40);
    EXPECT_FALSE(g.IsValid() || bad.IsValid());
    EXPECT_EQ(State(g), State(nullptr, 0, 0, 0, 0));
    EXPECT_EQ(State(bad), State(nullptr, 0, 0, 0, 0));
    ASSERT_TRUE(g.Alloc(100, 100, XDT_REAL64));
    g.SetGeoOrigin(5, 6).SetGeoSpacing(2, 3);
    uint8_t* block = g.GetData();
    const int refused[][3] = {{0, 10, XDT_REAL32}, {10, 10, XDT_NONE}, {10, 10, 34}, {-1, 10, XDT_UINT08},
                              {10, -3, XDT_REAL64}, {65536, 32768, XDT_UINT08}, {-4, 4, -1},
                              // byte counts that overflow 32 and 64 bits, and would wrap to small blocks
                              {1518500249, 1518500251, XDT_REAL64}, {INT32_MAX, INT32_MAX, XDT_RGBA},
                              {65536, 65536, XDT_REAL64C}, {1 << 30, 4, XDT_UINT08}};
    for (const auto& r : refused) {
        EXPECT_FALSE(g.Alloc(r[0], r[1], r[2])) << r[0] << " x " << r[1] << " type " << r[2];
        EXPECT_EQ(State(g), State(block, 100, 100, XDT_REAL64, 80000, {5, 6, 2, 3}));
    }
    ASSERT_TRUE(g.Alloc(10, 10, XDT_UINT08));  // smaller: same block, geo-reference reset
    EXPECT_EQ(State(g), State(block, 10, 10, XDT_UINT08, 80000));
    std::memset(block, 0xAB, 80000);
    g.Zerorize();
    EXPECT_EQ(std::count(block, block + 80000, 0), 80000);
    ASSERT_TRUE(g.AllocExact(10, 10, XDT_UINT08));
    EXPECT_EQ(g.GetAllocSize(), 100);
    ASSERT_TRUE(g.Alloc(20, 20, XDT_UINT16));
    EXPECT_EQ(g.GetAllocSize(), 800);
    g.SetGeoOrigin(1, 1).Free();
    EXPECT_EQ(State(g), State(nullptr, 0, 0, 0, 0));
}

TEST(GridAlloc, WrappedMemoryIsReshapedWithinItsBytesAndNeverFreed)
{
    std::vector<uint8_t> buf(100, 7);
    uint8_t* mem = buf.data();
    {
        XGrid g(mem, 10, 10, XDT_UINT08, false), w(mem, 10, 10, XDT_UINT08, false), copy(mem, 5, 5, XDT_UINT32, true);
        g.SetGeoOrigin(3, 4);
        EXPECT_TRUE(g.Alloc(5, 20, XDT_UINT08));
        EXPECT_EQ(State(g), State(mem, 5, 20, XDT_UINT08, 0));
        EXPECT_TRUE(g.Alloc(5, 5, XDT_UINT32));
        EXPECT_FALSE(g.Alloc(10, 10, XDT_UINT16));
        EXPECT_EQ(State(g), State(mem, 5, 5, XDT_UINT32, 0));
        g.Zerorize();  // nothing is owned, so neither a clear nor a zero fill touches the bytes
        g.Fill(0, N, N, N);
        EXPECT_EQ(std::count(buf.begin(), buf.end(), 7), 100);
        g.SetFromREAL64(4, 4, 0x01020304);
        EXPECT_EQ(B(mem + 96, mem + 100), (B{4, 3, 2, 1}));
        g.Attach(mem, INT32_MAX, INT32_MAX, XDT_REAL64);  // a shape no memory can hold is not taken
        EXPECT_EQ(State(g), State(nullptr, 0, 0, 0, 0));
        g.Attach(mem, 2, 50, XDT_UINT08);
        EXPECT_EQ(g.GetAsREAL64(1, 49), 1.0);
        g.Free();
        EXPECT_EQ(State(g), State(nullptr, 0, 0, 0, 0));
        ASSERT_TRUE(g.Alloc(10, 10, XDT_UINT08) && w.AllocExact(10, 10, XDT_UINT08));  // now blocks of their own
        for (const XGrid* o : {&g, &w, &copy}) EXPECT_TRUE(o->GetData() != mem && o->GetAllocSize() == 100);
        EXPECT_EQ(std::count(copy.GetData(), copy.GetData() + 100, 7), 100);  // copied before the writes above
    }
    EXPECT_EQ(buf[0] + buf[99], 8);  // the wrapping grids are gone and the buffer is intact
}

TEST(GridAlloc, ReformComparesElementCounts)
{
    XGrid g = Numbered(10, 10, XDT_SINT16);
    uint8_t* block = g.GetData();
    g.SetGeoOrigin(1, 2);
    EXPECT_FALSE(g.Reform(11, 10));
    EXPECT_EQ(State(g), State(block, 10, 10, XDT_SINT16, 200, {1, 2, 1, 1}));
    ASSERT_TRUE(g.Reform(20, 5));
    EXPECT_EQ(State(g), State(block, 20, 5, XDT_SINT16, 200));
    EXPECT_EQ(g.GetAsREAL64(2, 3), 13.0);  // element 13 of the same block
    ASSERT_TRUE(g.Reform(5, 5));
    EXPECT_FALSE(g.Reform(10, 10));  // the current shape, not the block, is the limit
}

TEST(GridFill, ZeroClearsTheBlockOtherValuesGoCellByCell)
{
    XGrid g(10, 10, XDT_REAL64), rgb(10, 10, XDT_RGB), h(3, 2, XDT_RGBA);
    ASSERT_TRUE(g.Alloc(2, 2, XDT_REAL64) && rgb.Alloc(2, 2, XDT_RGB));
    std::memset(g.GetData(), 0xAB, 800);
    std::memset(rgb.GetData(), 0xAB, 300);
    g.Fill(0, N, N, N);  // equals the spread zero: the whole owned block is cleared
    EXPECT_EQ(std::count(g.GetData(), g.GetData() + 800, 0), 800);
    rgb.Fill(0, N, N, N);  // differs from (0, 0, 0, N): written cell by cell
    EXPECT_EQ(std::count(rgb.GetData(), rgb.GetData() + 12, 0), 12);
    EXPECT_EQ(std::count(rgb.GetData() + 12, rgb.GetData() + 300, 0xAB), 288);
    h.Fill(1, 2, N, N);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Read(h, i / 2, i % 2), (Q{1, 2, 2, 2}));
}

TEST(GridSubset, RectanglesBordersGeoReferenceAndNoData)
{
    XGrid g = Numbered(6, 5, XDT_REAL32), d;
    g.SetGeoOrigin(100, 50).SetGeoSpacing(2, 3);
    const uint8_t src[64] = {};
    const int bad[][4] = {{2, 1, 0, 0}, {0, 0, 3, 2}, {-1, 0, 0, 0}, {0, 6, 0, 0}, {0, 0, 0, 5}, {0, 0, -1, 1}};
    for (const auto& b : bad) {
        EXPECT_FALSE(g.GetSubset(&d, b[0], b[1], b[2], b[3]) || d.IsValid());
        EXPECT_FALSE(g.SetSubset(1, N, N, N, b[0], b[1], b[2], b[3]));
        EXPECT_FALSE(g.SetSubset(src, XDT_UINT08, b[0], b[1], b[2], b[3], N));
    }
    EXPECT_FALSE(g.GetSubset(nullptr, 0, 0, 0, 0) || g.SetSubset(nullptr, XDT_UINT08, 0, 0, 0, 0, N));
    EXPECT_EQ(g.GetAsREAL64(0, 0), 0.0);  // the refusals wrote nothing
    ASSERT_TRUE(g.GetSubset(&d, 5, 5, 4, 4));  // a single cell at the far corner
    EXPECT_EQ(Geo(d), (Geo4{90, 62, 2, 3}));
    EXPECT_EQ(d.GetAsREAL64(0, 0), 54.0);
    ASSERT_TRUE(g.GetSubset(&d, 3, 5, 1, 4));  // reaches the last row and column
    EXPECT_EQ(State(d), State(d.GetData(), 3, 4, XDT_REAL32, d.GetAllocSize(), {94, 53, 2, 3}));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(d.GetAsREAL64(i / 4, i % 4), (i / 4 + 3) * 10 + i % 4 + 1);

    ASSERT_TRUE(g.SetSubset(-1, N, N, N, 4, 5, 3, 4));  // the value form writes only its rectangle
    EXPECT_EQ(Q({g.GetAsREAL64(4, 3), g.GetAsREAL64(5, 4), g.GetAsREAL64(3, 4), g.GetAsREAL64(4, 2)}),
              (Q{-1, -1, 34, 42}));
    // The memory form converts and clamps, and skips cells equal to noData.
    XGrid u(3, 3, XDT_UINT08), r2(1, 2, XDT_RGB);
    u.Fill(9, N, N, N);
    const uint8_t bytes[4] = {0, 1, 0, 2};
    const double reals[3] = {300, N, -5.5};
    ASSERT_TRUE(u.SetSubset(bytes, XDT_UINT08, 1, 2, 1, 2, 0) && u.SetSubset(reals, XDT_REAL64, 0, 0, 0, 2, N));
    const double want[9] = {255, 9, 0, 9, 9, 1, 9, 9, 2};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(u.GetAsREAL64(i / 3, i % 3), want[i]) << "cell " << i;
    const uint8_t rgb[6] = {0, 0, 0, 0, 5, 0};  // only an all-zero sample matches noData 0
    r2.Fill(8, N, N, N);
    ASSERT_TRUE(r2.SetSubset(rgb, XDT_RGB, 0, 0, 0, 1, 0));
    EXPECT_EQ(Read(r2, 0, 0), (Q{8, 8, 8, N}));
    EXPECT_EQ(Read(r2, 0, 1), (Q{0, 5, 0, N}));
}

TEST(GridSubset, FlipsMirrorAndResetGeoReference)
{
    XGrid g = Numbered(3, 4, XDT_SINT32), v, h, empty;
    g.SetGeoOrigin(7, 8);
    h.SetGeoOrigin(1, 1);
    ASSERT_TRUE(g.FlipVert(&v) && g.FlipHorz(&h));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(v.GetAsREAL64(i / 4, i % 4), (2 - i / 4) * 10 + i % 4);
        EXPECT_EQ(h.GetAsREAL64(i / 4, i % 4), (i / 4) * 10 + 3 - i % 4);
    }
    EXPECT_EQ(Geo(v), kDefaultGeo);
    EXPECT_EQ(Geo(h), kDefaultGeo);
    EXPECT_FALSE(g.FlipVert(nullptr) || g.FlipHorz(nullptr) || empty.FlipVert(&v) || empty.FlipHorz(&v));
}

TEST(GridGeoReference, ExtentAndConversionsAddressPixelEdges)
{
    XGrid g(10, 20, XDT_UINT08);
    EXPECT_EQ(&g.SetGeoOrigin(100, 50).SetGeoSpacing(2, 3), &g);
    Geo4 e{};
    g.GetExtent(e[0], e[1], e[2], e[3]);
    EXPECT_EQ(e, (Geo4{110, 50, 80, 100}));  // right, left, bottom, top
    EXPECT_EQ(Q({g.ColFromX(53), g.RowFromY(96), g.XFromCol(1.5), g.YFromRow(2.5)}), (Q{1, 2, 54.5, 95}));
    EXPECT_EQ(g.ColFromX(g.XFromCol(19.25)), 19.25);
    EXPECT_EQ(g.RowFromY(g.YFromRow(-3.5)), -3.5);
}

TEST(GridCopy, CopyConstructorDropsGeoReferenceAssignmentKeepsIt)
{
    XGrid src = Numbered(4, 3, XDT_REAL64C), big(20, 20, XDT_REAL64C), empty;
    src.SetGeoOrigin(10, 20).SetGeoSpacing(0.5, 0.25);
    XGrid cc(src);
    EXPECT_EQ(State(cc), State(cc.GetData(), 4, 3, XDT_REAL64C, 192));
    EXPECT_NE(cc.GetData(), src.GetData());
    EXPECT_EQ(std::memcmp(cc.GetData(), src.GetData(), 192), 0);
    uint8_t* block = big.GetData();
    big = src;
    EXPECT_EQ(State(big), State(block, 4, 3, XDT_REAL64C, 6400, {10, 20, 0.5, 0.25}));  // block reused
    EXPECT_EQ(std::memcmp(big.GetData(), src.GetData(), 192), 0);
    empty.SetGeoOrigin(-1, -2).SetGeoSpacing(4, 5);
    big = empty;  // nothing to copy: old samples stay, the geo-reference is taken
    EXPECT_EQ(State(big), State(block, 4, 3, XDT_REAL64C, 6400, {-1, -2, 4, 5}));
    EXPECT_EQ(big.GetAsREAL64(3, 2), 32.0);
}

TEST(GridDerived, MagnitudePerTypeFamily)
{
    const struct { int type; Q q; double mag; } cases[] = {
        {XDT_SINT16, S(-7), -7}, {XDT_GRAY, S(200), 200}, {XDT_REAL64, S(-0.5), -0.5},
        {XDT_REAL32C, {3, 4, N, N}, 5}, {XDT_SINT08C, {-3, -4, N, N}, 5}, {XDT_RGB, {1, 2, 2, N}, 3},
        {XDT_RGBA, {3, 4, 0, 255}, 5}, {XDT_ARGB, {255, 3, 4, 0}, 5}, {XDT_ABGR, {200, 0, 3, 4}, 5},
        {XDT_RGB565, {24, 32, 0, N}, 40}, {XDT_BGRA5551, {24, 32, 0, 1}, 40}, {XDT_ARGB1555, {1, 24, 32, 0}, 40}};
    for (const auto& t : cases) {
        XGrid g(2, 2, t.type);
        Write(g, 1, 0, t.q);
        EXPECT_DOUBLE_EQ(g.GetMagnitude(1, 0), t.mag) << "type " << t.type;
    }
}

TEST(GridDerived, WindowMeanSkipsOutsideNoDataAndMarkers)
{
    XGrid g(3, 3, XDT_REAL64), rgb(1, 3, XDT_RGB);
    for (int i = 0; i < 9; ++i) g.SetFromREAL64(i / 3, i % 3, i + 1);
    const struct { int r1, r2, c1, c2; double noData, mean; } cases[] = {
        {-1, 0, -1, 0, N, 1}, {-5, 10, -5, 10, 5, 5}, {3, 4, 0, 2, N, N}, {2, 1, 0, 2, N, N}, {1, 2, 2, 9, N, 7.5}};
    Q q{};
    for (const auto& t : cases) {
        g.GetWindowMean(t.r1, t.r2, t.c1, t.c2, t.noData, q[0], q[1], q[2], q[3]);
        EXPECT_EQ(q, S(t.mean)) << t.r1 << ".." << t.r2 << " x " << t.c1 << ".." << t.c2;
    }
    rgb.SetValue(0, 0, 1, 2, 3, N);
    rgb.SetValue(0, 1, 3, 2, 0, N);
    rgb.GetWindowMean(0, 0, 0, 1, 3, q[0], q[1], q[2], q[3]);  // noData 3 is skipped per channel
    EXPECT_EQ(q, (Q{1, 2, 0, N}));
}

TEST(GridDerived, HalfSizeAveragesBlocksAndTruncatesIntegers)
{
    const struct { int type, rows, cols; std::vector<double> in, out; } cases[] = {
        {XDT_REAL64, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {3, 4.5, 7.5, 9}},
        {XDT_UINT08, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {3, 4, 7, 9}},
        {XDT_SINT16, 2, 4, {-1, -2, 5, 5, 0, 0, 5, 6}, {0, 5}}, {XDT_SINT16, 1, 2, {-1, -2}, {-1}},
        {XDT_REAL32, 1, 1, {2.5}, {2.5}}, {XDT_UINT16, 4, 5, std::vector<double>(20, 7), std::vector<double>(6, 7)}};
    for (const auto& t : cases) {
        XGrid g(t.rows, t.cols, t.type), d;
        g.SetGeoOrigin(9, 9);
        for (int i = 0; i < t.rows * t.cols; ++i) g.SetFromREAL64(i / t.cols, i % t.cols, t.in[i]);
        ASSERT_TRUE(g.GetHalfSize(&d));
        const int hr = (t.rows + 1) / 2, hc = (t.cols + 1) / 2;
        ASSERT_EQ(State(d), State(d.GetData(), hr, hc, t.type, d.GetAllocSize()));
        for (int i = 0; i < hr * hc; ++i) EXPECT_EQ(d.GetAsREAL64(i / hc, i % hc), t.out[i]) << "type " << t.type;
    }
    XGrid rgb(2, 2, XDT_RGB), d, empty;
    rgb.Fill(1, 2, 3, N);
    rgb.SetValue(1, 1, 4, 5, 6, N);
    ASSERT_TRUE(rgb.GetHalfSize(&d));
    EXPECT_EQ(Read(d, 0, 0), (Q{1, 2, 3, N}));  // 1.75, 2.75, 3.75 truncated
    EXPECT_FALSE(empty.GetHalfSize(&d) || rgb.GetHalfSize(nullptr));
}
