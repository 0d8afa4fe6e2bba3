// A run's own lines in the console view, beside the output that the runner puts there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "job/RunMonitor.h"
#include "toolkit/OutputType.h"
#include "toolkit/Strings.h"

// The runner puts every piece of a run's output into the view itself, and the next piece of an
// unfinished line replaces the view's last line. The window adds lines of its own for a run (the
// success line, the summary, "Execution Finished"), also for an older run that ends while a newer
// one is in the middle of a line. They are placed here, so that a piece replaces a line only
// while that line is still its own run's last line.
class TRunConsole {
public:
    using TRunId = std::uint64_t;

    explicit TRunConsole(TStrings& view) : view_(view) {}

    // Told every piece that the runner delivered for run, once the piece is in the view. Adds
    // the success line after it when the run's monitor asks for it.
    void PieceDelivered(TRunId run, TRunMonitor& monitor, std::string_view text, TOutputType type);
    // Told once when run has ended: the success line if the report came only as an unfinished
    // line, then the given lines (the summary), then "Execution Finished".
    void RunEnded(TRunId run, TRunMonitor& monitor, const std::vector<std::string>& lines);
    // The same, for a run that decided its success itself (one on many computers at a time).
    void RunEnded(TRunId run, bool addSuccessLine, const std::vector<std::string>& lines);
    // A whole line of run's own, at the end of the view or before another run's unfinished line.
    void AddRunLine(TRunId run, const std::string& line);
    // The view was emptied.
    void Cleared();

private:
    TStrings& view_;
    // The run whose next piece replaces the view's last line (0: none), and whether that last
    // line is still the one the run put there.
    TRunId unfinishedRun_ = 0;
    bool unfinishedLineInView_ = false;
};
