// XMMFile: window arithmetic at and across boundaries, remapping on seek,
// growth, message texts, scratch files, and a page fault on a file truncated
// through another descriptor.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <tivra/runtime/XMMFile.h>

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t W = XMMFile::kGranularity;

class RuntimeMMFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("tivra_mmfile_" + std::to_string(getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* pszName) const { return (m_dir / pszName).string(); }
    /// A file of n bytes, byte i = i * 7 + i / 251 (no period of a window).
    std::string Pattern(const char* pszName, size_t n) const
    {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + i / 251);
        std::ofstream(Path(pszName), std::ios::binary) << s;
        return s;
    }

    fs::path m_dir;
};

uint64_t DiskSize(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

} // namespace

TEST_F(RuntimeMMFile, OpenSmallAndEmptyFiles)
{
    XMMFile f;
    std::ofstream(Path("empty"), std::ios::binary).close();
    EXPECT_FALSE(f.Open(Path("empty").c_str(), XMMFile::modeRead));
    EXPECT_STREQ(f.GetErrorMessage(), "Cannot open zero byte file.");
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(f.Open((m_dir / "no" / "dir").c_str(), XMMFile::modeRead));
    EXPECT_STREQ(f.GetErrorMessage(), "Error encountered during file open.");

    const std::string s = Pattern("small", 100);
    ASSERT_TRUE(f.Open(Path("small").c_str(), XMMFile::modeRead));
    EXPECT_EQ(f.GetLength(), 100u);
    EXPECT_EQ(f.GetViewSize(), 100u);
    EXPECT_FALSE(f.Seek(100));
    EXPECT_STREQ(f.GetErrorMessage(), "Seek request lies outside file boundary.");
    ASSERT_TRUE(f.Seek(95));
    char buf[10] = {};
    EXPECT_EQ(f.Read(buf, 10), 5u);
    EXPECT_EQ(std::string(buf, 5), s.substr(95));
    EXPECT_EQ(f.GetPosition(), 100u);
    EXPECT_EQ(f.Read(buf, 10), 0u);
    // Read-only: writing is refused before the mapping is touched.
    ASSERT_TRUE(f.Seek(0));
    EXPECT_EQ(f.Write("x", 1), 0u);
    EXPECT_STREQ(f.GetErrorMessage(), "The file is open for reading only.");
    f.Close();
    EXPECT_EQ(f.Write("x", 1), 0u);
    EXPECT_STREQ(f.GetErrorMessage(), "No file is open.");
}

TEST_F(RuntimeMMFile, WindowsMoveAtGranularityBoundaries)
{
    const size_t n = 3 * W + 3392;
    const std::string s = Pattern("big", n);
    XMMFile f;
    ASSERT_TRUE(f.Open(Path("big").c_str(), XMMFile::modeRead));
    EXPECT_EQ(f.GetViewStart(), 0u);
    EXPECT_EQ(f.GetViewSize(), W);
    ASSERT_TRUE(f.Seek(70000));
    EXPECT_EQ(f.GetViewStart(), 65536u);
    ASSERT_TRUE(f.Seek(W + W - 1));  // last byte of the same window: no move
    EXPECT_EQ(f.GetViewStart(), 65536u);
    ASSERT_TRUE(f.Seek(n - 1));      // the short window at the end
    EXPECT_EQ(f.GetViewStart(), 3u * W);
    EXPECT_EQ(f.GetViewSize(), 3392u);

    // A read across two boundaries returns every byte and leaves the window
    // holding the final position.
    std::vector<char> buf(W + 100);
    ASSERT_TRUE(f.Seek(W - 50));
    ASSERT_EQ(f.Read(buf.data(), W + 100), W + 100);
    EXPECT_EQ(std::string(buf.data(), W + 100), s.substr(W - 50, W + 100));
    EXPECT_EQ(f.GetPosition(), 2u * W + 50);
    EXPECT_EQ(f.GetViewStart(), 2u * W);
    // A read ending at a window's end maps the next window at once.
    ASSERT_TRUE(f.Seek(W - 10));
    ASSERT_EQ(f.Read(buf.data(), 10), 10u);
    EXPECT_EQ(f.GetViewStart(), uint64_t(W));
    // The pointer of a position and the bytes left in its window.
    uint32_t avail = 0;
    const uint8_t* p = f.GetPointer(2 * W + 5, avail);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(avail, W - 5);
    EXPECT_EQ(char(*p), s[2 * W + 5]);
    EXPECT_EQ(f.GetPointer(n, avail), nullptr);
    EXPECT_EQ(avail, 0u);

    // Bytes read in place within a window, through the scratch buffer across
    // windows; both advance the position.
    struct Seen { std::string bytes; } seen;
    const XMMFile::XVisitFn collect = [](const uint8_t* q, uint32_t count, void* ctx) {
        static_cast<Seen*>(ctx)->bytes.assign(reinterpret_cast<const char*>(q), count);
    };
    std::vector<char> scratch(W);
    ASSERT_TRUE(f.Visit(W + 7, 100, collect, &seen, scratch.data()));
    EXPECT_EQ(seen.bytes, s.substr(W + 7, 100));
    EXPECT_EQ(f.GetPosition(), W + 107u);
    ASSERT_TRUE(f.Visit(2 * W - 30, 60, collect, &seen, scratch.data()));
    EXPECT_EQ(seen.bytes, s.substr(2 * W - 30, 60));
    EXPECT_EQ(std::string(scratch.data(), 60), seen.bytes);
    EXPECT_EQ(f.GetPosition(), 2u * W + 30);

    // A longer window: rounded up to whole granules, still starting at a
    // granule, shortened at the end of the file.
    f.SetWindowSize(W + 1);
    ASSERT_TRUE(f.Seek(70000 + W));  // inside the current window: not moved yet
    EXPECT_EQ(f.GetViewSize(), W);
    ASSERT_TRUE(f.Seek(10));
    ASSERT_TRUE(f.Seek(70000 + W));
    EXPECT_EQ(f.GetViewStart(), 2u * W);
    EXPECT_EQ(f.GetViewSize(), W + 3392u);
    ASSERT_TRUE(f.Seek(70000));
    EXPECT_EQ(f.GetViewStart(), uint64_t(W));
    EXPECT_EQ(f.GetViewSize(), 2u * W);
    buf.resize(3 * W);
    ASSERT_TRUE(f.Seek(10));
    ASSERT_EQ(f.Read(buf.data(), 3 * W), 3u * W);
    EXPECT_EQ(std::string(buf.data(), 3 * W), s.substr(10, 3 * W));
}

TEST_F(RuntimeMMFile, WritesGrowByOneSpareWindow)
{
    XMMFile f;
    ASSERT_TRUE(f.Create(Path("grow").c_str(), 100));
    EXPECT_EQ(f.GetLength(), 100u);
    ASSERT_TRUE(f.Seek(90));
    std::string data(50, 'g');
    ASSERT_EQ(f.Write(data.data(), 50), 50u);
    EXPECT_EQ(f.GetLength(), 140u);
    EXPECT_EQ(f.GetMappedSize(), 140u + W);
    EXPECT_EQ(DiskSize(Path("grow")), 140u + W);
    // A small append stays within the spare window: no resize of the file.
    ASSERT_EQ(f.Write("tail", 4), 4u);
    EXPECT_EQ(f.GetLength(), 144u);
    EXPECT_EQ(DiskSize(Path("grow")), 140u + W);
    // A long write from the start crosses windows and grows again.
    std::string big(2 * W + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i % 253);
    ASSERT_TRUE(f.Seek(0));
    ASSERT_EQ(f.Write(big.data(), uint32_t(big.size())), big.size());
    EXPECT_EQ(f.GetLength(), big.size());
    EXPECT_EQ(f.GetPosition(), big.size());
    EXPECT_TRUE(f.Flush());
    f.Close();
    // Closing trims the spare window: the file holds exactly what was written.
    EXPECT_EQ(DiskSize(Path("grow")), big.size());
    std::string back((std::istreambuf_iterator<char>(std::ifstream(Path("grow"), std::ios::binary).rdbuf())), {});
    EXPECT_EQ(back, big);
}

TEST_F(RuntimeMMFile, ObjectsOnOneFileNeverCutEachOthersData)
{
    // a grows the file to 200 bytes, then b (which still sees 100) to 300
    // within a's spare window; in either order of closing, b's bytes stay.
    for (const bool bLaterClosesFirst : {true, false}) {
        Pattern("shared", 100);
        XMMFile a, b;
        ASSERT_TRUE(a.Open(Path("shared").c_str(), XMMFile::modeReadWrite));
        ASSERT_TRUE(b.Open(Path("shared").c_str(), XMMFile::modeReadWrite));
        const std::string as(101, 'a'), bs(201, 'b');
        ASSERT_TRUE(a.Seek(99) && b.Seek(99));
        ASSERT_EQ(a.Write(as.data(), 101), 101u);
        ASSERT_EQ(b.Write(bs.data(), 201), 201u);
        // A third object does not take a's spare window for content.
        XMMFile c;
        ASSERT_TRUE(c.Open(Path("shared").c_str(), XMMFile::modeRead));
        EXPECT_EQ(c.GetLength(), 300u);
        c.Close();
        if (bLaterClosesFirst) b.Close();
        a.Close();
        b.Close();
        std::string back((std::istreambuf_iterator<char>(std::ifstream(Path("shared"), std::ios::binary).rdbuf())), {});
        EXPECT_EQ(back.size(), 300u) << bLaterClosesFirst;
        EXPECT_EQ(back.substr(99), bs) << bLaterClosesFirst;
    }
    // Sizes beyond a file offset are refused with their own message.
    XMMFile f;
    EXPECT_FALSE(f.Create(Path("huge").c_str(), uint64_t(INT64_MAX) + 1));
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kTooLarge);
    EXPECT_FALSE(f.CreateTemp(UINT64_MAX));
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kTooLarge);
}

TEST_F(RuntimeMMFile, ScratchFilesAreSeparateZeroFilledAndRemoved)
{
    std::vector<std::unique_ptr<XMMFile>> files;
    std::set<std::string> names;
    // Made back to back, most fall in one millisecond and share the plain name.
    for (int i = 0; i < 20; ++i) {
        files.push_back(std::make_unique<XMMFile>());
        ASSERT_TRUE(files.back()->CreateTemp(3 * W)) << files.back()->GetErrorMessage();
        const std::string name = files.back()->GetTempName().operator const char*();
        EXPECT_NE(name.find("XMMFileTemp"), std::string::npos);
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_EQ(DiskSize(name), 3u * W);
        const uint32_t tag = uint32_t(i);
        ASSERT_TRUE(files.back()->Seek(2 * W));
        ASSERT_EQ(files.back()->Write(&tag, 4), 4u);
    }
    for (int i = 0; i < 20; ++i) {
        uint32_t tag = 99, zero = 99;
        ASSERT_TRUE(files[i]->Seek(2 * W));
        ASSERT_EQ(files[i]->Read(&tag, 4), 4u);
        EXPECT_EQ(tag, uint32_t(i));
        ASSERT_TRUE(files[i]->Seek(W + 3));
        ASSERT_EQ(files[i]->Read(&zero, 4), 4u);
        EXPECT_EQ(zero, 0u);
    }
    files[0]->Close();
    EXPECT_FALSE(fs::exists(*names.begin()) && files[0]->IsOpen());
    files.clear();  // the destructors remove the rest
    for (const std::string& name : names) EXPECT_FALSE(fs::exists(name)) << name;

    // Removed also when the object dies after a failure.
    std::string name;
    {
        XMMFile f;
        ASSERT_TRUE(f.CreateTemp(10));
        name = f.GetTempName().operator const char*();
        EXPECT_FALSE(f.Seek(10));
    }
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(RuntimeMMFile, TruncatedFileFaultsAreReportedAndTheFileReopened)
{
    const std::string s = Pattern("cut", 4 * W);
    XMMFile f;
    ASSERT_TRUE(f.Open(Path("cut").c_str(), XMMFile::modeReadWrite));
    ASSERT_TRUE(f.Seek(2 * W + 100));
    // Another descriptor cuts the file before the mapped window: its pages lie
    // wholly beyond the end (the last partial page would still read as zeros).
    ASSERT_EQ(truncate(Path("cut").c_str(), W + 10), 0);
    std::vector<char> buf(20000);
    EXPECT_EQ(f.Read(buf.data(), 300), 0u);
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kPageFault);
    // Reopened at the new length; the start position lay beyond it.
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.GetLength(), W + 10u);
    ASSERT_TRUE(f.Seek(W));
    ASSERT_EQ(f.Read(buf.data(), 300), 10u);
    EXPECT_EQ(std::string(buf.data(), 10), s.substr(W, 10));

    // A write running into pages cut away faults the same way; the start
    // position, still inside the file, is restored.
    ASSERT_TRUE(f.Seek(100));
    ASSERT_EQ(truncate(Path("cut").c_str(), 4101), 0);
    EXPECT_EQ(f.Write(buf.data(), 20000), 0u);
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kPageFault);
    EXPECT_EQ(f.GetLength(), 4101u);
    EXPECT_EQ(f.GetPosition(), 100u);
    EXPECT_EQ(f.Write("abcde", 5), 5u);
    ASSERT_TRUE(f.Seek(100));
    char back[5];
    ASSERT_EQ(f.Read(back, 5), 5u);
    EXPECT_EQ(std::string(back, 5), "abcde");

    // A fault while bytes are read in place ends the reader, as in Read.
    ASSERT_TRUE(f.Seek(4096));
    ASSERT_EQ(truncate(Path("cut").c_str(), 100), 0);
    int calls = 0;
    const XMMFile::XVisitFn touch = [](const uint8_t* q, uint32_t count, void* ctx) {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < count; ++i) sum += q[i];
        *static_cast<int*>(ctx) += sum == UINT32_MAX ? 2 : 1;  // the sum is used, so the bytes are read
    };
    EXPECT_FALSE(f.Visit(4096, 5, touch, &calls, buf.data()));
    EXPECT_EQ(calls, 0);
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kPageFault);
    EXPECT_EQ(f.GetLength(), 100u);
    EXPECT_TRUE(f.Visit(0, 100, touch, &calls, buf.data()));
    EXPECT_EQ(calls, 1);

    // Cut to nothing: the reopen fails and the object is closed, but usable.
    ASSERT_TRUE(f.Seek(50));
    ASSERT_EQ(truncate(Path("cut").c_str(), 0), 0);
    EXPECT_EQ(f.Read(buf.data(), 1), 0u);
    EXPECT_STREQ(f.GetErrorMessage(), XMMFile::kPageFault);
    EXPECT_FALSE(f.IsOpen());
    Pattern("again", 10);
    EXPECT_TRUE(f.Open(Path("again").c_str(), XMMFile::modeRead));
}

TEST_F(RuntimeMMFile, FaultsOutsideTheGuardStillEndTheProcess)
{
    Pattern("raw", 2 * W);
    XMMFile f;
    ASSERT_TRUE(f.Open(Path("raw").c_str(), XMMFile::modeRead));
    char c;
    ASSERT_EQ(f.Read(&c, 1), 1u);  // installs the handler
    uint32_t avail = 0;
    const volatile uint8_t* p = f.GetPointer(W + 10, avail);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(truncate(Path("raw").c_str(), 10), 0);
    // A raw access through the pointer is not guarded: the fault goes on to
    // the handler installed before ours (the default action, which ends the
    // process, or a sanitizer's report, which exits).
    EXPECT_DEATH((void)p[0], "");
}
