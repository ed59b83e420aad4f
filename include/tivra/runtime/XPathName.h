// Path names as strings, and making and removing directories.
//
// These helpers look at the characters of a path only (plus the file system
// for the volume and directory calls); they know nothing of the installation
// home, which lives in env/XPaths.h.
#pragma once

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra::Xfn {

/// The path separator the library writes.
constexpr char kPathSeparator = '/';

/// Index of the nearest '\\' or '/' at or after nStart (forward), or at or
/// before length - 1 - nStart (reverse); -1 when there is none.
int FindPathSeparator(const char* pszPath, int nStart = 0, bool bReverse = false);

/// The file part of a path: what follows its last '\\' or '/' (the whole
/// path when it has none).
XString GetPathFileName(const char* pszPath);
/// The file part without its extension (from its last '.' on).
XString GetPathFileTitle(const char* pszPath);
/// The volume holding a path: its nearest existing directory (the path
/// itself when that is a directory), from which the file system is queried.
XString GetPathVolumeRoot(const char* pszPath);

/// Removes an empty directory; false when it cannot.
bool RemoveDirectory(const char* pszPath);
/// Creates every missing level of a directory path; true when it exists
/// afterwards.
bool CreateDirectories(const char* pszPath);

} // namespace Pelmora::Tivra::Xfn
