// Names that make and find an installation home.
#pragma once

namespace Pelmora::Tivra::Xfn {

/// The file whose presence makes a directory an installation home.
inline constexpr const char* kConfigurationFile = "Config/TivraConfiguration.xml";
/// The home of an installation, below its prefix (the install rules put it there).
inline constexpr const char* kInstalledHome = "share/tivra/";

} // namespace Pelmora::Tivra::Xfn
