#include "operationrun.h"

#include "catalogue/catalogue.h"
#include "engine/replyend.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"
#include "history/historylog.h"
#include "serial/anyline.h"
#include "serial/portdiscovery.h"

#include <QDateTime>

#include <charconv>

namespace jobs {

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

void AppendHistory(history::HistoryLog &log, const std::string &meter, const std::string &command,
                   const Outcome &outcome, const std::function<void(const std::string &)> &note)
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
        note("History.log reached " + std::to_string(history::NoteThreshold) + " bytes and is kept as "
             + kept->toStdString() + "; a new History.log begins");
    const auto result = log.append(QDateTime::currentDateTime(), QString::fromStdString(meter), QString::fromStdString(command), text);
    if (!result.written)
        note("History.log cannot be written (" + result.error.toStdString() + "); this operation is not in the history");
}

} // namespace jobs
