// A sibling module for the tests. It does not link the core: like any module
// of the product it loads libXGlobal.so by name, takes the record published
// there and reads it by its fixed layout, and it installs shut-down hooks
// that note the order in which they are called.
#include <dlfcn.h>

#include <string>

#include <tivra/env/XGlobal.h>

using Pelmora::Tivra::tagTivraGlobal;

namespace {

std::string g_strHooks;

tagTivraGlobal* Record()
{
    void* h = dlopen("libXGlobal.so", RTLD_NOW | RTLD_NOLOAD);  // the instance the core loaded
    if (h == nullptr) return nullptr;
    auto pfn = reinterpret_cast<void* (*)()>(dlsym(h, "GetGlobalTivra"));
    void* p = pfn ? pfn() : nullptr;
    dlclose(h);
    return static_cast<tagTivraGlobal*>(p);
}

/// The record's XString fields are a pointer to their characters.
const char* Text(const void* pField) { return *static_cast<const char* const*>(pField); }

template <int N>
void Hook()
{
    g_strHooks += std::to_string(N) + ",";
}

constexpr void (*kHooks[10])() = {Hook<1>, Hook<2>, Hook<3>, Hook<4>, Hook<5>,
                                  Hook<6>, Hook<7>, Hook<8>, Hook<9>, Hook<10>};

} // namespace

extern "C" const char* SiblingPath(int nField)
{
    const tagTivraGlobal* g = Record();
    if (g == nullptr || nField < 0 || nField > 3) return nullptr;
    return Text(reinterpret_cast<const char*>(g) + nField * sizeof(void*));
}

extern "C" bool SiblingInstallHook(int nHook)
{
    tagTivraGlobal* g = Record();
    if (g == nullptr || nHook < 1 || nHook > 10) return false;
    g->m_pfnHook[nHook - 1] = kHooks[nHook - 1];
    return true;
}

extern "C" const char* SiblingHookOrder() { return g_strHooks.c_str(); }
