#pragma once

#include "linesession.h"

#include "commissioning/operationchoice.h"
#include "serial/exchangeresult.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

// One catalogue operation on a line, judged as the window judges it, and the
// History.log line the window writes for it.
namespace jobs {

using commissioning::PreparedOperation;

struct Outcome {
    enum class Kind { Success, Rejected, Exception, Timeout, PortFailed, Interrupted };
    Kind kind = Kind::Timeout;
    std::string detail; // success: the History.log detail; otherwise why not
    std::vector<std::uint8_t> request;
    serial::ExchangeResult exchange;
    std::optional<double> energyKwh; // of a read
};

// Builds the operation's request frame and exchanges it. The prepared state
// must hold accepted values (PrepareOperation).
Task<Outcome> Perform(LineSession &session, const std::string &meter, const std::string &command,
                      const PreparedOperation &prepared, std::chrono::milliseconds timeout);

// What a reply that begins with the request itself is, on a line not said to echo.
inline constexpr const char *EchoedRequest = "the line echoes the request; try --echo";

// "success", "rejected", "exception", "timeout", "port", "interrupted".
const char *OutcomeWord(Outcome::Kind kind);

// Appends the line the window writes for the operation's outcome. A port
// failure writes none, as in the window, except for a write whose reply was
// cut off: that change may have happened, and is recorded as failed. A log
// at the note threshold is first kept aside as History.log.1. What the
// technician must know (kept aside, cannot write) goes to `note`.
void AppendHistory(history::HistoryLog &log, const std::string &meter, const std::string &command,
                   const Outcome &outcome, const std::function<void(const std::string &)> &note);

} // namespace jobs
