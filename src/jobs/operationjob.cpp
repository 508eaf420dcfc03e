#include "operationjob.h"

namespace jobs {

OperationJob::OperationJob(OperationSetup setup, QObject *parent)
    : Job(parent)
    , m_setup(std::move(setup))
{
}

Task<bool> OperationJob::run()
{
    m_lines = co_await onEachLine(m_setup.lines.size(), &OperationJob::runLine);
    co_return true;
}

Task<LineRun> OperationJob::runLine(std::size_t index)
{
    const LineSetup &line = m_setup.lines[index];
    LineRun run;
    run.port = line.port;
    std::string reason;
    LineSession *session = co_await open(line, reason);
    if (!session) {
        run.end = cancelled() ? LineEnd::Stopped : LineEnd::PortFailed;
        if (!cancelled())
            emit problem(reason);
        co_return run;
    }
    const auto port = line.port;
    session->setNotes([this, port](const std::string &text) { emit note(port, text); });
    const auto noted = [this, port](const std::string &text) { emit note(port, text); };
    for (int i = 0; i < m_setup.repeat; ++i) {
        const auto outcome = co_await Perform(*session, m_setup.meter, m_setup.command, m_setup.prepared, session->timeout());
        if (outcome.kind == Outcome::Kind::Interrupted) {
            run.end = LineEnd::Stopped;
            break;
        }
        ++run.performed;
        if (m_setup.history)
            AppendHistory(*m_setup.history, m_setup.meter, m_setup.command, outcome, noted);
        emit performed(port, outcome);
        if (outcome.kind != Outcome::Kind::Success)
            run.lastFailure = outcome.kind;
        if (outcome.kind == Outcome::Kind::PortFailed) {
            run.end = LineEnd::PortFailed;
            break;
        }
        if (cancelled()) {
            run.end = LineEnd::Stopped;
            break;
        }
    }
    close(session);
    co_return run;
}

} // namespace jobs
