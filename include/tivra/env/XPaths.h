// Installation paths and temporary file names.
//
// The installation home is found from the environment: TIVRA_HOME, else
// PELMORATIVRA_1_1, when the directory it names holds
// "Config/TivraConfiguration.xml"; otherwise the parent of the executable's
// directory (a program in /opt/tivra/bin uses /opt/tivra). Below the home
// lie "Resource" (read-only data such as WMM.cof), "Temp" (scratch files,
// created on first use) and "Config". The paths live in the shared record, so
// every module of the process sees the same ones; without the record (no
// libXGlobal.so) the getters return empty strings and the setters do nothing.
#pragma once

#include <tivra/platform/XPlatformTypes.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra::Xfn {

/// home + "Resource" (a separator is appended when it has none at all).
XString GetResourcePath();
void SetResourcePath(const XString& strPath);
/// home + "Temp" and a separator; the directory is created first (every
/// missing level; a failure is ignored).
XString GetTemporaryPath();
void SetTemporaryPath(const XString& strPath);
/// home + "Config".
XString GetConfigPath();
/// Replaces the configuration path; false without a shared record.
bool SetConfigPath(const XString& strPath);
/// The directory of the running executable, with its trailing separator.
XString GetModulePath();
/// The parent of the executable's directory, with a trailing separator; or,
/// when that is no home (it lacks Config/TivraConfiguration.xml) and its
/// share/tivra/ is one, that folder: the home of an installed program.
XString GetDefaultHomePath();

/// The temporary path (or, when that is empty, the current directory and a
/// separator) + prefix + "DDhhmmssmmm.tmp" from the current UTC time: day of
/// the month, hour, minute, second, millisecond. Two calls in the same
/// millisecond with the same prefix give the same name.
XString MakeTempFileName(const XString& strPrefix);
/// The same at a given UTC time.
XString MakeTempFileName(const XString& strPrefix, const tagXSystemTime& stUtc);

} // namespace Pelmora::Tivra::Xfn
