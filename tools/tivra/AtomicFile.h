// Output files that appear only when complete: the content is written to a
// temporary name in the same directory and renamed over the final name on
// success; a failure, an exception or an early return removes the temporary.
#pragma once

#include <string>

namespace Pelmora::Tivra::Tool {

class AtomicFile {
public:
    explicit AtomicFile(std::string finalPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// The name to write to now.
    const std::string& TempPath() const { return m_temp; }
    const std::string& FinalPath() const { return m_final; }
    /// Renames the temporary onto the final name. False with a message when
    /// the rename fails (the temporary is then removed).
    bool Commit(std::string& error);

private:
    std::string m_final;
    std::string m_temp;
    bool m_done = false;
};

} // namespace Pelmora::Tivra::Tool
