// Copies in and out of mapped file memory that survive a page that cannot be
// read (internal).
//
// A page of a shared file mapping that lies beyond the file's current end (the
// file was truncated through another descriptor) or that the file system
// cannot fill (an I/O error, no space left for a hole of a sparse file) is
// delivered as SIGBUS to the thread that touches it, which would end the
// process. GuardedCopy arms a thread-local jump target around one memcpy; the
// SIGBUS handler, installed once for the process, jumps back there when the
// faulting thread has a target armed, so the copy reports failure instead.
// A SIGBUS on a thread without an armed target goes on to the handler that
// was installed before (or to the default action, which ends the process), so
// faults elsewhere behave as they would without this library.
#pragma once

#include <cstddef>

namespace Pelmora::Tivra::XPlatform {

/// memcpy(pDst, pSrc, nBytes), false when a page of either range raised
/// SIGBUS during the copy; the bytes copied before the fault are then
/// unspecified. Only plain memory is touched between arming and disarming,
/// so jumping out of the copy skips no destructor.
bool GuardedCopy(void* pDst, const void* pSrc, size_t nBytes);

/// pfn(pContext) under the same guard, for code that reads mapped memory in
/// place; false when SIGBUS cut it short. The jump out of pfn skips its
/// frames, so pfn and everything it calls must keep no object with a
/// non-trivial destructor on their stacks while they touch mapped memory
/// (state they change belongs to the caller's frame).
bool GuardedCall(void (*pfn)(void*), void* pContext);

} // namespace Pelmora::Tivra::XPlatform
