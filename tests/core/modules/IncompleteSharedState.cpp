// A libXGlobal.so for the tests that lacks one of the 22 entries
// (SetGlobalModule10): the core must refuse it as a whole.
#define XGLOBAL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
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
