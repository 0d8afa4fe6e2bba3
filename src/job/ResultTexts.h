// The results told as text: the summary at the end of a run, with its wording and wrapping
// (TResultTracker::SummaryLines), and the CSV file.
#pragma once

#include "job/ResultTracker.h"

#include <string>
#include <string_view>

// The results as a CSV file (RFC 4180: CR LF line ends, fields with a comma, a double quote or
// a line end quoted, quotes doubled), one row per computer after a heading row: computer,
// result, code, detail, started, ended, the run's list file, the package.
std::string ResultsCsv(const TResultTracker& results, std::string_view listFile, std::string_view package,
                       const TSystemMessage& systemMessage);
