#include "watchmodel.h"

#include "catalogue/catalogue.h"

#include <QBrush>
#include <QColor>

namespace bus {

int WatchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WatchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const names[ColumnCount] = {"Line", "Address", "Type", "Sent", "Answered", "Time-outs",
                                                   "CRC errors", "Exceptions", "Last (ms)", "Mean (ms)",
                                                   "Largest (ms)", "Energy (kWh)", "When", "State"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(names[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant WatchModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const WatchRow &row = m_rows[std::size_t(index.row())];
    if (role == Qt::ForegroundRole)
        return row.silent ? QBrush(QColor(Qt::red)) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    const auto &t = row.tally;
    const auto ms = [](std::optional<double> v) { return v ? QString::number(*v, 'f', 1) : QString(); };
    switch (index.column()) {
    case Line: return QString::fromStdString(row.port);
    case Address: return int(row.meter.address);
    case Type: return QString::fromStdString(row.meter.meter);
    case Sent: return t.sent();
    case Answered: return t.answered();
    case Timeouts: return t.timeouts();
    case CrcErrors: return t.badCrc();
    case Exceptions: {
        QString text = QString::number(t.exceptionCount());
        for (const auto &[code, count] : t.exceptions())
            text += QStringLiteral(" (%1: %2)").arg(QString::fromStdString(commissioning::ExceptionLabel(code))).arg(count);
        return text;
    }
    case LastMs: return ms(row.lastMs);
    case MeanMs: return ms(t.meanMs());
    case LargestMs: return ms(t.maxMs());
    case Energy: return t.lastEnergy() ? QString::number(*t.lastEnergy(), 'g', 10) : QString();
    case When: return row.lastEnergyAt.isValid() ? row.lastEnergyAt.toString(Qt::ISODate) : QString();
    case State: return t.sent() == 0 ? QStringLiteral("waiting") : row.silent ? QStringLiteral("not answering") : QStringLiteral("answering");
    }
    return {};
}

void WatchModel::setMeters(std::vector<WatchRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

std::string WatchModel::record(int index, const jobs::Outcome &outcome, const QDateTime &at)
{
    WatchRow &row = m_rows[std::size_t(index)];
    const auto command = jobs::PollJob::ReadCommandOf(row.meter.meter);
    const auto codes = catalogue::Find_Code(row.meter.meter, command);
    const auto &x = outcome.exchange;
    const auto judged = commissioning::JudgeReading(x.reply, x.end == serial::ExchangeResult::End::Timeout,
                                                    row.meter.address, codes ? codes->reply : std::string_view());
    const double ms = std::chrono::duration<double, std::milli>(x.ended - x.written).count();
    const bool answered = judged.reading == commissioning::Reading::Answered;
    row.tally.count(judged, ms, answered ? outcome.energyKwh : std::nullopt);
    row.lastMs = answered ? std::optional<double>(ms) : std::nullopt;
    if (answered && outcome.energyKwh)
        row.lastEnergyAt = at;
    row.silent = !answered;
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
    return commissioning::ReadingWord(judged.reading);
}

void WatchModel::lineFailed(const std::string &port)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].port == port) {
            m_rows[i].silent = true;
            emit dataChanged(index(int(i), 0), index(int(i), ColumnCount - 1));
        }
}

} // namespace bus
