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

bool PeerFixture::start(const PeerMeter &meter, PeerLink link)
{
    stop();
    m_meter = meter;
    m_link = link;
    m_tcpPort = 0;
    return startSlave();
}

bool PeerFixture::restart(const PeerMeter &meter)
{
    stop();
    m_meter = meter;
    return startSlave();
}

bool PeerFixture::startSlave()
{
    m_failure.clear();
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    m_statePath = m_dir.filePath(QStringLiteral("state.json"));
    QStringList where;
    if (m_link == PeerLink::Pty) {
        if (!m_line.start()) {
            m_failure = m_line.failure();
            return false;
        }
        where << QStringLiteral("--port") << m_line.farPath();
    } else {
        where << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:%1").arg(m_tcpPort)
              << QStringLiteral("--framer")
              << (m_link == PeerLink::ModbusTcp ? QStringLiteral("socket") : QStringLiteral("rtu"));
    }
    const auto single = [](float value) { return QString::number(value, 'g', 9); };
    m_peer.setProcessChannelMode(QProcess::SeparateChannels);
    m_peer.setReadChannel(QProcess::StandardOutput);
    QStringList arguments = QStringList{QStringLiteral(QUORVANE_PEER_SCRIPT)} + where
                            + QStringList{QStringLiteral("--state"), m_statePath,
                                          QStringLiteral("--slave"), QString::number(m_meter.slaveId),
                                          QStringLiteral("--energy"), single(m_meter.energy),
                                          QStringLiteral("--scaled"), QString::number(m_meter.scaledEnergy),
                                          QStringLiteral("--import-energy"), single(m_meter.importEnergy),
                                          QStringLiteral("--export-energy"), single(m_meter.exportEnergy),
                                          QStringLiteral("--delay-ms"), QString::number(m_meter.replyDelayMs),
                                          QStringLiteral("--tid-offset"), QString::number(m_meter.transactionOffset)};
    for (const quint16 missing : m_meter.without)
        arguments << QStringLiteral("--without") << QString::number(missing);
    m_peer.start(QStringLiteral(QUORVANE_PYTHON), arguments);
    // The slave says "ready" once its server runs, on TCP with the port it took.
    const QDeadlineTimer deadline(StartMs);
    for (;;) {
        while (m_peer.canReadLine()) {
            const QList<QByteArray> words = m_peer.readLine().trimmed().split(' ');
            if (words.value(0) != "ready")
                continue;
            if (m_link != PeerLink::Pty)
                m_tcpPort = words.value(1).toUShort();
            m_readyState = QFileInfo(m_statePath).lastModified();
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

void PeerFixture::kill()
{
    m_peer.kill();
    m_peer.waitForFinished(StopMs);
    m_line.stop();
}

QString PeerFixture::toolPort() const
{
    switch (m_link) {
    case PeerLink::RtuOverTcp: return QStringLiteral("rtu-tcp://127.0.0.1:%1").arg(m_tcpPort);
    case PeerLink::ModbusTcp: return QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(m_tcpPort);
    case PeerLink::Pty: break;
    }
    return m_line.nearPath();
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

bool PeerFixture::requestSeen() const
{
    // The slave writes its state file after each request it carries out, before it answers.
    return QFileInfo(m_statePath).lastModified() > m_readyState;
}
