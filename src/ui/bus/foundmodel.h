#pragma once

#include "commissioning/plancsv.h"
#include "jobs/changerun.h"
#include "jobs/scanjob.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace bus {

// One meter the sweep found (or a plan named), and the change it is to get.
struct FoundRow {
    jobs::FoundDevice device;
    QString type; // the meter type it is taken for: the first it can be, or the technician's choice
    std::optional<int> newAddress;
    std::optional<int> newBaud;
    std::optional<std::pair<engine::Parity, engine::StopBits>> newFraming;
    QString status; // the change's steps as they happen
    std::optional<jobs::Verdict> verdict;
};

// The table of found meters: what answered where, and the changes the
// technician gives them, each checked as the window's dialogs check it.
class FoundModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Line, Address, Settings, Answer, CanBe, Type, Energy, Response, NewAddress, NewBaud, NewParity, Status, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // A value the catalogue or the address rule refuses is not taken: refused() says why.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    void clear();
    void add(const jobs::FoundDevice &device);
    const std::vector<FoundRow> &rows() const { return m_rows; }

    // The change a row is to get; none when it has none.
    std::optional<jobs::Change> changeOf(int row) const;
    void setStatus(int row, const QString &status);
    // The row's change has ended: the verified steps move the meter.
    void changed(int row, const jobs::RowResult &result);

    // The table as a plan file (CSV): port, address, meter, the new values,
    // what was found, and the last change's outcome and steps.
    std::string planText() const;
    // The rows of a plan, matched to found meters by line and address; a row
    // with no match is added. The first refusal, or empty.
    QString loadPlan(const commissioning::Plan &plan, const QString &defaultPort,
                     const engine::LineSettings &defaultSettings);
    // The found meters as `quorvane-cli scan --json` prints them.
    std::string json() const;

    // "even/1": how a parity and stop-bit pair is written in its cell.
    static QString framingText(engine::Parity parity, engine::StopBits stopBits);

signals:
    void refused(const QString &message);

private:
    static std::optional<jobs::Change> changeOf(const FoundRow &row);
    static QString check(const FoundRow &candidate);

    std::vector<FoundRow> m_rows;
};

} // namespace bus
