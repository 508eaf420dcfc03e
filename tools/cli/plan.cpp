#include "changerun.h"
#include "commands.h"
#include "linesession.h"

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
std::optional<Change> changeOf(const Plan &plan, const PlanRow &row, const Options &options, std::string &problem)
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
    return Change{o.address, o.meter, o.newAddress, o.newBaud, o.newParity, o.newStopBits};
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
        co_return 2;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err << "quorvane-cli: cannot read the plan " << file << "\n";
        co_return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    const auto parse = commissioning::ParsePlan(text.str());
    if (!parse.plan) {
        const auto &e = parse.error;
        err << "quorvane-cli: " << file << (e.line > 0 ? " line " + std::to_string(e.line) : std::string())
            << (e.column.empty() ? std::string() : ", column " + e.column) << ": " << e.what << "\n";
        co_return 2;
    }
    const Plan &plan = *parse.plan;

    // Every row is checked before anything is sent.
    std::vector<Change> changes;
    std::string problems;
    int refusals = 0;
    std::map<int, int> finalAddress; // the address each meter ends at, by the line that moves it there
    for (const auto &row : plan.rows) {
        std::string problem;
        const auto change = changeOf(plan, row, options, problem);
        if (!change) {
            problems += "quorvane-cli: " + file + " line " + std::to_string(row.line) + ", " + problem + "\n";
            continue;
        }
        if (const auto refusal = CheckChange(options, *change); !refusal.empty()) {
            problems += file + " line " + std::to_string(row.line) + ": refused: " + refusal + "\n";
            ++refusals;
        }
        const int to = change->newAddress.value_or(change->address);
        if (const auto other = finalAddress.find(to); other != finalAddress.end()) {
            problems += file + " lines " + std::to_string(other->second) + " and " + std::to_string(row.line)
                        + ": both leave a meter at address " + std::to_string(to) + "\n";
            ++refusals;
        }
        finalAddress.emplace(to, row.line);
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
        co_return 2;
    }
    result << commissioning::ResultHeader(plan) << std::flush;

    std::string reason;
    const auto session = co_await LineSession::Open(options.line, reason);
    if (!session)
        err << reason << "\n";
    else
        session->setNotes(&err);
    auto history = WindowHistoryLog();
    Verdict worst = session ? Verdict::Verified : Verdict::PortFailed;
    std::optional<std::string> stopped; // why the rows left are not run
    if (!session)
        stopped = "not run: the port failed";
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        RowResult row;
        if (stopped) {
            row = {Verdict::NotRun, *stopped, {}};
        } else {
            out << "row " << i + 1 << " (" << changes[i].meter << " at " << int(changes[i].address) << "):\n";
            ChangeRun run(*session, options, history, out, err);
            row = co_await run.run(changes[i]);
            if (row.verdict == Verdict::PortFailed)
                stopped = "not run: the port failed";
            else if (row.verdict == Verdict::Interrupted)
                stopped = "not run: interrupted";
        }
        result << commissioning::ResultRow(plan.rows[i], VerdictWord(row.verdict), StepsText(row)) << std::flush;
        // The worst outcome decides the exit status; a port failure or a stop outranks the rest.
        if (ExitCodeOf(row.verdict) != 0 && row.verdict != Verdict::NotRun
            && static_cast<int>(row.verdict) > static_cast<int>(worst))
            worst = row.verdict;
    }
    out << "results in " << resultPath.string() << "\n";
    co_return ExitCodeOf(worst);
}

} // namespace cli
