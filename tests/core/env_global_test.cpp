// The shared record across modules: a sibling module sees the record the
// core published, hooks run in their fixed order at teardown, the log driver
// receives and is shut down, and a missing or incomplete shared-state
// library leaves every function in its empty state.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <set>

#include <tivra/env/XGlobal.h>
#include <tivra/env/XPaths.h>
#include <tivra/runtime/XObject.h>

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

std::string Str(const XString& s) { return static_cast<const char*>(s); }

/// A module of the test directory, kept loaded while the object lives.
struct Module {
    explicit Module(const char* pszFile)
        : h(dlopen((std::string(TIVRA_TEST_DIR) + "/" + pszFile).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Module() { if (h) dlclose(h); }
    template <class F>
    F Entry(const char* name) const { return reinterpret_cast<F>(dlsym(h, name)); }
    void* h;
};

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

} // namespace

TEST(EnvGlobal, ASiblingModuleSeesThePublishedRecordAndInstallsHooks)
{
    Module sibling("libtivra_test_sibling.so");
    ASSERT_NE(sibling.h, nullptr) << dlerror();
    auto path = sibling.Entry<const char* (*)(int)>("SiblingPath");
    auto install = sibling.Entry<bool (*)(int)>("SiblingInstallHook");
    auto order = sibling.Entry<const char* (*)()>("SiblingHookOrder");

    tagTivraGlobal* g = Xfn::GetGlobal();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g, Xfn::GetGlobal());  // later calls find the same record
    EXPECT_EQ(path(0), Str(Xfn::GetResourcePath()));
    EXPECT_EQ(path(3), Str(Xfn::GetModulePath()));
    ASSERT_TRUE(Xfn::SetConfigPath("/elsewhere/Config"));
    EXPECT_STREQ(path(2), "/elsewhere/Config");  // one record for every module

    for (int n = 1; n <= 10; ++n) ASSERT_TRUE(install(n));
    Xfn::Uninitialize();
    EXPECT_STREQ(order(), "4,3,8,10,5,6,9,7,2,1,");
    EXPECT_EQ(path(0), nullptr);  // nothing published any more
    Xfn::Uninitialize();          // nothing to tear down: no effect
    EXPECT_STREQ(order(), "4,3,8,10,5,6,9,7,2,1,");

    // The next use starts over with a new record, without the old hooks.
    ASSERT_NE(Xfn::GetGlobal(), nullptr);
    EXPECT_EQ(Str(Xfn::GetConfigPath()), Str(Xfn::GetDefaultHomePath()) + "Config");
    EXPECT_EQ(path(2), Str(Xfn::GetConfigPath()));
    Xfn::Initialize();
    EXPECT_STREQ(order(), "4,3,8,10,5,6,9,7,2,1,");
}

TEST(EnvGlobal, TheLogDriverReceivesAndIsShutDown)
{
    Xfn::Initialize();  // loads the driver found beside the program
    Module driver("libXLogDriver.so");
    ASSERT_NE(driver.h, nullptr);
    auto text = driver.Entry<const char* (*)()>("TestLogText");
    auto destroyed = driver.Entry<int (*)()>("TestLogDestroyCount");
    const std::string before = text();
    const int nDestroyed = destroyed();

    EXPECT_TRUE(Xfn::LogMessage(2, "grid", "opened"));
    EXPECT_TRUE(Xfn::LogObjectMessage(1, 42, "XGrid", "freed"));
    EXPECT_EQ(std::string(text()).substr(before.size()), "2|grid|opened\n1|object|ID :    42, Name : XGrid\t freed\n");
    Xfn::Uninitialize();
    EXPECT_EQ(destroyed(), nDestroyed + 1);
    Xfn::GetGlobal();
}

TEST(EnvGlobal, MissingOrIncompleteSharedStateLibrary)
{
    // A scratch installation holding the core and the probe: first without
    // libXGlobal.so, then with one that lacks an entry, then with the real one.
    const fs::path dir = fs::path(TIVRA_TEST_DIR) / "env_isolated";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path core = fs::canonical(fs::path(TIVRA_LIB_DIR) / "libtivra.so");
    fs::copy_file(core, dir / core.filename());
    fs::create_symlink(core.filename(), dir / "libtivra.so.1.1");
    fs::copy_file(fs::path(TIVRA_TEST_DIR) / "tivra_env_probe", dir / "probe");
    const std::string run = "cd " + dir.string() + " && ./probe 2>&1";
    const std::string empty = "record=0 resource=[] config=0 log=0 class=0\n";

    EXPECT_EQ(RunCommand(run), empty);
    fs::copy_file(fs::path(TIVRA_TEST_DIR) / "incomplete" / "libXGlobal.so", dir / "libXGlobal.so");
    EXPECT_EQ(RunCommand(run), empty);
    fs::copy_file(fs::path(TIVRA_LIB_DIR) / "libXGlobal.so", dir / "libXGlobal.so",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(RunCommand(run), "record=1 resource=[" + std::string(TIVRA_TEST_DIR) + "/Resource] config=1 log=0 class=1\n");
    fs::remove_all(dir);
}

TEST(EnvGlobal, AnInstalledProgramFindsItsHomeBelowShare)
{
    // <prefix>/bin/probe with the libraries in <prefix>/lib and the home in
    // <prefix>/share/tivra; then a home at <prefix> itself, which comes first.
    const fs::path prefix = fs::path(TIVRA_TEST_DIR) / "env_installed";
    fs::remove_all(prefix);
    for (const char* sub : {"bin", "lib", "share/tivra/Config"}) fs::create_directories(prefix / sub);
    const fs::path core = fs::canonical(fs::path(TIVRA_LIB_DIR) / "libtivra.so");
    fs::copy_file(core, prefix / "lib" / "libtivra.so.1.1");
    fs::copy_file(fs::path(TIVRA_LIB_DIR) / "libXGlobal.so", prefix / "lib" / "libXGlobal.so");
    fs::copy_file(fs::path(TIVRA_TEST_DIR) / "tivra_env_probe", prefix / "bin" / "probe");
    std::ofstream(prefix / "share/tivra/Config/TivraConfiguration.xml") << "<TivraConfiguration/>\n";
    const std::string run = "cd / && env -u TIVRA_HOME -u PELMORATIVRA_1_1 " + (prefix / "bin/probe").string() + " 2>&1";
    const std::string p = prefix.string();
    EXPECT_EQ(RunCommand(run), "record=1 resource=[" + p + "/share/tivra/Resource] config=1 log=0 class=1\n");
    fs::create_directories(prefix / "Config");
    fs::copy_file(prefix / "share/tivra/Config/TivraConfiguration.xml", prefix / "Config/TivraConfiguration.xml");
    EXPECT_EQ(RunCommand(run), "record=1 resource=[" + p + "/Resource] config=1 log=0 class=1\n");
    fs::remove_all(prefix);
}

TEST(EnvGlobal, TheSharedStateLibraryExportsItsTwentyTwoEntriesAndNothingElse)
{
    // Names the sanitizer builds add for their own bookkeeping start with "__".
    const std::string out = RunCommand("nm -D --defined-only " + std::string(TIVRA_LIB_DIR) +
                                       "/libXGlobal.so | awk '{print $3}' | grep -v '^__'");
    std::set<std::string> names, expected = {"GetGlobalTivra", "SetGlobalTivra"};
    for (size_t at = 0, nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1)
        names.insert(out.substr(at, nl - at));
    for (const char* kind : {"Get", "Set"})
        for (int n = 1; n <= 10; ++n)
            expected.insert(std::string(kind) + "GlobalModule" + (n < 10 ? "0" : "") + std::to_string(n));
    EXPECT_EQ(names, expected);
}
