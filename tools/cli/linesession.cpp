#include "linesession.h"
#include "exitstatus.h"

#include "catalogue/catalogue.h"
#include "engine/replyend.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"
#include "history/historylog.h"
#include "serial/anyline.h"
#include "serial/devicecheck.h"
#include "serial/portdiscovery.h"

#include "interrupt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <ostream>

namespace cli {

LineSession::LineSession(std::unique_ptr<lineclient::LineClient> client, const LineOptions &options)
    : m_client(std::move(client))
    , m_options(options)
{
    m_client->setSettleTime(std::chrono::milliseconds(options.settleMs.value_or(options.timeoutMs)));
    if (options.guardMs)
        m_client->setGuardTime(std::chrono::milliseconds(*options.guardMs));
    // A reply that comes after its time-out is never taken for the answer to
    // the next request: it is thrown away, and said.
    QObject::connect(m_client.get(), &lineclient::LineClient::lateBytesDiscarded, m_client.get(),
                     [this](std::size_t count, serial::Clock::duration after) {
                         if (!m_notes)
                             return;
                         char text[120];
                         std::snprintf(text, sizeof text, "late reply discarded: %zu byte%s, %.0f ms after the time-out\n",
                                       count, count == 1 ? "" : "s", std::chrono::duration<double, std::milli>(after).count());
                         *m_notes << text << std::flush;
                     });
    // Ctrl+C, SIGTERM, SIGPIPE: what runs is given up, nothing more is sent,
    // and the port is closed as on any other end.
    if (auto *interruption = Interruption::instance())
        QObject::connect(interruption, &Interruption::requested, m_client.get(), [this] { m_client->abortAll(); });
}

LineSession::~LineSession()
{
    m_client->close();
}

Task<std::unique_ptr<LineSession>> LineSession::Open(const LineOptions &options, std::string &reason)
{
    // A serial device, or a gateway named rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT.
    const QString name = QString::fromStdString(options.port);
    if (const QString notSerial = serial::notASerialDevice(name); !notSerial.isEmpty()) {
        reason = "cannot open " + options.port + ": " + notSerial.toStdString();
        co_return nullptr;
    }
    auto client = std::make_unique<lineclient::LineClient>(name);
    if (client->setSettings(options.settings) != serial::PortError::None) {
        reason = options.port + ": the port cannot take " + engine::ShortText(options.settings);
        co_return nullptr;
    }
    const auto [error, why] = co_await lineclient::Opened(*client);
    if (error != serial::PortError::None) {
        reason = "cannot open " + options.port + ": " + serial::portErrorText(error).toStdString();
        co_return nullptr;
    }
    co_return std::unique_ptr<LineSession>(new LineSession(std::move(client), options));
}

Task<std::unique_ptr<LineSession>> LineSession::Open(const LineOptions &options, std::ostream &err)
{
    std::string reason;
    auto session = co_await Open(options, reason);
    if (!session)
        err << reason << "\n";
    else
        session->setNotes(&err);
    co_return session;
}

bool LineSession::setSettings(const engine::LineSettings &settings, std::string &reason)
{
    if (m_client->setSettings(settings) != serial::PortError::None) {
        reason = m_options.port + ": the port cannot take " + engine::ShortText(settings);
        return false;
    }
    return true;
}

Task<serial::ExchangeResult> LineSession::exchange(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout)
{
    if (Interruption::caught()) {
        serial::ExchangeResult aborted;
        aborted.end = serial::ExchangeResult::End::Aborted;
        aborted.written = aborted.sent = aborted.ended = serial::Clock::now();
        co_return aborted;
    }
    co_return co_await lineclient::Finished{m_client->send(std::move(request), timeout, m_options.echo)};
}

Task<Outcome> Perform(LineSession &session, const std::string &meter, const std::string &command,
                      const PreparedOperation &prepared, std::chrono::milliseconds timeout)
{
    using End = serial::ExchangeResult::End;
    const auto &state = prepared.state;
    Outcome outcome;
    outcome.request = engine::BuildRequestFrame(state.FrameKind, command, state.RequestCode, state.RequestAddress,
                                                prepared.parameterCode, state.TimeData, state.TariffData);
    outcome.exchange = co_await session.exchange(outcome.request, timeout);
    const auto &reply = outcome.exchange.reply;
    switch (outcome.exchange.end) {
    case End::PortFailed:
        outcome.kind = Outcome::Kind::PortFailed;
        outcome.detail = outcome.exchange.lost ? session.port() + " went away while the reply was awaited"
                                               : "cannot write to " + session.port() + ": "
                                                     + serial::portErrorText(outcome.exchange.error).toStdString();
        co_return outcome;
    case End::Aborted:
        outcome.kind = Outcome::Kind::Interrupted;
        outcome.detail = "interrupted";
        co_return outcome;
    case End::Timeout:
    case End::Complete:
    case End::Silence:
        break;
    }
    // The request given back is never the meter's answer, whatever its CRC.
    if (outcome.exchange.echoed) {
        outcome.kind = Outcome::Kind::Rejected;
        outcome.detail = EchoedRequest;
        co_return outcome;
    }
    if (outcome.exchange.end == End::Timeout) {
        outcome.kind = Outcome::Kind::Timeout;
        outcome.detail = "timeout";
        co_return outcome;
    }
    const auto check = engine::CheckReply(reply, static_cast<int>(reply.size()), state.RequestAddress, state.ReplyCode);
    if (check != engine::ReplyCheck::Accepted) {
        outcome.kind = check == engine::ReplyCheck::Exception && engine::ReplyComplete(reply) ? Outcome::Kind::Exception
                                                                                            : Outcome::Kind::Rejected;
        outcome.detail = engine::RejectionText(reply, state.RequestAddress, state.ReplyCode);
        co_return outcome;
    }
    outcome.kind = Outcome::Kind::Success;
    outcome.detail = engine::ResultTexts(state, reply, meter, command).detail;
    if (catalogue::GetFrameKind(meter, command) == catalogue::FrameKindRead) {
        const std::string energy = engine::EnergyText(reply, meter);
        double value = 0;
        if (std::from_chars(energy.data(), energy.data() + energy.size(), value).ec == std::errc())
            outcome.energyKwh = value;
    }
    co_return outcome;
}

const char *OutcomeWord(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Success: return "success";
    case Outcome::Kind::Rejected: return "rejected";
    case Outcome::Kind::Exception: return "exception";
    case Outcome::Kind::Timeout: return "timeout";
    case Outcome::Kind::PortFailed: return "port";
    case Outcome::Kind::Interrupted: return "interrupted";
    }
    return "?";
}

int ExitCodeOf(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Success: return status::Success;
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: return status::Refused;
    case Outcome::Kind::Timeout: return status::NoReply;
    case Outcome::Kind::PortFailed: return status::PortFailed;
    case Outcome::Kind::Interrupted: return InterruptedExitCode();
    }
    return status::Refused;
}

int InterruptedExitCode()
{
    return Interruption::caught() == SIGPIPE ? status::ReaderGone : status::Interrupted;
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
    const bool cutOffWrite = outcome.exchange.lost && catalogue::GetFrameKind(meter, command) != catalogue::FrameKindRead;
    switch (outcome.kind) {
    case Outcome::Kind::Success: text = history::SuccessOutcome + QString::fromStdString(outcome.detail); break;
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: text = history::DataErrorOutcome; break;
    case Outcome::Kind::Timeout: text = history::TimeoutOutcome; break;
    case Outcome::Kind::PortFailed:
        if (!cutOffWrite)
            return;
        text = outcome.exchange.reply.empty() ? history::TimeoutOutcome : history::DataErrorOutcome;
        break;
    case Outcome::Kind::Interrupted: return;
    }
    if (const auto kept = log.keepAsideIfFull())
        err << "History.log reached " << history::NoteThreshold << " bytes and is kept as " << kept->toStdString()
            << "; a new History.log begins\n";
    const auto result = log.append(QDateTime::currentDateTime(), QString::fromStdString(meter), QString::fromStdString(command), text);
    if (!result.written)
        err << "History.log cannot be written (" << result.error.toStdString() << "); this operation is not in the history\n";
}

} // namespace cli
