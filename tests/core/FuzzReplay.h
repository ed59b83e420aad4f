// Replays a fuzz target's inputs in the test suite: the seeds in
// fuzz/corpus/NAME and every input that was once a finding in
// fuzz/regressions/NAME, through the same input reader the target uses, so
// that a fix stays fixed (and the sanitizer build of the suite checks them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace TivraTest {

/// Calls read on the bytes of every file of both folders (a folder may be
/// missing) and returns how many there were.
template <class Read>
int ReplayFuzzInputs(const std::string& name, Read read)
{
    namespace fs = std::filesystem;
    const fs::path fuzz = fs::path(TIVRA_SOURCE_DIR) / "fuzz";
    int nInputs = 0;
    for (const fs::path& dir : {fuzz / "regressions" / name, fuzz / "corpus" / name}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ostringstream out;
            out << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            const std::string bytes = out.str();
            read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++nInputs;
        }
    }
    return nInputs;
}

} // namespace TivraTest
