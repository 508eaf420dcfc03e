#include "polljob.h"

#include "catalogue/catalogue.h"

namespace jobs {

PollJob::PollJob(PollSetup setup, QObject *parent)
    : Job(parent)
    , m_setup(std::move(setup))
{
}

std::string PollJob::ReadCommandOf(const std::string &meter)
{
    using namespace catalogue::command;
    return std::string(catalogue::Offers(meter, ReadEnergy) ? ReadEnergy : ReadImportEnergy);
}

commissioning::Judged PollJob::Judge(const Outcome &outcome, const PolledMeter &meter)
{
    const auto &x = outcome.exchange;
    if (x.echoed)
        return {commissioning::Reading::Rejected, 0};
    const auto codes = catalogue::Find_Code(meter.meter, ReadCommandOf(meter.meter));
    return commissioning::JudgeReading(x.reply, x.end == serial::ExchangeResult::End::Timeout, meter.address,
                                       codes ? codes->reply : std::string_view());
}

Task<bool> PollJob::run()
{
    m_lines = co_await onEachLine(m_setup.lines.size(), &PollJob::pollLine);
    co_return true;
}

Task<LinePoll> PollJob::pollLine(std::size_t index)
{
    const LineSetup &line = m_setup.lines[index];
    const std::string port = line.port;
    LinePoll poll{port, LineEnd::Done, 0};
    // Each meter's read, prepared once: a refused one is said and left out.
    struct Read {
        std::size_t index;
        std::string meter, command;
        commissioning::PreparedOperation prepared;
        engine::LineSettings settings;
    };
    std::vector<Read> reads;
    const auto &meters = m_setup.meters[index];
    for (std::size_t m = 0; m < meters.size(); ++m) {
        commissioning::OperationChoice choice;
        choice.meter = meters[m].meter;
        choice.command = ReadCommandOf(meters[m].meter);
        choice.address = meters[m].address;
        const auto preparation = commissioning::PrepareOperation(choice);
        if (!preparation.prepared) {
            emit note(port, meters[m].meter + " at " + std::to_string(meters[m].address) + ": " + preparation.refusal);
            continue;
        }
        reads.push_back({m, choice.meter, choice.command, *preparation.prepared, meters[m].settings.value_or(line.settings)});
    }
    std::string reason;
    LineSession *session = co_await open(line, reason);
    if (!session) {
        poll.end = cancelled() ? LineEnd::Stopped : LineEnd::PortFailed;
        if (!cancelled())
            emit problem(reason);
        co_return poll;
    }
    session->setNotes([this, port](const std::string &text) { emit note(port, text); });
    if (m_setup.guard)
        session->setGuardTime(*m_setup.guard);
    const auto noted = [this, port](const std::string &text) { emit note(port, text); };
    // Rounds begin on a fixed schedule from the start, so they never drift; a
    // round that overruns its slot is followed at the next slot still ahead.
    using Clock = std::chrono::steady_clock;
    const auto interval = m_setup.interval;
    const auto start = Clock::now();
    std::optional<Clock::time_point> end;
    if (m_setup.duration)
        end = start + *m_setup.duration;
    auto next = start;
    while (!reads.empty() && poll.end == LineEnd::Done) {
        if (m_setup.rounds > 0 && poll.rounds >= m_setup.rounds)
            break;
        if (interval.count() > 0) {
            if (const auto behind = Clock::now() - next; behind >= interval) {
                const auto passed = behind / interval;
                next += interval * passed;
                poll.late += passed;
            }
        } else {
            next = Clock::now();
        }
        if (end && next >= *end)
            break;
        co_await pause(std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()));
        if (cancelled()) {
            poll.end = LineEnd::Stopped;
            break;
        }
        ++poll.rounds;
        next += interval;
        for (const auto &read : reads) {
            // Meters found at other settings are read at theirs.
            if (!(session->settings() == read.settings) && !session->setSettings(read.settings, reason)) {
                emit note(port, reason);
                continue;
            }
            // Local time with its offset, so that readings from a night the clocks change still sort.
            const QDateTime local = QDateTime::currentDateTime();
            const QDateTime at = local.toOffsetFromUtc(local.offsetFromUtc());
            const auto outcome = co_await Perform(*session, read.meter, read.command, read.prepared, session->timeout());
            if (outcome.kind == Outcome::Kind::Interrupted) {
                poll.end = LineEnd::Stopped;
                break;
            }
            if (m_setup.history && outcome.kind != Outcome::Kind::PortFailed)
                AppendHistory(*m_setup.history, read.meter, read.command, outcome, noted);
            emit reading(port, read.index, outcome, at);
            if (outcome.kind == Outcome::Kind::PortFailed) {
                poll.end = LineEnd::PortFailed;
                break;
            }
            if (cancelled()) {
                poll.end = LineEnd::Stopped;
                break;
            }
        }
    }
    poll.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(session);
    co_return poll;
}

} // namespace jobs
