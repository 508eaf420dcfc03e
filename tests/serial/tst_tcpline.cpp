#include "fakeserialline.h" // PortError in test messages

#include "serial/anyline.h"
#include "serial/qtserialline.h"
#include "serial/tcpline.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

using serial::Direction;
using serial::PortError;
using serial::TcpLine;
Q_DECLARE_METATYPE(codec::GatewayFraming)

namespace {

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

QList<QByteArray> fromHex(const QList<QByteArray> &segments)
{
    QList<QByteArray> raw;
    for (const QByteArray &segment : segments)
        raw << QByteArray::fromHex(segment);
    return raw;
}

engine::LineSettings settings(const char *text)
{
    return engine::parseLineSettings(text).value();
}

// A gateway on loopback that the test scripts: it keeps what arrives and,
// once `answerAfter` bytes are there, sends the scripted segments, each on a
// turn of its own, then hangs up if told to.
class ScriptedGateway : public QObject
{
    Q_OBJECT
public:
    ScriptedGateway()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                m_peer = socket;
                ++connections;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    received += socket->readAll();
                    if (answerAfter > 0 && received.size() >= answerAfter) {
                        answerAfter = 0;
                        sendInTurn(script);
                    }
                });
            }
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }
    QString name(const char *scheme) const { return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port()); }

    // The gateway goes away: a closing hand-shake, or a reset as after a crash.
    void hangUp(bool reset)
    {
        if (!m_peer)
            return;
        if (reset) {
            const linger abortive{1, 0};
            ::setsockopt(int(m_peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        }
        m_peer->abort();
    }

    QByteArray received;
    QList<QByteArray> script;
    qsizetype answerAfter = 0;
    bool hangUpAfterScript = false;
    int connections = 0;

private:
    void sendInTurn(QList<QByteArray> segments)
    {
        if (!m_peer)
            return;
        if (segments.isEmpty()) {
            if (hangUpAfterScript)
                hangUp(false);
            return;
        }
        m_peer->write(segments.takeFirst());
        m_peer->flush();
        QMetaObject::invokeMethod(this, [this, segments] { sendInTurn(segments); }, Qt::QueuedConnection);
    }

    QTcpServer m_server;
    QPointer<QTcpSocket> m_peer;
};

// What a line handed out over an exchange, read as the window reads it: all
// of it at every receive event.
struct Reader {
    explicit Reader(serial::SerialLine &line)
        : line(line)
    {
        QObject::connect(&line, &serial::SerialLine::received, [this] {
            input += this->line.readAll();
            wire = this->line.wireForm(input, Direction::Received);
            ++events;
        });
    }
    serial::SerialLine &line;
    QByteArray input;
    QByteArray wire;
    int events = 0;
};

} // namespace

// The gateway line on real loopback sockets: names, framing, transaction ids,
// a gateway that is not there or goes away, settings that stay off the wire.
class TestTcpLine : public QObject
{
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("gateway");   // a gateway name at all
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<codec::GatewayFraming>("framing");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        using Framing = codec::GatewayFraming;
        QTest::newRow("rtu-tcp://127.0.0.1:1502") << "rtu-tcp://127.0.0.1:1502" << true << true << Framing::Rtu
                                                   << "127.0.0.1" << 1502;
        QTest::newRow("modbus-tcp://192.168.1.50:502") << "modbus-tcp://192.168.1.50:502" << true << true
                                                       << Framing::Mbap << "192.168.1.50" << 502;
        QTest::newRow("MODBUS-TCP://Gateway.Local:502/") << "MODBUS-TCP://Gateway.Local:502/" << true << true
                                                         << Framing::Mbap << "gateway.local" << 502;
        QTest::newRow("rtu-tcp://[::1]:4001") << "rtu-tcp://[::1]:4001" << true << true << Framing::Rtu << "::1" << 4001;
        QTest::newRow("no port") << "rtu-tcp://127.0.0.1" << true << false << Framing::Rtu << "" << 0;
        QTest::newRow("port 0") << "modbus-tcp://127.0.0.1:0" << true << false << Framing::Rtu << "" << 0;
        QTest::newRow("port 70000") << "modbus-tcp://127.0.0.1:70000" << true << false << Framing::Rtu << "" << 0;
        QTest::newRow("a path") << "modbus-tcp://127.0.0.1:502/unit/1" << true << false << Framing::Rtu << "" << 0;
        QTest::newRow("no host") << "modbus-tcp://:502" << true << false << Framing::Rtu << "" << 0;
        QTest::newRow("/dev/ttyUSB0") << "/dev/ttyUSB0" << false << false << Framing::Rtu << "" << 0;
        QTest::newRow("COM3") << "COM3" << false << false << Framing::Rtu << "" << 0;
        QTest::newRow("tcp://host:502, another scheme") << "tcp://host:502" << false << false << Framing::Rtu << "" << 0;
        QTest::newRow("rtu-tcp:/host:502, one slash: a relative path")
            << "rtu-tcp:/host:502" << false << false << Framing::Rtu << "" << 0;
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, gateway);
        QFETCH(bool, wellFormed);
        QFETCH(codec::GatewayFraming, framing);
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(serial::isGatewayName(name), gateway);
        const auto address = serial::parseGatewayName(name);
        QCOMPARE(address.has_value(), wellFormed);
        if (wellFormed) {
            QCOMPARE(address->framing, framing);
            QCOMPARE(QString::fromStdString(address->host), host);
            QCOMPARE(int(address->port), port);
        }
        // The one function that makes a line for a name picks the kind by the same rule.
        const auto line = serial::makeLine(name);
        QCOMPARE(qobject_cast<TcpLine *>(line.get()) != nullptr, gateway);
        QCOMPARE(qobject_cast<serial::QtSerialLine *>(line.get()) != nullptr, !gateway);
        QCOMPARE(line->portName(), name);
        QVERIFY(!line->isOpen());
    }

    // One request and what the gateway answers, until it hangs up.
    void exchange_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QByteArray>("request");          // the window's RTU frame
        QTest::addColumn<QByteArray>("sent");             // what the gateway got
        QTest::addColumn<QList<QByteArray>>("segments");  // what it answers
        QTest::addColumn<QByteArray>("delivered");        // what readAll() handed out
        QTest::addColumn<QByteArray>("wire");             // what the trace shows came
        const QByteArray read = "01 04 01 56 00 02 90 27";
        const QByteArray readAdu = "00 01 00 00 00 06 01 04 01 56 00 02";
        const QByteArray reply = "00 01 00 00 00 07 01 04 04 44 9A 52 2B";
        const QByteArray rtuReply = "01 04 04 44 9A 52 2B B2 24";
        using Segments = QList<QByteArray>;

        QTest::newRow("modbus-tcp: 00 01 ... 01 04 04 44 9A 52 2B -> 01 04 04 44 9A 52 2B B2 24")
            << "modbus-tcp" << read << readAdu << Segments{reply} << rtuReply << reply;
        QTest::newRow("modbus-tcp: the reply over three segments")
            << "modbus-tcp" << read << readAdu << Segments{"00 01 00", "00 00 07 01 04 04", "44 9A 52 2B"} << rtuReply
            << reply;
        QTest::newRow("modbus-tcp: a stale reply (tid 00 00), then the reply")
            << "modbus-tcp" << read << readAdu << Segments{"00 00 00 00 00 07 01 04 04 00 00 00 00", reply} << rtuReply
            << reply;
        QTest::newRow("modbus-tcp: protocol 00 01 skipped, then the reply")
            << "modbus-tcp" << read << readAdu << Segments{"00 01 00 01 00 07 01 04 04 00 00 00 00 " + reply}
            << rtuReply << reply;
        QTest::newRow("modbus-tcp: bytes that frame nothing, then the reply")
            << "modbus-tcp" << read << readAdu << Segments{"FF FF FF FF FF FF FF", reply} << rtuReply << reply;
        QTest::newRow("modbus-tcp: another transaction's reply only: nothing")
            << "modbus-tcp" << read << readAdu << Segments{"00 02 00 00 00 07 01 04 04 44 9A 52 2B"} << QByteArray()
            << QByteArray();
        QTest::newRow("modbus-tcp: an RTU reply, the gateway in the other mode: nothing")
            << "modbus-tcp" << read << readAdu << Segments{rtuReply} << QByteArray() << QByteArray();
        QTest::newRow("modbus-tcp: write 01 10 00 1C ... -> echo with CRC 80 0E")
            << "modbus-tcp" << QByteArray("01 10 00 1C 00 02 04 40 00 00 00 E7 36")
            << QByteArray("00 01 00 00 00 0B 01 10 00 1C 00 02 04 40 00 00 00")
            << Segments{"00 01 00 00 00 06 01 10 00 1C 00 02"} << QByteArray("01 10 00 1C 00 02 80 0E")
            << QByteArray("00 01 00 00 00 06 01 10 00 1C 00 02");
        QTest::newRow("rtu-tcp: request and reply as they are")
            << "rtu-tcp" << read << read << Segments{"01 04 04", "44 9A 52 2B B2 24"} << rtuReply << rtuReply;
        QTest::newRow("rtu-tcp: an ADU, the gateway in the other mode, passed on as it is")
            << "rtu-tcp" << read << read << Segments{reply} << reply << reply;
    }

    void exchange()
    {
        QFETCH(QString, scheme);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, sent);
        QFETCH(QList<QByteArray>, segments);
        QFETCH(QByteArray, delivered);
        QFETCH(QByteArray, wire);
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        gateway.script = fromHex(segments);
        gateway.answerAfter = QByteArray::fromHex(sent).size();
        gateway.hangUpAfterScript = true;

        TcpLine line;
        line.setPortName(gateway.name(qPrintable(scheme)));
        QCOMPARE(line.open(), PortError::None);
        Reader reader(line);
        QSignalSpy lost(&line, &serial::SerialLine::lost);
        const QByteArray frame = QByteArray::fromHex(request);
        QCOMPARE(hex(line.wireForm(frame, Direction::Sent)), sent);
        QCOMPARE(line.write(frame), PortError::None);

        // Everything the gateway said comes before its hang-up.
        QVERIFY(lost.wait(3000));
        QCOMPARE(hex(gateway.received), sent);
        QCOMPARE(hex(reader.input), delivered);
        QCOMPARE(hex(reader.wire), wire);
        QCOMPARE(reader.events > 0, !delivered.isEmpty());
    }

    // Counted up per request from 1, on each connection; after FF FF comes 00 00.
    void transactionIdsCountAndWrap()
    {
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        TcpLine line;
        line.setPortName(gateway.name("modbus-tcp"));
        QCOMPARE(line.open(), PortError::None);
        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        line.close();
        QCOMPARE(line.write(read), PortError::NotOpen); // counts nothing
        QCOMPARE(line.open(), PortError::None);
        bool written = true;
        for (int request = 1; request <= 0xFFFF + 1; ++request)
            written = line.write(read) == PortError::None && written;
        QVERIFY(written);
        QTRY_COMPARE_WITH_TIMEOUT(gateway.received.size(), 0x10000 * 12, 10000);
        const auto id = [&](int request) { return hex(gateway.received.mid((request - 1) * 12, 2)); };
        QCOMPARE(QList<QByteArray>({id(1), id(2), id(3), id(0xFFFF), id(0x10000)}),
                 QList<QByteArray>({"00 01", "00 02", "00 03", "FF FF", "00 00"}));
    }

    // The reply to an earlier request that comes after the next one went out
    // is not the next one's reply.
    void lateReplyToAnEarlierRequestIsDropped()
    {
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        gateway.answerAfter = 2 * 12;
        gateway.script = fromHex({"00 01 00 00 00 07 01 04 04 11 11 11 11", "00 02 00 00 00 07 01 04 04 44 9A 52 2B"});
        gateway.hangUpAfterScript = true;
        TcpLine line;
        line.setPortName(gateway.name("modbus-tcp"));
        QCOMPARE(line.open(), PortError::None);
        Reader reader(line);
        QSignalSpy lost(&line, &serial::SerialLine::lost);
        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        QCOMPARE(line.write(read), PortError::None);
        QCOMPARE(line.write(read), PortError::None);
        QVERIFY(lost.wait(3000));
        QCOMPARE(hex(reader.input), QByteArray("01 04 04 44 9A 52 2B B2 24"));
        QCOMPARE(reader.events, 1);
    }

    // Before a request, whatever came is dropped; a reply still arriving
    // stays framed, so its end is not taken for the start of the next one.
    void discardKeepsTheFraming()
    {
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        // Request 1 gets a reply, and the first half of a second one.
        gateway.answerAfter = 12;
        gateway.script = fromHex({"00 01 00 00 00 07 01 04 04 11 11 11 11 00 01 00 00 00 0B 01 04 08"});
        TcpLine line;
        line.setPortName(gateway.name("modbus-tcp"));
        QCOMPARE(line.open(), PortError::None);
        Reader reader(line);
        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        QCOMPARE(line.write(read), PortError::None);
        QTRY_COMPARE_WITH_TIMEOUT(reader.events, 1, 3000);

        // The rest of it would read as a header of 12 bytes that swallows the reply to request 2.
        gateway.answerAfter = 24;
        gateway.script = fromHex({"00 09 00 00 00 0C 01 04 00 02 00 00 00 07 01 04 04 44 9A 52 2B"});
        gateway.hangUpAfterScript = true;
        QSignalSpy lost(&line, &serial::SerialLine::lost);
        line.discardInput();
        reader.input.clear();
        QCOMPARE(line.write(read), PortError::None);
        QVERIFY(lost.wait(3000));
        QCOMPARE(hex(reader.input), QByteArray("01 04 04 44 9A 52 2B B2 24"));
        QCOMPARE(hex(reader.wire), QByteArray("00 02 00 00 00 07 01 04 04 44 9A 52 2B"));
    }

    void refusedOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<PortError>("error");
        QTest::newRow("nothing listens there") << "modbus-tcp://127.0.0.1:%1" << PortError::Unreachable;
        QTest::newRow("nothing listens there, rtu-tcp") << "rtu-tcp://127.0.0.1:%1" << PortError::Unreachable;
        QTest::newRow("no port in the name") << "modbus-tcp://127.0.0.1" << PortError::NotFound;
        QTest::newRow("a device path") << "/dev/ttyS0" << PortError::NotFound;
        QTest::newRow("empty name") << "" << PortError::NotFound;
    }

    void refusedOpen()
    {
        QFETCH(QString, name);
        QFETCH(PortError, error);
        // A port just given back by a server: nothing listens there now.
        quint16 freePort = 0;
        {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost));
            freePort = server.serverPort();
        }
        TcpLine line;
        line.setPortName(name.contains("%1") ? name.arg(freePort) : name);
        QCOMPARE(line.open(), error);
        QVERIFY(!line.isOpen());
        QCOMPARE(line.write("\x01\x04\x01\x56"), PortError::NotOpen);
        QVERIFY(line.readAll().isEmpty());
        line.close();
        QVERIFY(!line.isOpen());
    }

    void gatewayGoesAway_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("outstanding");
        QTest::newRow("hangs up while idle") << false << false;
        QTest::newRow("hangs up with a request outstanding") << false << true;
        QTest::newRow("resets the connection with a request outstanding") << true << true;
    }

    // As an unplugged adapter: the line closes itself and says so, once.
    void gatewayGoesAway()
    {
        QFETCH(bool, reset);
        QFETCH(bool, outstanding);
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        TcpLine line;
        line.setPortName(gateway.name("modbus-tcp"));
        QCOMPARE(line.open(), PortError::None);
        QTRY_COMPARE_WITH_TIMEOUT(gateway.connections, 1, 3000);
        QSignalSpy lost(&line, &serial::SerialLine::lost);
        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        if (outstanding) {
            QCOMPARE(line.write(read), PortError::None);
            QTRY_COMPARE_WITH_TIMEOUT(gateway.received.size(), 12, 3000);
        }

        gateway.hangUp(reset);
        QVERIFY(lost.wait(3000));
        QCOMPARE(lost.count(), 1);
        QVERIFY(!line.isOpen());
        QCOMPARE(line.write(read), PortError::NotOpen);
        QVERIFY(line.readAll().isEmpty());

        // The gateway still listens: the line opens again, on a fresh count.
        QCOMPARE(line.open(), PortError::None);
        QCOMPARE(hex(line.wireForm(read, Direction::Sent).left(2)), QByteArray("00 01"));
        QTRY_COMPARE_WITH_TIMEOUT(gateway.connections, 2, 3000);
        QCOMPARE(lost.count(), 1);
    }

    // Settings are the gateway's business on its serial side: kept, never sent.
    void settingsStayOffTheWire()
    {
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        TcpLine line;
        line.setPortName(gateway.name("rtu-tcp"));
        QCOMPARE(line.open(), PortError::None);
        QCOMPARE(line.applySettings(settings("38400,E,8,2")), PortError::None);
        QCOMPARE(line.setHandshaking(serial::Handshake::RtsCts), PortError::None);
        line.configureBuffers(512, 512);
        // Refused as a serial port here refuses them, the settings before kept.
        QCOMPARE(line.applySettings(settings("38400,N,8,1.5")) == PortError::Unsupported,
                 serial::QtSerialLine::platformRefuses(settings("38400,N,8,1.5")));
        QCOMPARE(line.applySettings(engine::LineSettings{0, engine::Parity::None, 8, engine::StopBits::One}),
                 PortError::Unsupported);
        QVERIFY(line.settings() == settings("38400,E,8,2"));
        QCOMPARE(line.handshaking(), serial::Handshake::RtsCts);

        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        QCOMPARE(line.write(read), PortError::None);
        QTRY_COMPARE_WITH_TIMEOUT(gateway.received.size(), read.size(), 3000);
        QCOMPARE(hex(gateway.received), hex(read));
    }

    // The window's one port serves both kinds and carries its settings across.
    void anyLineFollowsTheName()
    {
        ScriptedGateway gateway;
        QVERIFY(gateway.listen());
        gateway.answerAfter = 12;
        gateway.script = fromHex({"00 01 00 00 00 07 01 04 04 44 9A 52 2B"});
        serial::AnyLine line;
        line.setPortName("/dev/ttyS0");
        QVERIFY(qobject_cast<serial::QtSerialLine *>(&line.current()));
        QCOMPARE(line.applySettings(settings("19200,N,8,2")), PortError::None);
        QCOMPARE(line.setHandshaking(serial::Handshake::XonXoff), PortError::None);

        line.setPortName(gateway.name("modbus-tcp"));
        auto *tcp = qobject_cast<TcpLine *>(&line.current());
        QVERIFY(tcp);
        QVERIFY(tcp->settings() == settings("19200,N,8,2"));
        QCOMPARE(tcp->handshaking(), serial::Handshake::XonXoff);
        QCOMPARE(line.open(), PortError::None);
        line.setPortName("/dev/ttyS0"); // ignored while open
        QCOMPARE(&line.current(), tcp);

        Reader reader(line);
        const QByteArray read = QByteArray::fromHex("01 04 01 56 00 02 90 27");
        QCOMPARE(hex(line.wireForm(read, Direction::Sent)), QByteArray("00 01 00 00 00 06 01 04 01 56 00 02"));
        QSignalSpy lost(&line, &serial::SerialLine::lost);
        QCOMPARE(line.write(read), PortError::None);
        QTRY_COMPARE_WITH_TIMEOUT(reader.events, 1, 3000);
        QCOMPARE(hex(reader.input), QByteArray("01 04 04 44 9A 52 2B B2 24"));
        QCOMPARE(hex(reader.wire), QByteArray("00 01 00 00 00 07 01 04 04 44 9A 52 2B"));
        gateway.hangUp(false);
        QVERIFY(lost.wait(3000));
        QVERIFY(!line.isOpen());

        // Settings changed on the gateway line go back to a serial line too.
        QCOMPARE(line.applySettings(settings("4800,E,7,1")), PortError::None);
        line.setPortName("/dev/ttyS0");
        auto *device = qobject_cast<serial::QtSerialLine *>(&line.current());
        QVERIFY(device);
        QVERIFY(device->settings() == settings("4800,E,7,1"));
        QCOMPARE(device->handshaking(), serial::Handshake::XonXoff);
        QCOMPARE(line.portName(), QStringLiteral("/dev/ttyS0"));
    }
};

QTEST_GUILESS_MAIN(TestTcpLine)
#include "tst_tcpline.moc"
