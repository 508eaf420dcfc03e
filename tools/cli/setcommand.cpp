#include "commands.h"
#include "linesession.h"
#include "operation.h"
#include "output.h"
#include "probe.h"

#include "catalogue/catalogue.h"
#include "history/historylog.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli {

namespace {

using namespace catalogue::command;

// One meter and the changes it is to get.
struct Change {
    std::uint8_t address = 0;
    std::string meter;
    std::optional<std::uint8_t> newAddress;
    std::optional<int> newBaud;
    std::optional<engine::Parity> newParity;
    std::optional<engine::StopBits> newStopBits;
};

// How a change ended, worst last: the exit status of set follows it.
enum class Verdict { Verified, Refused, Rejected, NoReply, Unverified, PortFailed };

int exitCodeOf(Verdict v)
{
    switch (v) {
    case Verdict::Verified: return 0;
    case Verdict::Refused:
    case Verdict::Rejected: return 1;
    case Verdict::NoReply: return 3;
    case Verdict::Unverified: return 5;
    case Verdict::PortFailed: return 4;
    }
    return 1;
}

const char *wordOf(Verdict v)
{
    switch (v) {
    case Verdict::Verified: return "verified";
    case Verdict::Refused: return "refused";
    case Verdict::Rejected: return "rejected";
    case Verdict::NoReply: return "timeout";
    case Verdict::Unverified: return "unverified";
    case Verdict::PortFailed: return "port";
    }
    return "?";
}

struct RowResult {
    Verdict verdict = Verdict::Verified;
    std::string detail;
};

class ChangeRun
{
public:
    ChangeRun(LineSession &session, const Options &options, history::HistoryLog &history, std::ostream &out,
              std::ostream &err)
        : m_session(session), m_options(options), m_history(history), m_out(out), m_err(err), m_tracer(out)
    {
    }

    RowResult run(const Change &change)
    {
        m_meter = change.meter;
        m_address = change.address;
        m_settings = m_options.line.settings;
        std::string reason;
        if (!m_session.setSettings(m_settings, reason))
            return {Verdict::PortFailed, reason};
        RowResult result;
        if (change.newAddress)
            result = step(ModifyMeterAddress, std::to_string(*change.newAddress), {}, [&] {
                const auto from = m_address;
                m_address = *change.newAddress;
                if (!answersAt(m_address))
                    return "no answer at " + std::to_string(m_address);
                if (from != m_address && answersOnceAt(from))
                    return "still answers at " + std::to_string(from);
                return std::string();
            });
        if (result.verdict == Verdict::Verified && change.newBaud)
            result = step(ModifyBaudRate, std::to_string(*change.newBaud), {}, [&] {
                m_settings.baud = *change.newBaud;
                return switchedAndAnswering();
            });
        if (result.verdict == Verdict::Verified && change.newParity)
            result = step(ModifyParity, upper(engine::ParityWord(*change.newParity)),
                          std::string(engine::StopBitsText(*change.newStopBits)), [&] {
                              m_settings.parity = *change.newParity;
                              m_settings.stopBits = *change.newStopBits;
                              return switchedAndAnswering();
                          });
        return result;
    }

private:
    static std::string upper(std::string_view word)
    {
        std::string text(word);
        for (auto &c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }

    // One change through the catalogue's command, then its check.
    template <typename Verify>
    RowResult step(std::string_view command, const std::string &value1, const std::optional<std::string> &value2,
                   Verify verify)
    {
        Options op = m_options;
        op.meter = m_meter;
        op.command = std::string(command);
        op.address = m_address;
        op.value1 = value1;
        op.value2 = value2;
        const std::string what = op.command + " at " + std::to_string(m_address) + " to " + value1
                                 + (value2 ? "/" + *value2 : std::string());
        const auto preparation = PrepareOperation(op);
        if (!preparation.prepared) {
            m_out << what << ": refused: " << preparation.refusal << "\n";
            return {Verdict::Refused, preparation.refusal};
        }
        const auto outcome = Perform(m_session, m_meter, op.command, *preparation.prepared,
                                     std::chrono::milliseconds(m_options.line.timeoutMs));
        if (!m_options.noHistory)
            AppendHistory(m_history, m_meter, op.command, outcome, m_err);
        if (m_options.trace)
            m_tracer.exchange(outcome.request, outcome.exchange);
        switch (outcome.kind) {
        case Outcome::Kind::Success: break;
        case Outcome::Kind::PortFailed:
            m_out << what << ": " << outcome.detail << "\n";
            return {Verdict::PortFailed, outcome.detail};
        case Outcome::Kind::Timeout:
            m_out << what << ": no reply\n";
            return {Verdict::NoReply, "no reply to " + op.command};
        case Outcome::Kind::Rejected:
        case Outcome::Kind::Exception:
            m_out << what << ": rejected: " << outcome.detail << "\n";
            return {Verdict::Rejected, outcome.detail};
        }
        m_out << what << ": acknowledged (" << outcome.detail << ")";
        const std::string problem = verify();
        if (!problem.empty()) {
            m_out << ", not verified: " << problem << "\n";
            return {Verdict::Unverified, problem};
        }
        m_out << ", verified: answers at " << std::to_string(m_address) << " " << engine::ShortText(m_settings) << "\n";
        return {Verdict::Verified, outcome.detail};
    }

    std::string switchedAndAnswering()
    {
        std::string reason;
        if (!m_session.setSettings(m_settings, reason))
            return reason;
        return answersAt(m_address) ? std::string() : "no answer at " + engine::ShortText(m_settings);
    }

    bool answersOnceAt(std::uint8_t address)
    {
        const auto probe = ProbeFrame(address);
        const auto result = m_session.exchange(probe);
        if (m_options.trace)
            m_tracer.exchange(probe, result);
        return AnswerFrom(result, address);
    }

    // A meter that has just taken a setting may need a moment: a few tries.
    bool answersAt(std::uint8_t address)
    {
        for (int attempt = 0; attempt < 3; ++attempt)
            if (answersOnceAt(address))
                return true;
        return false;
    }

    LineSession &m_session;
    const Options &m_options;
    history::HistoryLog &m_history;
    std::ostream &m_out;
    std::ostream &m_err;
    Tracer m_tracer;
    std::string m_meter;
    std::uint8_t m_address = 0;
    engine::LineSettings m_settings;
};

std::vector<std::string> csvFields(const std::string &line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    for (auto &f : fields) {
        while (!f.empty() && (f.back() == '\r' || f.back() == ' '))
            f.pop_back();
        while (!f.empty() && f.front() == ' ')
            f.erase(f.begin());
    }
    return fields;
}

std::string csvField(const std::string &text)
{
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A plan row as the command line would give it, through the same option checks.
std::optional<Change> changeOf(const std::vector<std::string> &f, const Options &options, std::string &problem)
{
    std::vector<std::string> args{"set", "--port", options.line.port, "--meter", f[1], "--address", f[0]};
    const char *names[] = {"--new-address", "--new-baud", "--new-parity", "--new-stop-bits"};
    for (std::size_t i = 2; i < 6; ++i)
        if (i < f.size() && !f[i].empty()) {
            args.push_back(names[i - 2]);
            args.push_back(f[i]);
        }
    std::vector<std::string_view> views(args.begin() + 0, args.end());
    const auto parsed = ParseArguments(views);
    if (!parsed.options) {
        problem = parsed.usageError;
        return std::nullopt;
    }
    const auto &o = *parsed.options;
    return Change{o.address, o.meter, o.newAddress, o.newBaud, o.newParity, o.newStopBits};
}

int runPlan(LineSession &session, const Options &options, history::HistoryLog &history, std::ostream &out,
            std::ostream &err)
{
    std::ifstream in(*options.plan);
    if (!in) {
        err << "cannot read " << *options.plan << "\n";
        return 2;
    }
    const std::filesystem::path planPath(*options.plan);
    auto resultPath = planPath;
    resultPath.replace_filename(planPath.stem().string() + "-result.csv");
    std::ofstream result(resultPath);
    if (!result) {
        err << "cannot write " << resultPath.string() << "\n";
        return 2;
    }
    result << "address,meter,new_address,new_baud,new_parity,new_stop_bits,outcome,detail\n";
    ChangeRun run(session, options, history, out, err);
    Verdict worst = Verdict::Verified;
    std::string line;
    int lineNumber = 0;
    int rowNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        auto f = csvFields(line);
        if (f.empty() || (f.size() == 1 && f[0].empty()) || (lineNumber == 1 && f[0] == "address"))
            continue;
        f.resize(std::max<std::size_t>(f.size(), 6));
        RowResult row;
        std::string problem;
        out << "row " << ++rowNumber << " (" << f[1] << " at " << f[0] << "):\n";
        if (const auto change = changeOf(f, options, problem))
            row = run.run(*change);
        else {
            out << "refused: " << problem << "\n";
            row = {Verdict::Refused, problem};
        }
        for (std::size_t i = 0; i < 6; ++i)
            result << csvField(f[i]) << ",";
        result << wordOf(row.verdict) << "," << csvField(row.detail) << "\n";
        result.flush();
        if (exitCodeOf(row.verdict) != 0 && static_cast<int>(row.verdict) > static_cast<int>(worst))
            worst = row.verdict;
        if (row.verdict == Verdict::PortFailed)
            break;
    }
    out << "results in " << resultPath.string() << "\n";
    return exitCodeOf(worst);
}

} // namespace

int RunSet(const Options &options, std::ostream &out, std::ostream &err)
{
    std::string reason;
    const auto session = LineSession::Open(options.line, reason);
    if (!session) {
        err << reason << "\n";
        return 4;
    }
    auto history = WindowHistoryLog();
    if (options.plan)
        return runPlan(*session, options, history, out, err);
    ChangeRun run(*session, options, history, out, err);
    const auto row = run.run({options.address, options.meter, options.newAddress, options.newBaud, options.newParity,
                              options.newStopBits});
    return exitCodeOf(row.verdict);
}

} // namespace cli
