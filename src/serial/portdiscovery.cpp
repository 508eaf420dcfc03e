#include "serial/portdiscovery.h"

#include "serial/serialline.h"
#include "serial/tcpline.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace serial {

namespace {

constexpr int HighestWindowsPort = 50;

// "ttyUSB12" -> ("ttyUSB", 12); a name without trailing digits has number -1.
std::pair<QString, qlonglong> nameAndNumber(const QString &name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    if (digits == name.size())
        return {name, -1};
    return {name.left(digits), name.mid(digits).toLongLong()};
}

// Natural order, so that ttyUSB10 ranks above ttyUSB9.
bool ranksHigher(const PortEntry &a, const PortEntry &b)
{
    const auto [prefixA, numberA] = nameAndNumber(a.display);
    const auto [prefixB, numberB] = nameAndNumber(b.display);
    if (prefixA != prefixB)
        return prefixA > prefixB;
    return numberA > numberB;
}

// Two paths naming one device, through links or not. A gateway address is
// no path: a folder "rtu-tcp:" beside the program must not stand in for it.
QString deviceIdentity(const QString &device)
{
    if (isGatewayName(device))
        return device;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

} // namespace

QStringList portArguments(const QStringList &arguments)
{
    static const QString option = QStringLiteral("--port");
    static const QString optionWithValue = QStringLiteral("--port=");
    QStringList paths;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString path;
        if (argument == option && i + 1 < arguments.size())
            path = arguments.at(++i);
        else if (argument.startsWith(optionWithValue))
            path = argument.mid(optionWithValue.size());
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

QList<PortEntry> windowsCandidates(const QStringList &presentNames)
{
    QList<PortEntry> candidates;
    for (int n = HighestWindowsPort; n >= 1; --n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (presentNames.contains(name, Qt::CaseInsensitive))
            candidates.append({name, name});
    }
    return candidates;
}

QList<PortEntry> systemCandidates()
{
    QList<PortEntry> candidates;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        candidates.append({port.portName(), port.systemLocation()});
    return highestFirst(candidates);
}

QList<PortEntry> highestFirst(QList<PortEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), ranksHigher);
    return entries;
}

QList<PortEntry> givenCandidates(const QStringList &paths)
{
    QList<PortEntry> candidates;
    for (const QString &path : paths) {
        if (isGatewayName(path)) {
            candidates.append({path, path});
            continue;
        }
        const QString fileName = QFileInfo(path).fileName();
        candidates.append({fileName.isEmpty() ? path : fileName, path});
    }
    return candidates;
}

QList<PortEntry> mergeCandidates(const QList<PortEntry> &given, const QList<PortEntry> &system)
{
    QList<PortEntry> merged;
    QStringList identities;
    for (const QList<PortEntry> *part : {&given, &system}) {
        for (const PortEntry &entry : *part) {
            const QString identity = deviceIdentity(entry.device);
            if (identities.contains(identity))
                continue;
            identities.append(identity);
            merged.append(entry);
        }
    }
    return merged;
}

PortScan probeCandidates(SerialLine &line, const QList<PortEntry> &candidates, int preferred)
{
    PortScan scan;
    bool preferredFound = false;
    line.close();
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        line.setPortName(candidates.at(i).device);
        if (const PortError error = line.open(); error == PortError::None) {
            scan.ports.append(candidates.at(i));
            preferredFound = preferredFound || i < preferred;
        } else {
            scan.refused.append({candidates.at(i), error});
        }
        // A probe never leaves the port open, whatever open reported.
        line.close();
    }
    if (!scan.ports.isEmpty()) {
        scan.current = preferredFound ? 0 : static_cast<int>(scan.ports.size() - 1);
        line.setPortName(scan.ports.at(scan.current).device);
    }
    return scan;
}

PortScan scanWindowsPorts(SerialLine &line, const QStringList &presentNames)
{
    return probeCandidates(line, windowsCandidates(presentNames), 0);
}

PortScan scanDevicePorts(SerialLine &line, const QStringList &givenPaths)
{
    // A path given twice counts once, so that `preferred` covers exactly the given ports.
    const QList<PortEntry> given = mergeCandidates(givenCandidates(givenPaths), {});
    return probeCandidates(line, mergeCandidates(given, systemCandidates()), static_cast<int>(given.size()));
}

PortScan scanPorts(SerialLine &line, const QStringList &givenPaths)
{
#if defined(Q_OS_WIN)
    // Device paths mean nothing there; gateways given at launch come first.
    QStringList gateways;
    for (const QString &path : givenPaths)
        if (isGatewayName(path))
            gateways.append(path);
    const QList<PortEntry> given = mergeCandidates(givenCandidates(gateways), {});
    QStringList present;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        present.append(port.portName());
    return probeCandidates(line, given + windowsCandidates(present), static_cast<int>(given.size()));
#else
    return scanDevicePorts(line, givenPaths);
#endif
}

QString portErrorText(PortError error)
{
    switch (error) {
    case PortError::None: return QStringLiteral("no error");
    case PortError::NotFound: return QStringLiteral("no such device");
    case PortError::Busy: return QStringLiteral("in use by another program, or access denied");
    case PortError::NotOpen: return QStringLiteral("the port is not open");
    case PortError::Unsupported: return QStringLiteral("settings the port cannot take");
    case PortError::Io: return QStringLiteral("input/output error");
    case PortError::Unreachable: return QStringLiteral("no gateway answers at that address");
    }
    return QStringLiteral("unknown error");
}

} // namespace serial
