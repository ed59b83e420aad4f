// The magnetic-model fuzz input, shared by the fuzz target and the replay of
// its findings in the test suite: the bytes are a coefficient file, written to
// a scratch file and read both ways (parsed on every call, and parsed once and
// kept), with fields asked for at dates around and between the models and at
// extreme heights. A file must give a field or a clean failure, never a
// crash, and both ways must agree.
#pragma once

#include <tivra/geo/XGeomagnetism.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace TivraFuzz {

/// A scratch file of this process holding the bytes. Each call gets a new
/// name, so the kept parse of the previous input is never reused by mistake.
inline std::string WriteScratchFile(const uint8_t* pData, size_t nSize, const char* pszStem)
{
    static unsigned nCounter = 0;
    const char* pszDir = std::getenv("TMPDIR");
    std::string path = std::string(pszDir != nullptr && *pszDir != '\0' ? pszDir : "/tmp") + "/" + pszStem + "-" +
                       std::to_string(getpid()) + "-" + std::to_string(nCounter++ % 4);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort(); // the harness itself cannot run
    if (nSize != 0 && std::fwrite(pData, 1, nSize, f) != nSize) std::abort();
    std::fclose(f);
    return path;
}

/// Reads the file both ways at a few dates and heights; aborts when the two
/// ways disagree, since the reader promises the same bits either way.
inline void ReadMagneticInput(const uint8_t* pData, size_t nSize)
{
    using namespace Pelmora::Tivra;
    const std::string path = WriteScratchFile(pData, nSize, "tivra-magnetic-fuzz");
    static const double kDates[] = {1900.0, 2020.0, 2024.999, 2025.0, 2030.0, 2200.0};
    static const double kHeights[] = {-1.0e4, 0.0, 1.0e6};
    for (double dDate : kDates) {
        for (double alt : kHeights) {
            tagXMagneticField a{}, b{};
            const bool bA = Xfn::CalcMagneticField(path.c_str(), 45.0, -100.0, alt, dDate, a, _XMAGNETIC_READ_EACH_CALL);
            const bool bB = Xfn::CalcMagneticField(path.c_str(), 45.0, -100.0, alt, dDate, b, _XMAGNETIC_READ_CACHED);
            if (bA != bB) std::abort();
            if (bA && std::memcmp(&a.now, &b.now, sizeof a.now) != 0) std::abort();
        }
    }
    unlink(path.c_str());
}

} // namespace TivraFuzz
