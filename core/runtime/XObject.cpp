#include <tivra/runtime/XObject.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

// ---- XObject --------------------------------------------------------------------

namespace {

/// The set the innermost destruction watch of this thread keeps.
thread_local std::unordered_set<const XObject*>* t_pAlive = nullptr;

} // namespace

XObject::XObject() : m_nRefer(0) {}

XObject::~XObject()
{
    if (t_pAlive != nullptr) t_pAlive->erase(this);
}

XObject::XDestructionWatch::XDestructionWatch(std::unordered_set<const XObject*>* pAlive) : m_pOuter(t_pAlive)
{
    t_pAlive = pAlive;
}

XObject::XDestructionWatch::~XDestructionWatch() { t_pAlive = m_pOuter; }

void XObject::Ref()
{
    XLock lock(&m_cs);
    ++m_nRefer;
}

void XObject::Unref()
{
    m_cs.Lock();
    const bool bLast = --m_nRefer <= 0;
    // The lock is left before the object goes, since it is part of it.
    m_cs.Unlock();
    if (bLast) delete this;
}

XRuntimeClass* XObject::GetThisClass()
{
    return XRuntimeClass::Register("XObject", int32_t(sizeof(XObject)), XSCHEMA_NONE, &XObject::CreateObject,
                                   nullptr);
}

XObject* XObject::CreateObject() { return new XObject; }

XRuntimeClass* XObject::GetRuntimeClass() const { return GetThisClass(); }

bool XObject::IsKindOf(const XRuntimeClass* pClass) const
{
    const XRuntimeClass* pThis = GetRuntimeClass();
    return pThis != nullptr && pThis->IsDerivedFrom(pClass);
}

// ---- XRuntimeClass ------------------------------------------------------------------

XObject* XRuntimeClass::CreateObject() const
{
    if (m_pfnCreateObject == nullptr) {
        Xfn::Trace("Error: Trying to create object which is not XDECLARE_DYNCREATE \nor XDECLARE_SERIAL: %hs.\n",
                   m_lpszClassName);
        return nullptr;
    }
    return m_pfnCreateObject();
}

bool XRuntimeClass::IsDerivedFrom(const XRuntimeClass* pBase) const
{
    for (const XRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass)
        if (p == pBase) return true;
    return false;
}

// ---- trace output ---------------------------------------------------------------------

namespace Xfn {

namespace {

/// The default: standard error while TIVRA_TRACE is set (the stand-in for a
/// debugger's output window), nothing otherwise.
void DefaultTrace(const char* pszFormat, va_list args)
{
    if (std::getenv("TIVRA_TRACE") == nullptr) return;
    XString str;
    str.FormatV(pszFormat, args);
    std::fputs(str, stderr);
}

std::atomic<XTraceFunction> g_pfnTrace{nullptr};

} // namespace

void Trace(const char* pszFormat, ...)
{
    if (pszFormat == nullptr) return;
    va_list args;
    va_start(args, pszFormat);
    if (const XTraceFunction pfn = g_pfnTrace.load()) {
        // A replacement takes the text already formatted, so that it needs
        // no access to the arguments.
        XString str;
        str.FormatV(pszFormat, args);
        pfn("%s", static_cast<const char*>(str));
    } else {
        DefaultTrace(pszFormat, args);
    }
    va_end(args);
}

XTraceFunction SetTraceFunction(XTraceFunction pfn) { return g_pfnTrace.exchange(pfn); }

} // namespace Xfn

} // namespace Pelmora::Tivra
