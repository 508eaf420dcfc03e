#include "changerun.h"
#include "operationrun.h"

#include "catalogue/catalogue.h"
#include "commissioning/operationchoice.h"
#include "history/historylog.h"

#include <cctype>

namespace jobs {

namespace {

using namespace catalogue::command;

// How often a meter's own address is probed before a change: garbled on each
// try and it is taken for two devices, not for noise.
constexpr int SharedAddressProbes = 2;

std::string upper(std::string_view word)
{
    std::string text(word);
    for (auto &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

commissioning::OperationChoice operationOf(const std::string &meter, std::string_view command, std::uint8_t address,
                                           const std::string &value1, const std::optional<std::string> &value2)
{
    commissioning::OperationChoice op;
    op.meter = meter;
    op.command = std::string(command);
    op.address = address;
    op.value1 = value1;
    op.value2 = value2;
    return op;
}

Verdict verdictOf(Heard heard)
{
    return heard == Heard::PortFailed ? Verdict::PortFailed : heard == Heard::Interrupted ? Verdict::Interrupted
                                                                                          : Verdict::Unverified;
}

} // namespace

const char *VerdictWord(Verdict v)
{
    switch (v) {
    case Verdict::Verified: return "verified";
    case Verdict::Refused: return "refused";
    case Verdict::Rejected: return "rejected";
    case Verdict::NoReply: return "timeout";
    case Verdict::Unverified: return "unverified";
    case Verdict::PortFailed: return "port";
    case Verdict::Interrupted: return "interrupted";
    case Verdict::NotRun: return "not run";
    }
    return "?";
}

std::string StepsText(const RowResult &row)
{
    if (row.steps.empty())
        return row.detail;
    std::string text;
    for (const auto &step : row.steps)
        text += (text.empty() ? "" : "; ") + step.command + " to " + step.value + ": " + VerdictWord(step.verdict)
                + (step.problem.empty() ? "" : " (" + step.problem + ")");
    return text;
}


std::string CheckChange(const Change &change)
{
    const auto refused = [&](std::string_view command, const std::string &v1, const std::optional<std::string> &v2) {
        const auto preparation = commissioning::PrepareOperation(operationOf(change.meter, command, change.address, v1, v2));
        return preparation.prepared ? std::string() : std::string(command) + " to " + v1 + ": " + preparation.refusal;
    };
    std::string problem;
    if (change.newAddress)
        problem = refused(ModifyMeterAddress, std::to_string(*change.newAddress), {});
    if (problem.empty() && change.newBaud)
        problem = refused(ModifyBaudRate, std::to_string(*change.newBaud), {});
    if (problem.empty() && change.newParity)
        problem = refused(ModifyParity, upper(engine::ParityWord(*change.newParity)),
                          std::string(engine::StopBitsText(*change.newStopBits)));
    return problem;
}

ChangeRun::ChangeRun(LineSession &session, const ChangeSetup &setup, ChangeEvents events)
    : m_session(session), m_setup(setup), m_events(std::move(events))
{
}

void ChangeRun::say(const std::string &text) const
{
    if (m_events.note)
        m_events.note(text);
}

Task<RowResult> ChangeRun::run(const Change &change)
{
    m_meter = change.meter;
    m_address = change.address;
    m_settings = m_setup.settings;
    RowResult row;
    // Nothing is written unless every value of the row is one the meter takes.
    if (const auto refusal = CheckChange(change); !refusal.empty()) {
        say("refused: " + refusal);
        co_return RowResult{Verdict::Refused, refusal, {}};
    }
    std::string reason;
    if (!m_session.setSettings(m_settings, reason)) {
        say(reason);
        co_return RowResult{Verdict::PortFailed, reason, {}};
    }
    if (!m_setup.force) {
        // Two devices at the meter's address would both carry out every write.
        const Heard own = co_await garbledEachTime(change.address);
        if (own == Heard::PortFailed || own == Heard::Interrupted)
            co_return RowResult{verdictOf(own), own == Heard::PortFailed ? m_session.port() + " failed" : "interrupted", {}};
        if (own == Heard::Garbled) {
            const std::string shared = "address " + std::to_string(change.address)
                                       + " answers with garbled replies: two devices suspected; the change would reach both";
            say("refused: " + shared + " (--force writes it all the same)");
            co_return RowResult{Verdict::Refused, shared, {}};
        }
    }
    if (change.newAddress && *change.newAddress != change.address && !m_setup.force) {
        // Two meters on one address could never be told apart again.
        const Heard there = co_await answersAt(*change.newAddress, 1);
        if (there == Heard::PortFailed || there == Heard::Interrupted)
            co_return RowResult{verdictOf(there), there == Heard::PortFailed ? m_session.port() + " failed" : "interrupted", {}};
        if (there == Heard::Answer || there == Heard::Garbled) {
            const std::string inUse = "address " + std::to_string(*change.newAddress) + " is in use";
            say("refused: " + inUse + " (--force writes it all the same)");
            co_return RowResult{Verdict::Refused, inUse, {}};
        }
    }
    // Each step is a named local: what a coroutine is given must outlive its awaiting.
    if (change.newAddress) {
        const Step address{Setting::Address, ModifyMeterAddress, std::to_string(*change.newAddress), {}};
        co_await step(address, change, row);
    }
    if (row.verdict == Verdict::Verified && change.newBaud) {
        const Step baud{Setting::Baud, ModifyBaudRate, std::to_string(*change.newBaud), {}};
        co_await step(baud, change, row);
    }
    if (row.verdict == Verdict::Verified && change.newParity) {
        const Step parity{Setting::Parity, ModifyParity, upper(engine::ParityWord(*change.newParity)),
                          std::string(engine::StopBitsText(*change.newStopBits))};
        co_await step(parity, change, row);
    }
    co_return row;
}

Task<RowResult> ChangeRun::step(const Step &s, const Change &change, RowResult &row)
{
    const auto op = operationOf(m_meter, s.command, m_address, s.value1, s.value2);
    const std::string value = s.value1 + (s.value2 ? "/" + *s.value2 : std::string());
    const auto preparation = commissioning::PrepareOperation(op);
    StepResult result{op.command, value, m_address, Verdict::Verified, {}, {}, {}};
    const auto done = [&](Verdict verdict, std::string problem) {
        result.verdict = verdict;
        result.problem = std::move(problem);
        if (verdict == Verdict::Verified)
            result.answersAt = m_answersAt;
        if (m_events.step)
            m_events.step(result);
        row.steps.push_back(result);
        row.verdict = verdict;
        row.detail = result.problem.empty() ? result.acknowledged : result.problem;
        return row;
    };
    const auto outcome = co_await Perform(m_session, m_meter, op.command, *preparation.prepared, m_session.timeout());
    if (m_setup.history)
        AppendHistory(*m_setup.history, m_meter, op.command, outcome, [this](const std::string &text) { say(text); });
    switch (outcome.kind) {
    case Outcome::Kind::Success: break;
    case Outcome::Kind::PortFailed: co_return done(Verdict::PortFailed, outcome.detail);
    case Outcome::Kind::Interrupted: co_return done(Verdict::Interrupted, "interrupted");
    case Outcome::Kind::Timeout: co_return done(Verdict::NoReply, "no reply to " + op.command);
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: co_return done(Verdict::Rejected, outcome.detail);
    }
    result.acknowledged = outcome.detail;
    m_answersAt.clear();
    std::pair<std::string, Verdict> check;
    switch (s.setting) {
    case Setting::Address: {
        const auto from = m_address;
        m_address = *change.newAddress;
        check = co_await verifyAddress(from);
        break;
    }
    case Setting::Baud:
        m_settings.baud = *change.newBaud;
        check = co_await verifySettings();
        break;
    case Setting::Parity:
        m_settings.parity = *change.newParity;
        m_settings.stopBits = *change.newStopBits;
        check = co_await verifySettings();
        break;
    }
    const auto &[problem, verdict] = check;
    co_return done(problem.empty() ? Verdict::Verified : verdict, problem);
}

Task<std::pair<std::string, Verdict>> ChangeRun::verifyAddress(std::uint8_t from)
{
    using Result = std::pair<std::string, Verdict>;
    const Heard now = co_await answersAt(m_address, 3);
    if (now != Heard::Answer)
        co_return Result{now == Heard::PortFailed ? m_session.port() + " failed while the change was checked"
                                                  : "no answer at " + std::to_string(m_address),
                         verdictOf(now)};
    const std::string where = m_session.throughGateway()
                                  ? "answers at " + std::to_string(m_address) + " through the gateway"
                                  : "answers at " + std::to_string(m_address) + " " + engine::ShortText(m_settings);
    if (from != m_address) {
        const Heard old = co_await answersAt(from, 1);
        if (old == Heard::PortFailed || old == Heard::Interrupted)
            co_return Result{m_session.port() + " failed while the change was checked", verdictOf(old)};
        if (old == Heard::Answer)
            co_return Result{"still answers at " + std::to_string(from), Verdict::Unverified};
    }
    m_answersAt = where;
    co_return Result{};
}

Task<std::pair<std::string, Verdict>> ChangeRun::verifySettings()
{
    using Result = std::pair<std::string, Verdict>;
    const auto failedWhileChecked = m_session.port() + " failed while the change was checked";
    if (m_session.throughGateway()) {
        // The tool's side of a gateway cannot follow: its serial side keeps its
        // own settings, so all that can be checked is that the meter still answers.
        const Heard now = co_await answersAt(m_address, 3);
        if (now == Heard::Answer) {
            m_answersAt = "still answers at " + std::to_string(m_address)
                          + " through the gateway (the gateway's serial side was not changed by this tool)";
            co_return Result{};
        }
        co_return Result{now == Heard::PortFailed ? failedWhileChecked
                                                  : "no answer through the gateway; set its serial side to "
                                                        + engine::ShortText(m_settings) + " and check again",
                         verdictOf(now)};
    }
    std::string reason;
    if (!m_session.setSettings(m_settings, reason))
        co_return Result{reason, Verdict::PortFailed};
    const Heard now = co_await answersAt(m_address, 3);
    if (now == Heard::Answer) {
        m_answersAt = "answers at " + std::to_string(m_address) + " " + engine::ShortText(m_settings);
        co_return Result{};
    }
    co_return Result{now == Heard::PortFailed ? failedWhileChecked : "no answer at " + engine::ShortText(m_settings),
                     verdictOf(now)};
}

// Garbled on each of a few tries, each after the line settled and with twice
// the time-out, as the sweep asks again; else the first other thing heard.
Task<Heard> ChangeRun::garbledEachTime(std::uint8_t address)
{
    const auto probe = ProbeFrame(address);
    auto result = co_await m_session.exchange(probe);
    Heard heard = Classify(result, address);
    for (int attempt = 1; attempt < SharedAddressProbes && heard == Heard::Garbled; ++attempt) {
        m_session.letSettle(m_session.timeout() * 2);
        result = co_await m_session.exchange(probe, m_session.timeout() * 2);
        heard = Classify(result, address);
    }
    if (heard == Heard::Garbled)
        m_session.letSettle(m_session.timeout() * 2);
    co_return heard;
}

// A meter that has just taken a setting may need a moment: a few tries.
Task<Heard> ChangeRun::answersAt(std::uint8_t address, int attempts)
{
    Heard heard = Heard::Nothing;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const auto probe = ProbeFrame(address);
        const auto result = co_await m_session.exchange(probe);
        heard = Classify(result, address);
        if (heard == Heard::Answer || heard == Heard::PortFailed || heard == Heard::Interrupted)
            co_return heard;
    }
    co_return heard;
}

} // namespace jobs
