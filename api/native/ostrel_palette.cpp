// The palette catalogue through the C surface.
#include "ostrel_palette.h"
#include "ostrel_internal.h"

#include <tivra/grid/XColorize.h>
#include <tivra/grid/XGrid.h>
#include <tivra/grid/XPalette.h>

#include <cstring>

using namespace Pelmora::Tivra;
using Pelmora::Ostrel::Native::Guarded;

extern "C" {

int32_t ostrel_palette_count(void) { return Xfn::GetNumberOfPalette(); }

int32_t ostrel_palette_name(int32_t index, char* buf, int32_t size)
{
    return Guarded(
        [&]() -> int32_t {
            const XString name = Xfn::GetPaletteName(static_cast<_XCOLORTABLE>(index));
            const int32_t length = name.GetLength();
            if (buf && size > 0) {
                const int32_t n = length < size ? length : size - 1;
                std::memcpy(buf, static_cast<const char*>(name), static_cast<size_t>(n));
                buf[n] = '\0';
            }
            return length;
        },
        [&]() -> int32_t {
            // The name could not be built (memory exhausted): report no text.
            if (buf && size > 0) buf[0] = '\0';
            return 0;
        });
}

int32_t ostrel_palette_get(int32_t index, uint8_t* r, uint8_t* g, uint8_t* b)
{
    return Xfn::GetPalette(static_cast<_XCOLORTABLE>(index), r, g, b) ? 1 : 0;
}

int32_t ostrel_grid_colorize(const ostrel_grid* src, int32_t palette, double low, double high, double no_data,
                             ostrel_grid* dst)
{
    if (!src || !dst) return 0;
    return Xfn::Colorize(*reinterpret_cast<const XGrid*>(src), static_cast<_XCOLORTABLE>(palette), low, high, no_data,
                         *reinterpret_cast<XGrid*>(dst))
               ? 1
               : 0;
}

} // extern "C"
