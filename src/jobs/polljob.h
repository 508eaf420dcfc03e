#pragma once

#include "job.h"
#include "operationrun.h"

#include "commissioning/polltally.h"

#include <QDateTime>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

namespace jobs {

// A meter read over and over: its type decides the read.
struct PolledMeter {
    std::string meter;
    std::uint8_t address = 0;
    std::optional<engine::LineSettings> settings; // where it answers, when not at the line's
};

struct PollSetup {
    std::vector<LineSetup> lines;               // worked at the same time
    std::vector<std::vector<PolledMeter>> meters; // per line, read in this order
    // Each meter read once per interval, rounds on a fixed schedule; 0: as
    // fast as the line allows.
    std::chrono::milliseconds interval{1000};
    int rounds = 0; // 0: until cancelled
    std::optional<std::chrono::milliseconds> duration; // no round begins after it
    std::optional<std::chrono::microseconds> guard; // between frames; t3.5 unless given
    history::HistoryLog *history = nullptr;       // each read's line; none when null
};

// How polling ended on one line.
struct LinePoll {
    std::string port;
    LineEnd end = LineEnd::Done;
    long long rounds = 0; // rounds begun
    long long late = 0;   // schedule slots passed by while a round overran
    double seconds = 0;
};

// The energy read of each meter, round after round, on every line given.
class PollJob : public Job
{
    Q_OBJECT
public:
    explicit PollJob(PollSetup setup, QObject *parent = nullptr);
    const std::vector<LinePoll> &lines() const { return m_lines; }

    // The read a meter type is polled with: its energy, or its import energy.
    static std::string ReadCommandOf(const std::string &meter);
    // What a reading of `meter` came to; the request given back by the line is no reply.
    static commissioning::Judged Judge(const Outcome &outcome, const PolledMeter &meter);

signals:
    // Each reading as it ends, with the time it was asked for; `index` is the
    // meter's place in its line's list. A port failure comes as a reading too.
    void reading(const std::string &port, std::size_t index, const jobs::Outcome &outcome, const QDateTime &at);
    void note(const std::string &port, const std::string &text);
    void problem(const std::string &text);

protected:
    Task<bool> run() override;

private:
    Task<LinePoll> pollLine(std::size_t index);

    PollSetup m_setup;
    std::vector<LinePoll> m_lines;
};

} // namespace jobs
