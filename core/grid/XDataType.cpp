#include <tivra/grid/XDataType.h>

#include "grid/XGridSamples.h"

namespace Pelmora::Tivra::Xfn {

namespace {

// Channels per sample, indexed by type code.
constexpr int kChannels[34] = {
    0,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // scalars
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // complex pairs
    1, 3, 3, 4, 4, 4, 4, 3, 3, 4, 4, 4, 4};

// The 64-bit integer types have no name of their own.
constexpr const char* kNames[34] = {
    "",
    "Unsigned 8-bit integer", "Signed 8-bit integer",
    "Unsigned 16-bit integer", "Signed 16-bit integer",
    "Unsigned 32-bit integer", "Signed 32-bit integer",
    "", "",
    "32-bit real number", "64-bit real number",
    "Unsigned 8-bit complex", "Signed 8-bit complex",
    "Unsigned 16-bit complex", "Signed 16-bit complex",
    "Unsigned 32-bit complex", "Signed 32-bit complex",
    "", "",
    "32-bit real complex", "64-bit real complex",
    "Datatype for gray image", "Datatype for RGB image", "Datatype for BGR image",
    "Datatype for RGBA image", "Datatype for BGRA image",
    "Datatype for ARGB image", "Datatype for ABGR image",
    "Datatype for RGB565 image", "Datatype for BGR565 image",
    "Datatype for RGBA5551 image", "Datatype for BGRA5551 image",
    "Datatype for ARGB1555 image", "Datatype for ABGR1555 image"};

bool IsKnown(int type) { return type >= 0 && type <= XDT_LAST; }

} // namespace

int GetDataSize(int type) { return IsKnown(type) ? DATASIZE[type] : 0; }

int GetChannelCount(int type) { return IsKnown(type) ? kChannels[type] : 0; }

void GetDataRange(int type, double& dMin, double& dMax)
{
    const int t = IsKnown(type) ? type : 0;
    dMin = GridSamples::kRangeMin[t];
    dMax = GridSamples::kRangeMax[t];
}

const char* GetDataTypeString(int type) { return IsKnown(type) ? kNames[type] : ""; }

} // namespace Pelmora::Tivra::Xfn
