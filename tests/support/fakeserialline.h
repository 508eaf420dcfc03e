#pragma once

#include "serial/serialline.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace serial {
// Names the error in test failure messages (found by QCOMPARE through ADL).
char *toString(PortError error);
} // namespace serial
Q_DECLARE_METATYPE(serial::PortError)

// A serial line for tests: ports that open or not by name, every written
// frame recorded, replies delivered when the test says so.
class FakeSerialLine : public serial::SerialLine
{
    Q_OBJECT
public:
    using SerialLine::SerialLine;

    // --- Which ports exist. A name in neither list is missing (NotFound).
    void setOpenablePorts(const QStringList &names) { m_openable = names; }
    void setBusyPorts(const QStringList &names) { m_busy = names; } // open -> Busy
    // Opening these takes millis of real time, as a slow driver would.
    void setSlowPorts(const QStringList &names, int millis)
    {
        m_slow = names;
        m_slowMillis = millis;
    }

    // --- Settings the port refuses (Unsupported, previous settings kept),
    // named by their text ("9600,N,8,1.5").
    void refuseSettings(const QString &settingsText) { m_refusedTexts.insert(settingsText); }
    void refuseSettingsWhen(std::function<bool(const QString &)> refuses) { m_refuses = std::move(refuses); }

    // --- Writing: by default every write while open succeeds and is recorded.
    // failWrites(NotOpen or Io) makes each later write fail with that error
    // (nothing recorded); failWrites(None) lets them succeed again.
    void failWrites(serial::PortError error) { m_writeFailure = error; }
    // The device goes away: the port is closed at once and lost() follows on
    // the next turn of the event loop; the name no longer opens.
    void vanish();

    // --- Input.
    // Appends to the input and emits received() at once, open or not.
    void deliver(const QByteArray &chunk);
    // After the next successful write, each chunk is delivered on its own later
    // turn of the event loop, one after the other; chunks due after the port
    // was closed are dropped, as a closed port receives nothing.
    void scriptReply(const QList<QByteArray> &chunks) { m_script = chunks; }
    bool replyPending() const { return !m_script.isEmpty() || m_deliveriesQueued > 0; }

    // --- What the code under test did.
    QList<QByteArray> written() const { return m_written; }
    QString settingsText() const { return m_settingsText; }  // last accepted
    QStringList settingsHistory() const { return m_settingsHistory; } // every accepted text
    serial::Handshake handshaking() const { return m_handshaking; }
    int inputBufferSize() const { return m_inputBufferSize; }
    int outputBufferSize() const { return m_outputBufferSize; }
    int openCalls() const { return m_openCalls; }
    int closeCalls() const { return m_closeCalls; }
    QStringList openedPorts() const { return m_opened; } // names that opened, in order

    // --- serial::SerialLine
    // Ignored while open, as on the real port.
    void setPortName(const QString &name) override
    {
        if (!m_open)
            m_name = name;
    }
    QString portName() const override { return m_name; }
    serial::PortError open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    serial::PortError applySettings(const engine::LineSettings &settings) override;
    serial::PortError setHandshaking(serial::Handshake handshake) override;
    void configureBuffers(int inputBufferSize, int outputBufferSize) override;
    serial::PortError write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void discardInput() override;
    int discards() const { return m_discards; }

private:
    void deliverInTurn(QList<QByteArray> chunks);

    QStringList m_openable;
    QStringList m_busy;
    QStringList m_slow;
    int m_slowMillis = 0;
    QSet<QString> m_refusedTexts;
    std::function<bool(const QString &)> m_refuses;
    serial::PortError m_writeFailure = serial::PortError::None;
    int m_discards = 0;

    QString m_name;
    bool m_open = false;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    QStringList m_settingsHistory;
    serial::Handshake m_handshaking = serial::Handshake::None;
    int m_inputBufferSize = 0;
    int m_outputBufferSize = 0;

    QByteArray m_input;
    QList<QByteArray> m_script;
    int m_deliveriesQueued = 0;
    QList<QByteArray> m_written;
    int m_openCalls = 0;
    int m_closeCalls = 0;
    QStringList m_opened;
};
