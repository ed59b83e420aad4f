#include <tivra/env/XPaths.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XPathName.h>

#include "env/XHome.h"
#include "platform/XClock.h"

namespace Pelmora::Tivra::Xfn {

namespace {

/// The directory part of a path: everything up to and including its last
/// separator; empty when it has none.
XString DirectoryPart(const XString& strPath)
{
    const int n = FindPathSeparator(strPath, 0, true);
    return n < 0 ? XString() : strPath.Left(n + 1);
}

bool IsFile(const char* pszPath)
{
    struct stat st {};
    return stat(pszPath, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

XString GetResourcePath()
{
    const tagTivraGlobal* g = GetGlobal();
    if (g == nullptr) return XString();
    XString str = g->m_strResourcePath;
    if (FindPathSeparator(str) < 0) str += kPathSeparator;
    return str;
}

void SetResourcePath(const XString& strPath)
{
    if (tagTivraGlobal* g = GetGlobal()) g->m_strResourcePath = strPath;
}

XString GetTemporaryPath()
{
    const tagTivraGlobal* g = GetGlobal();
    if (g == nullptr) return XString();
    XString str = g->m_strTempPath;
    if (FindPathSeparator(str) >= 0) str += kPathSeparator;
    CreateDirectories(str);  // a failure shows when the caller writes there
    return str;
}

void SetTemporaryPath(const XString& strPath)
{
    if (tagTivraGlobal* g = GetGlobal()) g->m_strTempPath = strPath;
}

XString GetConfigPath()
{
    const tagTivraGlobal* g = GetGlobal();
    return g == nullptr ? XString() : g->m_strConfigPath;
}

bool SetConfigPath(const XString& strPath)
{
    tagTivraGlobal* g = GetGlobal();
    if (g == nullptr) return false;
    g->m_strConfigPath = strPath;
    return true;
}

XString GetModulePath()
{
    char aPath[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", aPath, PATH_MAX);
    if (n <= 0) return XString();
    return DirectoryPart(XString(aPath, int(n)));
}

XString GetDefaultHomePath()
{
    // The parent of the program's folder is the home of a build tree
    // (build/bin -> build/). An installed program in <prefix>/bin has its home
    // in <prefix>/share/tivra instead, taken when the parent is no home and
    // that folder is.
    const XString strModule = GetModulePath();
    const XString strParent = DirectoryPart(strModule.Left(strModule.GetLength() - 1));
    const XString strInstalled = strParent + kInstalledHome;
    if (!IsFile(strParent + kConfigurationFile) && IsFile(strInstalled + kConfigurationFile)) return strInstalled;
    return strParent;
}

XString MakeTempFileName(const XString& strPrefix)
{
    tagXSystemTime st{};
    XPlatform::GetUtcSystemTime(st);
    return MakeTempFileName(strPrefix, st);
}

XString MakeTempFileName(const XString& strPrefix, const tagXSystemTime& stUtc)
{
    XString strName;
    strName.Format("%02d%02d%02d%02d%03d.tmp", stUtc.wDay, stUtc.wHour, stUtc.wMinute, stUtc.wSecond,
                   stUtc.wMilliseconds);
    XString strDir = GetTemporaryPath();
    if (strDir.IsEmpty()) {
        char aCwd[PATH_MAX + 1];
        strDir = getcwd(aCwd, sizeof aCwd) != nullptr ? aCwd : ".";
        strDir += kPathSeparator;
    }
    return strDir + strPrefix + strName;
}

} // namespace Pelmora::Tivra::Xfn
