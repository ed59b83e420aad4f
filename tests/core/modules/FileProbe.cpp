// A program for the tests that opens and removes a remote name in a process
// of its own: run from a directory holding a copy of the core without
// libXGlobal.so, so that there is no shared record.
#include <cstdio>

#include <tivra/runtime/XFile.h>

using namespace Pelmora::Tivra;

int main()
{
    XFile file;
    XFileException e;
    const bool bOpen = file.Open("rfsp://server/a.bin", XFile::modeRead, &e);
    try {
        XFile::Remove("rfsp://server/a.bin");
        std::printf("open=%d cause=%d remove=quiet\n", bOpen, e.m_cause);
    } catch (const XFileException& r) {
        std::printf("open=%d cause=%d remove=threw %d\n", bOpen, e.m_cause, r.m_cause);
    }
    return 0;
}
