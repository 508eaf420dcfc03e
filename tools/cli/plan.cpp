#include "commands.h"
#include "exitstatus.h"
#include "jobsupport.h"
#include "output.h"

#include "jobs/changejob.h"

#include "commissioning/plancsv.h"
#include "history/historylog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace cli {

namespace {

using commissioning::Plan;
using commissioning::PlanColumns;
using commissioning::PlanRow;

// The option a plan column stands for.
constexpr std::string_view ColumnOptions[] = {"--address", "--meter", "--new-address", "--new-baud", "--new-parity",
                                              "--new-stop-bits"};

// A plan row through the same option checks as the command line's, or the
// usage error with the column it is about.
std::optional<jobs::Change> changeOf(const Plan &plan, const PlanRow &row, const Options &options, std::string &problem)
{
    std::vector<std::string> args{"set", "--port", options.line.port};
    for (std::size_t i = 0; i < std::size(PlanColumns); ++i)
        if (const auto value = plan.field(row, PlanColumns[i]); !value.empty() || i < 2) {
            args.emplace_back(ColumnOptions[i]);
            args.push_back(value);
        }
    const std::vector<std::string_view> views(args.begin(), args.end());
    const auto parsed = ParseArguments(views);
    if (!parsed.options) {
        problem = parsed.usageError;
        for (std::size_t i = 0; i < std::size(PlanColumns); ++i)
            if (problem.find(ColumnOptions[i]) != std::string::npos) {
                problem = "column " + std::string(PlanColumns[i]) + ": " + problem;
                break;
            }
        return std::nullopt;
    }
    const auto &o = *parsed.options;
    return jobs::Change{o.address, o.meter, o.newAddress, o.newBaud, o.newParity, o.newStopBits};
}

// FILE-result.csv beside the plan; an existing one is kept, the next free
// FILE-result-N.csv is taken instead.
std::filesystem::path resultPathFor(const std::filesystem::path &planPath)
{
    auto path = planPath;
    path.replace_filename(planPath.stem().string() + "-result.csv");
    for (int n = 2; std::filesystem::exists(path); ++n)
        path.replace_filename(planPath.stem().string() + "-result-" + std::to_string(n) + ".csv");
    return path;
}

} // namespace

Task<int> RunPlan(const Options &options, std::ostream &out, std::ostream &err)
{
    const std::string &file = *options.plan;
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        err << "quorvane-cli: --plan " << file << " is a folder, not a plan file\n";
        co_return status::Usage;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err << "quorvane-cli: cannot read the plan " << file << "\n";
        co_return status::Usage;
    }
    std::stringstream text;
    text << in.rdbuf();
    const auto parse = commissioning::ParsePlan(text.str());
    if (!parse.plan) {
        const auto &e = parse.error;
        err << "quorvane-cli: " << file << (e.line > 0 ? " line " + std::to_string(e.line) : std::string())
            << (e.column.empty() ? std::string() : ", column " + e.column) << ": " << e.what << "\n";
        co_return status::Usage;
    }
    const Plan &plan = *parse.plan;

    // With several lines every row names its own, one of those given.
    if (options.ports.size() > 1)
        for (const auto &row : plan.rows)
            if (const auto port = plan.field(row, "port");
                std::find(options.ports.begin(), options.ports.end(), port) == options.ports.end()) {
                err << "quorvane-cli: " << file << " line " << row.line << ", column port: '" << port
                    << "' is none of the --port lines given\n";
                co_return status::Usage;
            }

    // Every row is checked before anything is sent.
    std::vector<jobs::Change> changes;
    std::string problems;
    int refusals = 0;
    // The address each meter ends at on its line, by the file line that moves it there.
    std::map<std::pair<std::string, int>, int> finalAddress;
    for (const auto &row : plan.rows) {
        std::string problem;
        const auto change = changeOf(plan, row, options, problem);
        if (!change) {
            problems += "quorvane-cli: " + file + " line " + std::to_string(row.line) + ", " + problem + "\n";
            continue;
        }
        if (const auto refusal = jobs::CheckChange(*change); !refusal.empty()) {
            problems += file + " line " + std::to_string(row.line) + ": refused: " + refusal + "\n";
            ++refusals;
        }
        const int to = change->newAddress.value_or(change->address);
        const auto where = std::pair(options.ports.size() > 1 ? plan.field(row, "port") : std::string(), to);
        if (const auto other = finalAddress.find(where); other != finalAddress.end()) {
            problems += file + " lines " + std::to_string(other->second) + " and " + std::to_string(row.line)
                        + ": both leave a meter at address " + std::to_string(to) + "\n";
            ++refusals;
        }
        finalAddress.emplace(where, row.line);
        changes.push_back(*change);
    }
    if (!problems.empty()) {
        err << problems << "nothing was sent\n";
        co_return changes.size() == plan.rows.size() && refusals > 0 ? 1 : 2;
    }

    const auto resultPath = resultPathFor(file);
    std::ofstream result(resultPath, std::ios::binary);
    if (!result) {
        err << "cannot write " << resultPath.string() << "\n";
        co_return status::Usage;
    }
    result << commissioning::ResultHeader(plan) << std::flush;

    // Each line works its own rows in the plan's order; the lines all at once.
    const bool tagged = options.ports.size() > 1;
    auto history = WindowHistoryLog();
    jobs::ChangeJobSetup setup{{}, {}, options.force, options.noHistory ? nullptr : &history};
    for (const auto &port : options.ports) {
        setup.lines.push_back(LineFor(options, port));
        auto &rows = setup.rows.emplace_back();
        for (std::size_t r = 0; r < plan.rows.size(); ++r)
            if (!tagged || plan.field(plan.rows[r], "port") == port)
                rows.push_back({r, changes[r], {}});
    }
    jobs::ChangeJob job(setup);
    std::map<std::string, Tracer> tracers;
    Verdict worst = Verdict::Verified;
    std::size_t opened = 0;
    QObject::connect(&job, &jobs::ChangeJob::opened, &job, [&](const std::string &, bool) { ++opened; });
    QObject::connect(&job, &jobs::ChangeJob::rowStarted, &job,
                     [&](const std::string &port, std::size_t i, const jobs::Change &change) {
                         out << TagOf(options, port) << "row " << i + 1 << " (" << change.meter << " at "
                             << int(change.address) << "):\n";
                     });
    QObject::connect(&job, &jobs::ChangeJob::step, &job, [&](const std::string &port, std::size_t i, const jobs::StepResult &r) {
        PrintStep(out, err, options.json, TagOf(options, port), changes[i].meter, r);
    });
    QObject::connect(&job, &jobs::Job::exchanged, &job,
                     [&](const std::string &port, std::span<const std::uint8_t> request, const serial::ExchangeResult &x) {
                         if (options.trace)
                             tracers.try_emplace(port, out, TagOf(options, port)).first->second.exchange(request, x);
                     });
    QObject::connect(&job, &jobs::ChangeJob::note, &job,
                     [&](const std::string &port, const std::string &text) { err << TagOf(options, port) << text << "\n"; });
    QObject::connect(&job, &jobs::ChangeJob::problem, &job, [&](const std::string &text) { err << text << "\n"; });
    QObject::connect(&job, &jobs::ChangeJob::rowDone, &job, [&](const std::string &, std::size_t i, const jobs::RowResult &row) {
        result << commissioning::ResultRow(plan.rows[i], jobs::VerdictWord(row.verdict), jobs::StepsText(row)) << std::flush;
        // The worst outcome decides the exit status; a port failure or a stop outranks the rest.
        if (ExitCodeOf(row.verdict) != 0 && row.verdict != Verdict::NotRun
            && static_cast<int>(row.verdict) > static_cast<int>(worst))
            worst = row.verdict;
    });
    CancelOnInterruption(job);
    job.start();
    co_await jobs::JobDone{job};
    // A line that never opened outranks every row's own verdict.
    if (opened < options.ports.size() && !job.cancelled() && worst < Verdict::PortFailed)
        worst = Verdict::PortFailed;
    out << "results in " << resultPath.string() << "\n";
    co_return ExitCodeOf(worst);
}

} // namespace cli
