#pragma once

#include <QList>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

// Two pseudo-terminals joined by socat, reached through links in a fresh
// temporary folder: what is written to one end arrives at the other.
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both links exist. False with failure() set
    // when socat cannot run or the links do not appear in time.
    bool start(const QString &nearName = QStringLiteral("tool"),
               const QString &farName = QStringLiteral("peer"));
    // Ends socat: both terminals close and their links go away.
    void stop();
    bool isRunning() const { return m_socat.state() != QProcess::NotRunning; }

    QString nearPath() const { return m_nearPath; }
    QString farPath() const { return m_farPath; }
    QString folder() const { return m_dir.path(); }
    QString failure() const { return m_failure; }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
    QString m_nearPath;
    QString m_farPath;
    QString m_failure;
};

// What the meter on the far end holds when it starts, and how it answers.
struct PeerMeter {
    int slaveId = 1;
    float energy = 0.0f;         // input registers 0x0156-0x0157, single
    quint32 scaledEnergy = 0;    // holding registers 0x011E-0x011F, scaled integer
    float importEnergy = 0.0f;   // input registers 0x0048-0x0049
    float exportEnergy = 0.0f;   // input registers 0x004A-0x004B
    QList<quint16> without;      // input registers this meter lacks: reading them is an exception
    int replyDelayMs = 0;        // every reply held this long
    int transactionOffset = 0;   // Modbus TCP: replies carry the request's id plus this
};

// How the tool reaches the slave.
enum class PeerLink {
    Pty,        // a pseudo-terminal pair: RTU, as on a serial line
    RtuOverTcp, // a gateway on loopback that passes the RTU frames as they are
    ModbusTcp,  // a gateway on loopback that speaks Modbus TCP
};

// An independent Modbus slave (pymodbus) standing in for a meter: on the far
// end of a serial line, or behind a TCP gateway on loopback. The tool opens
// toolPort() (at 9600 8N1 on the serial line). Every process ends with the
// fixture.
class PeerFixture
{
public:
    PeerFixture() = default;
    ~PeerFixture();
    PeerFixture(const PeerFixture &) = delete;
    PeerFixture &operator=(const PeerFixture &) = delete;

    // Starts the line and the slave and waits until the slave serves.
    // False with failure() set otherwise; nothing is left running then.
    bool start(const PeerMeter &meter = {}, PeerLink link = PeerLink::Pty);
    bool start(int slaveId, float energy = 0.0f, quint32 scaledEnergy = 0);
    // The slave started again on the same link, behind a gateway on the same
    // port, holding and answering as `meter` says.
    bool restart(const PeerMeter &meter);
    void stop();
    // Ends the slave at once, without a word: a gateway that dies.
    void kill();

    // The pseudo-terminal's path, or the gateway's address ("modbus-tcp://127.0.0.1:PORT").
    QString toolPort() const;
    QString failure() const { return m_failure; }

    // The values the slave holds now (after the requests answered so far);
    // nullopt when a register in the range does not exist.
    std::optional<QList<quint16>> holding(quint16 first, int count) const;
    std::optional<QList<quint16>> input(quint16 first, int count) const;

    // The slave has carried out a request since it got ready (its answer may still be held back).
    bool requestSeen() const;

    // Pulls the line away under the tool, as an unplugged adapter would.
    void cutLine() { m_line.stop(); }

private:
    std::optional<QList<quint16>> registers(const char *table, quint16 first, int count) const;

    bool startSlave();

    PtyPair m_line;
    QTemporaryDir m_dir;
    QProcess m_peer;
    PeerMeter m_meter;
    PeerLink m_link = PeerLink::Pty;
    quint16 m_tcpPort = 0; // 0 until a gateway has served
    QString m_statePath;
    QDateTime m_readyState; // when the state file was written at start
    QString m_failure;
};
