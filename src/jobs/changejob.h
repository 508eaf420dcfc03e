#pragma once

#include "changerun.h"
#include "job.h"

#include <optional>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

namespace jobs {

// One meter's change, numbered as the technician knows it (a plan's row).
struct ChangeRow {
    std::size_t index = 0;
    Change change;
    std::optional<engine::LineSettings> settings; // where the meter answers, when not at the line's
};

// Changes on each line given, the rows of a line one after another.
struct ChangeJobSetup {
    std::vector<LineSetup> lines;           // worked at the same time
    std::vector<std::vector<ChangeRow>> rows; // per line, in order
    bool force = false;
    history::HistoryLog *history = nullptr; // each write's line; none when null
};

// Change-and-verify, row by row: every step reported as it ends, every row
// given its result, whatever ends the run (the rows left: not run, and why).
class ChangeJob : public Job
{
    Q_OBJECT
public:
    explicit ChangeJob(ChangeJobSetup setup, QObject *parent = nullptr);

signals:
    void opened(const std::string &port, bool throughGateway);
    void rowStarted(const std::string &port, std::size_t index, const jobs::Change &change);
    void step(const std::string &port, std::size_t index, const jobs::StepResult &result);
    void rowDone(const std::string &port, std::size_t index, const jobs::RowResult &result);
    void note(const std::string &port, const std::string &text);
    void problem(const std::string &text);

protected:
    Task<bool> run() override;

private:
    Task<bool> runLine(std::size_t index);

    ChangeJobSetup m_setup;
};

} // namespace jobs
