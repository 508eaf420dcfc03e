#include "commands.h"
#include "exitstatus.h"
#include "jobsupport.h"
#include "output.h"

#include "jobs/changejob.h"
#include "history/historylog.h"

#include <map>

namespace cli {

Task<int> RunSet(const Options &options, std::ostream &out, std::ostream &err)
{
    if (options.plan)
        co_return co_await RunPlan(options, out, err);
    auto history = WindowHistoryLog();
    const jobs::Change change{options.address, options.meter, options.newAddress, options.newBaud, options.newParity,
                              options.newStopBits};
    jobs::ChangeJob job({{options.line}, {{{0, change, {}}}}, options.force, options.noHistory ? nullptr : &history});
    Tracer tracer(out);
    std::optional<Verdict> verdict;
    QObject::connect(&job, &jobs::ChangeJob::opened, &job, [&](const std::string &, bool throughGateway) {
        if (throughGateway && (options.newBaud || options.newParity))
            err << "note: through a gateway the tool's own side cannot follow a new baud rate or parity; the write is "
                   "sent, and verified only by the meter still answering through the gateway\n";
    });
    QObject::connect(&job, &jobs::ChangeJob::step, &job, [&](const std::string &, std::size_t, const jobs::StepResult &r) {
        PrintStep(out, err, options.json, {}, options.meter, r);
    });
    QObject::connect(&job, &jobs::Job::exchanged, &job,
                     [&](const std::string &, std::span<const std::uint8_t> request, const serial::ExchangeResult &result) {
                         if (options.trace)
                             tracer.exchange(request, result);
                     });
    QObject::connect(&job, &jobs::ChangeJob::note, &job, [&](const std::string &, const std::string &text) { err << text << "\n"; });
    QObject::connect(&job, &jobs::ChangeJob::problem, &job, [&](const std::string &text) { err << text << "\n"; });
    QObject::connect(&job, &jobs::ChangeJob::rowDone, &job,
                     [&](const std::string &, std::size_t, const jobs::RowResult &row) { verdict = row.verdict; });
    CancelOnInterruption(job);
    job.start();
    co_await jobs::JobDone{job};
    if (!verdict || *verdict == Verdict::NotRun)
        co_return status::PortFailed;
    co_return ExitCodeOf(*verdict);
}

} // namespace cli
