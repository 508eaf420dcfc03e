#include "commands.h"
#include "exitstatus.h"
#include "interrupt.h"
#include "linesession.h"
#include "output.h"
#include "poll.h"

#include "catalogue/catalogue.h"
#include "commissioning/plancsv.h"
#include "history/historylog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace cli {

namespace {

using catalogue::command::ReadEnergy;
using commissioning::Judged;
using commissioning::Reading;
using Clock = serial::Clock;

std::string number(double value, const char *format)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string optionalMs(std::optional<double> ms)
{
    return ms ? number(*ms, "%.1f") : "-";
}

std::string energyText(std::optional<double> kwh)
{
    return kwh ? number(*kwh, "%.10g") : "-";
}

std::string readScanJson(const QJsonDocument &document, std::vector<PolledMeter> &meters, std::string &notes)
{
    if (!document.isArray())
        return "a scan's JSON output is an array of the devices found";
    for (const auto &item : document.array()) {
        const QJsonObject found = item.toObject();
        const int address = found.value("address").toInt(-1);
        if (address < 1 || address > 247)
            return "a device without an address 1..247";
        const std::string port = found.value("port").toString().toStdString();
        const QJsonArray types = found.value("meter_types").toArray();
        if (types.isEmpty()) {
            notes += (port.empty() ? std::string() : port + ": ") + "address " + std::to_string(address)
                     + " is left out: the scan found no meter type for it\n";
            continue;
        }
        meters.push_back({types.first().toString().toStdString(), static_cast<std::uint8_t>(address), port});
    }
    return {};
}

std::string readPlan(std::string_view text, std::vector<PolledMeter> &meters)
{
    const auto parse = commissioning::ParsePlan(text);
    if (!parse.plan) {
        const auto &e = parse.error;
        return (e.line > 0 ? "line " + std::to_string(e.line) + ": " : std::string()) + e.what;
    }
    for (const auto &row : parse.plan->rows) {
        std::vector<PolledMeter> one;
        const std::string item = parse.plan->field(row, "meter") + "@" + parse.plan->field(row, "address");
        if (auto problem = ParseMeterList(item, one); !problem.empty())
            return "line " + std::to_string(row.line) + ": " + problem;
        one.front().port = parse.plan->field(row, "port");
        meters.push_back(one.front());
    }
    return {};
}

// `co_await pause`: resumed from the event loop at `until`, or at once when the
// program is being stopped.
class Pause
{
public:
    explicit Pause(Clock::time_point until)
        : m_until(until)
    {
    }
    bool await_ready() const { return Interruption::caught() != 0 || Clock::now() >= m_until; }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        m_awaiting = awaiting;
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_connections[0] = QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { wake(); });
        if (auto *interruption = Interruption::instance())
            m_connections[1] = QObject::connect(interruption, &Interruption::requested, &m_timer, [this] { wake(); },
                                                Qt::QueuedConnection);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_until - Clock::now());
        m_timer.start(std::max(left, std::chrono::milliseconds(0)));
    }
    void await_resume() const {}

private:
    void wake()
    {
        // Once only: the timer and the stop may both come. Resumed from the
        // event loop, never inside the timer's own signal, which the work
        // resumed may outlive.
        for (auto &connection : m_connections)
            QObject::disconnect(connection);
        m_timer.stop();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [awaiting = m_awaiting] { awaiting.resume(); },
                                  Qt::QueuedConnection);
    }

    Clock::time_point m_until;
    QTimer m_timer;
    QMetaObject::Connection m_connections[2];
    std::coroutine_handle<> m_awaiting;
};

// A meter of one line, ready to be read.
struct LineMeter {
    PolledRow *row;
    PreparedOperation prepared;
};

// Where each reading is written: standard output as text or JSON lines, and a CSV file.
struct Printer {
    const Options &options;
    std::ostream &out;
    std::ostream *csv;

    void reading(const QDateTime &at, const PolledRow &row, const Judged &judged, const Outcome &outcome,
                 std::optional<double> responseMs)
    {
        const std::string time = at.toString(Qt::ISODateWithMs).toStdString();
        const std::string word = commissioning::ReadingWord(judged.reading);
        // What says more than the word: the exception's name, another slave's address, why rejected.
        std::string detail;
        if (judged.reading == Reading::Exception)
            detail = commissioning::ExceptionLabel(judged.exceptionCode);
        else if (judged.reading == Reading::WrongAddress || judged.reading == Reading::Rejected)
            detail = outcome.detail;
        const std::string energy = outcome.energyKwh ? energyText(outcome.energyKwh) : std::string();
        const std::string ms = responseMs ? number(*responseMs, "%.1f") : std::string();
        if (options.json) {
            out << "{\"time\": " << JsonString(time) << ", \"port\": " << JsonString(row.port)
                << ", \"address\": " << int(row.meter.address) << ", \"meter\": " << JsonString(row.meter.meter)
                << ", \"outcome\": " << JsonString(word);
            if (!detail.empty())
                out << ", \"detail\": " << JsonString(detail);
            if (!energy.empty())
                out << ", \"energy_kwh\": " << energy;
            if (!ms.empty())
                out << ", \"response_ms\": " << ms;
            out << "}\n";
        } else {
            out << time << " " << row.port << " " << int(row.meter.address) << " " << word
                << (detail.empty() ? "" : " " + detail) << (energy.empty() ? "" : " " + energy + " kWh")
                << (ms.empty() ? "" : " " + ms + " ms") << "\n";
        }
        out.flush();
        if (csv)
            *csv << commissioning::CsvField(time) << "," << commissioning::CsvField(row.port) << ","
                 << int(row.meter.address) << "," << commissioning::CsvField(row.meter.meter) << "," << word << ","
                 << commissioning::CsvField(detail) << "," << energy << "," << ms << "\r\n"
                 << std::flush;
    }
};

constexpr const char *CsvHeader = "time,port,address,meter,outcome,detail,energy_kwh,response_ms\r\n";

// How one line's poll ended.
struct LinePoll {
    int status = status::Success; // the port failed, or the program was stopped
    long long rounds = 0;
    long long late = 0; // schedule slots passed by while a round overran
    double seconds = 0;
};

// The meters of one line, round after round, one exchange at a time.
Task<LinePoll> pollLine(const Options &options, const std::vector<LineMeter> &meters, const std::string &port,
                        Printer &printer, std::ostream &err)
{
    LinePoll result;
    LineOptions line = options.line;
    line.port = port;
    const auto session = co_await LineSession::Open(line, err);
    if (!session) {
        result.status = status::PortFailed;
        co_return result;
    }
    auto history = WindowHistoryLog();
    const std::string command(ReadEnergy);
    const auto timeout = std::chrono::milliseconds(options.line.timeoutMs);
    const auto interval = std::chrono::milliseconds(options.intervalMs);
    const auto start = Clock::now();
    std::optional<Clock::time_point> end;
    if (options.durationS)
        end = start + std::chrono::seconds(*options.durationS);
    // Rounds begin on a fixed schedule from the start, so they never drift; a
    // round that overruns its slot is followed at the next slot still ahead.
    auto next = start;
    while (result.status == status::Success) {
        if (options.count && result.rounds >= *options.count)
            break;
        if (interval.count() > 0) {
            if (const auto behind = Clock::now() - next; behind >= interval) {
                const auto passed = behind / interval;
                next += interval * passed;
                result.late += passed;
            }
        } else {
            next = Clock::now();
        }
        if (end && next >= *end)
            break;
        Pause pause(next);
        co_await pause;
        if (Interruption::caught()) {
            result.status = InterruptedExitCode();
            break;
        }
        ++result.rounds;
        next += interval;
        for (const auto &meter : meters) {
            // Local time with its offset, so that readings from a night the clocks change still sort.
            const QDateTime local = QDateTime::currentDateTime();
            const QDateTime at = local.toOffsetFromUtc(local.offsetFromUtc());
            const auto outcome = co_await Perform(*session, meter.row->meter.meter, command, meter.prepared, timeout);
            if (outcome.kind == Outcome::Kind::Interrupted) {
                result.status = InterruptedExitCode();
                break;
            }
            if (outcome.kind == Outcome::Kind::PortFailed) {
                err << outcome.detail << "\n";
                result.status = status::PortFailed;
                break;
            }
            const auto &x = outcome.exchange;
            const bool timedOut = x.end == serial::ExchangeResult::End::Timeout;
            // The request given back by the line is no reply of the meter.
            const Judged judged = x.echoed ? Judged{Reading::Rejected, 0}
                                           : commissioning::JudgeReading(x.reply, timedOut, meter.row->meter.address,
                                                                         meter.prepared.state.ReplyCode);
            const double ms = std::chrono::duration<double, std::milli>(x.ended - x.written).count();
            meter.row->tally.count(judged, ms, outcome.energyKwh);
            std::optional<double> responseMs;
            if (!timedOut)
                responseMs = ms;
            printer.reading(at, *meter.row, judged, outcome, responseMs);
            NoteExtraBytes(x, err);
            if (options.history)
                AppendHistory(history, meter.row->meter.meter, command, outcome, err);
            // The reader of the output went away: nobody is told any more.
            if (!printer.out) {
                result.status = InterruptedExitCode();
                break;
            }
        }
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    co_return result;
}

std::string lineSummary(const std::string &port, const LinePoll &line, const std::vector<LineMeter> &meters)
{
    long long sent = 0, answered = 0;
    for (const auto &m : meters) {
        sent += m.row->tally.sent();
        answered += m.row->tally.answered();
    }
    std::string text = port + ": " + std::to_string(line.rounds) + (line.rounds == 1 ? " round" : " rounds") + " in "
                       + number(line.seconds, "%.1f") + " s, " + std::to_string(sent) + " readings, "
                       + std::to_string(answered) + " answered";
    if (sent > 0)
        text += " (" + number(100.0 * double(sent - answered) / double(sent), "%.1f") + " % lost)";
    if (line.seconds > 0)
        text += ", " + number(double(sent) / line.seconds, "%.1f") + " readings/s";
    if (line.late > 0)
        text += ", " + std::to_string(line.late) + " rounds skipped: the one before overran its interval";
    if (line.status == status::PortFailed)
        text += "; the port failed";
    else if (line.status != status::Success)
        text += "; interrupted";
    return text + "\n";
}

} // namespace

std::string ReadPollMeters(std::string_view text, std::vector<PolledMeter> &meters, std::string &notes)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text[first] == '[') {
        QJsonParseError error;
        const auto document = QJsonDocument::fromJson(QByteArray(text.data(), qsizetype(text.size())), &error);
        if (error.error != QJsonParseError::NoError)
            return "not a scan's JSON output: " + error.errorString().toStdString();
        return readScanJson(document, meters, notes);
    }
    return readPlan(text, meters);
}

std::string TallyTable(const std::vector<const PolledRow *> &rows)
{
    std::vector<std::vector<std::string>> cells{{"port", "address", "meter", "sent", "answered", "timeouts", "crc_errors",
                                                 "wrong_address", "other", "loss_%", "min_ms", "mean_ms", "p95_ms",
                                                 "max_ms", "first_kwh", "last_kwh", "exceptions"}};
    for (const PolledRow *row : rows) {
        const auto &t = row->tally;
        std::string exceptions;
        for (const auto &[code, count] : t.exceptions())
            exceptions += (exceptions.empty() ? "" : "; ") + commissioning::ExceptionLabel(code) + ": " + std::to_string(count);
        cells.push_back({row->port, std::to_string(row->meter.address), row->meter.meter, std::to_string(t.sent()),
                         std::to_string(t.answered()), std::to_string(t.timeouts()), std::to_string(t.badCrc()),
                         std::to_string(t.wrongAddress()), std::to_string(t.rejected()), number(t.lossPercent(), "%.1f"),
                         optionalMs(t.minMs()), optionalMs(t.meanMs()), optionalMs(t.p95Ms()), optionalMs(t.maxMs()),
                         energyText(t.firstEnergy()), energyText(t.lastEnergy()), exceptions.empty() ? "-" : exceptions});
    }
    std::vector<std::size_t> widths(cells.front().size(), 0);
    for (const auto &line : cells)
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    // Names to the left, numbers to the right; the last column as it is.
    const auto leftAligned = [](std::size_t c) { return c == 0 || c == 2; };
    std::string text;
    for (const auto &line : cells) {
        std::string out;
        for (std::size_t c = 0; c < line.size(); ++c) {
            const std::string pad(widths[c] - line[c].size(), ' ');
            if (c + 1 == line.size())
                out += line[c];
            else
                out += (leftAligned(c) ? line[c] + pad : pad + line[c]) + "  ";
        }
        text += out + "\n";
    }
    return text;
}

Task<int> RunPoll(const Options &options, std::ostream &out, std::ostream &err)
{
    std::vector<PolledMeter> meters = options.polled;
    if (options.from) {
        const std::string &file = *options.from;
        std::stringstream text;
        if (file == "-") {
            text << std::cin.rdbuf();
        } else {
            std::ifstream in(file, std::ios::binary);
            std::error_code error;
            if (std::filesystem::is_directory(file, error) || !in) {
                err << "quorvane-cli: cannot read the meters of " << file << "\n";
                co_return status::Usage;
            }
            text << in.rdbuf();
        }
        std::string notes;
        if (const auto problem = ReadPollMeters(text.str(), meters, notes); !problem.empty()) {
            err << "quorvane-cli: " << file << ": " << problem << "\n";
            co_return status::Usage;
        }
        err << notes;
    }
    // A meter read twice a round would count twice; a line not given is no line.
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const auto &m = meters[i];
        if (!m.port.empty() && std::find(options.ports.begin(), options.ports.end(), m.port) == options.ports.end()) {
            err << "quorvane-cli: address " << int(m.address) << " is on '" << m.port << "', none of the --port lines given\n";
            co_return status::Usage;
        }
        if (!catalogue::Offers(m.meter, ReadEnergy)) {
            err << "quorvane-cli: meter type '" << m.meter << "' does not offer 'Read Energy'\n";
            co_return status::Usage;
        }
        for (std::size_t j = 0; j < i; ++j)
            if (meters[j].address == m.address && (meters[j].port.empty() || m.port.empty() || meters[j].port == m.port)) {
                err << "quorvane-cli: address " << int(m.address) << " is given twice\n";
                co_return status::Usage;
            }
    }
    if (meters.empty()) {
        err << "quorvane-cli: no meters to poll\n";
        co_return status::Usage;
    }

    std::ofstream csv;
    if (options.csv) {
        csv.open(*options.csv, std::ios::binary | std::ios::trunc);
        if (!csv) {
            err << "cannot write " << *options.csv << "\n";
            co_return status::Usage;
        }
        csv << CsvHeader << std::flush;
    }
    Printer printer{options, out, options.csv ? &csv : nullptr};

    // Every meter without a line of its own is read on every line.
    std::vector<PolledRow> rows;
    for (const auto &port : options.ports)
        for (const auto &m : meters)
            if (m.port.empty() || m.port == port)
                rows.push_back({port, m, {}});
    std::vector<std::vector<LineMeter>> lineMeters(options.ports.size());
    for (auto &row : rows) {
        Options read = options;
        read.verb = Verb::Run;
        read.meter = row.meter.meter;
        read.command = ReadEnergy;
        read.address = row.meter.address;
        const auto preparation = PrepareOperation(read);
        if (!preparation.prepared) {
            err << preparation.refusal << "\n";
            co_return status::Refused;
        }
        const auto index = std::find(options.ports.begin(), options.ports.end(), row.port) - options.ports.begin();
        lineMeters[std::size_t(index)].push_back({&row, *preparation.prepared});
    }

    // Each line its own round of exchanges, all lines at the same time.
    std::vector<Task<LinePoll>> work;
    for (std::size_t i = 0; i < options.ports.size(); ++i)
        work.push_back(pollLine(options, lineMeters[i], options.ports[i], printer, err));
    lineclient::AllOf<LinePoll> all{std::move(work)}; // named: the lines point at it while they run
    const auto lines = co_await all;

    // The tally is printed however the poll ended; beside JSON lines, on standard error.
    std::ostream &table = options.json ? err : out;
    std::vector<const PolledRow *> tallied;
    std::vector<const commissioning::MeterTally *> tallies;
    for (const auto &row : rows) {
        tallied.push_back(&row);
        tallies.push_back(&row.tally);
    }
    table << "\n" << TallyTable(tallied);
    int worst = status::Success;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        table << lineSummary(options.ports[i], lines[i], lineMeters[i]);
        worst = status::Worse(worst, lines[i].status);
    }
    table.flush();
    if (worst != status::Success)
        co_return worst;
    switch (commissioning::VerdictOf(tallies)) {
    case commissioning::PollVerdict::EveryReading: co_return status::Success;
    case commissioning::PollVerdict::SomeFailed: co_return status::PartlyAnswered;
    case commissioning::PollVerdict::MeterNeverAnswered: co_return status::NoReply;
    }
    co_return status::Success;
}

} // namespace cli
