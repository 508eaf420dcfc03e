#pragma once

#include "options.h"

#include "jobs/changerun.h"
#include "jobs/job.h"
#include "jobs/operationrun.h"

#include <string>

namespace history {
class HistoryLog;
}

// What the command line adds to the engine's jobs: its exit statuses, the
// window's History.log, each --port's line, and Ctrl+C.
namespace cli {

using jobs::Outcome;
using jobs::Verdict;
using lineclient::Task;

// 0 success, 1 rejected, 3 no reply, 4 the port failed, 130 interrupted.
int ExitCodeOf(Outcome::Kind kind);
// 0 verified, 1 refused or rejected, 3 no reply, 5 not verified, 4 the port failed.
int ExitCodeOf(Verdict verdict);

// A program stopped by a signal: 130 for Ctrl+C and SIGTERM, 141 for a
// reader that went away.
int InterruptedExitCode();

// The History.log of the window, beside its program or in the user's folder.
history::HistoryLog WindowHistoryLog();

// The line options with one of the --port lines.
jobs::LineSetup LineFor(const Options &options, const std::string &port);

// Ctrl+C, SIGTERM, SIGPIPE: the job is cancelled; what runs is given up,
// nothing more is sent, and the port is closed as on any other end.
void CancelOnInterruption(jobs::Job &job);

// "PORT: " where several lines are worked, so each line's output is told apart.
inline std::string TagOf(const Options &options, const std::string &port)
{
    return options.ports.size() > 1 ? port + ": " : std::string();
}

} // namespace cli
