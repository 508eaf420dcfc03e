#include "commands.h"
#include "exitstatus.h"
#include "jobsupport.h"
#include "output.h"

#include "jobs/operationjob.h"

#include "catalogue/catalogue.h"
#include "codec/hexcode.h"
#include "history/historylog.h"

#include <cstdio>
#include <map>

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

} // namespace

Task<int> RunOnLine(const Options &options, std::ostream &out, std::ostream &err)
{
    const auto preparation = commissioning::PrepareOperation(options);
    if (!preparation.prepared) {
        err << preparation.refusal << "\n";
        co_return status::Refused;
    }
    // A poll of many reads would flood the log the window deletes past 2 MB:
    // its reads are logged only when asked. A write always is.
    auto history = WindowHistoryLog();
    const bool isWrite = catalogue::GetFrameKind(options.meter, options.command) != catalogue::FrameKindRead;
    const bool logThis = !options.noHistory && (options.repeat == 1 || options.history || isWrite);
    // The same operation on every line given, all at the same time.
    jobs::OperationSetup setup{{}, options.meter, options.command, *preparation.prepared, options.repeat,
                               logThis ? &history : nullptr};
    for (const auto &port : options.ports)
        setup.lines.push_back(LineFor(options, port));
    jobs::OperationJob job(setup);
    std::map<std::string, Tracer> tracers;
    bool readerGone = false;
    QObject::connect(&job, &jobs::OperationJob::performed, &job, [&](const std::string &port, const Outcome &outcome) {
        const std::string tag = TagOf(options, port);
        if (options.json)
            out << jsonOf(options, tag.empty() ? std::string() : port, outcome) << "\n";
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
        if (!out) {
            readerGone = true;
            job.cancel();
        }
    });
    QObject::connect(&job, &jobs::Job::exchanged, &job,
                     [&](const std::string &port, std::span<const std::uint8_t> request, const serial::ExchangeResult &x) {
                         if (options.trace)
                             tracers.try_emplace(port, out, TagOf(options, port)).first->second.exchange(request, x);
                     });
    QObject::connect(&job, &jobs::OperationJob::note, &job,
                     [&](const std::string &port, const std::string &text) { err << TagOf(options, port) << text << "\n"; });
    QObject::connect(&job, &jobs::OperationJob::problem, &job, [&](const std::string &text) { err << text << "\n"; });
    CancelOnInterruption(job);
    job.start();
    co_await jobs::JobDone{job};
    int worst = status::Success;
    for (const auto &line : job.lines()) {
        int result = line.lastFailure ? ExitCodeOf(*line.lastFailure) : status::Success;
        if (line.end == jobs::LineEnd::PortFailed && !line.lastFailure)
            result = status::PortFailed;
        if (line.end == jobs::LineEnd::Stopped) {
            if (!readerGone)
                err << TagOf(options, line.port) << "interrupted after " << line.performed << " of " << options.repeat
                    << " operations\n";
            result = InterruptedExitCode();
        }
        worst = status::Worse(worst, result);
    }
    co_return worst;
}

} // namespace cli
