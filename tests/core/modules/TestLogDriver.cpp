// libXLogDriver.so for the tests: records what "__Log" receives and counts
// "__Destory" calls, readable through two more entries.
#include <cstdio>
#include <string>

namespace {
std::string g_strLog;
int g_nDestroyed = 0;
} // namespace

extern "C" int __Log(int nLevel, const char* pszSource, const char* pszText)
{
    char aLevel[16];
    std::snprintf(aLevel, sizeof aLevel, "%d|", nLevel);
    g_strLog += aLevel;
    g_strLog += pszSource ? pszSource : "(null)";
    g_strLog += '|';
    g_strLog += pszText ? pszText : "(null)";
    g_strLog += '\n';
    return 1;
}

extern "C" void __Destory() { ++g_nDestroyed; }

extern "C" const char* TestLogText() { return g_strLog.c_str(); }
extern "C" int TestLogDestroyCount() { return g_nDestroyed; }
