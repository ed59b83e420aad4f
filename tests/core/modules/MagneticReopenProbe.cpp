// A program for the tests: one computation of the magnetic field that reads
// its coefficient file (the first argument) on every call, with the second
// opening of that file made to fail. It prints "result OK OPENS" on standard
// output after whatever the core printed there.
//
// The failure comes from this program's own fopen: the core's calls reach an
// executable's definition ahead of the C library's, and this one hands every
// other opening on to the next definition in the lookup order.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <tivra/geo/XGeomagnetism.h>

using namespace Pelmora::Tivra;

namespace {
const char* g_pszFailing = nullptr;
int g_nOpens = 0;
} // namespace

extern "C" FILE* fopen(const char* pszPath, const char* pszMode)
{
    using Fopen = FILE* (*)(const char*, const char*);
    static const Fopen s_next = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, "fopen"));
    if (g_pszFailing != nullptr && std::strcmp(pszPath, g_pszFailing) == 0 && ++g_nOpens == 2) {
        errno = ENOENT;
        return nullptr;
    }
    return s_next(pszPath, pszMode);
}

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    g_pszFailing = argv[1];
    tagXMagneticField field{};
    const bool ok = Xfn::CalcMagneticField(argv[1], 45.0, 10.0, 0.0, 2022.5, field, _XMAGNETIC_READ_EACH_CALL);
    std::printf("\nresult %d %d\n", ok ? 1 : 0, g_nOpens);
    return 0;
}
