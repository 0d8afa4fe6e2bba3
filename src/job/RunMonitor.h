// Decides, piece by piece, where a run's success line belongs in the console view.
#pragma once

#include <string_view>

#include "job/UnfinishedLine.h"
#include "toolkit/OutputType.h"

namespace RunText {
// The tool's report that counts as success (exact, case-sensitive).
inline constexpr std::string_view SuccessReport = "PsExec exited with error code 0.";
// Added to the console view once for a run that reported success.
inline constexpr std::string_view SuccessLine = "Vantrel: Process completed successfully";
// The last line of every run.
inline constexpr std::string_view ExecutionFinished = "Execution Finished";
} // namespace RunText

// One per run: only the run's own output decides, and the cost per piece does not grow with
// the console's text. A success line is never put right after a beginning of a line, because
// the runner replaces the last line of the view with the line's next piece.
class TRunMonitor {
public:
    // Told every delivered piece of this run, after it is in the console view. True when the
    // success line must be added right after it.
    bool PieceDelivered(std::string_view text, TOutputType kind);

    // Told once when the run has ended. True when the success line must come now, just before
    // "Execution Finished": the report arrived only as an unfinished line.
    bool RunEnded();

    bool SuccessReported() const { return reported_; }

private:
    bool reported_ = false;
    bool ended_ = false;
    TUnfinishedLine unfinished_;
};
