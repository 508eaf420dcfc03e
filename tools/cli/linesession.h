#pragma once

#include "operation.h"
#include "options.h"

#include "serial/exchange.h"
#include "serial/serialline.h"

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

class LineSession
{
public:
    // nullptr with the reason when the port does not open.
    static std::unique_ptr<LineSession> Open(const LineOptions &options, std::string &reason);
    ~LineSession();

    // Switches the line, e.g. to the settings a meter was just given.
    bool setSettings(const engine::LineSettings &settings, std::string &reason);
    const engine::LineSettings &settings() const { return m_exchanger.lineSettings(); }
    const std::string &port() const { return m_options.port; }

    serial::ExchangeResult exchange(const std::vector<std::uint8_t> &request, std::chrono::milliseconds timeout);
    serial::ExchangeResult exchange(const std::vector<std::uint8_t> &request)
    {
        return exchange(request, std::chrono::milliseconds(m_options.timeoutMs));
    }

private:
    LineSession(std::unique_ptr<serial::SerialLine> line, const LineOptions &options);

    std::unique_ptr<serial::SerialLine> m_line;
    serial::Exchanger m_exchanger;
    LineOptions m_options;
};

// One catalogue operation on the line, judged as the window judges it.
struct Outcome {
    enum class Kind { Success, Rejected, Exception, Timeout, PortFailed };
    Kind kind = Kind::Timeout;
    std::string detail; // success: the History.log detail; otherwise why not
    std::vector<std::uint8_t> request;
    serial::ExchangeResult exchange;
    std::optional<double> energyKwh; // of a read
};

// Builds the operation's request frame and exchanges it. The prepared state
// must hold accepted values (PrepareOperation).
Outcome Perform(LineSession &session, const std::string &meter, const std::string &command,
                const PreparedOperation &prepared, std::chrono::milliseconds timeout);

// "success", "rejected", "exception", "timeout", "port".
const char *OutcomeWord(Outcome::Kind kind);

// 0 success, 1 rejected, 3 no reply, 4 the port failed.
int ExitCodeOf(Outcome::Kind kind);

// The History.log of the window, beside its program or in the user's folder.
history::HistoryLog WindowHistoryLog();

// Appends the line the window writes for the operation's outcome; a port
// failure writes none, as in the window. Says on err when it cannot.
void AppendHistory(history::HistoryLog &log, const std::string &meter, const std::string &command,
                   const Outcome &outcome, std::ostream &err);

} // namespace cli
