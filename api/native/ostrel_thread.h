/* The C surface: the progress holder of the public thread.
 *
 * An ostrel_thread is the native bridge object of a public XThread: a native
 * thread object (Pelmora::Tivra::XThread) that never starts a thread of its
 * own and only holds progress, a percent range, a priority and the stop
 * flag. The handle is the address of that Pelmora::Tivra::XThread, so native
 * code handed the handle reports progress into it through the base class's
 * OnMessagePercent; the public layer polls it.
 *
 * Every function accepts a null handle and then does nothing (queries return
 * 0, the range reads 0..0). */
#ifndef OSTREL_THREAD_H
#define OSTREL_THREAD_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

typedef struct ostrel_thread ostrel_thread;

/* A new bridge: percent 0, range 0..100, priority 0, no thread. */
OSTREL_API ostrel_thread* ostrel_thread_new(void);
OSTREL_API void ostrel_thread_delete(ostrel_thread* thread);

/* Run(): 0, since the bridge owns no thread. */
OSTREL_API int32_t ostrel_thread_run(ostrel_thread* thread);
/* Stop(): raises the stop flag; 1. */
OSTREL_API int32_t ostrel_thread_stop(ostrel_thread* thread);
/* IsValid(): 0, since the bridge owns no thread. */
OSTREL_API int32_t ostrel_thread_is_valid(const ostrel_thread* thread);

/* The percent through the virtual GetPercent(). */
OSTREL_API int32_t ostrel_thread_get_percent(ostrel_thread* thread);
/* OnMessagePercent(int): stores the percent as given. */
OSTREL_API void ostrel_thread_set_percent(ostrel_thread* thread, int32_t percent);

OSTREL_API void ostrel_thread_set_percent_range(ostrel_thread* thread, int32_t min, int32_t max);
/* The range through the virtual GetPercentRange(); either pointer may be null. */
OSTREL_API void ostrel_thread_get_percent_range(ostrel_thread* thread, int32_t* min, int32_t* max);

/* SetPriority(): stores the value; 0, since there is no thread to apply it to. */
OSTREL_API int32_t ostrel_thread_set_priority(ostrel_thread* thread, int32_t priority);
OSTREL_API int32_t ostrel_thread_get_priority(const ostrel_thread* thread);

OSTREL_EXTERN_C_END

#endif /* OSTREL_THREAD_H */
