// Growth beyond a file-size limit (a full disk as far as the process can
// tell) fails with a message, keeps what was written and leaves the object
// usable; a grid file too large for the disk leaves no scratch file, and
// operations on one whose scratch file cannot grow fail with its reason.
#include <gtest/gtest.h>

#include <tivra/env/XPaths.h>
#include <tivra/grid/XGridFile.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/runtime/XMMFile.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FileSizeLimit.h"

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

/// The entries of the temporary directory, where scratch files go.
size_t TempEntries()
{
    const fs::path dir(static_cast<const char*>(Xfn::GetTemporaryPath()));
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

} // namespace

TEST(GridFileFault, GrowthBeyondTheDiskFailsKeepingWhatWasWritten)
{
    const std::string path = (fs::temp_directory_path() / ("tivra_mm_fault_" + std::to_string(getpid()))).string();
    XMMFile f;
    ASSERT_TRUE(f.Create(path.c_str(), 4096));
    std::vector<uint8_t> data(4096);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
    ASSERT_EQ(f.Write(data.data(), 4096), 4096u);

    {
        // 1 MiB: a write at 2 MiB needs the file to grow beyond it.
        TivraTest::FileSizeLimit limit(1 << 20);
        ASSERT_TRUE(limit.IsSet());
        std::vector<uint8_t> more(65536, 0xAB);
        uint32_t nWritten = 0;
        for (int i = 0; i < 64 && (nWritten = f.Write(more.data(), uint32_t(more.size()))) == more.size(); ++i) {
        }
        EXPECT_LT(nWritten, more.size());
        EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kPointerFailed);
        EXPECT_LE(f.GetLength(), uint64_t(1) << 20);
    }

    // What was written before is intact, and the object goes on working.
    std::vector<uint8_t> back(4096);
    ASSERT_TRUE(f.Seek(0));
    ASSERT_EQ(f.Read(back.data(), 4096), 4096u);
    EXPECT_EQ(back, data);
    ASSERT_TRUE(f.Seek(100));
    EXPECT_EQ(f.Write("x", 1), 1u);
    f.Close();
    EXPECT_EQ(fs::file_size(path) % 4096, 0u); // trimmed to what was written, no spare window
    fs::remove(path);

    // A grid file whose samples cannot have their scratch file is refused,
    // and leaves no scratch file behind; a small one still works.
    const size_t nBefore = TempEntries();
    {
        TivraTest::FileSizeLimit limit(1 << 20);
        XGridFile g;
        EXPECT_FALSE(g.Alloc(4096, 4096, XDT_REAL32)); // 64 MiB
        EXPECT_FALSE(g.IsValid());
        EXPECT_EQ(TempEntries(), nBefore);
        ASSERT_TRUE(g.Alloc(64, 64, XDT_REAL32));
        g.SetValue(63, 63, 2.5, 0, 0, 0);
        EXPECT_EQ(g.GetAsREAL64(63, 63), 2.5);
    }
    EXPECT_EQ(TempEntries(), nBefore);
}

TEST(GridFileFault, OperationsOnAScratchFileThatCannotGrowFailWithItsReason)
{
    constexpr double N = NAN_REAL64;
    XGridFile f(400, 400, XDT_REAL64);  // 1.28 MB, cut to one page by someone else
    ASSERT_TRUE(f.IsValid());
    f.SetValue(399, 399, 7, N, N, N);
    ASSERT_EQ(truncate(f.GetMMFile()->GetFileName(), 4096), 0);
    TivraTest::FileSizeLimit limit(4096);  // and it cannot grow back
    ASSERT_TRUE(limit.IsSet());
    const auto reason = [&] { return std::string(f.GetMMFile()->GetErrorMessage()); };

    XGrid sub, flipped;
    EXPECT_FALSE(f.GetSubset(&sub, 0, 399, 0, 399));
    EXPECT_EQ(reason(), XMMFile::kPageFault);
    EXPECT_FALSE(f.FlipVert(&flipped));
    uint64_t n = 1;
    double mn, mx, mean, sd;
    uint64_t hist[256];
    EXPECT_FALSE(Xfn::GetStatistics(f, 1, 0, 1, 0, N, n, mn, mx, mean, sd, hist));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(std::count(hist, hist + 256, 0u), 256);
    const XGrid copy(f);  // a copy that cannot read its source is empty, not zeros
    EXPECT_FALSE(copy.IsValid());

    // Storing rows past the cut needs the file to grow, which the limit refuses.
    EXPECT_FALSE(f.SetSubset(1, N, N, N, 0, 399, 0, 399));
    EXPECT_EQ(reason(), XMMFile::kPointerFailed);
    EXPECT_EQ(f.GetAsREAL64(0, 0), 1.0);  // the rows inside the file were stored
}
