#include "serial/portdiscovery.h"

#include "serial/serialline.h"

#include <QElapsedTimer>
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

// Two paths naming one device, through links or not.
QString deviceIdentity(const QString &device)
{
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

QList<PortEntry> windowsCandidates()
{
    QList<PortEntry> candidates;
    for (int n = HighestWindowsPort; n >= 1; --n) {
        const QString name = QStringLiteral("COM%1").arg(n);
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

PortScan probeCandidates(SerialLine &line, const QList<PortEntry> &candidates, int preferred,
                         std::chrono::milliseconds budget)
{
    PortScan scan;
    bool preferredFound = false;
    line.close();
    QElapsedTimer clock;
    clock.start();
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (clock.elapsed() >= budget.count())
            break;
        line.setPortName(candidates.at(i).device);
        if (line.open() == PortError::None) {
            scan.ports.append(candidates.at(i));
            preferredFound = preferredFound || i < preferred;
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

PortScan scanWindowsPorts(SerialLine &line, std::chrono::milliseconds budget)
{
    return probeCandidates(line, windowsCandidates(), 0, budget);
}

PortScan scanDevicePorts(SerialLine &line, const QStringList &givenPaths,
                         std::chrono::milliseconds budget)
{
    // A path given twice counts once, so that `preferred` covers exactly the given ports.
    const QList<PortEntry> given = mergeCandidates(givenCandidates(givenPaths), {});
    return probeCandidates(line, mergeCandidates(given, systemCandidates()),
                           static_cast<int>(given.size()), budget);
}

PortScan scanPorts(SerialLine &line, const QStringList &givenPaths, std::chrono::milliseconds budget)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(givenPaths);
    return scanWindowsPorts(line, budget);
#else
    return scanDevicePorts(line, givenPaths, budget);
#endif
}

} // namespace serial
