#include "peerfixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int StartMs = 10000; // a cold python start on a busy machine is slow
constexpr int StopMs = 3000;

// Asks first, so that socat removes its links (a stale link could later lead
// to another program's terminal under the same number); then insists.
void endProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (process.waitForFinished(StopMs))
        return;
    process.kill();
    process.waitForFinished(StopMs);
}

} // namespace

PtyPair::~PtyPair()
{
    stop();
}

bool PtyPair::start(const QString &nearName, const QString &farName)
{
    stop();
    m_failure.clear();
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    m_nearPath = m_dir.filePath(nearName);
    m_farPath = m_dir.filePath(farName);
    QFile::remove(m_nearPath); // left by an earlier start that had to be killed
    QFile::remove(m_farPath);
    m_socat.setProcessChannelMode(QProcess::SeparateChannels);
    m_socat.setReadChannel(QProcess::StandardError);
    m_socat.start(QStringLiteral("socat"),
                  {QStringLiteral("-d"), QStringLiteral("-d"),
                   QStringLiteral("pty,raw,echo=0,link=") + m_nearPath,
                   QStringLiteral("pty,raw,echo=0,link=") + m_farPath});
    if (!m_socat.waitForStarted(StartMs)) {
        m_failure = QStringLiteral("socat does not start: ") + m_socat.errorString();
        return false;
    }
    // The links appear a few milliseconds after start, as socat reports on stderr.
    const QDeadlineTimer deadline(StartMs);
    while (!(QFileInfo::exists(m_nearPath) && QFileInfo::exists(m_farPath))) {
        if (deadline.hasExpired() || m_socat.state() == QProcess::NotRunning) {
            m_failure = QStringLiteral("socat made no links: ")
                + QString::fromLocal8Bit(m_socat.readAllStandardError());
            stop();
            return false;
        }
        m_socat.waitForReadyRead(20);
        m_socat.readAllStandardError();
    }
    return true;
}

void PtyPair::stop()
{
    endProcess(m_socat);
}

PeerFixture::~PeerFixture()
{
    stop();
}

bool PeerFixture::start(int slaveId, float energy, quint32 scaledEnergy)
{
    PeerMeter meter;
    meter.slaveId = slaveId;
    meter.energy = energy;
    meter.scaledEnergy = scaledEnergy;
    return start(meter);
}

bool PeerFixture::start(const PeerMeter &meter)
{
    stop();
    m_failure.clear();
    if (!m_line.start()) {
        m_failure = m_line.failure();
        return false;
    }
    m_statePath = m_line.folder() + QStringLiteral("/state.json");
    const auto single = [](float value) { return QString::number(value, 'g', 9); };
    m_peer.setProcessChannelMode(QProcess::SeparateChannels);
    m_peer.setReadChannel(QProcess::StandardOutput);
    QStringList arguments{QStringLiteral(QUORVANE_PEER_SCRIPT),
                          QStringLiteral("--port"), m_line.farPath(),
                          QStringLiteral("--state"), m_statePath,
                          QStringLiteral("--slave"), QString::number(meter.slaveId),
                          QStringLiteral("--energy"), single(meter.energy),
                          QStringLiteral("--scaled"), QString::number(meter.scaledEnergy),
                          QStringLiteral("--import-energy"), single(meter.importEnergy),
                          QStringLiteral("--export-energy"), single(meter.exportEnergy)};
    for (const quint16 missing : meter.without)
        arguments << QStringLiteral("--without") << QString::number(missing);
    m_peer.start(QStringLiteral(QUORVANE_PYTHON), arguments);
    // The slave says "ready" once its server runs on the line.
    const QDeadlineTimer deadline(StartMs);
    for (;;) {
        while (m_peer.canReadLine()) {
            if (m_peer.readLine().trimmed() == "ready")
                return true;
        }
        if (m_peer.state() == QProcess::NotRunning || deadline.hasExpired())
            break;
        m_peer.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_failure = QStringLiteral("the Modbus peer did not get ready: ")
        + QString::fromLocal8Bit(m_peer.readAllStandardError()) + m_peer.errorString();
    stop();
    return false;
}

void PeerFixture::stop()
{
    endProcess(m_peer);
    m_line.stop();
}

std::optional<QList<quint16>> PeerFixture::holding(quint16 first, int count) const
{
    return registers("holding", first, count);
}

std::optional<QList<quint16>> PeerFixture::input(quint16 first, int count) const
{
    return registers("input", first, count);
}

std::optional<QList<quint16>> PeerFixture::registers(const char *table, quint16 first, int count) const
{
    QFile file(m_statePath);
    if (count < 0 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject values = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String(table)).toObject();
    QList<quint16> result;
    for (int address = first; address < first + count; ++address) {
        const QJsonValue value = values.value(QString::number(address));
        if (!value.isDouble())
            return std::nullopt;
        result.append(static_cast<quint16>(value.toInt()));
    }
    return result;
}
