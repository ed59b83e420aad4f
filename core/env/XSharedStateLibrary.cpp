// Loading libXGlobal.so and its 22 entries.
#include "env/XSharedStateLibrary.h"

#include <dlfcn.h>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

namespace {

using Getter = void* (*)();
using Setter = void (*)(void*);

/// The entry names in their fixed order: the library's own pair first.
constexpr const char* kGetterNames[11] = {
    "GetGlobalTivra",    "GetGlobalModule01", "GetGlobalModule02", "GetGlobalModule03",
    "GetGlobalModule04", "GetGlobalModule05", "GetGlobalModule06", "GetGlobalModule07",
    "GetGlobalModule08", "GetGlobalModule09", "GetGlobalModule10"};
constexpr const char* kSetterNames[11] = {
    "SetGlobalTivra",    "SetGlobalModule01", "SetGlobalModule02", "SetGlobalModule03",
    "SetGlobalModule04", "SetGlobalModule05", "SetGlobalModule06", "SetGlobalModule07",
    "SetGlobalModule08", "SetGlobalModule09", "SetGlobalModule10"};

/// The handle and the 22 addresses, all null while the library is not loaded.
/// Not locked: the first use happens on one thread before others start.
void* g_hLibrary = nullptr;
Getter g_pfnGet[11];
Setter g_pfnSet[11];

void Clear()
{
    g_hLibrary = nullptr;
    for (int i = 0; i < 11; ++i) {
        g_pfnGet[i] = nullptr;
        g_pfnSet[i] = nullptr;
    }
}

/// Loads the library from the core's own directory, by full path: what the
/// core's run path ($ORIGIN) means. A dlopen wrapped by another library (as
/// AddressSanitizer wraps it) searches with the wrapper's run path instead of
/// the core's, so the plain name alone does not find the copy beside the
/// core there. The library's soname is its plain name, so modules that look
/// it up by name still find this instance.
void* LoadBesideCore()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LoadSharedStateLibrary), &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    XString strPath(info.dli_fname);
    const int n = strPath.ReverseFind('/');
    if (n < 0) return nullptr;
    strPath = strPath.Left(n + 1) + kSharedStateLibraryName;
    return dlopen(strPath, RTLD_NOW | RTLD_GLOBAL);
}

} // namespace

bool LoadSharedStateLibrary()
{
    if (g_hLibrary != nullptr) return true;
    // By plain name: the core's run path ($ORIGIN) finds the copy installed
    // beside it, and every module of the process gets the same instance.
    void* h = dlopen(kSharedStateLibraryName, RTLD_NOW | RTLD_GLOBAL);
    if (h == nullptr) h = LoadBesideCore();
    if (h == nullptr) return false;
    for (int i = 0; i < 11; ++i) {
        g_pfnGet[i] = reinterpret_cast<Getter>(dlsym(h, kGetterNames[i]));
        g_pfnSet[i] = reinterpret_cast<Setter>(dlsym(h, kSetterNames[i]));
        if (g_pfnGet[i] == nullptr || g_pfnSet[i] == nullptr) {
            dlclose(h);
            Clear();
            return false;
        }
    }
    g_hLibrary = h;
    return true;
}

void ReleaseSharedStateLibrary()
{
    if (g_hLibrary != nullptr) dlclose(g_hLibrary);
    Clear();
}

namespace {

/// Slot 0 is the library's own entry pair, slots 1..10 the siblings'.
void* GetSlot(int nSlot) { return LoadSharedStateLibrary() ? g_pfnGet[nSlot]() : nullptr; }

void SetSlot(int nSlot, void* pRecord)
{
    if (LoadSharedStateLibrary()) g_pfnSet[nSlot](pRecord);
}

} // namespace

namespace Xfn {

void* GetGlobalTivra() { return GetSlot(0); }
void SetGlobalTivra(void* pRecord) { SetSlot(0, pRecord); }
void* GetGlobalModule(int nModule) { return nModule >= 1 && nModule <= 10 ? GetSlot(nModule) : nullptr; }

void SetGlobalModule(int nModule, void* pRecord)
{
    if (nModule >= 1 && nModule <= 10) SetSlot(nModule, pRecord);
}

} // namespace Xfn

} // namespace Pelmora::Tivra
