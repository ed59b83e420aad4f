// Colour transforms and bitmap helpers: every form of the 8-bit transform
// against a floating-point reference, its round trip over every pixel, the
// exact 16-bit round trip, bit order in packed rows and bitmap sizes.
#include <gtest/gtest.h>

#include <tivra/grid/XColorTransform.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

using T3 = std::array<int, 3>;

/// (p, c, q) -> (Y, D1, D2), x / 8 rounded half up in floating point.
T3 Forward8(int p, int c, int q)
{
    auto r8 = [](int x) { return int(std::floor(x / 8.0 + 0.5)); };
    return {r8(2 * p + 4 * c + 2 * q), r8(3 * p - 2 * c - q + 1024), r8(3 * q - 2 * c - p + 1024)};
}

/// (Y, D1, D2) -> (p, c, q), clamped to bytes.
T3 Inverse8(int y, int d1, int d2)
{
    auto cl = [](int v) { return std::clamp(v, 0, 255); };
    return {cl(y + 2 * (d1 - 128)), cl(y - (d1 - 128) - (d2 - 128)), cl(y + 2 * (d2 - 128))};
}

} // namespace

TEST(GridColour, EightBitPlanarInterleavedAndYLastFormsMatchTheReference)
{
    // Planes in roles (c, p, q); interleaved pixels of stride 4 whose fourth
    // component must be left alone.
    std::mt19937 rng(1);
    const int n = 1001;
    std::vector<uint8_t> P(n), C(n), Q(n), inter(4 * n), ylast(4 * n);
    std::vector<T3> orig(n);
    for (int i = 0; i < n; ++i) {
        orig[i] = {int(rng() & 255), int(rng() & 255), int(rng() & 255)};
        P[i] = uint8_t(orig[i][0]), C[i] = uint8_t(orig[i][1]), Q[i] = uint8_t(orig[i][2]);
        for (int k = 0; k < 3; ++k) inter[4 * i + k] = ylast[4 * i + k] = uint8_t(orig[i][k]);
        inter[4 * i + 3] = ylast[4 * i + 3] = uint8_t(i);
    }
    Xfn::EncodeColorPlanar8(C.data(), P.data(), Q.data(), n);
    Xfn::EncodeColorPixels8(inter.data(), n, 4);
    Xfn::EncodeColorPixels8YLast(ylast.data(), n, 4);
    std::vector<T3> enc(n);
    for (int i = 0; i < n; ++i) {
        enc[i] = Forward8(orig[i][0], orig[i][1], orig[i][2]);
        const auto [y, d1, d2] = enc[i];
        ASSERT_EQ((T3{inter[4 * i], inter[4 * i + 1], inter[4 * i + 2]}), enc[i]) << i;
        ASSERT_EQ((T3{Q[i], P[i], C[i]}), enc[i]) << i;  // the q plane holds Y, p D1, c D2
        ASSERT_EQ((T3{ylast[4 * i], ylast[4 * i + 1], ylast[4 * i + 2]}), (T3{d1, d2, y})) << i;
    }
    // Decoding: the Y plane receives p, the D1 plane c, the D2 plane q.
    Xfn::DecodeColorPlanar8(Q.data(), P.data(), C.data(), n);
    Xfn::DecodeColorPixels8(inter.data(), n, 4);
    Xfn::DecodeColorPixels8YLast(ylast.data(), n, 4);
    for (int i = 0; i < n; ++i) {
        const T3 dec = Inverse8(enc[i][0], enc[i][1], enc[i][2]);
        ASSERT_EQ((T3{Q[i], P[i], C[i]}), dec) << i;
        ASSERT_EQ((T3{inter[4 * i], inter[4 * i + 1], inter[4 * i + 2]}), dec) << i;
        ASSERT_EQ((T3{ylast[4 * i], ylast[4 * i + 1], ylast[4 * i + 2]}), dec) << i;
        ASSERT_TRUE(inter[4 * i + 3] == uint8_t(i) && ylast[4 * i + 3] == uint8_t(i)) << i;
    }
    Xfn::EncodeColorPixels8(nullptr, 5, 3);  // ignored
}

TEST(GridColour, EightBitRoundTripOverEveryPixelIsWithinOneAndExactForGrey)
{
    std::vector<uint8_t> all(size_t(3) << 24);
    for (uint32_t v = 0; v < (1u << 24); ++v)
        for (int k = 0; k < 3; ++k) all[3 * size_t(v) + k] = uint8_t(v >> (16 - 8 * k));
    std::vector<uint8_t> work = all;
    Xfn::EncodeColorPixels8(work.data(), 1 << 24, 3);
    for (uint32_t v = 0; v < (1u << 24); v += 4099) {
        const uint8_t *a = &all[3 * v], *w = &work[3 * v];
        ASSERT_EQ((T3{w[0], w[1], w[2]}), Forward8(a[0], a[1], a[2])) << v;
    }
    Xfn::DecodeColorPixels8(work.data(), 1 << 24, 3);
    int worst = 0;
    for (size_t i = 0; i < all.size(); ++i) worst = std::max(worst, std::abs(int(work[i]) - int(all[i])));
    EXPECT_EQ(worst, 1);
    for (uint32_t v = 0; v < (1u << 24); v += 0x010101)  // grey pixels come back exactly
        ASSERT_TRUE(std::equal(&work[3 * v], &work[3 * v + 3], &all[3 * v])) << v;
}

TEST(GridColour, SixteenBitTransformMatchesTheFormulasAndRoundTripsExactly)
{
    // Components in [-4096, 4095] keep S, E1 and E2 inside 16 bits; interleaved
    // pixels of stride 5 and the planar form on the same values.
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> u(-4096, 4095);
    const int n = 4097;
    std::vector<int16_t> inter(5 * n), P(n), C(n), Q(n);
    for (auto& v : inter) v = int16_t(u(rng));
    std::fill(inter.begin(), inter.begin() + 3, -4096);
    std::fill(inter.begin() + 5, inter.begin() + 8, 4095);
    for (int i = 0; i < n; ++i) P[i] = inter[5 * i], C[i] = inter[5 * i + 1], Q[i] = inter[5 * i + 2];
    const auto orig = inter;
    Xfn::EncodeColorPixels16(inter.data(), n, 5);
    Xfn::EncodeColorPlanar16(C.data(), P.data(), Q.data(), n);
    for (int i = 0; i < n; ++i) {
        const int p = orig[5 * i], c = orig[5 * i + 1], q = orig[5 * i + 2];
        const T3 want{2 * p + 4 * c + 2 * q, 3 * p - 2 * c - q, 3 * q - 2 * c - p};
        ASSERT_EQ((T3{inter[5 * i], inter[5 * i + 1], inter[5 * i + 2]}), want) << i;
        ASSERT_EQ((T3{Q[i], P[i], C[i]}), want) << i;
    }
    Xfn::DecodeColorPixels16(inter.data(), n, 5);
    Xfn::DecodeColorPlanar16(Q.data(), P.data(), C.data(), n);
    EXPECT_EQ(inter, orig);  // the components beyond the third included
    for (int i = 0; i < n; ++i)
        ASSERT_EQ((T3{Q[i], P[i], C[i]}), (T3{orig[5 * i], orig[5 * i + 1], orig[5 * i + 2]})) << i;
}

TEST(GridColour, BitOrderBitmapSizesAndHalving)
{
    // A random pattern written bit by bit over set and clear bits reads back;
    // bytes hold it most significant bit first.
    std::mt19937 rng(3);
    std::vector<int> bits(1000);
    std::vector<uint8_t> packed(125, 0xA5);
    for (int i = 0; i < 1000; ++i) Xfn::SetBit(packed.data(), i, bits[i] = int(rng() & 1) * (i % 7 + 1));
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(Xfn::GetBit(packed.data(), i), int(bits[i] != 0)) << i;
        ASSERT_EQ((packed[i / 8] >> (7 - i % 8)) & 1, int(bits[i] != 0)) << i;
    }

    // {bits per pixel, width, row bytes}
    const int sizes[][3] = {{1, 9, 4}, {1, 32, 4}, {1, 33, 8}, {4, 8, 4}, {4, 9, 8}, {8, 4, 4},
                            {8, 5, 8}, {16, 3, 8}, {24, 5, 16}, {32, 3, 12}, {24, 0, 0}, {1, -4, 0}};
    for (const auto& s : sizes) EXPECT_EQ(Xfn::GetBitmapRowBytes(s[0], s[1]), s[2]) << s[0] << " x " << s[1];
    tagXBitmapInfoHeader h{40, 9, 1, 1, 4};
    EXPECT_EQ(Xfn::GetBitmapRowBytes(h), 8);
    // {bits per pixel, colours used, palette entries}: only the low 16 bits of the count matter.
    const uint32_t counts[][3] = {{1, 0, 2}, {4, 0, 16}, {8, 0, 256}, {16, 0, 0}, {24, 0, 0}, {32, 0, 0},
                                  {8, 5, 5}, {8, 0x10003, 3}, {8, 0x10000, 256}, {24, 7, 7}};
    for (const auto& c : counts) {
        h.nBitCount = uint16_t(c[0]);
        h.nClrUsed = c[1];
        EXPECT_EQ(Xfn::GetPaletteEntryCount(h), int(c[2])) << c[0] << " " << c[1];
    }

    const struct { double x; int n; double want; } halve[] = {
        {10, 3, 1.25}, {10, 0, 10}, {10, -5, 10}, {1, 1074, std::ldexp(1.0, -1074)}, {1, 1075, 0},
        {-HUGE_VAL, 2147483647, -HUGE_VAL}, {1.7e308, 2147483647, 0}};
    for (const auto& t : halve) EXPECT_EQ(Xfn::HalvePower(t.x, t.n), t.want) << t.x << " " << t.n;
}
