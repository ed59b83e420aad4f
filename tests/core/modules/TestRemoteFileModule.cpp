// A remote-file module for the tests. It serves names "rfsp://server/path"
// from a local directory (the server part is ignored) through the nine
// entries that it installs in the shared record's reserved words, and keeps
// a log of the calls it receives. Like any module of the product it does not
// link the core: it finds the record through libXGlobal.so.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XFile.h>

using namespace Pelmora::Tivra;

namespace {

std::string g_strRoot;
std::string g_strLog;

tagTivraGlobal* Record()
{
    void* h = dlopen("libXGlobal.so", RTLD_NOW | RTLD_NOLOAD);  // the instance the core loaded
    if (h == nullptr) return nullptr;
    auto pfn = reinterpret_cast<void* (*)()>(dlsym(h, "GetGlobalTivra"));
    void* p = pfn ? pfn() : nullptr;
    dlclose(h);
    return static_cast<tagTivraGlobal*>(p);
}

void Log(const std::string& str) { g_strLog += str + ";"; }

/// The local file of a remote name; empty for a name of another form.
std::string LocalPath(const char* pszName)
{
    constexpr const char* kScheme = "rfsp://";
    if (std::strncmp(pszName, kScheme, std::strlen(kScheme)) != 0) return std::string();
    const char* pszPath = std::strchr(pszName + std::strlen(kScheme), '/');
    return pszPath ? g_strRoot + pszPath : std::string();
}

FILE* File(void* h) { return static_cast<FILE*>(h); }

void* RemoteOpen(const XString& strName, const XString& strMode, int)
{
    Log(std::string("open ") + static_cast<const char*>(strName) + " " + static_cast<const char*>(strMode));
    const std::string strPath = LocalPath(strName);
    return strPath.empty() ? nullptr : std::fopen(strPath.c_str(), strMode);
}

bool RemoteClose(void* h, int)
{
    Log("close");
    return std::fclose(File(h)) == 0;
}

bool RemoteSeek(void* h, uint32_t nLow, int32_t nHigh, uint32_t nFrom, int)
{
    Log("seek " + std::to_string(nLow) + " " + std::to_string(nHigh) + " " + std::to_string(nFrom));
    const int64_t nOffset = int64_t(uint64_t(uint32_t(nHigh)) << 32 | nLow);
    const int aWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return nFrom < 3 && fseeko(File(h), off_t(nOffset), aWhence[nFrom]) == 0;
}

uint64_t RemoteGetLength(void* h, int)
{
    Log("length");
    std::fflush(File(h));
    struct stat st {};
    return fstat(fileno(File(h)), &st) == 0 ? uint64_t(st.st_size) : UINT64_MAX;
}

/// The entry XFile requires but never calls.
bool RemoteUnused(void*, int)
{
    Log("unused");
    return false;
}

bool RemoteRead(void* pBuffer, size_t nSize, size_t nCount, void* h, int)
{
    Log("read " + std::to_string(nSize) + "x" + std::to_string(nCount));
    return std::fread(pBuffer, nSize, nCount, File(h)) == nCount;
}

bool RemoteWrite(const void* pBuffer, size_t nSize, size_t nCount, void* h, XString* pMessage)
{
    Log("write " + std::to_string(nSize) + "x" + std::to_string(nCount) + (pMessage ? " msg" : ""));
    return std::fwrite(pBuffer, nSize, nCount, File(h)) == nCount;
}

uint64_t RemoteGetPosition(void* h, int)
{
    Log("position");
    return uint64_t(ftello(File(h)));
}

bool RemoteRemove(const XString& strName, int)
{
    Log(std::string("remove ") + static_cast<const char*>(strName));
    const std::string strPath = LocalPath(strName);
    return !strPath.empty() && unlink(strPath.c_str()) == 0;
}

} // namespace

/// Installs the nine entries (all but nSkip, when it is 0..8) and serves
/// from the directory pszRoot. False without a shared record.
extern "C" bool RemoteInstall(const char* pszRoot, int nSkip)
{
    tagTivraGlobal* g = Record();
    if (g == nullptr) return false;
    g_strRoot = pszRoot;
    void* const aEntries[9] = {
        reinterpret_cast<void*>(&RemoteOpen),      reinterpret_cast<void*>(&RemoteClose),
        reinterpret_cast<void*>(&RemoteSeek),      reinterpret_cast<void*>(&RemoteGetLength),
        reinterpret_cast<void*>(&RemoteUnused),    reinterpret_cast<void*>(&RemoteRead),
        reinterpret_cast<void*>(&RemoteWrite),     reinterpret_cast<void*>(&RemoteGetPosition),
        reinterpret_cast<void*>(&RemoteRemove)};
    for (int i = 0; i < 9; ++i) g->m_pReserved[i] = i == nSkip ? nullptr : aEntries[i];
    return true;
}

/// The calls received since the last call of RemoteTakeLog, each followed
/// by ';'.
extern "C" const char* RemoteTakeLog()
{
    static std::string s_strTaken;
    s_strTaken.swap(g_strLog);
    g_strLog.clear();
    return s_strTaken.c_str();
}
