#include "fakeserialline.h" // PortError in test tables and messages
#include "peerfixture.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "engine/requestframe.h"
#include "serial/qtserialline.h"

#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using serial::PortError;
using serial::QtSerialLine;

namespace {

QByteArray withCrc(const QByteArray &body)
{
    std::vector<std::uint8_t> frame(body.begin(), body.end());
    codec::AppendCrc16(frame);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), static_cast<qsizetype>(frame.size()));
}

// Waits, on received(), until `size` bytes are waiting, then takes them all.
QByteArray awaitReply(QtSerialLine &line, QSignalSpy &received, int size)
{
    while (line.bytesWaiting() < size && received.wait(3000)) {
    }
    return line.read(0);
}

// The line settings the terminal really runs with, as the kernel reports them.
std::optional<termios> deviceSettings(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    termios settings{};
    const bool ok = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return ok ? std::optional(settings) : std::nullopt;
}

} // namespace

class TestQtSerialLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void requestsGetTheirReplies_data();
    void requestsGetTheirReplies();
    void engineFrameChangesTheMeter();
    void writesReachTheMeter_data();
    void writesReachTheMeter();
    void readTakesUpToN();
    void settingsWhileOpen();
    void settingsWhileClosedApplyAtOpen();
    void handshaking_data();
    void handshaking();
    void portHeldElsewhereIsBusy();
    void missingDeviceIsNotFound_data();
    void missingDeviceIsNotFound();
    void closedPortRefusesWork();
    void vanishedDevice_data();
    void vanishedDevice();

private:
    void openLine(QtSerialLine &line);
    PeerFixture m_peer;
};

void TestQtSerialLine::initTestCase()
{
    PeerMeter meter;
    meter.energy = 1234.5677f;
    meter.scaledEnergy = 1205;
    meter.importEnergy = 1.0f;
    QVERIFY2(m_peer.start(meter), qPrintable(m_peer.failure()));
}

void TestQtSerialLine::openLine(QtSerialLine &line)
{
    line.setPortName(m_peer.toolPort());
    line.configureBuffers(512, 512);
    QCOMPARE(line.applySettings("9600,N,8,1"), PortError::None);
    QCOMPARE(line.open(), PortError::None);
    QVERIFY(line.isOpen());
}

void TestQtSerialLine::requestsGetTheirReplies_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("01 04 01 56 00 02 -> 44 9A 52 2B")
        << withCrc(QByteArray::fromHex("010401560002")) << QByteArray::fromHex("010404449A522BB224");
    QTest::newRow("01 03 01 1E 00 02 -> 00 00 04 B5")
        << withCrc(QByteArray::fromHex("0103011E0002")) << QByteArray::fromHex("010304000004B53944");
    QTest::newRow("01 04 00 48 00 02 -> 3F 80 00 00")
        << withCrc(QByteArray::fromHex("010400480002")) << withCrc(QByteArray::fromHex("0104043F800000"));
    QTest::newRow("01 03 00 00 00 01 -> exception 02")
        << withCrc(QByteArray::fromHex("010300000001")) << QByteArray::fromHex("018302C0F1");
}

void TestQtSerialLine::requestsGetTheirReplies()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QtSerialLine line;
    openLine(line);
    QSignalSpy received(&line, &serial::SerialLine::received);
    QCOMPARE(line.write(request), PortError::None);
    QCOMPARE(awaitReply(line, received, static_cast<int>(reply.size())), reply);
    QVERIFY(received.count() >= 1);
    line.close();
    QVERIFY(!line.isOpen());
}

void TestQtSerialLine::engineFrameChangesTheMeter()
{
    // "Modify Baud Rate" to 9600 (code 2) for a meter taking singles.
    const auto frame = engine::BuildRequestFrame(catalogue::FrameKindSingle, "Modify Baud Rate",
                                                 "0110001C000204", 1, 2, {}, {});
    const QByteArray request(reinterpret_cast<const char *>(frame.data()), static_cast<qsizetype>(frame.size()));
    QCOMPARE(request, QByteArray::fromHex("01 10 00 1C 00 02 04 40 00 00 00 E7 36"));
    QtSerialLine line;
    openLine(line);
    QSignalSpy received(&line, &serial::SerialLine::received);
    QCOMPARE(line.write(request), PortError::None);
    QCOMPARE(awaitReply(line, received, 8), withCrc(QByteArray::fromHex("0110001C0002")));
    QCOMPARE(m_peer.holding(0x001C, 2), std::optional(QList<quint16>{0x4000, 0x0000}));
}

void TestQtSerialLine::writesReachTheMeter_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("first");
    QTest::addColumn<QList<quint16>>("held");
    QTest::newRow("01 10 F8 00 00 01 02 00 03") << QByteArray::fromHex("0110F800000102 0003") << 0xF800
                                                << QList<quint16>{0x0003};
    QTest::newRow("01 10 00 12 00 02 04 3F 80 00 00") << QByteArray::fromHex("01100012000204 3F800000") << 0x0012
                                                      << QList<quint16>{0x3F80, 0x0000};
    QTest::newRow("01 10 F0 00 00 04 08 time") << QByteArray::fromHex("0110F000000408 3015120109122420")
                                               << 0xF000 << QList<quint16>{0x3015, 0x1201, 0x0912, 0x2420};
    QByteArray tariff = QByteArray::fromHex("0110F700000F1E");
    QList<quint16> tariffRegisters;
    for (int slot = 0; slot < 15; ++slot) {
        tariff.append(char(2 * slot + 1)).append(char(2 * slot + 2));
        tariffRegisters.append(quint16((2 * slot + 1) << 8 | (2 * slot + 2)));
    }
    QTest::newRow("01 10 F7 00 00 0F 1E tariff") << tariff << 0xF700 << tariffRegisters;
}

void TestQtSerialLine::writesReachTheMeter()
{
    QFETCH(QByteArray, body);
    QFETCH(int, first);
    QFETCH(QList<quint16>, held);
    QtSerialLine line;
    openLine(line);
    QSignalSpy received(&line, &serial::SerialLine::received);
    QCOMPARE(line.write(withCrc(body)), PortError::None);
    QCOMPARE(awaitReply(line, received, 8), withCrc(body.left(6))); // the write echoed
    QCOMPARE(m_peer.holding(quint16(first), int(held.size())), std::optional(held));
}

void TestQtSerialLine::readTakesUpToN()
{
    QtSerialLine line;
    openLine(line);
    QSignalSpy received(&line, &serial::SerialLine::received);
    QCOMPARE(line.write(withCrc(QByteArray::fromHex("010401560002"))), PortError::None);
    while (line.bytesWaiting() < 9 && received.wait(3000)) {
    }
    QCOMPARE(line.read(3), QByteArray::fromHex("010404"));
    QCOMPARE(line.bytesWaiting(), 6);
    QCOMPARE(line.read(0), QByteArray::fromHex("449A522BB224"));
    QCOMPARE(line.bytesWaiting(), 0);
}

void TestQtSerialLine::settingsWhileOpen()
{
    QtSerialLine line;
    openLine(line);
    QCOMPARE(line.applySettings("19200,N,8,2"), PortError::None);
    const auto running = deviceSettings(m_peer.toolPort());
    QVERIFY(running.has_value());
    QCOMPARE(cfgetospeed(&*running), speed_t(B19200));
    QVERIFY(running->c_cflag & CSTOPB);

    // Refused: the previous settings stay, on the port as in what it reports.
    QCOMPARE(line.applySettings("19200,N,8,1.5"), PortError::Unsupported);
    QCOMPARE(line.applySettings("19200,N,8"), PortError::Unsupported);
    // This kernel's pseudo-terminals refuse even parity; where the driver says
    // no, the port must be back on the previous settings as well.
    const PortError even = line.applySettings("19200,E,8,2");
    if (even != PortError::None)
        QCOMPARE(even, PortError::Unsupported);
    else
        QVERIFY(line.applySettings("19200,N,8,2") == PortError::None);
    QVERIFY(line.settings() == (serial::LineSettings{19200, serial::Parity::None, 8, serial::StopBits::Two}));
    QVERIFY(deviceSettings(m_peer.toolPort())->c_cflag & CSTOPB);

    // Back to the peer's settings: the line still carries requests.
    QCOMPARE(line.applySettings("9600,N,8,1"), PortError::None);
    QSignalSpy received(&line, &serial::SerialLine::received);
    QCOMPARE(line.write(withCrc(QByteArray::fromHex("010401560002"))), PortError::None);
    QCOMPARE(awaitReply(line, received, 9), QByteArray::fromHex("010404449A522BB224"));
}

void TestQtSerialLine::settingsWhileClosedApplyAtOpen()
{
    QtSerialLine line;
    line.setPortName(m_peer.toolPort());
    // Pseudo-terminals drop parity bits whatever is asked, so rate and stop bits tell.
    QCOMPARE(line.applySettings("38400,N,8,2"), PortError::None);
    QCOMPARE(line.open(), PortError::None);
    const auto running = deviceSettings(m_peer.toolPort());
    QVERIFY(running.has_value());
    QCOMPARE(cfgetospeed(&*running), speed_t(B38400));
    QVERIFY(running->c_cflag & CSTOPB);
}

void TestQtSerialLine::handshaking_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");
    QTest::newRow("0 none") << 0 << false << false;
    QTest::newRow("1 XON/XOFF") << 1 << false << true;
    QTest::newRow("2 RTS/CTS") << 2 << true << false;
    QTest::newRow("3 RTS/CTS and XON/XOFF -> RTS/CTS") << 3 << true << false;
}

void TestQtSerialLine::handshaking()
{
    QFETCH(int, mode);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);
    QtSerialLine line;
    openLine(line);
    QCOMPARE(line.setHandshaking(mode), PortError::None);
    const auto running = deviceSettings(m_peer.toolPort());
    QVERIFY(running.has_value());
    QCOMPARE(bool(running->c_cflag & CRTSCTS), rtsCts);
    QCOMPARE(bool(running->c_iflag & IXON), xonXoff);
    QCOMPARE(line.setHandshaking(4), PortError::Unsupported);
    QCOMPARE(line.handshaking(), mode);
}

void TestQtSerialLine::portHeldElsewhereIsBusy()
{
    QtSerialLine holder;
    openLine(holder);
    QtSerialLine other;
    other.setPortName(m_peer.toolPort());
    QCOMPARE(other.open(), PortError::Busy);
    QVERIFY(!other.isOpen());
    holder.close();
    QCOMPARE(other.open(), PortError::None);
}

void TestQtSerialLine::missingDeviceIsNotFound_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no such file") << QFileInfo(m_peer.toolPort()).path() + "/no_such_tty";
    QTest::newRow("COM7 on a system without it") << "COM7";
    QTest::newRow("empty name") << "";
}

void TestQtSerialLine::missingDeviceIsNotFound()
{
    QFETCH(QString, name);
    QtSerialLine line;
    line.setPortName(name);
    QCOMPARE(line.open(), PortError::NotFound);
    QVERIFY(!line.isOpen());
}

void TestQtSerialLine::closedPortRefusesWork()
{
    QtSerialLine line;
    line.setPortName(m_peer.toolPort());
    QCOMPARE(line.write("\x01"), PortError::NotOpen);
    QCOMPARE(line.bytesWaiting(), 0);
    QVERIFY(line.read(0).isEmpty());
    line.close();
    line.close();
    QVERIFY(!line.isOpen());
}

void TestQtSerialLine::vanishedDevice_data()
{
    QTest::addColumn<bool>("noticedByWrite");
    QTest::newRow("noticed by the next write") << true;
    QTest::newRow("noticed by the next read") << false;
}

void TestQtSerialLine::vanishedDevice()
{
    QFETCH(bool, noticedByWrite);
    PtyPair pair;
    QVERIFY2(pair.start("v_tool", "v_peer"), qPrintable(pair.failure()));
    QtSerialLine line;
    line.setPortName(pair.nearPath());
    QCOMPARE(line.open(), PortError::None);
    const QByteArray request = withCrc(QByteArray::fromHex("010401560002"));

    pair.stop();
    if (noticedByWrite) {
        QCOMPARE(line.write(request), PortError::Io);
    } else {
        const auto readNoticesLoss = [&] {
            line.read(0);
            return !line.isOpen();
        };
        QTRY_VERIFY_WITH_TIMEOUT(readNoticesLoss(), 3000);
    }
    QVERIFY(!line.isOpen());
    QCOMPARE(line.write(request), PortError::NotOpen);
    QCOMPARE(line.open(), PortError::NotFound);
}

QTEST_GUILESS_MAIN(TestQtSerialLine)
#include "tst_qtserialline.moc"
