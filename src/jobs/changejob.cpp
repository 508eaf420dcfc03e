#include "changejob.h"

namespace jobs {

ChangeJob::ChangeJob(ChangeJobSetup setup, QObject *parent)
    : Job(parent)
    , m_setup(std::move(setup))
{
}

Task<bool> ChangeJob::run()
{
    co_await onEachLine(m_setup.lines.size(), &ChangeJob::runLine);
    co_return true;
}

Task<bool> ChangeJob::runLine(std::size_t index)
{
    const LineSetup &line = m_setup.lines[index];
    const std::string port = line.port;
    std::string reason;
    LineSession *session = co_await open(line, reason);
    std::optional<std::string> stopped; // why the rows left are not run
    if (!session) {
        if (!cancelled())
            emit problem(reason);
        stopped = cancelled() ? "not run: interrupted" : "not run: the port failed";
    } else {
        session->setNotes([this, port](const std::string &text) { emit note(port, text); });
        emit opened(port, session->throughGateway());
    }
    ChangeEvents events;
    events.note = [this, port](const std::string &text) { emit note(port, text); };
    for (const auto &row : m_setup.rows[index]) {
        RowResult result;
        if (!stopped && cancelled())
            stopped = "not run: interrupted";
        if (stopped) {
            result = {Verdict::NotRun, *stopped, {}};
        } else {
            emit rowStarted(port, row.index, row.change);
            // The step signal names the row being run.
            std::size_t rowIndex = row.index;
            events.step = [this, port, rowIndex](const StepResult &r) { emit step(port, rowIndex, r); };
            const ChangeSetup setup{row.settings.value_or(line.settings), m_setup.force, m_setup.history};
            ChangeRun change(*session, setup, events);
            result = co_await change.run(row.change);
            if (result.verdict == Verdict::PortFailed)
                stopped = "not run: the port failed";
            else if (result.verdict == Verdict::Interrupted)
                stopped = "not run: interrupted";
        }
        emit rowDone(port, row.index, result);
    }
    if (session)
        close(session);
    co_return true;
}

} // namespace jobs
