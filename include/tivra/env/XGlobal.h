// The process-wide shared record and the shared-state library that publishes
// it to every module of the process.
#pragma once

#include <cstddef>
#include <cstdint>

#include <tivra/runtime/XCriticalSection.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// A shut-down hook of a sibling module: no arguments, no result.
using XShutdownHook = void (*)();
/// The log driver's "__Log" entry: a severity level, the reporting source and
/// the text. Returns non-zero when the message was taken.
using XLogFunction = int (*)(int nLevel, const char* pszSource, const char* pszText);
/// The log driver's "__Destory" entry, called once before it is released.
using XLogDestroyFunction = void (*)();

/// The record every module of the process shares. Sibling modules read it
/// through the pointer that libXGlobal.so keeps, so its field order and
/// widths are fixed (checked by static assertions where it is built).
struct tagTivraGlobal {
    XString m_strResourcePath;  ///< home + "Resource"
    XString m_strTempPath;      ///< home + "Temp"
    XString m_strConfigPath;    ///< home + "Config"
    XString m_strModulePath;    ///< directory of the host executable, with its separator
    /// Named heap blocks (runtime class records among them): 17 buckets,
    /// nodes in blocks of 10, guarded by m_csNamedBlocks.
    XMap<XString, void*> m_mapNamedBlocks;
    XCriticalSection m_csNamedBlocks;
    /// For sibling modules; the first nine hold the remote-file entries.
    void* m_pReserved[13];
    /// Hooks 1..10 at indices 0..9.
    XShutdownHook m_pfnHook[10];
    XLogFunction m_pfnLog;
    XLogDestroyFunction m_pfnLogDestroy;
    void* m_hLogDriver;  ///< dlopen handle of libXLogDriver.so

    tagTivraGlobal();
};

namespace Xfn {

/// The shared record: the one a module of the process has published, or a
/// new one built from the environment and published. Null when
/// libXGlobal.so cannot be loaded or lacks an entry.
tagTivraGlobal* GetGlobal();
/// Builds a record from the environment and publishes it, tearing down a
/// record already published. True (false only without libXGlobal.so).
bool Initialize();
/// Tears the published record down: named blocks freed as raw memory, the
/// sibling hooks called (4, 3, 8, 10, 5, 6, 9, 7, 2, 1), the log driver shut
/// down and released. A null record is published before the record is freed,
/// so no module can reach it afterwards; then libXGlobal.so is released.
void Uninitialize();

// The entries of libXGlobal.so. Each loads the library when needed; a getter
// gives null and a setter does nothing when it cannot be loaded.
void* GetGlobalTivra();
void SetGlobalTivra(void* pRecord);
/// nModule 1..10; null (or nothing) for any other number.
void* GetGlobalModule(int nModule);
void SetGlobalModule(int nModule, void* pRecord);

/// Passes the fields to the log driver's "__Log"; false without a record or
/// a log driver.
bool LogMessage(int nLevel, const char* pszSource, const char* pszText);
/// Logs "ID : %5d, Name : %s\t %s" with the object's id, name and text.
bool LogObjectMessage(int nLevel, int nID, const char* pszName, const char* pszText);

} // namespace Xfn

} // namespace Pelmora::Tivra
