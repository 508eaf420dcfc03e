#include "commands.h"
#include "exitstatus.h"
#include "jobsupport.h"
#include "output.h"
#include "poll.h"

#include "jobs/polljob.h"

#include "catalogue/catalogue.h"
#include "commissioning/plancsv.h"
#include "commissioning/readinglog.h"
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
            *csv << commissioning::ReadingLogRow({time, row.port, row.meter.address, row.meter.meter, word, detail,
                                                  outcome.energyKwh, responseMs})
                 << std::flush;
    }
};

std::string lineSummary(const jobs::LinePoll &line, const std::vector<PolledRow> &rows)
{
    const std::string &port = line.port;
    long long sent = 0, answered = 0;
    for (const auto &row : rows)
        if (row.port == port) {
            sent += row.tally.sent();
            answered += row.tally.answered();
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
    if (line.end == jobs::LineEnd::PortFailed)
        text += "; the port failed";
    else if (line.end == jobs::LineEnd::Stopped)
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
        csv << commissioning::ReadingLogHeader() << std::flush;
    }
    Printer printer{options, out, options.csv ? &csv : nullptr};

    // Every meter without a line of its own is read on every line.
    auto history = WindowHistoryLog();
    jobs::PollSetup setup;
    setup.interval = std::chrono::milliseconds(options.intervalMs);
    setup.rounds = options.count.value_or(0);
    if (options.durationS)
        setup.duration = std::chrono::seconds(*options.durationS);
    setup.history = options.history ? &history : nullptr;
    std::vector<PolledRow> rows;
    std::vector<std::vector<std::size_t>> rowOf(options.ports.size()); // per line: the meter's row
    for (std::size_t i = 0; i < options.ports.size(); ++i) {
        setup.lines.push_back(LineFor(options, options.ports[i]));
        auto &lineMeters = setup.meters.emplace_back();
        for (const auto &m : meters)
            if (m.port.empty() || m.port == options.ports[i]) {
                rowOf[i].push_back(rows.size());
                rows.push_back({options.ports[i], m, {}});
                lineMeters.push_back({m.meter, m.address, {}});
            }
    }
    jobs::PollJob job(setup);
    QObject::connect(&job, &jobs::PollJob::reading, &job,
                     [&](const std::string &port, std::size_t index, const Outcome &outcome, const QDateTime &at) {
                         if (outcome.kind == Outcome::Kind::PortFailed) {
                             err << outcome.detail << "\n";
                             return;
                         }
                         const auto line = std::find(options.ports.begin(), options.ports.end(), port) - options.ports.begin();
                         PolledRow &row = rows[rowOf[std::size_t(line)][index]];
                         const auto &x = outcome.exchange;
                         const bool timedOut = x.end == serial::ExchangeResult::End::Timeout;
                         const Judged judged = jobs::PollJob::Judge(outcome, {row.meter.meter, row.meter.address, {}});
                         const double ms = std::chrono::duration<double, std::milli>(x.ended - x.written).count();
                         row.tally.count(judged, ms, outcome.energyKwh);
                         std::optional<double> responseMs;
                         if (!timedOut)
                             responseMs = ms;
                         printer.reading(at, row, judged, outcome, responseMs);
                         NoteExtraBytes(x, err);
                         // The reader of the output went away: nobody is told any more.
                         if (!printer.out)
                             job.cancel();
                     });
    QObject::connect(&job, &jobs::PollJob::note, &job,
                     [&](const std::string &port, const std::string &text) { err << TagOf(options, port) << text << "\n"; });
    QObject::connect(&job, &jobs::PollJob::problem, &job, [&](const std::string &text) { err << text << "\n"; });
    CancelOnInterruption(job);
    job.start();
    co_await jobs::JobDone{job};

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
    for (const auto &line : job.lines()) {
        table << lineSummary(line, rows);
        const int result = line.end == jobs::LineEnd::PortFailed ? status::PortFailed
                           : line.end == jobs::LineEnd::Stopped  ? InterruptedExitCode()
                                                                 : status::Success;
        worst = status::Worse(worst, result);
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
