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
    // An unfinished line waits for its completion, or for the end of the run if it never comes.
    const auto line = unfinished_.Piece(text, kind);
    if (!line)
        return false;
    reported_ = HoldsReport(*line);
    return reported_;
}

bool TRunMonitor::RunEnded()
{
    if (ended_)
        return false;
    ended_ = true;
    const auto unfinished = unfinished_.Ended();
    if (reported_ || !unfinished || !HoldsReport(*unfinished))
        return false;
    reported_ = true;
    return true;
}
