#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarp2D.h>

#include "../../core/platform/XCpu.h"

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;
using Pelmora::Tivra::XPlatform::CpuLevel;

namespace {

XGrid RandomGrid(int rows, int cols, int type, unsigned seed)
{
    XGrid g(rows, cols, type);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-300, 70000);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) g.SetValue(r, c, u(rng), u(rng), u(rng), u(rng));
    return g;
}

bool SameBytes(const XGrid& a, const XGrid& b)
{
    return a.GetRSize() == b.GetRSize() && a.GetCSize() == b.GetCSize() && a.GetDataType() == b.GetDataType() &&
           std::memcmp(a.GetData(), b.GetData(), size_t(a.GetRSize()) * a.GetCSize() * a.GetDataSize()) == 0;
}

std::vector<double> Rgb(const XGrid& g, int r, int c)
{
    double v[4];
    EXPECT_TRUE(g.GetValue(r, c, v[0], v[1], v[2], v[3]));
    return {v[0], v[1], v[2]};
}

/// A rotation with scale about the centre, as a global warp.
XWarpCoeff Rotation(double deg, double scale, double cx, double cy)
{
    XWarpCoeff w;
    w.CreateRotation(deg, cx, cy);
    for (int i = 0; i < 3; ++i) {
        w.m_CoeffX[i] *= (i < 2 ? scale : 1);
        w.m_CoeffY[i] *= (i < 2 ? scale : 1);
    }
    return w;
}

} // namespace

TEST(MtResample, IdentityAndNullWarpsCopyTheSource)
{
    const XGrid src = RandomGrid(13, 17, XDT_SINT16, 1);
    XWarpCoeff w;
    for (int method : {XWARP_NOCHANGE, XWARP_NULL}) {
        w.m_nMethod = method;
        XGrid dst(13, 17, XDT_SINT16);
        ASSERT_TRUE(ResampleByWarp(&src, &dst, &w, XINTERP_NEAREST, -1));
        EXPECT_TRUE(SameBytes(src, dst)) << method;
    }
    // A larger destination keeps the background beyond the source.
    const XGrid rgb = RandomGrid(5, 4, XDT_RGB, 2);
    XGrid big(6, 6, XDT_RGB);
    ASSERT_TRUE(ResampleByWarp(&rgb, &big, &w, XINTERP_BILINEAR, 7));
    EXPECT_EQ(Rgb(big, 4, 3), Rgb(rgb, 4, 3));
    EXPECT_EQ(Rgb(big, 5, 5), (std::vector<double>{7, 7, 7}));
}

TEST(MtResample, BackgroundMarkersAndProjectiveZeroW)
{
    const XGrid src = RandomGrid(4, 4, XDT_UINT08, 3);
    std::vector<XVertex2<double>> cells(16);
    for (int i = 0; i < 16; ++i) cells[i] = XVertex2<double>(i % 4, i / 4);
    cells[5] = XVertex2<double>(NAN_REAL64, 1);
    cells[6] = XVertex2<double>(2, NAN_REAL64);
    cells[7] = XVertex2<double>(9, 9);  // outside the source
    const XCoordMap map{cells.data(), 4, 4};

    XGrid dst(4, 4, XDT_UINT08);
    std::memset(dst.GetData(), 0xAB, 16);
    ASSERT_TRUE(ResampleByCoordMap(&src, &dst, &map, XINTERP_CUBIC, 0));  // cleared by bytes
    EXPECT_EQ(dst.GetAsREAL64(1, 1) + dst.GetAsREAL64(1, 2) + dst.GetAsREAL64(1, 3), 0);
    ASSERT_TRUE(ResampleByCoordMap(&src, &dst, &map, XINTERP_NEAREST, 300));  // written with SetValue, clamped
    EXPECT_EQ(dst.GetAsREAL64(1, 1), 255);
    EXPECT_EQ(dst.GetAsREAL64(0, 3), src.GetAsREAL64(0, 3));

    // A projective mapping with w = 0 at row 2 leaves those pixels unmapped.
    XProjectiveWarp p;
    const double h[9] = {1, 0, 1, 0, 1, 0, 0, 1, -2};  // (x + 1, y) / (y - 2)
    std::memcpy(p.m_H.GetData(), h, sizeof h);
    ASSERT_TRUE(ResampleByProjective(&src, &dst, &p, XINTERP_NEAREST, 9));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(dst.GetAsREAL64(2, c), src.GetAsREAL64(2, c));

    // Bad input writes nothing.
    XWarpCoeff w;
    const XCoordMap small{cells.data(), 2, 8};
    EXPECT_FALSE(ResampleByCoordMap(&src, &dst, &small, XINTERP_NEAREST, 0));
    EXPECT_FALSE(ResampleByWarp(nullptr, &dst, &w, XINTERP_NEAREST, 0));
    EXPECT_FALSE(ResampleByWarp(&src, &dst, nullptr, XINTERP_NEAREST, 0));
    EXPECT_FALSE(ResampleByWarp(&src, &dst, &w, 4, 0));
    EXPECT_FALSE(ResampleByWarp(&src, &dst, &w, -1, 0));
    EXPECT_FALSE(ResampleByWarp(&src, static_cast<XGrid*>(nullptr), &w, XINTERP_NEAREST, 0));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(dst.GetAsREAL64(2, c), src.GetAsREAL64(2, c));

    // A matrix destination is a REAL64 view of its storage.
    XMatrix mdst(4, 4);
    w.m_nMethod = XWARP_NOCHANGE;
    ASSERT_TRUE(ResampleByWarp(&src, &mdst, &w, XINTERP_BILINEAR, 0));
    EXPECT_EQ(mdst(3, 2), src.GetAsREAL64(3, 2));
}

TEST(MtResample, RowKernelsMatchTheGeneralPathBitForBit)
{
    const int types[] = {XDT_UINT08, XDT_UINT16, XDT_SINT16, XDT_REAL32, XDT_REAL64};
    // A piecewise cubic warp fitted to a distorted lattice, and a rotation.
    std::vector<double> sx, sy, tx, ty;
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> jitter(-2, 2);
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i) {
            sx.push_back(i * 12.0);
            sy.push_back(j * 9.0);
            tx.push_back(i * 11.0 + jitter(rng) - 3);
            ty.push_back(j * 10.0 + jitter(rng) + 2);
        }
    XWarp2D piecewise;
    ASSERT_TRUE(piecewise.Fit(XWARP_SECONDORDER, 36, sx.data(), sy.data(), tx.data(), ty.data(), nullptr, 2, 2));
    XWarpCoeff rotation = Rotation(5, 1.01, 30, 25);
    XProjectiveWarp proj;
    const double h[9] = {1.01, 0.02, -3, -0.01, 0.98, 2, 1e-4, -2e-4, 1};
    std::memcpy(proj.m_H.GetData(), h, sizeof h);
    // The coordinate map mixes scattered positions with positions on and
    // about the edges where a window starts to need clamping (source 50 x 60),
    // markers, non-numbers and positions beyond the integer range.
    const double inf = INFINITY;
    const double ys[] = {-1, std::nextafter(-1.0, 0.0), -0.5, -0.0, 0.5, 1, 1.5, 2, 46.5, 47, 47.5, 48, 48.5,
                         49, std::nextafter(50.0, 0.0), 50, NAN_REAL64, NAN, inf, -inf, 3e9, -3e9};
    const double xs[] = {-1, std::nextafter(-1.0, 0.0), -0.5, -0.0, 0.5, 1, 1.5, 2, 56.5, 57, 57.5, 58, 58.5,
                         59, std::nextafter(60.0, 0.0), 60, NAN_REAL64, NAN, inf, -inf, 3e9, -3e9};
    std::uniform_int_distribution<int> pick(0, std::size(ys) - 1);
    std::vector<XVertex2<double>> cells(47 * 61);
    for (int i = 0; i < 47 * 61; ++i) {
        const double x = jitter(rng) * 16 + 30, y = jitter(rng) * 14 + 25;
        cells[i] = XVertex2<double>(i % 3 == 0 ? xs[pick(rng)] : x, i % 5 == 0 ? ys[pick(rng)] : y);
        // Half-way positions, where interpolated integers end in exactly .5
        // and rounding has to break the tie.
        if (i % 7 == 1) cells[i] = XVertex2<double>(std::floor(x) + 0.5, std::floor(y) + (i % 2 ? 0.5 : 0.0));
    }
    const XCoordMap map{cells.data(), 47, 61};

    // Each faster engine against the general path, truncating and rounding.
    XResamplePixels engines[4]; // general, scalar, vector (the default), four-lane vector
    engines[0].SetKernels(XResamplePixels::KERNELS_GENERAL);
    engines[1].SetKernels(XResamplePixels::KERNELS_SCALAR);
    engines[3].SetKernels(XResamplePixels::KERNELS_VECTOR4);
    for (bool noData : {false, true})
        for (bool round : {false, true})
            for (int st : types)
                for (int dt :
                     {st, st == XDT_REAL64 ? int(XDT_UINT08) : int(XDT_REAL64)}) { // kernel pair and a general one
                    XGrid src = RandomGrid(50, 60, st, unsigned(st * 40 + dt));
                    // Floating sources also hold infinities and non-numbers, which
                    // the stores clamp or pass.
                    for (int i = 0; i < 60 && (st == XDT_REAL32 || st == XDT_REAL64); ++i) {
                        const double v = i % 3 == 0 ? INFINITY : i % 3 == 1 ? -INFINITY : NAN;
                        uint8_t* p = src.GetData() + size_t(i * 47 % 3000) * src.GetDataSize();
                        if (st == XDT_REAL32) {
                            const float f = float(v);
                            std::memcpy(p, &f, sizeof f);
                        } else {
                            std::memcpy(p, &v, sizeof v);
                        }
                    }
                    // With no-data on, one sample in nine holds the no-data value
                    // (whole blocks too, so that windows fall wholly inside holes).
                    for (int i = 0; i < 3000 && noData; ++i)
                        if (i % 9 == 4 || (i / 60 % 20 < 3 && i % 60 < 5)) src.SetFromREAL64(i / 60, i % 60, 77);
                    for (XResamplePixels& engine : engines) {
                        engine.SetSourceNoData(noData, 77);
                        engine.SetRounding(round);
                    }
                    for (int method = XINTERP_NEAREST; method <= XINTERP_CUBIC_SEPARABLE; ++method) {
                        // Each mapping through one engine, with its own background.
                        auto run = [&](XResamplePixels& engine, XGrid& dst, int mapping) {
                            switch (mapping) {
                            case 0: return engine.ResampleByWarp(&src, &dst, &piecewise, method, 3);
                            case 1: return engine.ResampleByWarp(&src, &dst, &rotation, method, 0);
                            case 2: return engine.ResampleByProjective(&src, &dst, &proj, method, 1);
                            default: return engine.ResampleByCoordMap(&src, &dst, &map, method, 2);
                            }
                        };
                        XGrid ref(47, 61, dt), out(47, 61, dt);
                        for (int mapping = 0; mapping < 4; ++mapping) {
                            ASSERT_TRUE(run(engines[0], ref, mapping));
                            for (int e = 1; e < 4; ++e) {
                                ASSERT_TRUE(run(engines[e], out, mapping));
                                EXPECT_TRUE(SameBytes(out, ref))
                                    << "engine " << e << ": " << st << " -> " << dt << " method " << method
                                    << " mapping " << mapping << (round ? " rounding" : "")
                                    << (noData ? " no-data" : "");
                            }
                        }
                    }
                }
}

TEST(MtResample, LargeDestinationsGiveTheSameImageOnEveryKernelAndWorkerCount)
{
    // A destination of several bands and column blocks, with a ragged last
    // block and a width that leaves pixels over after whole vector groups,
    // rotated so that rows start and end outside the source: every pixel
    // must come out as the general path computes it, whatever the kernel,
    // lane width or number of workers (none: the calling thread does the
    // job), and progress ends at 100. The vector engine runs at each level
    // of vector code: none (the scalar row kernels), four lanes and the
    // widest. The backgrounds need converting for some types (clamped,
    // truncated, a non-number).
    constexpr int kRows = 101, kCols = 613;
    const XWarpCoeff rotation = Rotation(7, 0.97, kCols / 2.0, kRows / 2.0);
    XProjectiveWarp proj;
    const double h[9] = {0.99, 0.03, 4, -0.02, 1.01, -3, 2e-5, -1e-4, 1};
    std::memcpy(proj.m_H.GetData(), h, sizeof h);
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_REAL32})
        for (int method = XINTERP_NEAREST; method <= XINTERP_CUBIC_SEPARABLE; ++method) {
            const XGrid src = RandomGrid(kRows, kCols, type, unsigned(type * 10 + method));
            const double background = std::array{5.0, -2.5, 300.7, double(NAN)}[method];
            XResamplePixels general;
            general.SetKernels(XResamplePixels::KERNELS_GENERAL);
            XGrid ref(kRows, kCols, type), refProj(kRows, kCols, type);
            XWarpCoeff warp = rotation;
            ASSERT_TRUE(general.ResampleByWarp(&src, &ref, &warp, method, background));
            ASSERT_TRUE(general.ResampleByProjective(&src, &refProj, &proj, method, background));
            for (auto level : {CpuLevel::Plain, CpuLevel::Avx2, CpuLevel::Avx512})
                for (int threads : {1, 2, 3, 0}) {
                    XPlatform::CpuLevelLimit limit(level);
                    XResamplePixels engine;
                    if (threads) engine.SetNumberOfThreads(threads);
                    else engine.CloseThreads();
                    XGrid out(kRows, kCols, type);
                    ASSERT_TRUE(engine.ResampleByWarp(&src, &out, &warp, method, background));
                    EXPECT_TRUE(SameBytes(out, ref))
                        << type << " method " << method << " level " << int(level) << " threads " << threads;
                    if (threads) {
                        EXPECT_EQ(engine.GetPercent(), 100);
                    }
                    ASSERT_TRUE(engine.ResampleByProjective(&src, &out, &proj, method, background));
                    EXPECT_TRUE(SameBytes(out, refProj))
                        << type << " method " << method << " level " << int(level) << " threads " << threads;
                }
        }
}

TEST(MtResample, RoundingStoresTheNearestIntegerHalvesAwayFromZero)
{
    // Bilinear half-way between two samples gives their mean; the source
    // holds pairs whose means end in .5, just below and above it, and pairs
    // that leave the destination's range. A shift of half a column puts each
    // destination pixel c at source column c + 0.5.
    XWarpCoeff half;
    half.m_nMethod = XWARP_AFFINE;
    const double cx[3] = {1, 0, 0.5}, cy[3] = {0, 1, 0};
    std::copy(cx, cx + 3, half.m_CoeffX);
    std::copy(cy, cy + 3, half.m_CoeffY);
    struct Case {
        int type;
        std::vector<double> src;   // a row; pixel c reads the mean of columns c and c + 1
        std::vector<double> trunc; // what the truncating store gives
        std::vector<double> round; // what the rounding store gives
    };
    const Case cases[] = {
        {XDT_UINT08, {0, 1, 2, 255, 254, 0}, {0, 1, 128, 254, 127}, {1, 2, 129, 255, 127}},
        {XDT_SINT16, {-1, 0, -3, -32768, 32767, 2}, {0, -1, -16385, 0, 16384}, {-1, -2, -16386, -1, 16385}},
        {XDT_UINT16, {65535, 65534, 1, 2, 9, 10}, {65534, 32767, 1, 5, 9}, {65535, 32768, 2, 6, 10}},
        {XDT_REAL32, {0, 1, 2, 255, 254, 0}, {0.5, 1.5, 128.5, 254.5, 127}, {0.5, 1.5, 128.5, 254.5, 127}},
        {XDT_REAL64, {-1, 0, -3, 5, 6, 2}, {-0.5, -1.5, 1, 5.5, 4}, {-0.5, -1.5, 1, 5.5, 4}},
    };
    for (const Case& t : cases)
        for (auto kernels :
             {XResamplePixels::KERNELS_GENERAL, XResamplePixels::KERNELS_SCALAR, XResamplePixels::KERNELS_VECTOR})
            for (bool round : {false, true}) {
                // Three equal rows, so that the vector kernels have whole windows.
                XGrid src(3, 6, t.type), dst(1, 5, t.type);
                for (int i = 0; i < 18; ++i) src.SetFromREAL64(i / 6, i % 6, t.src[i % 6]);
                XResamplePixels engine;
                engine.SetKernels(kernels);
                engine.SetRounding(round);
                ASSERT_TRUE(engine.ResampleByWarp(&src, &dst, &half, XINTERP_BILINEAR, 0));
                for (int c = 0; c < 5; ++c)
                    EXPECT_EQ(dst.GetAsREAL64(0, c), (round ? t.round : t.trunc)[c])
                        << "type " << t.type << " kernels " << kernels << " column " << c;
            }

    // Rounding then clamping into another type; a real destination keeps the
    // fraction; -0.4 becomes 0 in an unsigned type, -0.6 becomes -1 and then 0.
    XGrid reals(1, 4, XDT_REAL64), bytes(1, 3, XDT_UINT08), rgb(1, 3, XDT_RGB);
    const double v[4] = {-0.8, 0, 255.4, 256.2};
    for (int c = 0; c < 4; ++c) reals.SetFromREAL64(0, c, v[c]);
    XResamplePixels engine;
    engine.SetRounding(true);
    ASSERT_TRUE(engine.ResampleByWarp(&reals, &bytes, &half, XINTERP_BILINEAR, 9));
    EXPECT_EQ(bytes.GetAsREAL64(0, 0), 0);   // -0.4
    EXPECT_EQ(bytes.GetAsREAL64(0, 1), 128); // 127.7
    EXPECT_EQ(bytes.GetAsREAL64(0, 2), 255); // 255.8 rounds to 256, clamped
    ASSERT_TRUE(engine.ResampleByWarp(&reals, &rgb, &half, XINTERP_BILINEAR, 9));
    EXPECT_EQ(Rgb(rgb, 0, 1), (std::vector<double>{128, 128, 128})); // colour channels round too

    // Every method that reproduces a flat area stores its value rounded:
    // -2.5 becomes -3 (truncated, -2) in a SINT16 destination.
    XGrid minus(6, 6, XDT_REAL64), ints(6, 6, XDT_SINT16);
    minus.Fill(-2.5, NAN_REAL64, NAN_REAL64, NAN_REAL64);
    for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC_SEPARABLE})
        for (bool round : {false, true}) {
            engine.SetRounding(round);
            ASSERT_TRUE(engine.ResampleByWarp(&minus, &ints, &half, method, 0));
            EXPECT_EQ(ints.GetAsREAL64(3, 2), round ? -3 : -2) << method;
        }

    // A flat integer image through the cubic kernel: truncation turns some
    // pixels into 99 where the weighted sums fall just below 100; rounding
    // keeps every one.
    XGrid flat(40, 40, XDT_UINT08), out(40, 40, XDT_UINT08);
    flat.Fill(100, NAN_REAL64, NAN_REAL64, NAN_REAL64);
    XWarpCoeff turn = Rotation(13, 0.93, 20, 20);
    for (bool round : {false, true}) {
        engine.SetRounding(round);
        ASSERT_TRUE(engine.ResampleByWarp(&flat, &out, &turn, XINTERP_CUBIC, 100));
        int below = 0;
        for (int i = 0; i < 1600; ++i) below += out.GetData()[i] != 100;
        if (round) EXPECT_EQ(below, 0);
        else EXPECT_GT(below, 0);
    }
}

namespace {

/// Runs one method over a 1 x 4 coordinate map through each engine and
/// returns what each stored, row after row (general, scalar, vector).
std::vector<std::vector<double>> RunFour(const XGrid& src, const XVertex2<double>* cells, int method, double noData,
                                         double background)
{
    std::vector<std::vector<double>> got;
    const XCoordMap map{cells, 1, 4};
    for (auto kernels :
         {XResamplePixels::KERNELS_GENERAL, XResamplePixels::KERNELS_SCALAR, XResamplePixels::KERNELS_VECTOR}) {
        XGrid dst(1, 4, src.GetDataType());
        XResamplePixels engine;
        engine.SetKernels(kernels);
        engine.SetSourceNoData(true, noData);
        EXPECT_TRUE(engine.ResampleByCoordMap(&src, &dst, &map, method, background));
        got.emplace_back();
        for (int c = 0; c < 4; ++c) got.back().push_back(dst.GetAsREAL64(0, c));
    }
    return got;
}

} // namespace

TEST(MtResample, NoDataNeverContributesOnEveryTypeAndMethod)
{
    // A quadratic surface r^2 + c^2 on 8 x 8 with one no-data sample at
    // (5, 5) (and, for the floating types, a NaN at (2, 2)). Hand values at
    // the four positions, none of them on the bilinear lattice's centres:
    //   (3.5, 3.5) window rows/cols 2..5 holds both: cubic falls back to
    //              bilinear over (3,3) (3,4) (4,3) (4,4) = 18 25 25 32 -> 25;
    //   (4.5, 4.5) bilinear over 32 41 41 [no-data]: the three valid ones with
    //              weight 1/4 each, renormalised -> 38;
    //   (5.0, 5.0) on the no-data sample: no value, the background 9 stays;
    //   (1.5, 5.5) away from both: the plain formulas, bilinear the mean of
    //              26 37 29 40 = 33, separable cubic the quadratic's 32.5 (to
    //              rounding), nearest 26.
    const XVertex2<double> cells[4] = {{3.5, 3.5}, {4.5, 4.5}, {5.0, 5.0}, {5.5, 1.5}};
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_UINT16, XDT_REAL32, XDT_REAL64}) {
        const bool real = type == XDT_REAL32 || type == XDT_REAL64;
        XGrid src(8, 8, type);
        for (int i = 0; i < 64; ++i) src.SetFromREAL64(i / 8, i % 8, (i / 8) * (i / 8) + (i % 8) * (i % 8));
        src.SetFromREAL64(5, 5, 200);
        if (real) src.SetFromREAL64(2, 2, NAN);
        const auto stored = [&](double v) { return type == XDT_REAL32 ? double(float(v)) : real ? v : std::trunc(v); };
        // -1: checked against GetValueInterpolated below. Nearest at (5, 5)
        // keeps the background because the no-data sample itself is chosen.
        const struct Want { int method; double v[4]; } wants[] = {
            {XINTERP_NEAREST, {18, 32, 9, 26}},
            {XINTERP_BILINEAR, {25, 38, 9, 33}},
            {XINTERP_CUBIC, {25, 38, 9, -1}},
            {XINTERP_CUBIC_SEPARABLE, {25, 38, 9, -1}},
        };
        for (const Want& w : wants) {
            const auto got = RunFour(src, cells, w.method, 200, 9);
            for (int c = 0; c < 4; ++c) {
                if (w.v[c] >= 0) {
                    EXPECT_EQ(got[0][c], stored(w.v[c])) << type << " method " << w.method << " " << c;
                }
                for (int e = 1; e < 3; ++e)
                    EXPECT_EQ(got[e][c], got[0][c]) << "engine " << e << ": " << type << " method " << w.method;
            }
            // Away from no-data the option changes nothing.
            double a, b, cc, d;
            ASSERT_TRUE(src.GetValueInterpolated(1.5, 5.5, w.method, a, b, cc, d));
            EXPECT_EQ(got[0][3], stored(a)) << type << " method " << w.method;
            if (w.method == XINTERP_CUBIC_SEPARABLE) {
                EXPECT_NEAR(a, 32.5, 1e-12);
            }
        }
    }

    // Four no-data samples around the position: nothing valid, background.
    // A single valid one of the four takes the whole weight.
    XGrid holes(6, 6, XDT_REAL32);
    holes.Fill(0.1, NAN_REAL64, NAN_REAL64, NAN_REAL64); // stored as the float nearest 0.1
    holes.SetFromREAL64(3, 3, 40);
    const XVertex2<double> around[4] = {{2.5, 2.5}, {2.2, 2.7}, {3.0, 3.0}, {1.5, 1.5}};
    for (int method : {XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE}) {
        const auto got = RunFour(holes, around, method, 0.1, -5); // 0.1 compared as a float
        for (int e = 0; e < 3; ++e) EXPECT_EQ(got[e], (std::vector<double>{40, 40, 40, -5})) << method << " " << e;
    }
    // The double 0.1 as no-data of a REAL64 source does not match the float.
    XGrid wide(6, 6, XDT_REAL64);
    wide.Fill(double(0.1f), NAN_REAL64, NAN_REAL64, NAN_REAL64);
    EXPECT_NEAR(RunFour(wide, around, XINTERP_BILINEAR, 0.1, -5)[0][3], 0.1, 1e-8);

    // A colour sample is no-data when all its channels are: (200, 200, 200)
    // is left out, (200, 10, 200) is not. The general path, rounding.
    XGrid rgb(2, 2, XDT_RGB), rgbOut(1, 4, XDT_RGB);
    rgb.SetValue(0, 0, 200, 200, 200, NAN_REAL64);
    rgb.SetValue(0, 1, 200, 10, 200, NAN_REAL64);
    rgb.SetValue(1, 0, 30, 60, 90, NAN_REAL64);
    rgb.SetValue(1, 1, 60, 90, 120, NAN_REAL64);
    std::vector<XVertex2<double>> rgbCells(4, XVertex2<double>(0.5, 0.5));
    rgbCells[3] = XVertex2<double>(0, 0);
    const XCoordMap rgbMap{rgbCells.data(), 1, 4};
    XResamplePixels colour;
    colour.SetRounding(true);
    colour.SetSourceNoData(true, 200);
    ASSERT_TRUE(colour.ResampleByCoordMap(&rgb, &rgbOut, &rgbMap, XINTERP_BILINEAR, 1));
    EXPECT_EQ(Rgb(rgbOut, 0, 0), (std::vector<double>{97, 53, 137})); // 290/3, 160/3, 410/3
    EXPECT_EQ(Rgb(rgbOut, 0, 3), (std::vector<double>{1, 1, 1}));    // on the no-data sample
}

namespace {

/// Correlation of a source, summed in the output type in kernel order (an
/// integer output truncates the kernel elements): an independent reference.
template <class OutT>
std::vector<OutT> ReferenceConvolve(const XGrid& s, const XMatrix& k, int edge)
{
    const int H = s.GetRSize(), W = s.GetCSize(), kh = k.GetRows(), kw = k.GetCols();
    std::vector<OutT> out(size_t(H) * W);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            OutT sum = 0;
            for (int j = 0; j < kh; ++j)
                for (int i = 0; i < kw; ++i) {
                    int sy = y - kh / 2 + j, sx = x - kw / 2 + i;
                    if (edge == 1) {
                        sy = std::min(std::max(sy, 0), H - 1);
                        sx = std::min(std::max(sx, 0), W - 1);
                    } else if (sy < 0 || sy >= H || sx < 0 || sx >= W) {
                        continue;
                    }
                    sum += OutT(s.GetAsREAL64(sy, sx)) * OutT(k(j, i));
                }
            out[size_t(y) * W + x] = sum;
        }
    return out;
}

} // namespace

TEST(MtConvolve, EdgeModesCentreAndReference)
{
    // A 2 x 2 kernel has its centre at (1, 1): rows y - 1, y and columns x - 1, x.
    XGrid ramp(3, 3, XDT_SINT32), out;
    for (int i = 0; i < 9; ++i) ramp.SetFromREAL64(i / 3, i % 3, 1 << i);
    XMatrix k2(2, 2);
    k2(0, 0) = 1, k2(0, 1) = 10, k2(1, 0) = 100, k2(1, 1) = 1000;
    ASSERT_TRUE(Convolve(&ramp, &k2, &out, XCONV_EDGE_SKIP, XDT_SINT16));
    EXPECT_EQ(out.GetDataType(), XDT_SINT16);
    EXPECT_EQ(out.GetAsREAL64(1, 1), 1 * 1 + 10 * 2 + 100 * 8 + 1000 * 16);
    EXPECT_EQ(out.GetAsREAL64(0, 0), 1000 * 1);

    // Random sources of every handled type against the reference, both edge
    // modes, into both floating types and (integer sources) 64-bit integers.
    XMatrix k(5, 4);
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int i = 0; i < 20; ++i) k.GetData()[i] = std::round(u(rng) * 4) / 4;
    for (int st : {XDT_UINT08, XDT_SINT08, XDT_UINT16, XDT_SINT16, XDT_UINT32, XDT_SINT32, XDT_REAL32, XDT_REAL64})
        for (int edge : {XCONV_EDGE_SKIP, XCONV_EDGE_CLAMP}) {
            const XGrid s = RandomGrid(23, 31, st, unsigned(st + edge * 50));
            auto check = [&](auto zero, int outType) {
                ASSERT_TRUE(Convolve(&s, &k, &out, edge, outType));
                const auto ref = ReferenceConvolve<decltype(zero)>(s, k, edge);
                for (int i = 0; i < 23 * 31; ++i)
                    ASSERT_EQ(out.GetAsREAL64(i / 31, i % 31), double(ref[i])) << st << " -> " << outType << " " << i;
            };
            check(0.0, XDT_REAL64);
            check(0.0f, XDT_REAL32);
            if (st != XDT_REAL32 && st != XDT_REAL64) check(int64_t(0), XDT_SINT64);  // kernel truncated
        }
}

TEST(MtConvolve, IntegerWrapTruncationAndRefusals)
{
    XGrid s(1, 2, XDT_UINT08), f(1, 2, XDT_REAL32), out;
    s.SetFromREAL64(0, 0, 2), s.SetFromREAL64(0, 1, 200);
    f.SetFromREAL64(0, 0, 1.7), f.SetFromREAL64(0, 1, -1.7);
    XMatrix k(1, 1);
    k(0, 0) = 65.9;  // becomes 65 in an integer output
    ASSERT_TRUE(Convolve(&s, &k, &out, XCONV_EDGE_SKIP, XDT_SINT08));
    EXPECT_EQ(out.GetAsREAL64(0, 0), -126);  // 130 wraps
    EXPECT_EQ(out.GetAsREAL64(0, 1), int8_t(int8_t(200) * 65));
    k(0, 0) = 3;  // a floating source forms the product before truncating
    ASSERT_TRUE(Convolve(&f, &k, &out, XCONV_EDGE_SKIP, XDT_SINT32));
    EXPECT_EQ(out.GetAsREAL64(0, 0), 5);
    EXPECT_EQ(out.GetAsREAL64(0, 1), -5);

    XGrid rgb(2, 2, XDT_RGB);
    XMatrix empty;
    EXPECT_FALSE(Convolve(&rgb, &k, &out, XCONV_EDGE_SKIP, XDT_REAL32));
    EXPECT_FALSE(Convolve(&s, &k, &out, XCONV_EDGE_SKIP, XDT_UINT08));
    EXPECT_FALSE(Convolve(&s, &empty, &out, XCONV_EDGE_SKIP, XDT_REAL32));
    EXPECT_FALSE(Convolve(&s, &k, &s, XCONV_EDGE_SKIP, XDT_REAL32));
}
