// Colour transforms against floating-point and integer formulas, their round
// trips, every vector kernel against the scalar loop, bits and bitmap sizes.
#include <gtest/gtest.h>

#include <tivra/grid/XColorTransform.h>

#include "../../core/grid/XColorTransformKernels.h"
#include "../../core/platform/XCpu.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

namespace CT = ColorTransform;
constexpr CT::Form8 kForms8[] = {CT::Form8::Encode, CT::Form8::Decode, CT::Form8::EncodeYLast, CT::Form8::DecodeYLast};
using XPlatform::CpuLevel;
/// Every vector level, the plain loops first.
constexpr CpuLevel kLevels[] = {CpuLevel::Plain, CpuLevel::Sse2, CpuLevel::Avx2, CpuLevel::Avx512};

/// Bytes ending at an inaccessible page: any access past the end faults.
class PageEndBuffer {
public:
    explicit PageEndBuffer(size_t bytes)
        : m_page(size_t(sysconf(_SC_PAGESIZE))), m_span((bytes + m_page - 1) / m_page * m_page + m_page)
    {
        m_base = static_cast<uint8_t*>(mmap(nullptr, m_span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (m_base == MAP_FAILED || mprotect(m_base + m_span - m_page, m_page, PROT_NONE) != 0) std::abort();
        m_data = m_base + m_span - m_page - bytes;
    }
    ~PageEndBuffer() { munmap(m_base, m_span); }
    PageEndBuffer(const PageEndBuffer&) = delete;
    uint8_t* data() { return m_data; }

private:
    size_t m_page, m_span;
    uint8_t *m_base, *m_data;
};

/// Index of the first differing byte, or -1.
int64_t FirstDifference(const void* a, const void* b, size_t n)
{
    const auto *x = static_cast<const uint8_t*>(a), *y = static_cast<const uint8_t*>(b);
    const auto at = std::mismatch(x, x + n, y);
    return at.first == x + n ? -1 : at.first - x;
}

} // namespace

TEST(GridColour, EightBitKernelsOnEveryPixelMatchTheScalarLoopAndRoundTripWithinOne)
{
    // Every (p, c, q) triple as a pixel of stride 3 and 4 (fourth bytes a
    // pattern), each form with the processor's vector kernels against the
    // scalar loop.
    if (XPlatform::GetCpuLevel() < CpuLevel::Avx2) GTEST_LOG_(INFO) << "no AVX2: both runs take the scalar loop";
    const int64_t n = int64_t(1) << 24;
    for (const int stride : {3, 4}) {
        std::vector<uint8_t> all(size_t(n * stride));
        for (int64_t v = 0; v < n; ++v)
            for (int k = 0; k < stride; ++k) all[size_t(v * stride + k)] = uint8_t(k < 3 ? v >> (16 - 8 * k) : v * 7);
        std::vector<uint8_t> want(all.size()), got(all.size());
        for (const CT::Form8 form : kForms8) {
            want = all;
            {
                XPlatform::CpuLevelLimit plain(CpuLevel::Plain);
                CT::Pixels8(form, want.data(), n, stride);
            }
            got = all;
            CT::Pixels8(form, got.data(), n, stride);
            ASSERT_EQ(FirstDifference(got.data(), want.data(), got.size()), -1)
                << "stride " << stride << " form " << int(form);
            if (stride != 3 || form != CT::Form8::Encode) continue;
            // The encoding against the floating-point formulas, then decoded:
            // within one of every pixel, grey pixels exactly.
            for (int64_t v = 0; v < n; v += 4099) {
                const uint8_t *a = &all[3 * v], *w = &want[3 * v];
                ASSERT_EQ((T3{w[0], w[1], w[2]}), Forward8(a[0], a[1], a[2])) << v;
            }
            Xfn::DecodeColorPixels8(want.data(), n, 3);
            int worst = 0;
            for (size_t i = 0; i < all.size(); ++i) worst = std::max(worst, std::abs(int(want[i]) - int(all[i])));
            EXPECT_EQ(worst, 1);
            for (int64_t v = 0; v < n; v += 0x010101)
                ASSERT_TRUE(std::equal(&want[3 * v], &want[3 * v + 3], &all[3 * v])) << v;
        }
    }
}

TEST(GridColour, VectorKernelsMatchTheScalarLoopAtEveryLengthStrideAndStart)
{
    // Lengths 0..70 reach every tail of the 8-, 16- and 32-pixel steps; starts
    // 0..3 bytes (elements) past an aligned address; components beyond the
    // third must come through as they were, and the pixels end against an
    // inaccessible page so that a read past the last pixel's third component
    // faults. Half the 16-bit components come from the extremes and the
    // values where S, E1, E2 or the sums of the inverse leave 16 bits.
    const int16_t edges[] = {-32768, -32767, -16385, -16384, -8193, -8192, -4097, -4096, -1,
                             0,      1,      4095,   4096,   8191,  8192,  16383, 32766, 32767};
    std::mt19937 rng(4);
    for (const int stride : {3, 4, 5, 6})
        for (int start = 0; start < 4; ++start)
            for (int n = 0; n <= 70; ++n) {
                const size_t bytes8 = size_t(start + (n > 0 ? (n - 1) * stride + 3 : 0));
                PageEndBuffer buf8(bytes8), buf16(2 * bytes8);
                std::vector<uint8_t> orig8(bytes8);
                std::vector<int16_t> orig16(bytes8);
                std::vector<uint8_t> want8[4];  // the scalar loop's results, by form
                std::vector<int16_t> want16[2];
                for (auto& b : orig8) b = uint8_t(rng());
                for (auto& e : orig16) e = (rng() & 1) ? edges[rng() % std::size(edges)] : int16_t(rng());
                auto* px16 = reinterpret_cast<int16_t*>(buf16.data());
                for (const CpuLevel level : kLevels) {
                    XPlatform::CpuLevelLimit limit(level);
                    for (const CT::Form8 form : kForms8) {
                        auto& want = want8[int(form)];
                        std::copy(orig8.begin(), orig8.end(), buf8.data());
                        CT::Pixels8(form, buf8.data() + start, n, stride);
                        if (level == CpuLevel::Plain) want.assign(buf8.data(), buf8.data() + bytes8);
                        ASSERT_EQ(FirstDifference(buf8.data(), want.data(), bytes8), -1)
                            << "stride " << stride << " start " << start << " n " << n << " form " << int(form);
                    }
                    for (const bool decode : {false, true}) {
                        auto& want = want16[decode];
                        std::copy(orig16.begin(), orig16.end(), px16);
                        CT::Pixels16(decode, px16 + start, n, stride);
                        if (level == CpuLevel::Plain) want.assign(px16, px16 + bytes8);
                        ASSERT_EQ(FirstDifference(px16, want.data(), 2 * bytes8), -1)
                            << "stride " << stride << " start " << start << " n " << n << " decode " << decode;
                    }
                }
                // The scalar loop leaves the extra components and the bytes
                // before the start alone.
                for (size_t at = 0; at < bytes8; ++at) {
                    const bool other = at < size_t(start) || (at - start) % stride >= 3;
                    for (const auto& want : want8) ASSERT_TRUE(!other || want[at] == orig8[at]) << at;
                    for (const auto& want : want16) ASSERT_TRUE(!other || want[at] == orig16[at]) << at;
                }
            }

    // A null buffer or a count below 1 does nothing at any level.
    std::vector<uint8_t> bytes(64, 9);
    std::vector<int16_t> words(64, 9);
    for (const CpuLevel level : kLevels)
        for (const int64_t n : {int64_t(0), int64_t(-1), int64_t(-64)}) {
            XPlatform::CpuLevelLimit limit(level);
            for (const CT::Form8 form : kForms8) {
                CT::Pixels8(form, bytes.data(), n, 3);
                CT::Pixels8(form, nullptr, 16 - n, 4);
            }
            CT::Pixels16(false, words.data(), n, 3);
            CT::Pixels16(true, nullptr, 16 - n, 4);
        }
    EXPECT_EQ(bytes, std::vector<uint8_t>(64, 9));
    EXPECT_EQ(words, std::vector<int16_t>(64, 9));
}

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
