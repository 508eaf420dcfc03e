#include "fakeserialline.h"

#include <QtTest>

using serial::PortError;

// The fake's promises that the main window tests build on.
class TestFakeSerialLine : public QObject
{
    Q_OBJECT
private slots:
    void opensByName_data();
    void opensByName();
    void scriptedChunksArriveOnSeparateTurns();
    void chunksDueAfterCloseAreDropped();
    void vanishedPortFailsTheNextWriteAndCloses();
    void refusedSettingsKeepThePrevious();
};

void TestFakeSerialLine::opensByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<PortError>("result");
    QTest::newRow("COM3 openable") << "COM3" << PortError::None;
    QTest::newRow("COM4 busy") << "COM4" << PortError::Busy;
    QTest::newRow("COM5 missing") << "COM5" << PortError::NotFound;
}

void TestFakeSerialLine::opensByName()
{
    QFETCH(QString, name);
    QFETCH(PortError, result);
    FakeSerialLine line;
    line.setOpenablePorts({"COM3"});
    line.setBusyPorts({"COM4"});
    line.setPortName(name);
    QCOMPARE(line.open(), result);
    QCOMPARE(line.isOpen(), result == PortError::None);
    QCOMPARE(line.write("x"), result == PortError::None ? PortError::None : PortError::NotOpen);
}

void TestFakeSerialLine::scriptedChunksArriveOnSeparateTurns()
{
    FakeSerialLine line;
    line.setOpenablePorts({"COM1"});
    line.setPortName("COM1");
    QCOMPARE(line.open(), PortError::None);
    QList<int> waitingAtEachEvent;
    connect(&line, &serial::SerialLine::received, this, [&] { waitingAtEachEvent.append(line.bytesWaiting()); });

    line.scriptReply({QByteArray::fromHex("0104"), QByteArray::fromHex("04449A"), QByteArray::fromHex("522BB224")});
    QCOMPARE(line.write(QByteArray::fromHex("01 04 01 56 00 02 90 27")), PortError::None);
    QVERIFY(waitingAtEachEvent.isEmpty()); // nothing before the event loop runs
    QTRY_VERIFY_WITH_TIMEOUT(!line.replyPending(), 2000);
    QCOMPARE(waitingAtEachEvent, (QList<int>{2, 5, 9}));
    QCOMPARE(line.read(4), QByteArray::fromHex("01040444"));
    QCOMPARE(line.read(0), QByteArray::fromHex("9A522BB224"));
    QCOMPARE(line.written(), QList<QByteArray>{QByteArray::fromHex("01 04 01 56 00 02 90 27")});
    // The script served that one write only.
    QCOMPARE(line.write("again"), PortError::None);
    QVERIFY(!line.replyPending());
}

void TestFakeSerialLine::chunksDueAfterCloseAreDropped()
{
    FakeSerialLine line;
    line.setOpenablePorts({"COM1"});
    line.setPortName("COM1");
    line.open();
    QSignalSpy received(&line, &serial::SerialLine::received);
    line.scriptReply({"ab", "cd"});
    line.write("1");
    line.close();
    QTRY_VERIFY_WITH_TIMEOUT(!line.replyPending(), 2000);
    QCOMPARE(received.count(), 0);
    QCOMPARE(line.bytesWaiting(), 0);
}

void TestFakeSerialLine::vanishedPortFailsTheNextWriteAndCloses()
{
    FakeSerialLine line;
    line.setOpenablePorts({"COM1"});
    line.setPortName("COM1");
    line.open();
    line.vanish();
    QCOMPARE(line.write("1"), PortError::Io);
    QVERIFY(!line.isOpen());
    QCOMPARE(line.open(), PortError::NotFound);
    QVERIFY(line.written().isEmpty());
}

void TestFakeSerialLine::refusedSettingsKeepThePrevious()
{
    FakeSerialLine line;
    line.refuseSettings("256000,N,8,1");
    line.refuseSettingsWhen([](const QString &text) { return text.endsWith(",1.5"); });
    QCOMPARE(line.applySettings("19200,E,8,1"), PortError::None);
    QCOMPARE(line.applySettings("256000,N,8,1"), PortError::Unsupported);
    QCOMPARE(line.applySettings("9600,N,8,1.5"), PortError::Unsupported);
    QCOMPARE(line.applySettings("9600,N"), PortError::Unsupported);
    QCOMPARE(line.settingsText(), QString("19200,E,8,1"));
}

QTEST_GUILESS_MAIN(TestFakeSerialLine)
#include "tst_fakeserialline.moc"
