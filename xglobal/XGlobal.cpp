// libXGlobal.so: the process-wide store through which every module of the
// product finds the shared record. It holds one pointer per module (the
// library's own record and ten sibling slots) and exports nothing but the 22
// getters and setters, so that any module, whatever it is linked with, can
// load it by name and reach the same pointers. The tests build a second copy
// without the last entry (XGLOBAL_LEAVE_OUT_LAST_ENTRY), which the core must
// refuse as a whole.
#define XGLOBAL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

/// Slot 0: the library's record; slots 1..10: sibling modules.
void* g_pSlots[11];

} // namespace

XGLOBAL_EXPORT void* GetGlobalTivra() { return g_pSlots[0]; }
XGLOBAL_EXPORT void* GetGlobalModule01() { return g_pSlots[1]; }
XGLOBAL_EXPORT void* GetGlobalModule02() { return g_pSlots[2]; }
XGLOBAL_EXPORT void* GetGlobalModule03() { return g_pSlots[3]; }
XGLOBAL_EXPORT void* GetGlobalModule04() { return g_pSlots[4]; }
XGLOBAL_EXPORT void* GetGlobalModule05() { return g_pSlots[5]; }
XGLOBAL_EXPORT void* GetGlobalModule06() { return g_pSlots[6]; }
XGLOBAL_EXPORT void* GetGlobalModule07() { return g_pSlots[7]; }
XGLOBAL_EXPORT void* GetGlobalModule08() { return g_pSlots[8]; }
XGLOBAL_EXPORT void* GetGlobalModule09() { return g_pSlots[9]; }
XGLOBAL_EXPORT void* GetGlobalModule10() { return g_pSlots[10]; }

XGLOBAL_EXPORT void SetGlobalTivra(void* p) { g_pSlots[0] = p; }
XGLOBAL_EXPORT void SetGlobalModule01(void* p) { g_pSlots[1] = p; }
XGLOBAL_EXPORT void SetGlobalModule02(void* p) { g_pSlots[2] = p; }
XGLOBAL_EXPORT void SetGlobalModule03(void* p) { g_pSlots[3] = p; }
XGLOBAL_EXPORT void SetGlobalModule04(void* p) { g_pSlots[4] = p; }
XGLOBAL_EXPORT void SetGlobalModule05(void* p) { g_pSlots[5] = p; }
XGLOBAL_EXPORT void SetGlobalModule06(void* p) { g_pSlots[6] = p; }
XGLOBAL_EXPORT void SetGlobalModule07(void* p) { g_pSlots[7] = p; }
XGLOBAL_EXPORT void SetGlobalModule08(void* p) { g_pSlots[8] = p; }
XGLOBAL_EXPORT void SetGlobalModule09(void* p) { g_pSlots[9] = p; }
#ifndef XGLOBAL_LEAVE_OUT_LAST_ENTRY
XGLOBAL_EXPORT void SetGlobalModule10(void* p) { g_pSlots[10] = p; }
#endif
