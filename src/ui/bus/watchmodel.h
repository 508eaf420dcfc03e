#pragma once

#include "commissioning/polltally.h"
#include "jobs/operationrun.h"
#include "jobs/polljob.h"

#include <QAbstractTableModel>
#include <QDateTime>

#include <vector>

namespace bus {

// One watched meter: where it is, and its readings counted.
struct WatchRow {
    std::string port;
    jobs::PolledMeter meter;
    commissioning::MeterTally tally;
    std::optional<double> lastMs;
    QDateTime lastEnergyAt;
    bool silent = false; // its last reading was not answered
};

// The meters being watched, with their counters; a meter whose last reading
// failed is marked at once.
class WatchModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Line, Address, Type, Sent, Answered, Timeouts, CrcErrors, Exceptions, LastMs, MeanMs, LargestMs,
                  Energy, When, State, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setMeters(std::vector<WatchRow> rows);
    const std::vector<WatchRow> &rows() const { return m_rows; }
    // A reading of row `row`, judged as the poll judges it; its word ("answered", "timeout", ...).
    std::string record(int row, const jobs::Outcome &outcome, const QDateTime &at);
    // Every meter of a line that failed is marked.
    void lineFailed(const std::string &port);

private:
    std::vector<WatchRow> m_rows;
};

} // namespace bus
