#include <tivra/env/XPaths.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include <tivra/env/XGlobal.h>

#include "env/XHome.h"
#include "platform/XClock.h"

namespace Pelmora::Tivra::Xfn {

namespace {

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

/// The directory part of a path: everything up to and including its last
/// separator; empty when it has none.
XString DirectoryPart(const XString& strPath)
{
    const int n = FindPathSeparator(strPath, 0, true);
    return n < 0 ? XString() : strPath.Left(n + 1);
}

bool IsDirectory(const char* pszPath)
{
    struct stat st {};
    return stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode);
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

int FindPathSeparator(const char* pszPath, int nStart, bool bReverse)
{
    if (pszPath == nullptr || nStart < 0) return -1;
    const int n = int(std::strlen(pszPath));
    if (!bReverse) {
        for (int i = nStart; i < n; ++i)
            if (IsSeparator(pszPath[i])) return i;
    } else {
        for (int i = n - 1 - nStart; i >= 0; --i)
            if (IsSeparator(pszPath[i])) return i;
    }
    return -1;
}

XString GetPathFileName(const char* pszPath)
{
    if (pszPath == nullptr) return XString();
    const int n = FindPathSeparator(pszPath, 0, true);
    return XString(pszPath + n + 1);
}

XString GetPathFileTitle(const char* pszPath)
{
    const XString strName = GetPathFileName(pszPath);
    const int n = strName.ReverseFind('.');
    return n < 0 ? strName : strName.Left(n);
}

XString GetPathVolumeRoot(const char* pszPath)
{
    // Every directory lies on one tree here; the volume that holds a name is
    // the file system of its nearest existing directory, walking up.
    XString strDir = pszPath != nullptr ? pszPath : "";
    while (!strDir.IsEmpty() && !IsDirectory(strDir)) {
        const int n = FindPathSeparator(strDir, 0, true);
        if (n <= 0) return n == 0 ? XString("/") : XString(".");
        strDir = strDir.Left(n);
    }
    return strDir.IsEmpty() ? XString(".") : strDir;
}

bool RemoveDirectory(const char* pszPath) { return pszPath != nullptr && rmdir(pszPath) == 0; }

bool CreateDirectories(const char* pszPath)
{
    if (pszPath == nullptr || *pszPath == '\0') return false;
    // Each level in turn, from the root down; a level that exists already
    // (made by another process meanwhile, too) is fine.
    // Only '/' separates levels here: a backslash is an ordinary character
    // of a file name on this system.
    const XString strPath(pszPath);
    for (int i = strPath.Find('/', 1); i >= 0; i = strPath.Find('/', i + 1)) {
        const XString strLevel = strPath.Left(i);
        if (mkdir(strLevel, 0777) != 0 && errno != EEXIST) return false;
    }
    if (mkdir(strPath, 0777) != 0 && errno != EEXIST) return false;
    return IsDirectory(strPath);
}

} // namespace Pelmora::Tivra::Xfn
