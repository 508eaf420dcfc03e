#include "commands.h"
#include "exitstatus.h"
#include "jobsupport.h"
#include "output.h"

#include "jobs/foundtext.h"
#include "jobs/scanjob.h"

#include "engine/replyend.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

using jobs::FoundDevice;

// The progress line on a terminal, cleared before anything else is printed
// so that no line lands inside it.
class Progress
{
public:
    Progress(std::ostream &err, bool wanted)
        : m_err(err)
        , m_on(wanted && ::isatty(STDERR_FILENO) == 1)
    {
    }
    ~Progress() { clear(); }
    void show(const std::string &text)
    {
        if (!m_on)
            return;
        m_err << "\r" << text << "   " << std::flush;
        m_shown = true;
    }
    void clear()
    {
        if (m_shown)
            m_err << "\r" << std::string(100, ' ') << "\r" << std::flush;
        m_shown = false;
    }

private:
    std::ostream &m_err;
    bool m_on;
    bool m_shown = false;
};


} // namespace

Task<int> RunScan(const Options &options, std::ostream &out, std::ostream &err)
{
    // Several lines are swept at the same time, each with its own queue.
    const bool tagged = options.ports.size() > 1;
    jobs::ScanSetup setup;
    for (const auto &port : options.ports)
        setup.lines.push_back(LineFor(options, port));
    setup.sweep = options.sweep;
    setup.addresses = options.addresses;
    setup.first = options.first;
    setup.settle = std::chrono::milliseconds(options.line.settleMs.value_or(0));
    jobs::ScanJob job(setup);
    Progress progress(err, !tagged);
    QObject::connect(&job, &jobs::ScanJob::progress, &job, [&](const jobs::ScanProgress &p) {
        char text[200];
        std::snprintf(text, sizeof text, "%s, %zu of %zu probes, %zu found, about %.0f s left", p.where.c_str(), p.done,
                      p.total, p.found, p.secondsLeft);
        progress.show(text);
    });
    QObject::connect(&job, &jobs::ScanJob::found, &job, [&](const FoundDevice &f) {
        if (options.json)
            return;
        progress.clear();
        out << jobs::FoundLine(f, TagOf(options, f.port)) << "\n" << std::flush;
    });
    QObject::connect(&job, &jobs::ScanJob::note, &job, [&](const std::string &port, const std::string &text) {
        progress.clear();
        err << TagOf(options, port) << text << "\n";
    });
    QObject::connect(&job, &jobs::ScanJob::problem, &job, [&](const std::string &text) {
        progress.clear();
        err << text << "\n";
    });
    CancelOnInterruption(job);
    job.start();
    co_await jobs::JobDone{job};
    progress.clear();
    const auto &lines = job.lines();
    // What was found is printed whatever ended a sweep.
    int worst = status::Success;
    bool meters = false;
    std::size_t done = 0, total = 0, found = 0;
    if (options.json)
        out << "[";
    for (const auto &line : lines) {
        for (const auto &f : line.found)
            if (options.json)
                out << (found++ ? ",\n " : "") << jobs::FoundJson(f, tagged);
        meters = meters || line.meters;
        done += line.done;
        total += line.total;
        // A port failure outranks the rest; an interruption is said once, for all.
        const int result = line.end == jobs::LineEnd::PortFailed ? status::PortFailed
                           : line.end == jobs::LineEnd::Stopped  ? InterruptedExitCode()
                                                                 : status::Success;
        worst = status::Worse(worst, result);
    }
    if (options.json)
        out << "]\n";
    const bool anything = std::any_of(lines.begin(), lines.end(), [](const jobs::LineScan &l) { return !l.found.empty(); });
    if (!anything && !options.json && worst == status::Success)
        out << "no meter answered\n";
    out.flush();
    if (worst != status::Success && worst != status::PortFailed)
        err << "interrupted after " << done << " of " << total << " probes\n";
    if (worst != status::Success)
        co_return worst;
    if (!out)
        co_return InterruptedExitCode();
    co_return meters ? status::Success : status::NoReply;
}

} // namespace cli
