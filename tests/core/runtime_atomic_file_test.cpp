// XAtomicFile: the target replaced only by Commit, with its permissions; and
// every failure on the way (a file-size limit standing in for a full disk, a
// writer's exception, an abandoned or closed file, a temporary file removed
// underneath) leaves the previous file whole and nothing else behind.
#include <gtest/gtest.h>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XAtomicFile.h>
#include <tivra/runtime/XException.h>

#include "FileSizeLimit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

/// A scratch directory of its own, so that leftovers are seen.
struct ScratchDir {
    fs::path path = fs::temp_directory_path() / ("tivra_atomic_" + std::to_string(getpid()));
    ScratchDir()
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchDir() { fs::remove_all(path); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path)) names.push_back(e.path().filename().string());
        return names;
    }
};

std::string Content(const fs::path& path)
{
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

mode_t Mode(const fs::path& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

TEST(RuntimeAtomicFile, CommitReplacesTheTargetWithItsPermissions)
{
    ScratchDir dir;
    const fs::path target = dir.path / "scene.bin";
    Put(target, "previous");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);

    XAtomicFile f;
    ASSERT_TRUE(f.Open(target.c_str(), XFile::modeWrite));
    EXPECT_STREQ(f.GetTargetPath(), target.c_str());
    EXPECT_NE(std::string(f.GetFilePath()), target.string()); // writes go to the temporary file
    f.Write("new content", 11);
    EXPECT_EQ(Content(target), "previous"); // not replaced before Commit
    EXPECT_EQ(dir.Names().size(), 2u);
    f.Commit();
    EXPECT_EQ(Content(target), "new content");
    EXPECT_EQ(Mode(target), 0640u);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"scene.bin"});
    EXPECT_THROW(f.Commit(), XFileException); // nothing pending any more

    // A new target gets the permissions of a new file under the mask.
    const mode_t mask = umask(027);
    {
        XAtomicFile g;
        ASSERT_TRUE(g.Open((dir.path / "new.bin").c_str(), XFile::modeRead)); // write access added
        g.Write("x", 1);
        g.Commit();
    }
    umask(mask);
    EXPECT_EQ(Mode(dir.path / "new.bin"), 0640u);
    EXPECT_EQ(Content(dir.path / "new.bin"), "x");

    // Names that cannot be had.
    XFileException e;
    EXPECT_FALSE(f.Open((dir.path / "missing" / "a.bin").c_str(), XFile::modeWrite, &e));
    EXPECT_EQ(e.m_cause, XFileException::fileNotFound);
    EXPECT_FALSE(f.Open("rfsp://host/a.bin", XFile::modeWrite, &e));
    EXPECT_EQ(e.m_cause, XFileException::badPath);
    EXPECT_FALSE(f.Open("", XFile::modeWrite, &e));
}

TEST(RuntimeAtomicFile, FailuresLeaveThePreviousFileWholeAndNothingBehind)
{
    ScratchDir dir;
    const fs::path target = dir.path / "archive.bin";
    Put(target, "previous");
    const auto untouched = [&] {
        EXPECT_EQ(Content(target), "previous");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"archive.bin"});
    };

    // A full disk, as a file-size limit of 64 KiB (the signal the limit
    // raises is ignored, so the write fails with EFBIG): the archive's
    // writes throw diskFull and the destructor removes the temporary file.
    {
        int nCause = -1;
        {
            TivraTest::FileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.IsSet());
            try {
                XAtomicFile f;
                ASSERT_TRUE(f.Open(target.c_str(), XFile::modeWrite));
                XArchive ar(&f, XArchive::store);
                const XString strChunk(std::string(1000, 'a').c_str());
                for (int i = 0; i < 1000; ++i) ar << strChunk;
                ar.Close();
                f.Commit();
            } catch (const XFileException& e) {
                nCause = e.m_cause;
            }
        }
        EXPECT_EQ(nCause, XFileException::diskFull);
        untouched();
    }

    // A writer that gives up with an exception of its own, one that closes
    // without committing, one that is simply destroyed, and one whose
    // temporary file is taken away underneath.
    const auto half = [&](XAtomicFile& f) {
        ASSERT_TRUE(f.Open(target.c_str(), XFile::modeWrite));
        f.Write("half", 4);
    };
    try {
        XAtomicFile f;
        half(f);
        throw std::runtime_error("writer failed");
    } catch (const std::runtime_error&) {
    }
    untouched();
    {
        XAtomicFile f;
        half(f);
        f.Close();
        EXPECT_THROW(f.Commit(), XFileException);
    }
    untouched();
    {
        XAtomicFile f;
        half(f);
    }
    untouched();
    {
        XAtomicFile f;
        half(f);
        fs::remove(std::string(f.GetFilePath()));
        EXPECT_THROW(f.Commit(), XFileException);
    }
    untouched();
}
