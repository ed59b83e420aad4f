// The progress holder of the public thread through the C surface.
//
// XThreadPercent lives here, in the shim, rather than in the core: it exists
// only for the public layer, adds no behaviour (its Process() does nothing
// and it never starts a thread), and native code that reports progress into
// it needs only its base class, Pelmora::Tivra::XThread. The handle handed
// out is therefore the address of that base, valid as an XThread* for any
// native caller.
#include "ostrel_thread.h"
#include "ostrel_internal.h"

#include <tivra/runtime/XThread.h>

namespace Pelmora::Ostrel {

/// The bridge: a native thread object used only as a progress holder.
class XThreadPercent : public Pelmora::Tivra::XThread {
public:
    ~XThreadPercent() override { Kill(); }
    void Process() override {}
};

} // namespace Pelmora::Ostrel

using Pelmora::Ostrel::XThreadPercent;
using Pelmora::Tivra::XThread;
using namespace Pelmora::Ostrel::Native;

namespace {

XThreadPercent* T(ostrel_thread* p) { return static_cast<XThreadPercent*>(reinterpret_cast<XThread*>(p)); }
const XThreadPercent* T(const ostrel_thread* p)
{
    return static_cast<const XThreadPercent*>(reinterpret_cast<const XThread*>(p));
}
ostrel_thread* H(XThreadPercent* p) { return reinterpret_cast<ostrel_thread*>(static_cast<XThread*>(p)); }

} // namespace

extern "C" {

ostrel_thread* ostrel_thread_new(void) { return H(NewCounted<XThreadPercent>()); }

void ostrel_thread_delete(ostrel_thread* thread) { DeleteCounted(T(thread)); }

int32_t ostrel_thread_run(ostrel_thread* thread) { return thread ? T(thread)->Run() : 0; }

int32_t ostrel_thread_stop(ostrel_thread* thread) { return thread ? T(thread)->Stop() : 0; }

int32_t ostrel_thread_is_valid(const ostrel_thread* thread) { return thread ? T(thread)->IsValid() : 0; }

int32_t ostrel_thread_get_percent(ostrel_thread* thread) { return thread ? T(thread)->GetPercent() : 0; }

void ostrel_thread_set_percent(ostrel_thread* thread, int32_t percent)
{
    if (thread) T(thread)->OnMessagePercent(int(percent));
}

void ostrel_thread_set_percent_range(ostrel_thread* thread, int32_t min, int32_t max)
{
    if (thread) T(thread)->SetPercentRange(min, max);
}

void ostrel_thread_get_percent_range(ostrel_thread* thread, int32_t* min, int32_t* max)
{
    int lo = 0, hi = 0;
    if (thread) T(thread)->GetPercentRange(lo, hi);
    if (min) *min = lo;
    if (max) *max = hi;
}

int32_t ostrel_thread_set_priority(ostrel_thread* thread, int32_t priority)
{
    return thread ? T(thread)->SetPriority(priority) : 0;
}

int32_t ostrel_thread_get_priority(const ostrel_thread* thread) { return thread ? T(thread)->GetPriority() : 0; }

} // extern "C"
