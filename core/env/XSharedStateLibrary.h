// Internal: the loaded shared-state library.
#pragma once

namespace Pelmora::Tivra {

constexpr const char* kSharedStateLibraryName = "libXGlobal.so";

/// Loads libXGlobal.so when it is not loaded and looks up all 22 entries;
/// false (and nothing kept) when it is missing or lacks an entry.
bool LoadSharedStateLibrary();
/// Releases the library and clears the handle and the entries.
void ReleaseSharedStateLibrary();

} // namespace Pelmora::Tivra
