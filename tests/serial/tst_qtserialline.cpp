#include "fakeserialline.h" // PortError in test messages
#include "peerfixture.h"

#include "serial/qtserialline.h"

#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using serial::PortError;
Q_DECLARE_METATYPE(serial::Handshake)
using serial::QtSerialLine;

namespace {

// The line settings the terminal really runs with, as the kernel reports them
// (all zero when it cannot be opened).
termios deviceSettings(const QString &path)
{
    termios settings{};
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcgetattr(fd, &settings);
        ::close(fd);
    }
    return settings;
}

engine::LineSettings settings(const char *text)
{
    return engine::parseLineSettings(text).value();
}

} // namespace

// QtSerialLine on a pseudo-terminal with a pymodbus meter on the far end.
class TestQtSerialLine : public QObject
{
    Q_OBJECT
    PeerFixture m_peer;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_peer.start(1, 1234.5677f), qPrintable(m_peer.failure()));
    }

    void requestsGetTheirReplies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("first");         // of the holding registers a write leaves
        QTest::addColumn<QList<quint16>>("held");
        QTest::newRow("01 04 01 56 00 02 -> 44 9A 52 2B") << QByteArray::fromHex("01 04 01 56 00 02 90 27")
            << QByteArray::fromHex("01 04 04 44 9A 52 2B B2 24") << 0 << QList<quint16>{};
        QTest::newRow("01 10 00 1C 00 02 04 40 00 00 00 -> echo")
            << QByteArray::fromHex("01 10 00 1C 00 02 04 40 00 00 00 E7 36")
            << QByteArray::fromHex("01 10 00 1C 00 02 80 0E") << 0x001C << QList<quint16>{0x4000, 0x0000};
        QTest::newRow("01 10 F0 00 00 04 08 30 15 12 01 09 12 24 20 -> echo")
            << QByteArray::fromHex("01 10 F0 00 00 04 08 30 15 12 01 09 12 24 20 36 AD")
            << QByteArray::fromHex("01 10 F0 00 00 04 F2 CA") << 0xF000 << QList<quint16>{0x3015, 0x1201, 0x0912, 0x2420};
    }

    void requestsGetTheirReplies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, first);
        QFETCH(QList<quint16>, held);
        QtSerialLine line;
        line.setPortName(m_peer.toolPort());
        line.configureBuffers(512, 512);
        QCOMPARE(line.applySettings(settings("9600,N,8,1")), PortError::None);
        QCOMPARE(line.open(), PortError::None);
        QVERIFY(line.isOpen());
        QSignalSpy received(&line, &serial::SerialLine::received);

        QCOMPARE(line.write(request), PortError::None);
        QByteArray got;
        while (got.size() < reply.size() && (received.count() > 0 || received.wait(3000))) {
            received.clear();
            got += line.readAll();
        }
        QCOMPARE(got, reply);
        if (!held.isEmpty())
            QCOMPARE(m_peer.holding(quint16(first), int(held.size())), std::optional(held));
        line.close();
        QVERIFY(!line.isOpen());
    }

    // Pseudo-terminals drop parity bits whatever is asked, so rate, stop bits and flow control tell.
    void settingsReachTheDevice_data()
    {
        QTest::addColumn<bool>("whileOpen");
        QTest::addColumn<serial::Handshake>("handshaking");
        QTest::addColumn<bool>("rtsCts");
        QTest::addColumn<bool>("xonXoff");
        using serial::Handshake;
        QTest::newRow("while open: 38400,N,8,2, 0 none") << true << Handshake::None << false << false;
        QTest::newRow("while open: 38400,N,8,2, 1 XON/XOFF") << true << Handshake::XonXoff << false << true;
        QTest::newRow("while closed: 38400,N,8,2, 2 RTS/CTS") << false << Handshake::RtsCts << true << false;
        QTest::newRow("while open: 38400,N,8,2, 3 RTS/CTS and XON/XOFF -> RTS/CTS")
            << true << Handshake::RtsCtsXonXoff << true << false;
    }

    void settingsReachTheDevice()
    {
        QFETCH(bool, whileOpen);
        QFETCH(serial::Handshake, handshaking);
        QFETCH(bool, rtsCts);
        QFETCH(bool, xonXoff);
        QtSerialLine line;
        line.setPortName(m_peer.toolPort());
        if (whileOpen)
            QCOMPARE(line.open(), PortError::None);
        QCOMPARE(line.applySettings(settings("38400,N,8,2")), PortError::None);
        QCOMPARE(line.setHandshaking(handshaking), PortError::None);
        // Refused: the previous settings stay.
        QCOMPARE(line.applySettings(settings("38400,N,8,1.5")), PortError::Unsupported);
        QCOMPARE(line.applySettings(engine::LineSettings{38400, engine::Parity::None, 9, engine::StopBits::Two}),
                 PortError::Unsupported);
        // Some kernels refuse even parity on pseudo-terminals: then the port runs on as before.
        const PortError even = line.applySettings(settings("38400,E,8,2"));
        QVERIFY(even == PortError::None || even == PortError::Unsupported);
        if (even == PortError::None)
            QCOMPARE(line.applySettings(settings("38400,N,8,2")), PortError::None);
        if (!whileOpen)
            QCOMPARE(line.open(), PortError::None);

        QVERIFY(line.settings() == settings("38400,N,8,2"));
        QCOMPARE(line.handshaking(), handshaking);
        const termios running = deviceSettings(m_peer.toolPort());
        QCOMPARE(cfgetospeed(&running), speed_t(B38400));
        QVERIFY(running.c_cflag & CSTOPB);
        QCOMPARE(bool(running.c_cflag & CRTSCTS), rtsCts);
        QCOMPARE(bool(running.c_iflag & IXON), xonXoff);
    }

    void refusedOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<PortError>("error");
        QTest::newRow("held by another program") << m_peer.toolPort() << PortError::Busy;
        QTest::newRow("no such file") << QFileInfo(m_peer.toolPort()).path() + "/no_such_tty" << PortError::NotFound;
        QTest::newRow("COM7 on a system without it") << "COM7" << PortError::NotFound;
        QTest::newRow("empty name") << "" << PortError::NotFound;
    }

    void refusedOpen()
    {
        QFETCH(QString, name);
        QFETCH(PortError, error);
        QtSerialLine holder;
        holder.setPortName(m_peer.toolPort());
        if (error == PortError::Busy)
            QCOMPARE(holder.open(), PortError::None);
        QtSerialLine line;
        line.setPortName(name);
        QCOMPARE(line.open(), error);
        QVERIFY(!line.isOpen());
        // A port that did not open refuses work, and closing it is no error.
        QCOMPARE(line.write("\x01"), PortError::NotOpen);
        QVERIFY(line.readAll().isEmpty());
        line.close();
        QVERIFY(!line.isOpen());
        holder.close();
        if (error == PortError::Busy)
            QCOMPARE(line.open(), PortError::None);
    }

    void vanishedDevice_data()
    {
        QTest::addColumn<bool>("writeAtOnce");
        QTest::newRow("noticed by a write at once") << true;
        QTest::newRow("noticed by itself") << false;
    }

    // The far end goes away: the port says so by itself and closes.
    void vanishedDevice()
    {
        QFETCH(bool, writeAtOnce);
        PtyPair pair;
        QVERIFY2(pair.start("v_tool", "v_peer"), qPrintable(pair.failure()));
        QtSerialLine line;
        line.setPortName(pair.nearPath());
        QCOMPARE(line.open(), PortError::None);
        QSignalSpy lost(&line, &serial::SerialLine::lost);

        pair.stop();
        if (writeAtOnce)
            QCOMPARE(line.write("\x01"), PortError::Io);
        QVERIFY(lost.wait(3000));
        QCOMPARE(lost.count(), 1);
        QVERIFY(!line.isOpen());
        QCOMPARE(line.write("\x01"), PortError::NotOpen);
        QCOMPARE(line.open(), PortError::NotFound);
    }
};

QTEST_GUILESS_MAIN(TestQtSerialLine)
#include "tst_qtserialline.moc"
