// tagXHitFlag: the result record of a hit test (which part of a shape a
// position falls on, and the index of that part).
#pragma once

#include <cstdint>

namespace Pelmora::Tivra {

/// What a hit test found; the values of tagXHitFlag::flag.
enum _XHITFLAG : int32_t {
    XHF_NULL = 0,
    XHF_VERTEX = 1,
    XHF_LINESEG = 2,
    XHF_INSIDE = 3,
    XHF_LEFTTOP = 4,
    XHF_LEFTBOTTOM = 5,
    XHF_RIGHTTOP = 6,
    XHF_RIGHTBOTTOM = 7,
};

/// Plain 8-byte record: flag (a _XHITFLAG value) and index. A new record
/// holds XHF_NULL and index -1 (nothing hit).
struct tagXHitFlag {
    int32_t flag = XHF_NULL;
    int32_t index = -1;
};

static_assert(sizeof(tagXHitFlag) == 8, "tagXHitFlag is an 8-byte record");

} // namespace Pelmora::Tivra
