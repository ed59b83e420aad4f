// XGridFile: the scratch file's life, every grid operation and resampling on
// several workers against an in-memory grid and the per-sample path, byte for
// byte, and addresses beyond 2^31 bytes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <tivra/env/XPaths.h>
#include <tivra/grid/XGridFile.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarpCoeff.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;
namespace fs = std::filesystem;

namespace {

constexpr double N = NAN_REAL64;

/// A grid file that keeps the accessors but is not an XGridFile itself, so
/// every operation takes the per-sample path through GetValue and SetValue.
class PerSampleGridFile : public XGridFile {
public:
    using XGridFile::XGridFile;
};

std::string ScratchName(const XGridFile& g) { return g.GetMMFile() ? g.GetMMFile()->GetTempName().operator const char*() : ""; }

/// The stored bytes of any grid, row by row, through GetValue's view of it
/// for a grid without row access.
std::vector<uint8_t> Bytes(const XGrid& g)
{
    const size_t row = size_t(g.GetCSize()) * size_t(g.GetDataSize());
    std::vector<uint8_t> out(row * size_t(g.GetRSize()));
    for (int r = 0; r < g.GetRSize(); ++r) {
        uint8_t* p = out.data() + row * size_t(r);
        if (const auto* f = dynamic_cast<const XGridFile*>(&g)) EXPECT_TRUE(f->ReadRow(r, 0, g.GetCSize(), p));
        else std::memcpy(p, g.GetData() + row * size_t(r), row);
    }
    return out;
}

/// Random samples of every channel, written per sample to each grid.
void FillRandom(std::initializer_list<XGrid*> grids, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-300, 70000);
    XGrid* first = *grids.begin();
    for (int r = 0; r < first->GetRSize(); ++r)
        for (int c = 0; c < first->GetCSize(); ++c) {
            const double a = u(rng), b = u(rng), cc = u(rng), d = u(rng);
            for (XGrid* g : grids) g->SetValue(r, c, a, b, cc, d);
        }
}

} // namespace

TEST(GridFile, ScratchFileLifeAndSampleAccess)
{
    XGridFile g;
    EXPECT_FALSE(g.IsValid());
    EXPECT_FALSE(g.Alloc(0, 10, XDT_REAL32));
    EXPECT_FALSE(g.Alloc(10, 10, 0));
    EXPECT_FALSE(g.Alloc(1 << 30, (1 << 30) + 1, XDT_REAL64C));  // 2^64 + 2^34 bytes, not a 16 GiB file
    EXPECT_FALSE(g.Alloc(INT32_MAX, INT32_MAX, XDT_REAL64));      // beyond a file offset
    ASSERT_TRUE(g.Alloc(1000, 1000, XDT_REAL64));
    EXPECT_TRUE(g.IsValid() && g.GetData() == nullptr && g.GetAllocSize() == 0);
    const std::string name = ScratchName(g);
    EXPECT_EQ(name.rfind(Xfn::GetTemporaryPath().operator const char*(), 0), 0u) << name;
    EXPECT_NE(name.find("XMMFileTemp"), std::string::npos);
    EXPECT_EQ(fs::file_size(name), 8000000u);

    g.SetValue(999, 999, 1.5, N, N, N);
    double a, b, c, d;
    ASSERT_TRUE(g.GetValue(999, 999, a, b, c, d));
    EXPECT_EQ(std::make_tuple(a, b, d), std::make_tuple(1.5, N, N));
    EXPECT_EQ(g.GetAsREAL64(500, 3), 0.0);  // a new file reads as zeros
    // Positions outside are refused, not wrapped onto sample (0, 0) or another row.
    g.SetValue(0, 0, 4, N, N, N);
    g.SetValue(-1, 1000, 9, N, N, N);
    g.SetValue(0, 1000, 9, N, N, N);
    EXPECT_FALSE(g.GetValue(-1, 1000, a) || g.GetValue(998, 1000, a) || g.GetValue(1000, 0, a));
    EXPECT_EQ(g.GetAsREAL64(0, 0) + g.GetAsREAL64(1, 0), 4.0);

    // Another Alloc, even of the same shape, discards the samples and the file.
    ASSERT_TRUE(g.Alloc(1000, 1000, XDT_REAL64));
    EXPECT_FALSE(fs::exists(name));
    EXPECT_EQ(g.GetAsREAL64(999, 999), 0.0);
    // Clamping as in memory.
    ASSERT_TRUE(g.Alloc(3, 3, XDT_UINT08));
    g.SetValue(1, 1, 300, N, N, N);
    EXPECT_EQ(g.GetAsREAL64(1, 1), 255.0);
    const std::string name2 = ScratchName(g);
    g.Free();
    EXPECT_FALSE(g.IsValid() || fs::exists(name2) || g.GetValue(0, 0, a));
    EXPECT_EQ(a, N);

    // Made back to back (within one millisecond as a rule), grid files never
    // share a scratch file.
    std::vector<XGridFile> many(10);
    std::vector<std::string> names;
    for (size_t i = 0; i < many.size(); ++i) {
        ASSERT_TRUE(many[i].Alloc(2, 2, XDT_SINT32));
        many[i].SetValue(0, 0, double(i), N, N, N);
        names.push_back(ScratchName(many[i]));
    }
    for (size_t i = 0; i < many.size(); ++i) {
        EXPECT_EQ(many[i].GetAsREAL64(0, 0), double(i));
        for (size_t j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]);
    }
    many.clear();
    for (const std::string& n : names) EXPECT_FALSE(fs::exists(n));

    // A file cut through another descriptor: reads fail, and destruction
    // still removes the scratch file.
    std::string cut;
    {
        XGridFile f(400, 400, XDT_REAL64);
        cut = ScratchName(f);
        f.SetValue(399, 399, 7, N, N, N);
        ASSERT_EQ(truncate(cut.c_str(), 4096), 0);
        EXPECT_FALSE(f.GetValue(399, 399, a));
        EXPECT_EQ(a, N);
        // The statistics read rows in place: the fault fails the pass, not
        // the process, and no count of the rows before it is reported.
        uint64_t n = 1;
        double mn, mx, mean, sd;
        EXPECT_FALSE(Xfn::GetStatistics(f, 1, 0, 1, 0, N, n, mn, mx, mean, sd));
        EXPECT_EQ(n, 0u);
        // The file is now known to end after 4096 bytes: row 0 (3200 bytes)
        // is visited whole, row 1, cut by the end, is refused rather than
        // handed over in part.
        int calls = 0;
        std::vector<uint8_t> scratch(400 * sizeof(double));
        const XMMFile::XVisitFn count = [](const uint8_t*, uint32_t, void* c) { ++*static_cast<int*>(c); };
        EXPECT_TRUE(f.VisitRow(0, 0, 400, count, &calls, scratch.data()));
        EXPECT_FALSE(f.VisitRow(1, 0, 400, count, &calls, scratch.data()));
        EXPECT_EQ(calls, 1);
    }
    EXPECT_FALSE(fs::exists(cut));
}

TEST(GridFile, ViewsAdoptionAndAssignment)
{
    XGridFile g(50, 70, XDT_SINT16);
    g.SetGeoOrigin(100, 50).SetGeoSpacing(2, 3);
    g.SetValue(49, 69, -123, N, N, N);
    {
        XGridFile view;
        ASSERT_TRUE(g.OpenView(view, true));
        EXPECT_EQ(view.GetAsREAL64(49, 69), -123.0);
        EXPECT_EQ(view.GetGeoTop(), 100.0);
        view.SetValue(0, 0, 42, N, N, N);  // seen through the other window
    }
    EXPECT_EQ(g.GetAsREAL64(0, 0), 42.0);
    EXPECT_TRUE(fs::exists(ScratchName(g)));  // a view never removes the file

    // Copies into memory and into another scratch file.
    XGrid mem;
    mem = g;
    EXPECT_EQ(Bytes(mem), Bytes(g));
    EXPECT_EQ(XGrid(g).GetAsREAL64(49, 69), -123.0);
    XGridFile copy(g);
    EXPECT_EQ(Bytes(copy), Bytes(g));
    EXPECT_NE(ScratchName(copy), ScratchName(g));
    EXPECT_EQ(copy.GetColSpacing(), 3.0);

    // Adoption moves the file only: the adopter keeps its own layout.
    XGridFile owner(2, 3, XDT_UINT08);
    const std::string name = ScratchName(copy), old = ScratchName(owner);
    owner.Adopt(&copy);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(ScratchName(owner), name);
    EXPECT_TRUE(owner.GetRSize() == 2 && owner.GetCSize() == 3 && owner.GetDataType() == XDT_UINT08);
    EXPECT_EQ(owner.GetAsREAL64(0, 0), 42.0);  // the low byte of the 16-bit sample
    XGridFile empty;
    owner = empty;  // an empty source passes only its geo-reference
    EXPECT_TRUE(owner.IsValid());
    EXPECT_EQ(owner.GetColSpacing(), 1.0);
}

TEST(GridFile, OperationsMatchInMemoryGridAndThePerSamplePath)
{
    // Rows long enough that spans cross window boundaries for every type.
    const int rows = 67, cols = 1031;
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_UINT32, XDT_REAL32, XDT_REAL64, XDT_UINT64, XDT_SINT16C,
                     XDT_REAL64C, XDT_GRAY, XDT_RGB, XDT_ARGB, XDT_RGBA5551}) {
        SCOPED_TRACE(type);
        XGrid mem(rows, cols, type);
        XGridFile file(rows, cols, type);
        PerSampleGridFile slow(rows, cols, type);
        FillRandom({&mem, &file, &slow}, unsigned(type));
        const std::vector<uint8_t> image = Bytes(mem);
        ASSERT_EQ(Bytes(file), image);
        ASSERT_EQ(Bytes(slow), image);

        // Subsets and flips: from and into grid files, row path and
        // per-sample path alike.
        auto check = [&](auto op) {
            XGrid a, e;
            XGridFile b;
            PerSampleGridFile c;
            ASSERT_TRUE(op(mem, a) && op(file, b) && op(slow, c) && op(file, e));
            EXPECT_EQ(Bytes(b), Bytes(a));
            EXPECT_EQ(Bytes(c), Bytes(a));
            EXPECT_EQ(Bytes(e), Bytes(a));
            EXPECT_EQ(b.GetGeoTop(), a.GetGeoTop());
        };
        for (XGrid* g : std::initializer_list<XGrid*>{&mem, &file, &slow}) g->SetGeoOrigin(100, 50).SetGeoSpacing(2, 3);
        check([](const XGrid& s, XGrid& t) { return s.GetSubset(&t, 5, 60, 17, 1020); });
        check([](const XGrid& s, XGrid& t) { return s.FlipVert(&t); });
        check([](const XGrid& s, XGrid& t) { return s.FlipHorz(&t); });
        check([](const XGrid& s, XGrid& t) { return s.GetHalfSize(&t); });
        // In memory into a grid file (through the double channels, so the
        // 64-bit integers beyond 2^53 change as they do in memory).
        XGridFile into;
        XGrid memCopy;
        ASSERT_TRUE(mem.GetSubset(&into, 0, rows - 1, 0, cols - 1));
        ASSERT_TRUE(mem.GetSubset(&memCopy, 0, rows - 1, 0, cols - 1));
        EXPECT_EQ(Bytes(into), Bytes(memCopy));

        // Reads at points.
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> uy(-0.9, rows - 0.1), ux(-0.9, cols - 0.1);
        for (int i = 0; i < 40; ++i) {
            const double y = uy(rng), x = ux(rng);
            for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE}) {
                double m[4], f[4];
                ASSERT_TRUE(mem.GetValueInterpolated(y, x, method, m[0], m[1], m[2], m[3]));
                ASSERT_TRUE(file.GetValueInterpolated(y, x, method, f[0], f[1], f[2], f[3]));
                for (int k = 0; k < 4; ++k) EXPECT_EQ(f[k], m[k]);
            }
            const int r = int(y < 0 ? 0 : y), c = int(x < 0 ? 0 : x);
            EXPECT_EQ(file.GetMagnitude(r, c), mem.GetMagnitude(r, c));
            double m[4], f[4];
            mem.GetWindowMean(r - 3, r + 4, c - 2, c + 9, 0.0, m[0], m[1], m[2], m[3]);
            file.GetWindowMean(r - 3, r + 4, c - 2, c + 9, 0.0, f[0], f[1], f[2], f[3]);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(f[k], m[k]);
        }

        // Statistics with a histogram.
        if (Xfn::IsStatisticsType(type)) {
            struct { uint64_t n; double mn, mx, mean, sd; uint64_t h[256]; } s[3] = {};
            const XGrid* grids[3] = {&mem, &file, &slow};
            for (int i = 0; i < 3; ++i)
                Xfn::GetStatistics(*grids[i], 2, 64, 1, 1029, 0.0, s[i].n, s[i].mn, s[i].mx, s[i].mean, s[i].sd, s[i].h);
            EXPECT_EQ(std::memcmp(&s[1], &s[0], sizeof s[0]), 0);
            EXPECT_EQ(std::memcmp(&s[2], &s[0], sizeof s[0]), 0);
        }

        // Writes: a rectangle of one value, then a block with no-data holes.
        std::vector<uint8_t> block(size_t(10) * 700 * DATASIZE[type]);
        for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i % 7 == 0 ? 0 : i * 13);
        for (XGrid* g : std::initializer_list<XGrid*>{&mem, &file, &slow}) {
            ASSERT_TRUE(g->SetSubset(123.7, N, N, N, 3, 40, 100, 1000));
            ASSERT_TRUE(g->SetSubset(block.data(), XDT_UINT08, 50, 59, 300, 999, 0.0));
        }
        EXPECT_EQ(Bytes(file), Bytes(mem));
        EXPECT_EQ(Bytes(slow), Bytes(mem));
        mem.Fill(0, N, N, N);
        file.Fill(0, N, N, N);
        EXPECT_EQ(Bytes(file), Bytes(mem));
    }
}

TEST(GridFile, ResamplingAndConvolutionOnEveryWorkerMatchInMemory)
{
    const int rows = 211, cols = 389;
    for (int type : {XDT_UINT08, XDT_REAL32, XDT_SINT16C, XDT_RGB}) {
        SCOPED_TRACE(type);
        XGrid mem(rows, cols, type);
        XGridFile file(rows, cols, type);
        PerSampleGridFile slow(rows, cols, type);
        FillRandom({&mem, &file, &slow}, 11u + unsigned(type));
        XWarpCoeff warp;
        warp.CreateRotation(17, cols / 2.0, rows / 2.0);
        for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE}) {
            SCOPED_TRACE(method);
            // More workers than processors, so that workers interleave even
            // on a small machine.
            XResamplePixels engine;
            engine.SetNumberOfThreads(5);
            XGrid ref(rows + 9, cols - 13, type);
            ASSERT_TRUE(engine.ResampleByWarp(&mem, &ref, &warp, method, 3));
            const std::vector<uint8_t> want = Bytes(ref);
            // From a file, into a file, both, and per sample on both sides.
            XGrid fromFile(rows + 9, cols - 13, type);
            XGridFile intoFile(rows + 9, cols - 13, type), fileToFile(rows + 9, cols - 13, type);
            PerSampleGridFile slowToSlow(rows + 9, cols - 13, type);
            const std::pair<const XGrid*, XGrid*> runs[] = {
                {&file, &fromFile}, {&mem, &intoFile}, {&file, &fileToFile}, {&slow, &slowToSlow}};
            for (const auto& [from, into] : runs) {
                ASSERT_TRUE(engine.ResampleByWarp(from, into, &warp, method, 3));
                EXPECT_EQ(Bytes(*into), want);
            }
            // A source mapped whole feeds the row kernels; into another type
            // there are none, and the source's tiles are read instead.
            XGrid wideRef(rows + 9, cols - 13, XDT_REAL64), wide(rows + 9, cols - 13, XDT_REAL64);
            ASSERT_TRUE(engine.ResampleByWarp(&mem, &wideRef, &warp, method, 3));
            ASSERT_TRUE(engine.ResampleByWarp(&file, &wide, &warp, method, 3));
            EXPECT_EQ(Bytes(wide), Bytes(wideRef));
        }
        if (type == XDT_UINT08 || type == XDT_REAL32) {
            XMatrix k;
            ASSERT_TRUE(k.Resize(3, 5));
            for (int i = 0; i < 15; ++i) k.GetData()[i] = (i % 4) - 1.5;
            XGrid a;
            XGridFile b;
            ASSERT_TRUE(Convolve(&mem, &k, &a, XCONV_EDGE_CLAMP, XDT_REAL64));
            ASSERT_TRUE(Convolve(&file, &k, &b, XCONV_EDGE_CLAMP, XDT_REAL64));
            EXPECT_EQ(Bytes(b), Bytes(a));
        }
    }
}

TEST(GridFile, SamplesBeyondTwoGibibytes)
{
    const int rows = 50000, cols = 45000;  // 2 250 000 000 bytes of UINT08
    XGridFile g;
    ASSERT_TRUE(g.Alloc(rows, cols, XDT_UINT08));
    const std::string name = ScratchName(g);
    ASSERT_EQ(fs::file_size(name), 2250000000u);
    // Byte 2^31 is sample (47721, 38648); the neighbours straddle it.
    struct Cell { int r, c; double v; };
    const Cell cells[] = {{0, 0, 1}, {47721, 38647, 2}, {47721, 38648, 3}, {47721, 38649, 4},
                          {49999, 44999, 5}, {30000, 1, 6}};
    for (const Cell& cell : cells) g.SetValue(cell.r, cell.c, cell.v, N, N, N);
    for (const Cell& cell : cells) EXPECT_EQ(g.GetAsREAL64(cell.r, cell.c), cell.v) << cell.r << "," << cell.c;
    // The bytes sit at their 64-bit offsets in the file.
    const int fd = open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    for (const Cell& cell : cells) {
        uint8_t byte = 0;
        ASSERT_EQ(pread(fd, &byte, 1, off_t(int64_t(cell.r) * cols + cell.c)), 1);
        EXPECT_EQ(byte, uint8_t(cell.v));
    }
    close(fd);
    // Rows and subsets near the end go through the row path.
    std::vector<uint8_t> row(cols);
    ASSERT_TRUE(g.ReadRow(49999, 0, cols, row.data()));
    EXPECT_EQ(row[44999], 5);
    XGrid corner;
    ASSERT_TRUE(g.GetSubset(&corner, 47720, 47722, 38646, 38650));
    EXPECT_EQ(corner.GetAsREAL64(1, 2), 3.0);
    EXPECT_EQ(corner.GetAsREAL64(1, 3), 4.0);
    // Only a few pages were ever written: the file is still sparse.
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_LT(uint64_t(st.st_blocks) * 512u, 16u << 20);
    g.Free();
    EXPECT_FALSE(fs::exists(name));
}
