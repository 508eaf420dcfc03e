#pragma once

#include "operation.h"
#include "options.h"

#include "lineclient/lineclient.h"
#include "lineclient/task.h"
#include "serial/exchangeresult.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

// The line of run, scan and set: the port opened with its settings, one
// request at a time on it, and the window's judgement of each reply.
namespace cli {

using lineclient::Task;

class LineSession
{
public:
    // nullptr with the reason when the port does not open.
    static Task<std::unique_ptr<LineSession>> Open(const LineOptions &options, std::string &reason);
    // The same, saying on err why it did not open, and later what it noted on the line.
    static Task<std::unique_ptr<LineSession>> Open(const LineOptions &options, std::ostream &err);
    ~LineSession();

    // Switches the line, e.g. to the settings a meter was just given.
    bool setSettings(const engine::LineSettings &settings, std::string &reason);
    const engine::LineSettings &settings() const { return m_client->settings(); }
    const std::string &port() const { return m_options.port; }
    // A gateway: the line settings never reach the wire; its serial side has its own.
    bool throughGateway() const { return m_client->throughGateway(); }
    std::chrono::milliseconds timeout() const { return std::chrono::milliseconds(m_options.timeoutMs); }

    // Where notes on the line go (late replies thrown away); none unless set.
    void setNotes(std::ostream *notes) { m_notes = notes; }
    // How long the line must be quiet after a time-out before the next request.
    void setSettle(std::chrono::milliseconds quiet) { m_client->setSettleTime(quiet); }

    // Waits until the line has been quiet for `quiet`, throwing away what
    // comes meanwhile: the rest of a reply that was cut short.
    void letSettle(std::chrono::milliseconds quiet) { m_client->settleBeforeNext(quiet); }

    // One request and its reply. After a time-out the line is first let
    // settle; once the program is being stopped, nothing more is sent.
    Task<serial::ExchangeResult> exchange(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout);
    Task<serial::ExchangeResult> exchange(std::vector<std::uint8_t> request)
    {
        return exchange(std::move(request), std::chrono::milliseconds(m_options.timeoutMs));
    }

private:
    LineSession(std::unique_ptr<lineclient::LineClient> client, const LineOptions &options);

    std::unique_ptr<lineclient::LineClient> m_client;
    LineOptions m_options;
    std::ostream *m_notes = nullptr;
};

// One catalogue operation on the line, judged as the window judges it.
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

// 0 success, 1 rejected, 3 no reply, 4 the port failed, 130 interrupted.
int ExitCodeOf(Outcome::Kind kind);

// A program stopped by a signal: 130 for Ctrl+C and SIGTERM, 141 for a
// reader that went away.
int InterruptedExitCode();

// The History.log of the window, beside its program or in the user's folder.
history::HistoryLog WindowHistoryLog();

// Appends the line the window writes for the operation's outcome. A port
// failure writes none, as in the window, except for a write whose reply was
// cut off: that change may have happened, and is recorded as failed. A log
// at the note threshold is first kept aside as History.log.1 (said on err).
// Says on err when it cannot write.
void AppendHistory(history::HistoryLog &log, const std::string &meter, const std::string &command,
                   const Outcome &outcome, std::ostream &err);

} // namespace cli
