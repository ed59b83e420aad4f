// XFile on local and remote names, the status functions and the file
// exceptions: open flags, positions past 4 GiB, locks and sharing between
// descriptors, status round trips, the remote entries as a sibling module
// sees them, the cause names, and the path-name helpers.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XFile.h>
#include <tivra/runtime/XPathName.h>

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

/// When set, the rename below answers a no-replace request with EINVAL, as
/// file systems without that request do.
std::atomic<bool> g_bNoReplaceRefused{false};

} // namespace

// Stands in for the C library's renameat2 in this program, so the core
// calls this one.
extern "C" int renameat2(int nOldDir, const char* pszOld, int nNewDir, const char* pszNew, unsigned nFlags) noexcept
{
    if (g_bNoReplaceRefused && (nFlags & RENAME_NOREPLACE) != 0) {
        errno = EINVAL;
        return -1;
    }
    return int(syscall(SYS_renameat2, nOldDir, pszOld, nNewDir, pszNew, nFlags));
}

namespace {

/// A scratch directory of its own per test.
class RuntimeFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("tivra_file_" + std::to_string(getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* pszName) const { return (m_dir / pszName).string(); }
    void Put(const char* pszName, const std::string& str) const { std::ofstream(Path(pszName), std::ios::binary) << str; }
    std::string Get(const char* pszName) const
    {
        std::ostringstream out;
        out << std::ifstream(Path(pszName), std::ios::binary).rdbuf();
        return out.str();
    }

    fs::path m_dir;
};

/// The file exception an operation throws; cause -1 when it throws none.
template <class F>
XFileException Thrown(F&& f)
{
    try {
        f();
    } catch (const XFileException& e) {
        return e;
    }
    return XFileException();
}

template <class F>
int32_t CauseOf(F&& f) { return Thrown(f).m_cause; }

/// The cause Open reports, -1 when it opens.
int32_t OpenCause(XFile& file, const std::string& strName, uint32_t nFlags)
{
    XFileException e;
    return file.Open(strName.c_str(), nFlags, &e) ? -1 : e.m_cause;
}

std::string Str(const XString& s) { return static_cast<const char*>(s); }

} // namespace

TEST_F(RuntimeFile, OpenFlagsCreateTruncateKeepAndRefuse)
{
    Put("old.bin", "content");
    const std::string old = Path("old.bin"), missing = Path("missing.bin");
    const struct {
        const std::string* pName;
        uint32_t nFlags;
        int32_t nCause;       // -1: opens
        const char* pszAfter; // content afterwards
    } cases[] = {
        {&missing, XFile::modeRead, XFileException::fileNotFound, nullptr},
        {&old, XFile::modeRead, -1, "content"},
        {&old, XFile::modeCreate | XFile::modeWrite, -1, ""}, // create on an existing file truncates
        {&old, XFile::modeCreate | XFile::modeKeepContent | XFile::modeWrite, -1, "content"},
        {&old, XFile::modeCreate | XFile::modeRead, -1, ""},   // a read-only create truncates as well
        {&missing, XFile::modeCreate | XFile::modeKeepContent | XFile::modeReadWrite, -1, ""},
        {&old, XFile::modeRead | XFile::modeIgnored, -1, "content"},
    };
    for (const auto& c : cases) {
        Put("old.bin", "content");
        fs::remove(missing);
        XFile file;
        XFileException e;
        EXPECT_EQ(file.Open(c.pName->c_str(), c.nFlags, &e), c.nCause < 0) << *c.pName << " " << c.nFlags;
        EXPECT_EQ(e.m_cause, c.nCause);
        EXPECT_TRUE(e.m_strFileName.IsEmpty());  // Open reports the cause only
        if (c.pszAfter != nullptr) {
            EXPECT_EQ(Get(fs::path(*c.pName).filename().c_str()), c.pszAfter) << c.nFlags;
        }
    }
    // An open without access creates the file too.
    fs::remove(missing);
    XFile(missing.c_str(), XFile::modeCreate | XFile::modeNoAccess).Close();
    EXPECT_TRUE(fs::exists(missing));
    fs::remove(missing);
    XFileException e;
    XFile dir;
    EXPECT_FALSE(dir.Open(m_dir.c_str(), XFile::modeRead, &e));  // a directory is no file
    EXPECT_EQ(e.m_cause, XFileException::accessDenied);
    EXPECT_FALSE(dir.Open((old + "/x").c_str(), XFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, XFileException::badPath);
    EXPECT_EQ(e.m_lOsError, ENOTDIR);

    // The constructor throws Open's cause, without a name.
    const XFileException x = Thrown([&] { XFile file(missing.c_str(), XFile::modeRead); });
    EXPECT_EQ(x.m_cause, XFileException::fileNotFound);
    EXPECT_EQ(x.m_lOsError, ENOENT);
    EXPECT_TRUE(x.m_strFileName.IsEmpty());
    // Inheritance follows modeNoInherit.
    for (const uint32_t nFlags : {0u, uint32_t(XFile::modeNoInherit)}) {
        XFile file(old.c_str(), XFile::modeRead | nFlags);
        EXPECT_EQ((fcntl(file.GetHandle(), F_GETFD) & FD_CLOEXEC) != 0, nFlags != 0);
    }
}

TEST_F(RuntimeFile, ReadWriteSeekAndLengthPastFourGiB)
{
    const std::string name = Path("sparse.bin");
    XFile file(name.c_str(), XFile::modeCreate | XFile::modeReadWrite);
    char aByte[4] = {};
    EXPECT_EQ(file.Read(aByte, 0), 0u);
    file.Write("", 0);
    EXPECT_EQ(file.GetLength(), 0u);

    constexpr uint64_t k5GiB = 5ull << 30, kFar = (4ull << 30) + 7;
    file.SetLength(k5GiB);  // sparse: no data blocks are written
    EXPECT_EQ(file.GetPosition(), k5GiB);
    EXPECT_EQ(file.GetLength(), k5GiB);
    const struct { int64_t nOffset; uint32_t nFrom; uint64_t nPosition; } steps[] = {
        {int64_t(kFar), XFile::begin, kFar}, {-3, XFile::current, kFar - 3},
        {-int64_t(k5GiB - kFar), XFile::end, kFar}, {int64_t(k5GiB), XFile::current, kFar + k5GiB}};
    for (const auto& s : steps) EXPECT_EQ(file.Seek(s.nOffset, s.nFrom), s.nPosition) << s.nOffset;
    EXPECT_EQ(file.GetLength(), k5GiB);  // seeking beyond the end does not grow the file

    file.Seek(int64_t(kFar), XFile::begin);
    file.Write("tivra", 5);
    EXPECT_EQ(file.Seek(-5, XFile::current), kFar);
    char aText[8] = {};
    EXPECT_EQ(file.Read(aText, 8), 8u);
    EXPECT_STREQ(std::string(aText, 5).c_str(), "tivra");
    file.Seek(-2, XFile::end);
    EXPECT_EQ(file.Read(aText, 8), 2u);  // short at the end
    EXPECT_EQ(file.Read(aText, 8), 0u);

    EXPECT_EQ(CauseOf([&] { file.Seek(-1, XFile::begin); }), XFileException::badSeek);
    EXPECT_EQ(CauseOf([&] { file.Seek(0, 7); }), XFileException::badSeek);
    file.SetLength(3);
    EXPECT_EQ(file.GetLength(), 3u);
    file.Close();
    EXPECT_TRUE(file.GetFilePath().IsEmpty());

    // Writing a read-only file, reading a write-only one.
    XFile reader(name.c_str(), XFile::modeRead | XFile::shareReadWrite);
    XFile writer(name.c_str(), XFile::modeWrite | XFile::shareReadWrite);
    const XFileException e = Thrown([&] { reader.Write("x", 1); });
    EXPECT_EQ(e.m_cause, XFileException::accessDenied);
    EXPECT_EQ(Str(e.m_strFileName), name);
    EXPECT_EQ(CauseOf([&] { writer.Read(aText, 1); }), XFileException::accessDenied);
    // A closed file: every operation on the handle fails.
    XFile closed;
    EXPECT_EQ(CauseOf([&] { closed.GetLength(); }), XFileException::invalidFile);
    EXPECT_EQ(CauseOf([&] { closed.Duplicate(); }), XFileException::invalidFile);
    closed.Flush();  // nothing to flush: no exception
}

TEST_F(RuntimeFile, LocksExcludeOtherDescriptorsButNotDuplicates)
{
    const std::string name = Path("locks.bin");
    XFile a(name.c_str(), XFile::modeCreate | XFile::modeReadWrite | XFile::shareReadWrite);
    XFile b(name.c_str(), XFile::modeReadWrite | XFile::shareReadWrite);
    XFile r(name.c_str(), XFile::modeRead | XFile::shareReadWrite);
    a.LockRange(10, 10);
    EXPECT_EQ(CauseOf([&] { b.LockRange(15, 10); }), XFileException::lockViolation);
    EXPECT_EQ(CauseOf([&] { r.LockRange(0, 11); }), XFileException::lockViolation);
    b.LockRange(20, 10);  // adjacent ranges do not overlap
    std::unique_ptr<XFile> dup(a.Duplicate());
    EXPECT_EQ(Str(dup->GetFilePath()), name);
    dup->LockRange(12, 2);  // the duplicate shares a's locks
    a.UnlockRange(10, 10);
    b.LockRange(10, 10);
    b.UnlockRange(10, 20);
    // Read-only files take shared locks: they exclude writers' locks only.
    r.LockRange(0, 100);
    XFile r2(name.c_str(), XFile::modeRead | XFile::shareReadWrite);
    r2.LockRange(50, 10);
    EXPECT_EQ(CauseOf([&] { b.LockRange(99, 1); }), XFileException::lockViolation);
    // Locking to the end of the offset range leaves the sharing markers alone.
    r.UnlockRange(0, 100);
    r2.UnlockRange(0, UINT64_MAX);
    b.LockRange(0, UINT64_MAX);
    b.UnlockRange(0, UINT64_MAX);
    XFile c;
    EXPECT_EQ(OpenCause(c, name, XFile::modeRead | XFile::shareReadWrite), -1);
    EXPECT_EQ(CauseOf([&] { XFile().LockRange(0, 1); }), XFileException::invalidFile);
}

TEST_F(RuntimeFile, ShareModesBetweenOpens)
{
    const std::string name = Path("shared.bin");
    Put("shared.bin", "keep");
    using F = XFile;
    const struct { uint32_t nFirst, nSecond; bool bSecondOpens; } cases[] = {
        {F::modeWrite | F::shareNone, F::modeRead | F::shareReadWrite, false},
        {F::modeRead | F::shareNone, F::modeRead | F::shareReadWrite, false},
        {F::modeRead, F::modeRead | F::shareReadWrite, false},  // 0x00 shares nothing
        {F::modeRead | F::shareRead, F::modeRead | F::shareReadWrite, true},
        {F::modeRead | F::shareRead, F::modeWrite | F::shareReadWrite, false},
        {F::modeRead | F::shareRead, F::modeRead | F::shareRead, true},
        {F::modeWrite | F::shareRead, F::modeRead | F::shareRead, false},  // the second denies the first's writing
        {F::modeWrite | F::shareRead, F::modeRead | F::shareReadWrite, true},
        {F::modeWrite | F::shareWrite, F::modeWrite | F::shareReadWrite, true},
        {F::modeWrite | F::shareWrite, F::modeRead | F::shareReadWrite, false},
        {F::modeReadWrite | F::shareReadWrite, F::modeReadWrite | F::shareReadWrite, true},
        {F::modeReadWrite | 0x50, F::modeRead | F::shareReadWrite, false},  // beyond 0x40: no sharing
        {F::modeNoAccess, F::modeReadWrite, true},  // no access, no part in sharing
        {F::modeRead | F::shareNone, F::modeNoAccess, true},
    };
    for (const auto& c : cases) {
        XFile first, second;
        ASSERT_EQ(OpenCause(first, name, c.nFirst), -1) << std::hex << c.nFirst;
        EXPECT_EQ(OpenCause(second, name, c.nSecond), c.bSecondOpens ? -1 : XFileException::sharingViolation)
            << std::hex << c.nFirst << " then " << c.nSecond;
    }
    // A create refused for sharing leaves the content; after the close it
    // truncates.
    auto* pFirst = new XFile(name.c_str(), XFile::modeRead | XFile::shareRead);
    XFile second;
    EXPECT_EQ(OpenCause(second, name, XFile::modeCreate | XFile::modeWrite | XFile::shareReadWrite),
              XFileException::sharingViolation);
    EXPECT_EQ(Get("shared.bin"), "keep");
    delete pFirst;
    EXPECT_EQ(OpenCause(second, name, XFile::modeCreate | XFile::modeWrite | XFile::shareReadWrite), -1);
    EXPECT_EQ(Get("shared.bin"), "");
}

TEST_F(RuntimeFile, StatusTimesAttributesAndPaths)
{
    const std::string name = Path("scene.tif");
    Put("scene.tif", "12345");
    XFileStatus set{};
    set.m_mtime = XTime(2001, 2, 3, 4, 5, 6);
    set.m_atime = XTime(2002, 3, 4, 5, 6, 7);
    set.m_attribute = XFILE_ATTRIBUTE_READONLY;
    XFile::SetStatus(name.c_str(), set);

    XFileStatus got{};
    ASSERT_TRUE(XFile::GetStatus(name.c_str(), got));
    EXPECT_EQ(got.m_mtime, set.m_mtime);
    EXPECT_EQ(got.m_atime, set.m_atime);
    EXPECT_NE(got.m_ctime.GetTime(), 0);
    EXPECT_EQ(got.m_size, 5u);
    EXPECT_EQ(got.m_attribute, XFILE_ATTRIBUTE_READONLY | XFILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(std::string(got.m_szFullName), name);

    // Zero times are left alone; clearing the read-only bit comes first.
    XFileStatus clear{};
    XFile::SetStatus(name.c_str(), clear);
    ASSERT_TRUE(XFile::GetStatus(name.c_str(), got));
    EXPECT_EQ(got.m_mtime, set.m_mtime);
    EXPECT_EQ(got.m_attribute, XFILE_ATTRIBUTE_ARCHIVE);
    {
        XFile file(name.c_str(), XFile::modeRead);
        ASSERT_TRUE(file.GetStatus(got));
        EXPECT_EQ(got.m_mtime, set.m_mtime);
        EXPECT_EQ(std::string(got.m_szFullName), name);
        EXPECT_EQ(Str(file.GetFileName()), "scene.tif");
        EXPECT_EQ(Str(file.GetFileTitle()), "scene");
    }
    XFile closed;
    EXPECT_FALSE(closed.GetStatus(got));

    Put(".hidden", "");
    fs::create_directories(m_dir / "sub");
    ASSERT_TRUE(XFile::GetStatus(Path(".hidden").c_str(), got));
    EXPECT_EQ(got.m_attribute, XFILE_ATTRIBUTE_HIDDEN | XFILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(XFile::GetStatus(Path("sub").c_str(), got));
    EXPECT_EQ(got.m_attribute, XFILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(XFile::GetStatus(Path("missing").c_str(), got));
    EXPECT_EQ(CauseOf([&] { XFile::SetStatus(Path("missing").c_str(), set); }), XFileException::fileNotFound);

    // Full paths: relative names, "." and ".." resolved on the text.
    char aFull[XMAX_PATH];
    const std::string cwd = fs::current_path().string();
    fs::current_path(m_dir);
    EXPECT_TRUE(XFile::FullPath(aFull, "a/./b/../c.txt"));
    fs::current_path(cwd);
    EXPECT_EQ(std::string(aFull), m_dir.string() + "/a/c.txt");
    EXPECT_TRUE(XFile::FullPath(aFull, "/x/../../y/"));
    EXPECT_STREQ(aFull, "/y/");
    const std::string tooLong = "/" + std::string(XMAX_PATH, 'n');
    EXPECT_FALSE(XFile::FullPath(aFull, tooLong.c_str()));
    EXPECT_EQ(std::string(aFull), tooLong.substr(0, XMAX_PATH - 1));
}

TEST_F(RuntimeFile, RenameNeverReplacesAndRemoveReportsTheName)
{
    // Also where the file system refuses the no-replace request.
    for (const bool bRefused : {false, true}) {
        g_bNoReplaceRefused = bRefused;
        Put("a", "A");
        Put("b", "B");
        const XFileException e = Thrown([&] { XFile::Rename(Path("a").c_str(), Path("b").c_str()); });
        EXPECT_EQ(e.m_lOsError, EEXIST) << bRefused;
        EXPECT_EQ(Str(e.m_strFileName), Path("a"));
        EXPECT_EQ(Get("b"), "B");
        XFile::Rename(Path("a").c_str(), Path("c").c_str());
        EXPECT_EQ(Get("c"), "A");
        EXPECT_FALSE(fs::exists(Path("a")));
        XFile::Remove(Path("c").c_str());
        g_bNoReplaceRefused = false;
    }
    EXPECT_FALSE(fs::exists(Path("c")));
    const XFileException gone = Thrown([&] { XFile::Remove(Path("c").c_str()); });
    EXPECT_EQ(gone.m_cause, XFileException::fileNotFound);
    EXPECT_EQ(Str(gone.GetErrorText()), "c> fileNotFound");
}

TEST(RuntimeFileException, CausesNamesAndTexts)
{
    const struct { int32_t nCause; const char* pszName; } cases[] = {
        {0, "none"}, {2, "fileNotFound"}, {14, "endOfFile"}, {15, "rf-UserAreadyExists"}, {37, "rf-VersionMismatch"},
        {38, "rf-TivraGlobalNotInited"}, {39, "rf-TivransGlobalNotInited"}, {40, "Unknown"}, {5000, "Unknown"},
        {-1, "Unknown"}};
    for (const auto& c : cases) {
        const XFileException e(c.nCause, "/data/in/scene.tif");
        const XFileException copy = e;  // copies keep cause and name
        EXPECT_EQ(Str(copy.GetErrorText()), std::string("scene> ") + c.pszName);
    }
    const char* aArchive[] = {"none", "badSchema", "badIndex", "badClass", "endOfFile", "Unknown"};
    for (int n = 0; n <= 5; ++n)
        EXPECT_EQ(Str(XArchiveException(n, "C:\\maps\\dem.v1.arc").GetErrorText()), std::string("dem.v1> ") + aArchive[n]);
    EXPECT_EQ(Str(XMemoryException().GetErrorText()), "Memory Exception");
    EXPECT_TRUE(XException().GetErrorText().IsEmpty());
    EXPECT_EQ(XException().m_cause, -1);

    // A thrown exception is caught by value through its base.
    try {
        throw XFileException(XFileException::diskFull, "x.bin");
    } catch (const XException& e) {
        EXPECT_EQ(Str(e.GetErrorText()), "x> diskFull");
    }
    const struct { int nErrno; int32_t nCause; } errnos[] = {
        {0, 0},      {ENOENT, 2}, {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {EMFILE, 4}, {EACCES, 5}, {EROFS, 5}, {EBADF, 6},
        {EINVAL, 9}, {EIO, 10},   {EBUSY, 11},  {EAGAIN, 12},      {ENOSPC, 13}, {EFBIG, 13}, {EEXIST, 1}};
    for (const auto& e : errnos) EXPECT_EQ(Xfn::FileCauseFromErrno(e.nErrno), e.nCause) << e.nErrno;
}

// ---- remote files ----------------------------------------------------------------------

namespace {

/// The remote module of the test directory, serving the given directory.
struct RemoteModule {
    explicit RemoteModule(const fs::path& root, int nSkip = -1)
        : h(dlopen(TIVRA_TEST_DIR "/libtivra_test_remote_file.so", RTLD_NOW | RTLD_LOCAL))
    {
        install = reinterpret_cast<bool (*)(const char*, int)>(dlsym(h, "RemoteInstall"));
        takeLog = reinterpret_cast<const char* (*)()>(dlsym(h, "RemoteTakeLog"));
        Xfn::GetGlobal();
        installed = install(root.c_str(), nSkip);
        takeLog();
    }
    ~RemoteModule()
    {
        // The entries go before the module does.
        if (tagTivraGlobal* g = Xfn::GetGlobal())
            for (void*& p : g->m_pReserved) p = nullptr;
        dlclose(h);
    }
    std::string Log() { return takeLog(); }

    void* h;
    bool (*install)(const char*, int);
    const char* (*takeLog)();
    bool installed;
};

} // namespace

TEST_F(RuntimeFile, RemoteNamesGoThroughTheModulesEntries)
{
    RemoteModule remote(m_dir);
    ASSERT_TRUE(remote.installed);
    {
        XFile file("rfsp://server/r.bin", XFile::modeCreate | XFile::modeWrite);
        EXPECT_EQ(remote.Log(), "open rfsp://server/r.bin wb+;");
        file.Write("abcdef", 6);
        file.Write("", 0);
        EXPECT_EQ(file.GetPosition(), 6u);
        EXPECT_EQ(file.GetLength(), 6u);
        EXPECT_EQ(remote.Log(), "write 1x6 msg;position;length;");
        // The offset goes in two halves; the result is the offset as passed.
        EXPECT_EQ(file.Seek(-2, XFile::end), uint64_t(-2));
        EXPECT_EQ(file.Seek((5ll << 32) + 3, XFile::begin), (5ull << 32) + 3);
        EXPECT_EQ(file.Seek(1, 9), UINT64_MAX);  // refused by the module
        EXPECT_EQ(remote.Log(), "seek 4294967294 -1 2;seek 3 5 0;seek 1 0 9;");
        EXPECT_EQ(CauseOf([&] { file.LockRange(0, 1); }), XFileException::invalidFile);
        EXPECT_EQ(CauseOf([&] { file.SetLength(2); }), XFileException::invalidFile);
        file.Flush();
        EXPECT_EQ(remote.Log(), "seek 2 0 0;");
    }  // the destructor closes
    EXPECT_EQ(remote.Log(), "close;");
    EXPECT_EQ(Get("r.bin"), "abcdef");

    XFile file;
    ASSERT_EQ(OpenCause(file, "rfsp://server/r.bin", XFile::modeReadWrite), -1);  // read-write opens "rb"
    char aBuf[8] = {};
    EXPECT_EQ(file.Read(aBuf, 4), 4u);
    EXPECT_EQ(std::string(aBuf, 4), "abcd");
    EXPECT_EQ(file.Read(aBuf, 4), 0u);  // only 2 left: the module reports failure
    EXPECT_EQ(file.Read(aBuf, 0), 0u);
    EXPECT_EQ(remote.Log(), "open rfsp://server/r.bin rb;read 1x4;read 1x4;");
    file.Abort();  // the remote handle stays, for the destructor
    EXPECT_TRUE(file.GetFilePath().IsEmpty());
    EXPECT_EQ(remote.Log(), "");
    file.Close();
    EXPECT_EQ(remote.Log(), "close;");

    // A name the module refuses: false, and no cause.
    XFileException e;
    EXPECT_FALSE(file.Open("rfsp://server/none.bin", XFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, -1);
    XFile::Remove("rfsp://server/r.bin");
    EXPECT_FALSE(fs::exists(Path("r.bin")));
    EXPECT_EQ(remote.Log(), "open rfsp://server/none.bin rb;remove rfsp://server/r.bin;");
    // Not "rfsp://": a local name, and missing.
    EXPECT_EQ(CauseOf([] { XFile::Remove("rfsp:/not/seven"); }), XFileException::fileNotFound);
}

TEST_F(RuntimeFile, RemoteCausesWithoutEntriesOrRecord)
{
    for (int nSkip = 0; nSkip <= 8; ++nSkip) {
        Put("r.bin", "data");
        RemoteModule remote(m_dir, nSkip);
        XFile file;
        // Any of the first eight missing: cause 39; remove is optional.
        EXPECT_EQ(OpenCause(file, "rfsp://server/r.bin", XFile::modeRead), nSkip < 8 ? 39 : -1) << nSkip;
        file.Close();
        XFile::Remove("rfsp://server/r.bin");  // quiet either way
        EXPECT_EQ(fs::exists(Path("r.bin")), nSkip == 8);
    }
    // Without a shared record (a process without libXGlobal.so): cause 38,
    // and a remote remove does nothing.
    const fs::path core = fs::canonical(fs::path(TIVRA_LIB_DIR) / "libtivra.so");
    fs::copy_file(core, m_dir / core.filename());
    fs::create_symlink(core.filename(), m_dir / "libtivra.so.1.1");
    fs::copy_file(fs::path(TIVRA_TEST_DIR) / "tivra_file_probe", m_dir / "probe");
    std::string out;
    if (FILE* p = popen(("cd " + m_dir.string() + " && ./probe 2>&1").c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    EXPECT_EQ(out, "open=0 cause=38 remove=quiet\n");
}

TEST(RuntimePathName, SeparatorsNamesAndDirectories)
{
    const struct { const char* path; int start; bool reverse; int expected; } finds[] = {
        {"a/b\\c", 0, false, 1}, {"a/b\\c", 2, false, 3}, {"a/b\\c", 0, true, 3}, {"a/b\\c", 2, true, 1},
        {"abc", 0, false, -1},   {"abc", 0, true, -1},    {"", 0, false, -1},     {"a/", 5, true, -1},
    };
    for (const auto& f : finds)
        EXPECT_EQ(Xfn::FindPathSeparator(f.path, f.start, f.reverse), f.expected) << f.path << " " << f.start;
    EXPECT_EQ(Xfn::FindPathSeparator(nullptr), -1);

    // The title drops the extension of the file part only, never a dot in a
    // directory's name.
    EXPECT_EQ(Str(Xfn::GetPathFileName("d.x\\e/f.tar.gz")), "f.tar.gz");
    EXPECT_EQ(Str(Xfn::GetPathFileTitle("d.x\\e/f.tar.gz")), "f.tar");
    EXPECT_EQ(Str(Xfn::GetPathFileTitle("d.x/plain")), "plain");
    EXPECT_EQ(Str(Xfn::GetPathFileName("plain")), "plain");

    const std::string root = std::string(TIVRA_TEST_DIR) + "/runtime_dirs";
    const std::string deep = root + "/a/b/c";
    ASSERT_TRUE(Xfn::CreateDirectories(deep.c_str()));
    EXPECT_TRUE(Xfn::CreateDirectories(deep.c_str()));  // existing: still true
    EXPECT_EQ(Str(Xfn::GetPathVolumeRoot((deep + "/missing/x.tif").c_str())), deep);
    EXPECT_EQ(Str(Xfn::GetPathVolumeRoot("/no_such_tivra_dir/x")), "/");
    EXPECT_EQ(Str(Xfn::GetPathVolumeRoot("relative_no_such_file")), ".");
    EXPECT_FALSE(Xfn::RemoveDirectory((root + "/a").c_str()));  // not empty
    EXPECT_TRUE(Xfn::RemoveDirectory(deep.c_str()));
    EXPECT_FALSE(Xfn::CreateDirectories("/proc/tivra_cannot_create"));
}
