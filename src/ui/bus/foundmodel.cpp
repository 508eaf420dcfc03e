#include "foundmodel.h"

#include "catalogue/catalogue.h"
#include "engine/addressrule.h"
#include "jobs/foundtext.h"

#include <charconv>

namespace bus {

namespace {

std::optional<int> numberOf(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString energyOf(const FoundRow &row)
{
    for (const auto &[type, energy] : row.device.types)
        if (QString::fromStdString(type) == row.type)
            return QString::fromStdString(energy);
    return {};
}

QString answerOf(const jobs::FoundDevice &d)
{
    if (d.suspect == jobs::Suspect::Duplicate)
        return QStringLiteral("? two devices suspected");
    if (d.garbled)
        return QStringLiteral("? bytes without a valid frame");
    if (d.answersRead)
        return QStringLiteral("read");
    return QString::fromStdString(d.exception.empty() ? std::string("exception") : d.exception);
}

std::optional<std::pair<engine::Parity, engine::StopBits>> framingOf(const QString &text)
{
    const auto parts = text.trimmed().toLower().split(QLatin1Char('/'));
    if (parts.size() != 2)
        return std::nullopt;
    const auto parity = engine::ParityFromWord(parts[0].toStdString());
    const auto stop = engine::StopBitsFromText(parts[1].toStdString());
    if (!parity || !stop)
        return std::nullopt;
    return std::pair(*parity, *stop);
}

} // namespace

QString FoundModel::framingText(engine::Parity parity, engine::StopBits stopBits)
{
    return QString::fromStdString(std::string(engine::ParityWord(parity)) + "/" + std::string(engine::StopBitsText(stopBits)));
}

int FoundModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FoundModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const names[ColumnCount] = {"Line", "Address", "Settings", "Answer", "Can be", "Type",
                                                   "Energy (kWh)", "Response (ms)", "New address", "New baud",
                                                   "New parity", "Status"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(names[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant FoundModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FoundRow &row = m_rows[std::size_t(index.row())];
    const auto &d = row.device;
    // Sorting by number where the column holds numbers.
    if (role == Qt::UserRole) {
        switch (index.column()) {
        case Address: return int(d.address);
        case Response: return d.responseMs;
        case Energy: return energyOf(row).toDouble();
        default: return data(index, Qt::DisplayRole);
        }
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case Line: return QString::fromStdString(d.port);
    case Address: return int(d.address);
    case Settings:
        return d.throughGateway ? QStringLiteral("through the gateway") : QString::fromStdString(engine::ShortText(d.settings));
    case Answer: return answerOf(d);
    case CanBe: return QString::fromStdString(jobs::FoundTypesText(d));
    case Type: return row.type;
    case Energy: return energyOf(row);
    case Response: return QString::number(d.responseMs, 'f', 1);
    // Text, so that the cell is edited as the address box is, digits typed.
    case NewAddress: return row.newAddress ? QString::number(*row.newAddress) : QString();
    case NewBaud: return row.newBaud ? QString::number(*row.newBaud) : QString();
    case NewParity: return row.newFraming ? framingText(row.newFraming->first, row.newFraming->second) : QString();
    case Status: return row.status;
    }
    return {};
}

Qt::ItemFlags FoundModel::flags(const QModelIndex &index) const
{
    auto f = QAbstractTableModel::flags(index);
    if (index.isValid() && !m_rows[std::size_t(index.row())].device.garbled
        && (index.column() == Type || index.column() == NewAddress || index.column() == NewBaud || index.column() == NewParity))
        f |= Qt::ItemIsEditable;
    return f;
}

bool FoundModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    FoundRow candidate = m_rows[std::size_t(index.row())];
    const QString text = value.toString().trimmed();
    switch (index.column()) {
    case Type:
        if (!catalogue::IsMeterType(text.toStdString())) {
            emit refused(QStringLiteral("not a meter type: ") + text);
            return false;
        }
        candidate.type = text;
        break;
    case NewAddress:
        if (text.isEmpty()) {
            candidate.newAddress.reset();
            break;
        }
        // The address box's own rule and messages.
        switch (engine::CheckAddressText(text.toStdString())) {
        case engine::AddressTextVerdict::IllegalCharacters:
            emit refused(QString::fromLatin1(engine::IllegalCharactersMessage.data(), qsizetype(engine::IllegalCharactersMessage.size())));
            return false;
        case engine::AddressTextVerdict::OutOfRange:
            emit refused(QString::fromLatin1(engine::AddressRangeMessage.data(), qsizetype(engine::AddressRangeMessage.size())));
            return false;
        case engine::AddressTextVerdict::Valid: break;
        }
        candidate.newAddress = text.toInt();
        break;
    case NewBaud:
        if (text.isEmpty()) {
            candidate.newBaud.reset();
            break;
        }
        if (const auto baud = numberOf(text)) {
            candidate.newBaud = *baud;
            break;
        }
        emit refused(QStringLiteral("not a baud rate: ") + text);
        return false;
    case NewParity:
        if (text.isEmpty()) {
            candidate.newFraming.reset();
            break;
        }
        if (const auto framing = framingOf(text)) {
            candidate.newFraming = framing;
            break;
        }
        emit refused(QStringLiteral("parity/stop bits as none/1, even/1, odd/1 or none/2: ") + text);
        return false;
    default: return false;
    }
    if (const QString refusal = check(candidate); !refusal.isEmpty()) {
        emit refused(refusal);
        return false;
    }
    m_rows[std::size_t(index.row())] = candidate;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

QString FoundModel::check(const FoundRow &candidate)
{
    const auto change = changeOf(candidate);
    return change ? QString::fromStdString(jobs::CheckChange(*change)) : QString();
}

void FoundModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FoundModel::add(const jobs::FoundDevice &device)
{
    beginInsertRows({}, rowCount(), rowCount());
    FoundRow row;
    row.device = device;
    if (!device.types.empty())
        row.type = QString::fromStdString(device.types.front().first);
    m_rows.push_back(row);
    endInsertRows();
}

std::optional<jobs::Change> FoundModel::changeOf(int index) const
{
    return changeOf(m_rows[std::size_t(index)]);
}

std::optional<jobs::Change> FoundModel::changeOf(const FoundRow &row)
{
    if (!row.newAddress && !row.newBaud && !row.newFraming)
        return std::nullopt;
    jobs::Change change;
    change.address = row.device.address;
    change.meter = row.type.toStdString();
    if (row.newAddress)
        change.newAddress = static_cast<std::uint8_t>(*row.newAddress);
    change.newBaud = row.newBaud;
    if (row.newFraming) {
        change.newParity = row.newFraming->first;
        change.newStopBits = row.newFraming->second;
    }
    return change;
}

void FoundModel::setStatus(int row, const QString &status)
{
    m_rows[std::size_t(row)].status = status;
    emit dataChanged(index(row, Status), index(row, Status));
}

void FoundModel::changed(int index, const jobs::RowResult &result)
{
    FoundRow &row = m_rows[std::size_t(index)];
    row.verdict = result.verdict;
    row.status = QString::fromStdString(std::string(jobs::VerdictWord(result.verdict)) + ": " + jobs::StepsText(result));
    // The table shows the meter where it now answers.
    for (const auto &step : result.steps) {
        if (step.verdict != jobs::Verdict::Verified)
            continue;
        if (step.command == catalogue::command::ModifyMeterAddress) {
            row.device.address = static_cast<std::uint8_t>(*row.newAddress);
            row.newAddress.reset();
        } else if (step.command == catalogue::command::ModifyBaudRate) {
            row.device.settings.baud = *row.newBaud;
            row.newBaud.reset();
        } else if (step.command == catalogue::command::ModifyParity) {
            row.device.settings.parity = row.newFraming->first;
            row.device.settings.stopBits = row.newFraming->second;
            row.newFraming.reset();
        }
    }
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

std::string FoundModel::planText() const
{
    using commissioning::CsvField;
    std::string text = "port,address,meter,new_address,new_baud,new_parity,new_stop_bits,baud,parity,stop_bits,"
                       "answered,meter_types,outcome,detail\r\n";
    for (const auto &row : m_rows) {
        const auto &d = row.device;
        const auto parity = row.newFraming ? std::string(engine::ParityWord(row.newFraming->first)) : std::string();
        const auto stop = row.newFraming ? std::string(engine::StopBitsText(row.newFraming->second)) : std::string();
        const std::vector<std::string> fields{
            d.port, std::to_string(d.address), row.type.toStdString(),
            row.newAddress ? std::to_string(*row.newAddress) : std::string(),
            row.newBaud ? std::to_string(*row.newBaud) : std::string(), parity, stop,
            d.throughGateway ? std::string() : std::to_string(d.settings.baud),
            d.throughGateway ? std::string() : std::string(engine::ParityWord(d.settings.parity)),
            d.throughGateway ? std::string() : std::string(engine::StopBitsText(d.settings.stopBits)),
            d.garbled ? "garbled" : d.answersRead ? "read" : "exception", jobs::FoundTypesText(d),
            row.verdict ? jobs::VerdictWord(*row.verdict) : "", row.status.toStdString()};
        for (std::size_t i = 0; i < fields.size(); ++i)
            text += (i ? "," : "") + CsvField(fields[i]);
        text += "\r\n";
    }
    return text;
}

QString FoundModel::loadPlan(const commissioning::Plan &plan, const QString &defaultPort,
                             const engine::LineSettings &defaultSettings)
{
    QString problems;
    for (const auto &planRow : plan.rows) {
        const auto where = QStringLiteral("line %1: ").arg(planRow.line);
        const auto address = numberOf(QString::fromStdString(plan.field(planRow, "address")));
        const QString meter = QString::fromStdString(plan.field(planRow, "meter"));
        if (!address || *address < engine::LowestMeterAddress || *address > engine::HighestAddress) {
            problems += where + QStringLiteral("no meter address\n");
            continue;
        }
        QString port = QString::fromStdString(plan.field(planRow, "port"));
        if (port.isEmpty())
            port = defaultPort;
        int row = -1;
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            if (QString::fromStdString(m_rows[i].device.port) == port && m_rows[i].device.address == *address)
                row = int(i);
        if (row < 0) {
            jobs::FoundDevice device;
            device.port = port.toStdString();
            device.address = static_cast<std::uint8_t>(*address);
            device.settings = defaultSettings;
            if (const auto baud = numberOf(QString::fromStdString(plan.field(planRow, "baud"))))
                device.settings.baud = *baud;
            device.answersRead = true;
            add(device);
            row = rowCount() - 1;
        }
        // Each value through its cell, so a plan is refused as typing it would be.
        QString refusal;
        const auto connection = connect(this, &FoundModel::refused, this, [&refusal](const QString &m) { refusal = m; });
        const auto parity = plan.field(planRow, "new_parity");
        const auto stop = plan.field(planRow, "new_stop_bits");
        const std::pair<Column, QString> cells[] = {
            {Type, meter},
            {NewAddress, QString::fromStdString(plan.field(planRow, "new_address"))},
            {NewBaud, QString::fromStdString(plan.field(planRow, "new_baud"))},
            {NewParity, parity.empty() ? QString() : QString::fromStdString(parity + "/" + (stop.empty() ? "1" : stop))}};
        for (const auto &[column, value] : cells)
            if (refusal.isEmpty() && (column != Type || !value.isEmpty()))
                setData(index(row, column), value);
        disconnect(connection);
        if (!refusal.isEmpty())
            problems += where + refusal + QLatin1Char('\n');
    }
    return problems.trimmed();
}

std::string FoundModel::json() const
{
    std::string json = "[";
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        json += (i ? ",\n " : "") + jobs::FoundJson(m_rows[i].device, true);
    return json + "]\n";
}

} // namespace bus
