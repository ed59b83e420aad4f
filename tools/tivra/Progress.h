// A progress bar on standard error, drawn only when standard error is a
// terminal, so logs and pipes stay clean. One bar follows a whole job: each
// phase (read, resampling of each band, write) owns a span of it, and the bar
// never moves backwards.
#pragma once

#include "RasterIO.h"

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
    /// Shows the fraction done (0..1); redraws only when the percent grows.
    void Update(double fraction);
    /// Completes and ends the line.
    void Finish();
    bool Enabled() const { return m_enabled; }
    /// The whole bar as a span, for the phases to take parts of.
    ProgressSpan All() { return {this, 0, 1}; }

private:
    std::string m_label;
    bool m_enabled;
    int m_last = -1;
    bool m_finished = false;
};

/// Runs job (a pass on pool) on a helper thread and feeds the span from the
/// pool's GetPercent() while it runs. The pool's percents are cleared first,
/// so the end of an earlier pass does not show as this one's. Returns what
/// job returned.
bool RunWithProgress(XParallelProcess& pool, const std::function<bool()>& job, const ProgressSpan& span);

} // namespace Pelmora::Tivra::Tool
