// What --log shows: the script's print text, the bs_debug text of the stroke, and each
// distinct error raised by main or last with the number of calls that raised it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "preview/WorkerJob.h"

namespace quarnel {

// The report for standard error, from the outputs of the jobs in the order they ran: print
// text as the script wrote it (its first 16 MiB), then one line "bs_debug: TEXT" per bs_debug
// entry (entries are separated by "\r\n" in debugText), then "error (N dabs): MESSAGE" per
// distinct error in order of first appearance. Script text is decoded as the window decodes it.
std::string LogReport(std::initializer_list<const CScriptOutput*> outputs,
                      std::string_view debugText);

}  // namespace quarnel
