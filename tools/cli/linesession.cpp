#include "linesession.h"

#include "catalogue/catalogue.h"
#include "engine/replyend.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"
#include "history/historylog.h"
#include "serial/portdiscovery.h"
#include "serial/anyline.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <charconv>
#include <ostream>

namespace cli {

LineSession::LineSession(std::unique_ptr<serial::SerialLine> line, const LineOptions &options)
    : m_line(std::move(line))
    , m_exchanger(*m_line)
    , m_options(options)
{
    m_exchanger.setLineSettings(options.settings);
}

LineSession::~LineSession()
{
    m_line->close();
}

std::unique_ptr<LineSession> LineSession::Open(const LineOptions &options, std::string &reason)
{
    // A serial device, or a gateway named rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT.
    auto line = serial::makeLine(QString::fromStdString(options.port));
    if (line->applySettings(options.settings) != serial::PortError::None) {
        reason = options.port + ": the port cannot take " + engine::ShortText(options.settings);
        return nullptr;
    }
    line->setHandshaking(serial::Handshake::None);
    if (const auto error = line->open(); error != serial::PortError::None) {
        reason = "cannot open " + options.port + ": " + serial::portErrorText(error).toStdString();
        return nullptr;
    }
    return std::unique_ptr<LineSession>(new LineSession(std::move(line), options));
}

bool LineSession::setSettings(const engine::LineSettings &settings, std::string &reason)
{
    if (m_line->applySettings(settings) != serial::PortError::None) {
        reason = m_options.port + ": the port cannot take " + engine::ShortText(settings);
        return false;
    }
    m_exchanger.setLineSettings(settings);
    return true;
}

serial::ExchangeResult LineSession::exchange(const std::vector<std::uint8_t> &request, std::chrono::milliseconds timeout)
{
    return m_exchanger.exchange(request, timeout, m_options.echo);
}

Outcome Perform(LineSession &session, const std::string &meter, const std::string &command,
                const PreparedOperation &prepared, std::chrono::milliseconds timeout)
{
    using End = serial::ExchangeResult::End;
    const auto &state = prepared.state;
    Outcome outcome;
    outcome.request = engine::BuildRequestFrame(state.FrameKind, command, state.RequestCode, state.RequestAddress,
                                                prepared.parameterCode, state.TimeData, state.TariffData);
    outcome.exchange = session.exchange(outcome.request, timeout);
    const auto &reply = outcome.exchange.reply;
    switch (outcome.exchange.end) {
    case End::PortFailed:
        outcome.kind = Outcome::Kind::PortFailed;
        outcome.detail = outcome.exchange.lost ? session.port() + " went away while the reply was awaited"
                                               : "cannot write to " + session.port() + ": "
                                                     + serial::portErrorText(outcome.exchange.error).toStdString();
        return outcome;
    case End::Timeout:
        outcome.kind = Outcome::Kind::Timeout;
        outcome.detail = "timeout";
        return outcome;
    case End::Complete:
    case End::Silence:
        break;
    }
    const auto check = engine::CheckReply(reply, static_cast<int>(reply.size()), state.RequestAddress, state.ReplyCode);
    if (check != engine::ReplyCheck::Accepted) {
        outcome.kind = check == engine::ReplyCheck::Exception && engine::ReplyComplete(reply) ? Outcome::Kind::Exception
                                                                                            : Outcome::Kind::Rejected;
        outcome.detail = engine::RejectionText(reply, state.RequestAddress, state.ReplyCode);
        return outcome;
    }
    outcome.kind = Outcome::Kind::Success;
    outcome.detail = engine::ResultTexts(state, reply, meter, command).detail;
    if (catalogue::GetFrameKind(meter, command) == catalogue::FrameKindRead) {
        const std::string energy = engine::EnergyText(reply, meter);
        double value = 0;
        if (std::from_chars(energy.data(), energy.data() + energy.size(), value).ec == std::errc())
            outcome.energyKwh = value;
    }
    return outcome;
}

const char *OutcomeWord(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Success: return "success";
    case Outcome::Kind::Rejected: return "rejected";
    case Outcome::Kind::Exception: return "exception";
    case Outcome::Kind::Timeout: return "timeout";
    case Outcome::Kind::PortFailed: return "port";
    }
    return "?";
}

int ExitCodeOf(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Success: return 0;
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: return 1;
    case Outcome::Kind::Timeout: return 3;
    case Outcome::Kind::PortFailed: return 4;
    }
    return 1;
}

history::HistoryLog WindowHistoryLog()
{
    // The same file the window writes: beside the programs (installed, they
    // share a folder; in the build tree the window has its own), or in the
    // user's data folder where that cannot be written.
    QString folder = QCoreApplication::applicationDirPath();
    if (QDir(folder) == QDir(QStringLiteral(QUORVANE_CLI_BUILD_DIR)))
        folder = QStringLiteral(QUORVANE_WINDOW_BUILD_DIR);
    return history::HistoryLog(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void AppendHistory(history::HistoryLog &log, const std::string &meter, const std::string &command,
                   const Outcome &outcome, std::ostream &err)
{
    QString text;
    switch (outcome.kind) {
    case Outcome::Kind::Success: text = history::SuccessOutcome + QString::fromStdString(outcome.detail); break;
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: text = history::DataErrorOutcome; break;
    case Outcome::Kind::Timeout: text = history::TimeoutOutcome; break;
    case Outcome::Kind::PortFailed: return;
    }
    const auto result = log.append(QDateTime::currentDateTime(), QString::fromStdString(meter), QString::fromStdString(command), text);
    if (!result.written)
        err << "History.log cannot be written (" << result.error.toStdString() << "); this operation is not in the history\n";
}

} // namespace cli
