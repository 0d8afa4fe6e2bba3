#include "RunMonitor.h"

namespace {

bool HoldsReport(std::string_view text)
{
    return text.find(RunText::SuccessReport) != std::string_view::npos;
}

} // namespace

bool TRunMonitor::PieceDelivered(std::string_view text, TOutputType kind)
{
    if (reported_ || ended_)
        return false;
    if (kind == otBeginningOfLine) {
        // Wait for the completed line, or for the end of the run if it never comes.
        pendingPartialReport_ = HoldsReport(text);
        return false;
    }
    pendingPartialReport_ = false;
    reported_ = HoldsReport(text);
    return reported_;
}

bool TRunMonitor::RunEnded()
{
    if (ended_)
        return false;
    ended_ = true;
    if (reported_ || !pendingPartialReport_)
        return false;
    reported_ = true;
    return true;
}
