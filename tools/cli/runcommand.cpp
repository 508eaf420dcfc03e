#include "commands.h"
#include "exitstatus.h"
#include "linesession.h"
#include "operation.h"
#include "output.h"

#include "catalogue/catalogue.h"
#include "codec/hexcode.h"
#include "history/historylog.h"

#include <cstdio>

namespace cli {

namespace {

std::string jsonOf(const Options &o, const std::string &port, const Outcome &outcome)
{
    const auto &x = outcome.exchange;
    std::string json = "{" + (port.empty() ? std::string() : "\"port\": " + JsonString(port) + ", ")
                       + "\"meter\": " + JsonString(o.meter) + ", \"command\": " + JsonString(o.command)
                       + ", \"address\": " + std::to_string(o.address) + ", \"outcome\": "
                       + JsonString(OutcomeWord(outcome.kind)) + ", \"detail\": " + JsonString(outcome.detail)
                       + ", \"request\": " + JsonString(codec::HexText(outcome.request))
                       + ", \"reply\": " + JsonString(codec::HexText(x.reply));
    if (!x.echo.empty())
        json += ", \"echo\": " + JsonString(codec::HexText(x.echo));
    if (x.wireRequest != outcome.request)
        json += ", \"wire_request\": " + JsonString(codec::HexText(x.wireRequest)) + ", \"wire_reply\": "
                + JsonString(codec::HexText(x.wireReply));
    json += ", \"elapsed_ms\": " + Millis(x.ended - x.written);
    if (outcome.energyKwh) {
        char number[64];
        std::snprintf(number, sizeof number, "%.10g", *outcome.energyKwh);
        json += std::string(", \"energy_kwh\": ") + number;
    }
    return json + "}";
}

// The operation on one line, as many times as asked.
Task<int> runLine(const Options &options, const PreparedOperation &prepared, const std::string &port, bool tagged,
                  std::ostream &out, std::ostream &err)
{
    const std::string tag = tagged ? port + ": " : std::string();
    LineOptions line = options.line;
    line.port = port;
    const auto session = co_await LineSession::Open(line, err);
    if (!session)
        co_return status::PortFailed;
    auto history = WindowHistoryLog();
    // A poll of many reads would flood the log the window deletes past 2 MB:
    // its reads are logged only when asked. A write always is.
    const bool isWrite = catalogue::GetFrameKind(options.meter, options.command) != catalogue::FrameKindRead;
    const bool logThis = !options.noHistory && (options.repeat == 1 || options.history || isWrite);
    Tracer tracer(out, tag);
    int result = status::Success;
    for (int i = 0; i < options.repeat; ++i) {
        const auto outcome = co_await Perform(*session, options.meter, options.command, prepared,
                                              std::chrono::milliseconds(options.line.timeoutMs));
        if (outcome.kind == Outcome::Kind::Interrupted) {
            err << tag << "interrupted after " << i << " of " << options.repeat << " operations\n";
            co_return ExitCodeOf(outcome.kind);
        }
        if (logThis)
            AppendHistory(history, options.meter, options.command, outcome, err);
        if (options.trace)
            tracer.exchange(outcome.request, outcome.exchange);
        if (options.json)
            out << jsonOf(options, tagged ? port : std::string(), outcome) << "\n";
        else if (outcome.kind == Outcome::Kind::Success)
            out << tag << outcome.detail << "\n";
        else if (outcome.kind == Outcome::Kind::PortFailed)
            err << outcome.detail << "\n";
        else if (outcome.kind == Outcome::Kind::Timeout)
            out << tag << "timeout\n";
        else
            out << tag << "rejected: " << outcome.detail << "\n";
        out.flush();
        NoteExtraBytes(outcome.exchange, err);
        // The reader of the output went away (SIGPIPE): nobody is told any more.
        if (!out)
            co_return InterruptedExitCode();
        if (outcome.kind != Outcome::Kind::Success)
            result = ExitCodeOf(outcome.kind);
        if (outcome.kind == Outcome::Kind::PortFailed)
            break;
    }
    co_return result;
}

} // namespace

Task<int> RunOnLine(const Options &options, std::ostream &out, std::ostream &err)
{
    const auto preparation = PrepareOperation(options);
    if (!preparation.prepared) {
        err << preparation.refusal << "\n";
        co_return status::Refused;
    }
    // The same operation on every line given, all at the same time.
    std::vector<Task<int>> lines;
    for (const auto &port : options.ports)
        lines.push_back(runLine(options, *preparation.prepared, port, options.ports.size() > 1, out, err));
    lineclient::AllOf<int> all{std::move(lines)}; // named: the lines point at it while they run
    const auto statuses = co_await all;
    int worst = status::Success;
    for (const int s : statuses)
        worst = status::Worse(worst, s);
    co_return worst;
}

} // namespace cli
