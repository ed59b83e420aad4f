// The shared record: finding, building, publishing and tearing it down; the
// log driver; the runtime class registry in its named-block map.
#include <tivra/env/XGlobal.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include <tivra/env/XPaths.h>
#include <tivra/runtime/XPathName.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XObList.h>
#include <tivra/runtime/XObject.h>

#include "env/XHome.h"
#include "env/XSharedStateLibrary.h"

namespace Pelmora::Tivra {

// Sibling modules read the record by offset: the four paths, the map with its
// lock, then 13 reserved words, 10 hooks and the three log words, each a
// pointer wide.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(XString) == sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_strResourcePath) == 0 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_strTempPath) == 1 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_strConfigPath) == 2 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_strModulePath) == 3 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_mapNamedBlocks) == 4 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_pReserved) ==
              offsetof(tagTivraGlobal, m_csNamedBlocks) + sizeof(XCriticalSection));
static_assert(offsetof(tagTivraGlobal, m_pfnHook) == offsetof(tagTivraGlobal, m_pReserved) + 13 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_pfnLog) == offsetof(tagTivraGlobal, m_pfnHook) + 10 * sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_pfnLogDestroy) == offsetof(tagTivraGlobal, m_pfnLog) + sizeof(void*));
static_assert(offsetof(tagTivraGlobal, m_hLogDriver) == offsetof(tagTivraGlobal, m_pfnLogDestroy) + sizeof(void*));
static_assert(sizeof(tagTivraGlobal) == offsetof(tagTivraGlobal, m_hLogDriver) + sizeof(void*));
#pragma GCC diagnostic pop

namespace {

/// The log driver, looked for beside the executable.
constexpr const char* kLogDriverName = "libXLogDriver.so";
/// Hook numbers (1-based) in the order Uninitialize calls them.
constexpr int kHookOrder[10] = {4, 3, 8, 10, 5, 6, 9, 7, 2, 1};

bool FileExists(const char* pszPath)
{
    struct stat st {};
    return stat(pszPath, &st) == 0 && S_ISREG(st.st_mode);
}

/// The installation home with its trailing separator.
XString FindHome()
{
    XString strHome;
    if (const char* p = std::getenv("PELMORATIVRA_1_1")) strHome = p;
    if (const char* p = std::getenv("TIVRA_HOME")) strHome = p;  // takes precedence
    if (strHome.IsEmpty()) return Xfn::GetDefaultHomePath();
    // A separator is added even to a value that ends in one: the doubled
    // separator names the same directory.
    strHome += Xfn::kPathSeparator;
    if (!FileExists(strHome + Xfn::kConfigurationFile)) return Xfn::GetDefaultHomePath();
    return strHome;
}

void LoadLogDriver(tagTivraGlobal& g)
{
    const XString strPath = Xfn::GetModulePath() + kLogDriverName;
    if (!FileExists(strPath)) return;
    void* h = dlopen(strPath, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) return;  // a driver that does not load is ignored
    g.m_hLogDriver = h;
    g.m_pfnLog = reinterpret_cast<XLogFunction>(dlsym(h, "__Log"));
    g.m_pfnLogDestroy = reinterpret_cast<XLogDestroyFunction>(dlsym(h, "__Destory"));
}

tagTivraGlobal* Published() { return static_cast<tagTivraGlobal*>(Xfn::GetGlobalTivra()); }

/// Registers the core's own serialisable classes, so that they can be found
/// by name (archives name the classes they hold) before any object of them
/// has been made. Classes of other modules register on first use.
void RegisterCoreClasses()
{
    XObject::GetThisClass();
    XPtrArray::GetThisClass();
    XObArray::GetThisClass();
    XMapPtrToPtr::GetThisClass();
    XMapStringToPtr::GetThisClass();
    XMapStringToOb::GetThisClass();
    XMapWordToOb::GetThisClass();
    XObList::GetThisClass();
}

} // namespace

tagTivraGlobal::tagTivraGlobal()
    : m_mapNamedBlocks(10), m_pReserved{}, m_pfnHook{}, m_pfnLog(nullptr), m_pfnLogDestroy(nullptr),
      m_hLogDriver(nullptr)
{
    m_mapNamedBlocks.InitHashTable(17);
}

namespace Xfn {

tagTivraGlobal* GetGlobal()
{
    if (!LoadSharedStateLibrary()) return nullptr;
    if (tagTivraGlobal* g = Published()) return g;
    Initialize();
    return Published();
}

bool Initialize()
{
    if (!LoadSharedStateLibrary()) return false;
    if (Published() != nullptr) Uninitialize();
    if (!LoadSharedStateLibrary()) return false;  // Uninitialize released it

    auto* g = new tagTivraGlobal;
    const XString strHome = FindHome();
    g->m_strResourcePath = strHome + "Resource";
    g->m_strTempPath = strHome + "Temp";
    g->m_strConfigPath = strHome + "Config";
    g->m_strModulePath = GetModulePath();
    LoadLogDriver(*g);
    SetGlobalTivra(g);
    RegisterCoreClasses();
    return true;
}

void Uninitialize()
{
    if (!LoadSharedStateLibrary()) return;
    tagTivraGlobal* g = Published();
    if (g == nullptr) return;

    {
        XLock lock(&g->m_csNamedBlocks);
        XPOSITION pos = g->m_mapNamedBlocks.GetStartPosition();
        while (pos != nullptr) {
            XString strName;
            void* pBlock = nullptr;
            g->m_mapNamedBlocks.GetNextAssoc(pos, strName, pBlock);
            std::free(pBlock);  // raw blocks: no destructor runs
        }
        g->m_mapNamedBlocks.RemoveAll();
    }
    for (int nHook : kHookOrder)
        if (g->m_pfnHook[nHook - 1] != nullptr) g->m_pfnHook[nHook - 1]();
    for (XShutdownHook& pfn : g->m_pfnHook) pfn = nullptr;
    if (g->m_hLogDriver != nullptr) {
        if (g->m_pfnLogDestroy != nullptr) g->m_pfnLogDestroy();
        dlclose(g->m_hLogDriver);
        g->m_hLogDriver = nullptr;
        g->m_pfnLog = nullptr;
        g->m_pfnLogDestroy = nullptr;
    }
    // The hooks above could still read the record; from here on no module
    // can reach it, so none ever sees it freed.
    SetGlobalTivra(nullptr);
    delete g;
    ReleaseSharedStateLibrary();
}

bool LogMessage(int nLevel, const char* pszSource, const char* pszText)
{
    const tagTivraGlobal* g = GetGlobal();
    if (g == nullptr || g->m_pfnLog == nullptr) return false;
    g->m_pfnLog(nLevel, pszSource, pszText);
    return true;
}

bool LogObjectMessage(int nLevel, int nID, const char* pszName, const char* pszText)
{
    XString str;
    str.Format("ID : %5d, Name : %s\t %s", nID, pszName, pszText);
    return LogMessage(nLevel, "object", str);
}

} // namespace Xfn

// ---- runtime class registry --------------------------------------------------

XRuntimeClass* XRuntimeClass::FromName(const char* pszClassName)
{
    tagTivraGlobal* g = Xfn::GetGlobal();
    if (g == nullptr || pszClassName == nullptr) return nullptr;
    XLock lock(&g->m_csNamedBlocks);
    void* p = nullptr;
    return g->m_mapNamedBlocks.Lookup(pszClassName, p) ? static_cast<XRuntimeClass*>(p) : nullptr;
}

XRuntimeClass* XRuntimeClass::Register(const char* pszClassName, int32_t nObjectSize, uint32_t wSchema,
                                       XObject* (*pfnCreateObject)(), XRuntimeClass* pBaseClass)
{
    tagTivraGlobal* g = Xfn::GetGlobal();
    if (g == nullptr || pszClassName == nullptr) return nullptr;
    XLock lock(&g->m_csNamedBlocks);
    void* p = nullptr;
    if (g->m_mapNamedBlocks.Lookup(pszClassName, p)) return static_cast<XRuntimeClass*>(p);
    // A plain heap block, since the teardown frees every named block as raw
    // memory.
    auto* pClass = static_cast<XRuntimeClass*>(std::malloc(sizeof(XRuntimeClass)));
    if (pClass == nullptr) return nullptr;
    *pClass = XRuntimeClass{pszClassName, nObjectSize, wSchema, pfnCreateObject, pBaseClass};
    g->m_mapNamedBlocks.SetAt(pszClassName, pClass);
    return pClass;
}

} // namespace Pelmora::Tivra
