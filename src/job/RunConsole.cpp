#include "job/RunConsole.h"

void TRunConsole::PieceDelivered(TRunId run, TRunMonitor& monitor, std::string_view text, TOutputType type)
{
    unfinishedRun_ = type == otBeginningOfLine ? run : 0;
    unfinishedLineInView_ = unfinishedRun_ != 0;
    if (monitor.PieceDelivered(text, type))
        AddRunLine(run, std::string(RunText::SuccessLine));
}

void TRunConsole::RunEnded(TRunId run, TRunMonitor& monitor, const std::vector<std::string>& lines)
{
    RunEnded(run, monitor.RunEnded(), lines);
}

void TRunConsole::RunEnded(TRunId run, bool addSuccessLine, const std::vector<std::string>& lines)
{
    if (addSuccessLine)
        AddRunLine(run, std::string(RunText::SuccessLine));
    for (const std::string& line : lines)
        AddRunLine(run, line);
    AddRunLine(run, std::string(RunText::ExecutionFinished));
    if (unfinishedRun_ == run) {
        unfinishedRun_ = 0;
        unfinishedLineInView_ = false;
    }
}

void TRunConsole::Cleared()
{
    unfinishedLineInView_ = false;
}

void TRunConsole::AddRunLine(TRunId run, const std::string& line)
{
    const bool otherRunMidLine = unfinishedRun_ != 0 && unfinishedRun_ != run;
    if (!otherRunMidLine) {
        view_.Add(line);
        return;
    }
    if (!unfinishedLineInView_) {
        // The view was emptied under the other run's unfinished line, but its next piece still
        // replaces the view's last line: an empty line stands in for the one it had.
        view_.Add(std::string());
        unfinishedLineInView_ = true;
    }
    view_.Insert(view_.Count() - 1, line);
}
