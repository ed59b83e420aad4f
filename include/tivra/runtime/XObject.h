// The root object with a reference count, runtime class records registered by
// name in the process-wide shared record, the declaration helpers that give a
// class its record, and the trace output of the core's diagnostics.
#pragma once

#include <cstdint>
#include <unordered_set>

#include <tivra/runtime/XCriticalSection.h>

namespace Pelmora::Tivra {

class XArchive;
class XObject;

/// The runtime description of a class: its name, object size, schema
/// number, factory and base. Records are kept in the named-block map of the
/// process-wide shared record under the class name, so every module of the
/// process finds the same record for a name. A record is a plain heap block
/// (it is freed as raw memory when the shared record is torn down); the name
/// it points to is the declaring module's static text.
struct XRuntimeClass {
    const char* m_lpszClassName;
    int32_t m_nObjectSize;
    uint32_t m_wSchema;
    XObject* (*m_pfnCreateObject)();
    XRuntimeClass* m_pBaseClass;

    /// A new object from the factory; null, with a trace message, when the
    /// class has none.
    XObject* CreateObject() const;
    /// True when pBase is this record or one of its bases.
    bool IsDerivedFrom(const XRuntimeClass* pBase) const;

    /// Writes the schema (32 bits), the name's length (16 bits) and the
    /// name; a name of 64 bytes or more throws XArchiveException badClass.
    void Store(XArchive& ar) const;
    /// Reads what Store wrote and returns the class registered under the
    /// name, with the stored schema in *pwSchemaNum. Null when the name is
    /// 64 bytes or longer, runs short or is not registered.
    static XRuntimeClass* Load(XArchive& ar, uint32_t* pwSchemaNum);

    /// The record registered under the name, or null (none registered, or
    /// no shared record).
    static XRuntimeClass* FromName(const char* pszClassName);
    /// The record registered under the name; when none is, a new one with
    /// these values is registered and returned. Null without a shared record.
    static XRuntimeClass* Register(const char* pszClassName, int32_t nObjectSize, uint32_t wSchema,
                                   XObject* (*pfnCreateObject)(), XRuntimeClass* pBaseClass);
};

/// Schema number of classes that are not stored in archives.
constexpr uint32_t XSCHEMA_NONE = 0xFFFFFFFF;

/// The root of the serialisable classes. An object counts its references
/// under its own critical section; Unref deletes it when the count falls to
/// zero or below.
class XObject {
public:
    XObject();
    virtual ~XObject();
    XObject(const XObject&) = delete;
    XObject& operator=(const XObject&) = delete;

    /// The class's record, registered on first use; null without a shared
    /// record.
    virtual XRuntimeClass* GetRuntimeClass() const;
    /// True when the object's class is pClass or derives from it.
    virtual bool IsKindOf(const XRuntimeClass* pClass) const;
    /// Reads or writes the object's state through an archive. The root
    /// writes its class chain (XArchive::WriteClass) and reads it back,
    /// throwing XArchiveException badClass when the stream names another
    /// class; derived classes call it first, then add their data.
    virtual void Serialize(XArchive& ar);

    /// Adds a reference.
    void Ref();
    /// Drops a reference; at zero or below the object deletes itself, so
    /// the caller must not touch it afterwards.
    void Unref();
    int GetReferCount() const { return m_nRefer; }

    /// The root's record ("XObject", no base).
    static XRuntimeClass* GetThisClass();
    static XObject* CreateObject();

    /// While one lives, objects destroyed on its thread are erased from the
    /// set it watches: for a caller releasing a group of objects, some of
    /// which may delete others directly, to learn which are gone. Watches
    /// nest; the inner one is served until it ends.
    class XDestructionWatch {
    public:
        explicit XDestructionWatch(std::unordered_set<const XObject*>* pAlive);
        ~XDestructionWatch();
        XDestructionWatch(const XDestructionWatch&) = delete;
        XDestructionWatch& operator=(const XDestructionWatch&) = delete;

    private:
        std::unordered_set<const XObject*>* m_pOuter;
    };

protected:
    int32_t m_nRefer;
    XCriticalSection m_cs;
};

/// A diagnostic-dump target: two words, copied member by member.
class XDumpContext {
public:
    explicit XDumpContext(void* pTarget = nullptr, intptr_t nDepth = 0) : m_pTarget(pTarget), m_nDepth(nDepth) {}
    void* GetTarget() const { return m_pTarget; }
    intptr_t GetDepth() const { return m_nDepth; }

private:
    void* m_pTarget;
    intptr_t m_nDepth;
};

// --- declaration helpers ------------------------------------------------------
//
// In the class body:    XDECLARE_DYNAMIC(C), XDECLARE_DYNCREATE(C) or XDECLARE_SERIAL(C)
// In one source file:   XIMPLEMENT_DYNAMIC(C, Base), XIMPLEMENT_DYNCREATE(C, Base)
//                       or XIMPLEMENT_SERIAL(C, Base, schema)
// DYNAMIC gives the class a record; DYNCREATE adds a factory, so objects can be
// created by class name; SERIAL adds a schema number for archives. The record
// is registered on the first call of GetThisClass (or GetRuntimeClass), which
// registers the base chain first; the core's own classes are registered with
// the shared record. A module whose objects are looked up by name (read from
// archives) registers its classes once at start, with XRUNTIME_CLASS(C).

#define XDECLARE_DYNAMIC(class_name)                                                              \
public:                                                                                           \
    static ::Pelmora::Tivra::XRuntimeClass* GetThisClass();                                       \
    ::Pelmora::Tivra::XRuntimeClass* GetRuntimeClass() const override;

#define XDECLARE_DYNCREATE(class_name)                                                            \
    XDECLARE_DYNAMIC(class_name)                                                                  \
    static ::Pelmora::Tivra::XObject* CreateObject();

#define XDECLARE_SERIAL(class_name) XDECLARE_DYNCREATE(class_name)

#define XIMPLEMENT_RUNTIMECLASS_(class_name, base_name, schema, factory)                          \
    ::Pelmora::Tivra::XRuntimeClass* class_name::GetThisClass()                                   \
    {                                                                                             \
        return ::Pelmora::Tivra::XRuntimeClass::Register(#class_name, int32_t(sizeof(class_name)),  \
                                                         schema, factory, base_name::GetThisClass()); \
    }                                                                                             \
    ::Pelmora::Tivra::XRuntimeClass* class_name::GetRuntimeClass() const { return GetThisClass(); }

#define XIMPLEMENT_DYNAMIC(class_name, base_name)                                                 \
    XIMPLEMENT_RUNTIMECLASS_(class_name, base_name, ::Pelmora::Tivra::XSCHEMA_NONE, nullptr)

#define XIMPLEMENT_DYNCREATE(class_name, base_name)                                               \
    ::Pelmora::Tivra::XObject* class_name::CreateObject() { return new class_name; }              \
    XIMPLEMENT_RUNTIMECLASS_(class_name, base_name, ::Pelmora::Tivra::XSCHEMA_NONE, class_name::CreateObject)

#define XIMPLEMENT_SERIAL(class_name, base_name, schema)                                          \
    ::Pelmora::Tivra::XObject* class_name::CreateObject() { return new class_name; }              \
    XIMPLEMENT_RUNTIMECLASS_(class_name, base_name, schema, class_name::CreateObject)

/// The registered record of a class declared with the helpers above.
#define XRUNTIME_CLASS(class_name) (class_name::GetThisClass())

// --- trace output -----------------------------------------------------------------

namespace Xfn {

/// A printf-style trace function.
using XTraceFunction = void (*)(const char* pszFormat, ...);

/// Sends a diagnostic through the current trace function. The default writes
/// the formatted text to standard error while the environment variable
/// TIVRA_TRACE is set, and does nothing otherwise.
void Trace(const char* pszFormat, ...);
/// Replaces the trace function for the whole process; null restores the
/// default. Returns the previous function (null for the default).
XTraceFunction SetTraceFunction(XTraceFunction pfn);

} // namespace Xfn

} // namespace Pelmora::Tivra
