#pragma once

#include "options.h"

#include <ostream>

// The two things quorvane-cli does; each returns the process exit status.
namespace cli {

// Prints the request frame of the operation.
int RunFrame(const Options& options, std::ostream& out, std::ostream& err);

// Judges reply bytes for the operation's request and prints the verdict and report.
int RunReply(const Options& options, std::ostream& out, std::ostream& err);

} // namespace cli
