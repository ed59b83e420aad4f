// Colour transforms and bitmap helpers: the 8-bit transform against a
// floating-point reference and its round trip over every pixel, the exact
// 16-bit round trip, planar and interleaved forms agreeing, bit access at
// byte boundaries and bitmap sizes.
#include <gtest/gtest.h>

#include <tivra/grid/XColorTransform.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

/// x / 8 rounded half up, computed in floating point.
int Round8(int x) { return static_cast<int>(std::floor(x / 8.0 + 0.5)); }

} // namespace

TEST(GridColour, EightBitTransformAgreesWithReferenceAndRoundTripsWithinOne)
{
    uint8_t px[3] = {200, 100, 50};
    Xfn::EncodeColorPixels8(px, 1, 3);
    EXPECT_EQ(px[0], 113);
    EXPECT_EQ(px[1], 172);
    EXPECT_EQ(px[2], 97);
    Xfn::DecodeColorPixels8(px, 1, 3);
    EXPECT_EQ(px[0], 201);
    EXPECT_EQ(px[1], 100);
    EXPECT_EQ(px[2], 51);

    // Every pixel: the reference formulas, and the round trip off by at most
    // one, a grey pixel exactly.
    std::vector<uint8_t> all(size_t(3) << 24);
    for (uint32_t v = 0; v < (1u << 24); ++v) {
        all[3 * size_t(v)] = uint8_t(v >> 16);
        all[3 * size_t(v) + 1] = uint8_t(v >> 8);
        all[3 * size_t(v) + 2] = uint8_t(v);
    }
    std::vector<uint8_t> work = all;
    Xfn::EncodeColorPixels8(work.data(), 1 << 24, 3);
    int worst = 0;
    for (uint32_t v = 0; v < (1u << 24); v += 4099) {
        const int p = all[3 * v], c = all[3 * v + 1], q = all[3 * v + 2];
        ASSERT_EQ(work[3 * v], Round8(2 * p + 4 * c + 2 * q));
        ASSERT_EQ(work[3 * v + 1], Round8(3 * p - 2 * c - q + 1024));
        ASSERT_EQ(work[3 * v + 2], Round8(3 * q - 2 * c - p + 1024));
    }
    Xfn::DecodeColorPixels8(work.data(), 1 << 24, 3);
    for (size_t i = 0; i < all.size(); ++i) worst = std::max(worst, std::abs(int(work[i]) - int(all[i])));
    EXPECT_EQ(worst, 1);
    for (int v = 0; v < 256; ++v) {
        uint8_t g[3] = {uint8_t(v), uint8_t(v), uint8_t(v)};
        Xfn::EncodeColorPixels8(g, 1, 3);
        ASSERT_EQ(g[0], v);
        ASSERT_EQ(g[1], 128);
        ASSERT_EQ(g[2], 128);
        Xfn::DecodeColorPixels8(g, 1, 3);
        ASSERT_TRUE(g[0] == v && g[1] == v && g[2] == v) << v;
    }

    // Planar, interleaved with a stride of 4 and Y-last forms give the same
    // channels; the fourth component is left alone.
    std::mt19937 rng(1);
    const int n = 1001;
    std::vector<uint8_t> P(n), C(n), Q(n), inter(4 * n), ylast(4 * n);
    for (int i = 0; i < n; ++i) {
        P[i] = uint8_t(rng());
        C[i] = uint8_t(rng());
        Q[i] = uint8_t(rng());
        inter[4 * i] = ylast[4 * i] = P[i];
        inter[4 * i + 1] = ylast[4 * i + 1] = C[i];
        inter[4 * i + 2] = ylast[4 * i + 2] = Q[i];
        inter[4 * i + 3] = ylast[4 * i + 3] = uint8_t(i);
    }
    const auto P0 = P, C0 = C, Q0 = Q;
    Xfn::EncodeColorPlanar8(C.data(), P.data(), Q.data(), n);
    Xfn::EncodeColorPixels8(inter.data(), n, 4);
    Xfn::EncodeColorPixels8YLast(ylast.data(), n, 4);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Q[i], inter[4 * i]);        // Y
        ASSERT_EQ(P[i], inter[4 * i + 1]);    // D1
        ASSERT_EQ(C[i], inter[4 * i + 2]);    // D2
        ASSERT_EQ(ylast[4 * i], inter[4 * i + 1]);
        ASSERT_EQ(ylast[4 * i + 1], inter[4 * i + 2]);
        ASSERT_EQ(ylast[4 * i + 2], inter[4 * i]);
        ASSERT_EQ(inter[4 * i + 3], uint8_t(i));
    }
    // Decoding: the Y plane receives p, the D1 plane c, the D2 plane q.
    Xfn::DecodeColorPlanar8(Q.data(), P.data(), C.data(), n);
    Xfn::DecodeColorPixels8(inter.data(), n, 4);
    Xfn::DecodeColorPixels8YLast(ylast.data(), n, 4);
    for (int i = 0; i < n; ++i) {
        ASSERT_LE(std::abs(Q[i] - P0[i]), 1);
        ASSERT_LE(std::abs(P[i] - C0[i]), 1);
        ASSERT_LE(std::abs(C[i] - Q0[i]), 1);
        for (int k = 0; k < 3; ++k) ASSERT_EQ(inter[4 * i + k], ylast[4 * i + k]);
        ASSERT_EQ(inter[4 * i], Q[i]);
        ASSERT_EQ(inter[4 * i + 1], P[i]);
        ASSERT_EQ(inter[4 * i + 2], C[i]);
        ASSERT_EQ(ylast[4 * i + 3], uint8_t(i));
    }
    Xfn::EncodeColorPixels8(nullptr, 5, 3);  // ignored
}

TEST(GridColour, SixteenBitRoundTripIsExact)
{
    int16_t px[3] = {200, 100, 50};
    Xfn::EncodeColorPixels16(px, 1, 3);
    EXPECT_EQ(px[0], 900);
    EXPECT_EQ(px[1], 350);
    EXPECT_EQ(px[2], -250);
    Xfn::DecodeColorPixels16(px, 1, 3);
    EXPECT_EQ(px[0], 200);
    EXPECT_EQ(px[1], 100);
    EXPECT_EQ(px[2], 50);

    // Components in [-4096, 4095] keep S, E1 and E2 inside 16 bits.
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> u(-4096, 4095);
    const int n = 4097;
    std::vector<int16_t> inter(5 * n), P(n), C(n), Q(n);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 5; ++k) inter[5 * i + k] = int16_t(u(rng));
        P[i] = inter[5 * i];
        C[i] = inter[5 * i + 1];
        Q[i] = inter[5 * i + 2];
    }
    inter[0] = inter[1] = inter[2] = -4096;
    inter[5] = inter[6] = inter[7] = 4095;
    P[0] = C[0] = Q[0] = -4096;
    P[1] = C[1] = Q[1] = 4095;
    const auto orig = inter;
    Xfn::EncodeColorPixels16(inter.data(), n, 5);
    Xfn::EncodeColorPlanar16(C.data(), P.data(), Q.data(), n);
    for (int i = 0; i < n; ++i) {
        const int p = orig[5 * i], c = orig[5 * i + 1], q = orig[5 * i + 2];
        ASSERT_EQ(inter[5 * i], 2 * p + 4 * c + 2 * q);
        ASSERT_EQ(inter[5 * i + 1], 3 * p - 2 * c - q);
        ASSERT_EQ(inter[5 * i + 2], 3 * q - 2 * c - p);
        ASSERT_EQ(Q[i], inter[5 * i]);
        ASSERT_EQ(P[i], inter[5 * i + 1]);
        ASSERT_EQ(C[i], inter[5 * i + 2]);
    }
    Xfn::DecodeColorPixels16(inter.data(), n, 5);
    Xfn::DecodeColorPlanar16(Q.data(), P.data(), C.data(), n);
    EXPECT_EQ(inter, orig);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Q[i], orig[5 * i]);      // p
        ASSERT_EQ(P[i], orig[5 * i + 1]);  // c
        ASSERT_EQ(C[i], orig[5 * i + 2]);  // q
    }
}

TEST(GridColour, BitAccessBitmapSizesAndHalving)
{
    uint8_t row[4] = {};
    Xfn::SetBit(row, 0, 1);
    EXPECT_EQ(row[0], 0x80);
    Xfn::SetBit(row, 9, 7);
    EXPECT_EQ(row[1], 0x40);
    Xfn::SetBit(row, 7, 1);
    Xfn::SetBit(row, 8, 1);
    EXPECT_EQ(row[0], 0x81);
    EXPECT_EQ(row[1], 0xC0);
    Xfn::SetBit(row, 0, 0);
    EXPECT_EQ(row[0], 0x01);
    EXPECT_EQ(Xfn::GetBit(row, 7) + Xfn::GetBit(row, 8) + Xfn::GetBit(row, 9), 3);
    EXPECT_EQ(Xfn::GetBit(row, 0) + Xfn::GetBit(row, 6) + Xfn::GetBit(row, 10), 0);
    // A random pattern written bit by bit reads back; bytes hold it MSB first.
    std::mt19937 rng(3);
    std::vector<int> bits(1000);
    std::vector<uint8_t> packed(125, 0xA5);
    for (int i = 0; i < 1000; ++i) {
        bits[i] = int(rng() & 1);
        Xfn::SetBit(packed.data(), i, bits[i]);
    }
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(Xfn::GetBit(packed.data(), i), bits[i]) << i;
        ASSERT_EQ((packed[i / 8] >> (7 - i % 8)) & 1, bits[i]) << i;
    }

    const int sizes[][3] = {{1, 9, 4}, {4, 9, 8}, {24, 5, 16}, {8, 4, 4}, {1, 32, 4}, {1, 33, 8}, {4, 8, 4},
                            {4, 9, 8}, {8, 5, 8}, {16, 3, 8}, {32, 3, 12}, {24, 0, 0}, {1, -4, 0}};
    for (const auto& s : sizes) EXPECT_EQ(Xfn::GetBitmapRowBytes(s[0], s[1]), s[2]) << s[0] << " x " << s[1];
    tagXBitmapInfoHeader h{};
    h.nSize = 40;
    h.nWidth = 9;
    h.nBitCount = 4;
    EXPECT_EQ(Xfn::GetBitmapRowBytes(h), 8);
    const int counts[][2] = {{1, 2}, {4, 16}, {8, 256}, {16, 0}, {24, 0}, {32, 0}};
    for (const auto& c : counts) {
        h.nBitCount = uint16_t(c[0]);
        EXPECT_EQ(Xfn::GetPaletteEntryCount(h), c[1]);
    }
    h.nBitCount = 8;
    h.nClrUsed = 5;
    EXPECT_EQ(Xfn::GetPaletteEntryCount(h), 5);
    h.nClrUsed = 0x10003;
    EXPECT_EQ(Xfn::GetPaletteEntryCount(h), 3);
    h.nClrUsed = 0x10000;
    EXPECT_EQ(Xfn::GetPaletteEntryCount(h), 256);

    EXPECT_EQ(Xfn::HalvePower(10.0, 3), 1.25);
    EXPECT_EQ(Xfn::HalvePower(10.0, 0), 10.0);
    EXPECT_EQ(Xfn::HalvePower(10.0, -5), 10.0);
    EXPECT_EQ(Xfn::HalvePower(1.0, 1074), std::ldexp(1.0, -1074));
    EXPECT_EQ(Xfn::HalvePower(1.0, 1075), 0.0);
    EXPECT_EQ(Xfn::HalvePower(-HUGE_VAL, 2147483647), -HUGE_VAL);
    EXPECT_EQ(Xfn::HalvePower(1.7e308, 2147483647), 0.0);
}
