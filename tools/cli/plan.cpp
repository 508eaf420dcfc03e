#include "changerun.h"
#include "exitstatus.h"
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

// The rows of one line, one after another; the worst verdict, as a number that orders them.
Task<int> planLine(const Options &options, const Plan &plan, const std::vector<Change> &changes,
                   std::vector<std::size_t> rows, const std::string &port, bool tagged, std::ostream &result,
                   std::ostream &out, std::ostream &err)
{
    const std::string tag = tagged ? port + ": " : std::string();
    LineOptions line = options.line;
    line.port = port;
    const auto session = co_await LineSession::Open(line, err);
    auto history = WindowHistoryLog();
    Verdict worst = session ? Verdict::Verified : Verdict::PortFailed;
    std::optional<std::string> stopped; // why the rows left are not run
    if (!session)
        stopped = "not run: the port failed";
    for (const std::size_t i : rows) {
        RowResult row;
        if (stopped) {
            row = {Verdict::NotRun, *stopped, {}};
        } else {
            out << tag << "row " << i + 1 << " (" << changes[i].meter << " at " << int(changes[i].address) << "):\n";
            ChangeRun run(*session, options, history, out, err, tag);
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
    co_return static_cast<int>(worst);
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
    std::vector<Change> changes;
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
        if (const auto refusal = CheckChange(options, *change); !refusal.empty()) {
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
    std::vector<Task<int>> lines;
    for (const auto &port : options.ports) {
        std::vector<std::size_t> rows;
        for (std::size_t r = 0; r < plan.rows.size(); ++r)
            if (!tagged || plan.field(plan.rows[r], "port") == port)
                rows.push_back(r);
        lines.push_back(planLine(options, plan, changes, std::move(rows), port, tagged, result, out, err));
    }
    lineclient::AllOf<int> all{std::move(lines)}; // named: the lines point at it while they run
    const auto worst = co_await all;
    out << "results in " << resultPath.string() << "\n";
    co_return ExitCodeOf(static_cast<Verdict>(*std::max_element(worst.begin(), worst.end())));
}

} // namespace cli
