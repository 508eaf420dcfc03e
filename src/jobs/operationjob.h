#pragma once

#include "job.h"
#include "operationrun.h"

#include <optional>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

namespace jobs {

// One catalogue operation, on each line given, as many times as asked.
struct OperationSetup {
    std::vector<LineSetup> lines; // worked at the same time
    std::string meter;
    std::string command;
    PreparedOperation prepared; // accepted values (PrepareOperation)
    int repeat = 1;
    history::HistoryLog *history = nullptr; // each operation's line; none when null
};

// How the operation went on one line.
struct LineRun {
    std::string port;
    LineEnd end = LineEnd::Done;
    int performed = 0; // operations that ended with a judged reply or a time-out
    std::optional<Outcome::Kind> lastFailure;
};

class OperationJob : public Job
{
    Q_OBJECT
public:
    explicit OperationJob(OperationSetup setup, QObject *parent = nullptr);
    const std::vector<LineRun> &lines() const { return m_lines; }

signals:
    // Each operation as it ends, History.log already written.
    void performed(const std::string &port, const jobs::Outcome &outcome);
    void note(const std::string &port, const std::string &text);
    void problem(const std::string &text);

protected:
    Task<bool> run() override;

private:
    Task<LineRun> runLine(std::size_t index);

    OperationSetup m_setup;
    std::vector<LineRun> m_lines;
};

} // namespace jobs
