// Installation home from the environment, the derived paths, temporary file
// names, byte order and memory status.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <tivra/env/XByteOrder.h>
#include <tivra/env/XGlobal.h>
#include <tivra/env/XMemoryStatus.h>
#include <tivra/env/XPaths.h>
#include <tivra/runtime/XPathName.h>

using namespace Pelmora::Tivra;

namespace {

std::string Str(const XString& s) { return static_cast<const char*>(s); }

/// A scratch directory, optionally made an installation home.
std::string MakeDir(const std::string& name, bool bHome)
{
    const std::string dir = std::string(TIVRA_TEST_DIR) + "/env_" + name;
    Xfn::CreateDirectories((dir + "/Config").c_str());
    const std::string file = dir + "/Config/TivraConfiguration.xml";
    if (bHome)
        std::ofstream(file) << "<TivraConfiguration/>\n";
    else
        std::remove(file.c_str());
    return dir;
}

/// Sets (or with null clears) both home variables, rebuilds the record, and
/// restores the plain environment and a fresh record when it goes.
struct HomeVariables {
    HomeVariables(const char* pszTivraHome, const char* pszVersioned)
    {
        Set("TIVRA_HOME", pszTivraHome);
        Set("PELMORATIVRA_1_1", pszVersioned);
        Xfn::Initialize();
    }
    ~HomeVariables()
    {
        Set("TIVRA_HOME", nullptr);
        Set("PELMORATIVRA_1_1", nullptr);
        Xfn::Initialize();
    }
    static void Set(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }
};

} // namespace

TEST(EnvPaths, HomeFromTheEnvironmentAndTheFallback)
{
    const std::string a = MakeDir("home_a", true), b = MakeDir("home_b", true), bare = MakeDir("bare", false);
    const std::string aSlash = a + "/";
    // The test program lives in <build>/tests, so the fallback home is <build>/.
    const std::string fallback = Str(Xfn::GetDefaultHomePath());
    EXPECT_EQ(Str(Xfn::GetModulePath()), std::string(TIVRA_TEST_DIR) + "/");
    EXPECT_EQ(fallback + "tests/", Str(Xfn::GetModulePath()));

    const struct { const char *pszTivra, *pszVersioned; std::string home; } cases[] = {
        {a.c_str(), nullptr, a + "/"},
        {aSlash.c_str(), nullptr, a + "//"},  // a trailing separator gets a second one
        {a.c_str(), b.c_str(), a + "/"},          // TIVRA_HOME wins
        {nullptr, b.c_str(), b + "/"},
        {bare.c_str(), b.c_str(), fallback},      // no configuration file: the fallback, silently
        {nullptr, nullptr, fallback},
    };
    for (const auto& c : cases) {
        HomeVariables vars(c.pszTivra, c.pszVersioned);
        SCOPED_TRACE(c.home);
        EXPECT_EQ(Str(Xfn::GetResourcePath()), c.home + "Resource");
        EXPECT_EQ(Str(Xfn::GetConfigPath()), c.home + "Config");
        EXPECT_EQ(Str(Xfn::GetGlobal()->m_strTempPath), c.home + "Temp");
        EXPECT_EQ(Str(Xfn::GetGlobal()->m_strModulePath), Str(Xfn::GetModulePath()));
    }
}

TEST(EnvPaths, TemporaryDirectoryAndFileNames)
{
    const std::string home = MakeDir("temp_home", true);
    rmdir((home + "/Temp").c_str());
    HomeVariables vars(home.c_str(), nullptr);
    const std::string temp = Str(Xfn::GetTemporaryPath());
    EXPECT_EQ(temp, home + "/Temp/");
    struct stat st {};
    EXPECT_TRUE(stat(temp.c_str(), &st) == 0 && S_ISDIR(st.st_mode));

    const tagXSystemTime at{2026, 12, 6, 5, 7, 8, 9, 10};  // the 5th, 07:08:09.010 UTC
    EXPECT_EQ(Str(Xfn::MakeTempFileName("mm", at)), temp + "mm05070809010.tmp");
    const std::string now = Str(Xfn::MakeTempFileName("x"));
    EXPECT_EQ(now.size(), temp.size() + 1 + 11 + 4);
    EXPECT_EQ(now.substr(now.size() - 4), ".tmp");

    // Without a separator in the stored path none is added; the resource
    // path gets one only when it has none at all.
    Xfn::SetTemporaryPath("plain");
    EXPECT_EQ(Str(Xfn::GetTemporaryPath()), "plain");
    rmdir("plain");
    Xfn::SetResourcePath("res");
    EXPECT_EQ(Str(Xfn::GetResourcePath()), "res/");
}

TEST(EnvByteOrder, BuffersAndValues)
{
    uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Xfn::SwapBytes(4, b, 2);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{4, 3, 2, 1, 8, 7, 6, 5}));
    Xfn::SwapBytes(3, b, 2);  // no such element size: unchanged
    Xfn::SwapBytes(2, b + 1, 1);  // unaligned
    EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{4, 2, 3, 1, 8, 7, 6, 5}));
    Xfn::SwapBytes(8, b, 1);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{5, 6, 7, 8, 1, 3, 2, 4}));

    EXPECT_EQ(Xfn::SwapValue(uint16_t(0x0102)), 0x0201);
    EXPECT_EQ(Xfn::SwapValue(int16_t(-2)), int16_t(0xFEFF));
    EXPECT_EQ(Xfn::SwapValue(uint32_t(0x01020304)), 0x04030201u);
    EXPECT_EQ(Xfn::SwapValue(int64_t(0x0102030405060708)), int64_t(0x0807060504030201));
    EXPECT_EQ(std::bit_cast<uint64_t>(Xfn::SwapValue(1.0)), 0xF03Full);  // 3FF0 0000 0000 0000 reversed
    EXPECT_EQ(Xfn::SwapValue(Xfn::SwapValue(-123.456f)), -123.456f);
}

TEST(EnvMemoryStatus, FiguresAreConsistent)
{
    const uint64_t total = Xfn::GetTotalPhysicalMemory(), avail = Xfn::GetAvailablePhysicalMemory();
    ASSERT_GT(total, 0u);
    EXPECT_LE(avail, total);
    EXPECT_LE(Xfn::GetMemoryLoad(), 100u);
    EXPECT_NEAR(Xfn::GetAvailablePhysicalMemoryPercent(), 100.0 * double(avail) / double(total), 1.0);
    EXPECT_GE(Xfn::GetTotalPageFile(), total);
    EXPECT_LE(Xfn::GetAvailablePageFile(), Xfn::GetTotalPageFile());
    EXPECT_EQ(Xfn::GetTotalVirtualMemory(), uint64_t(1) << 47);
    EXPECT_LT(Xfn::GetAvailableVirtualMemory(), Xfn::GetTotalVirtualMemory());

    // Touching 64 MiB of private memory shows in the process's figure.
    const uint64_t before = Xfn::GetProcessPrivateMemory();
    std::vector<char> block(64 << 20, 1);
    EXPECT_GE(Xfn::GetProcessPrivateMemory(), before + (48 << 20));
    EXPECT_EQ(block[12345], 1);
}
