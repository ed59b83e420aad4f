// A progress bar on standard error, drawn only when standard error is a
// terminal, so logs and pipes stay clean.
#pragma once

#include <functional>
#include <string>

namespace Pelmora::Tivra {
class XParallelProcess;
}

namespace Pelmora::Tivra::Tool {

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar();
    /// Shows the fraction done (0..1); redraws only when the percent changes.
    void Update(double fraction);
    /// Completes and ends the line.
    void Finish();
    bool Enabled() const { return m_enabled; }

private:
    std::string m_label;
    bool m_enabled;
    int m_last = -1;
    bool m_finished = false;
};

/// Runs job (a pass on pool) on a helper thread and feeds the bar from the
/// pool's GetPercent() while it runs, mapping 0..100 % to base..base+span of
/// the bar. Returns what job returned.
bool RunWithProgress(XParallelProcess& pool, const std::function<bool()>& job, ProgressBar& bar, double base,
                     double span);

} // namespace Pelmora::Tivra::Tool
