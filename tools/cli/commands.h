#pragma once

#include "options.h"

#include "lineclient/task.h"

#include <ostream>

// What quorvane-cli does; each returns the process exit status.
namespace cli {

// Prints the request frame of the operation.
int RunFrame(const Options& options, std::ostream& out, std::ostream& err);

// Judges reply bytes for the operation's request and prints the verdict and report.
int RunReply(const Options& options, std::ostream& out, std::ostream& err);

// One operation on a line, once or --repeat times: 0 success, 1 refused or
// rejected, 3 no reply, 4 the port failed.
lineclient::Task<int> RunOnLine(const Options& options, std::ostream& out, std::ostream& err);

// Sweeps the line for meters: 0 when one was found, 3 when none answered.
lineclient::Task<int> RunScan(const Options& options, std::ostream& out, std::ostream& err);

// Changes a meter's address, baud rate or parity and checks that each change
// took: 0 all verified, 5 acknowledged but not verified.
lineclient::Task<int> RunSet(const Options& options, std::ostream& out, std::ostream& err);

// The rows of a plan file, each as set would change it, with a result file
// beside the plan: every row gets a result, whatever ends the run.
lineclient::Task<int> RunPlan(const Options& options, std::ostream& out, std::ostream& err);

// Listens on a serial line, never writing to it, and prints every frame it
// hears until Ctrl+C or SIGTERM (130), then a summary; 4 when the port fails.
int RunMonitor(const Options& options, std::ostream& out, std::ostream& err);
// Reads meters over and over, every line at the same time, and prints each
// reading and at the end each meter's tally: 0 every reading answered, 6 some
// failed, 3 a meter never answered.
lineclient::Task<int> RunPoll(const Options& options, std::ostream& out, std::ostream& err);

} // namespace cli
