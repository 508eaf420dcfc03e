#include "fakeserialline.h"
#include "peerfixture.h"
#include "serial/anyline.h"
#include "serial/portdiscovery.h"
#include "serial/qtserialline.h"

#include <QTcpServer>
#include <QtTest>

using serial::PortEntry;
using serial::PortError;
using serial::PortScan;

namespace {

QStringList displays(const QList<PortEntry> &entries)
{
    QStringList names;
    for (const PortEntry &entry : entries)
        names.append(entry.display);
    return names;
}

// Every number the Windows rule may probe, as a system listing them all would say.
QStringList allComNames()
{
    QStringList names;
    for (int n = 1; n <= 60; ++n)
        names << QStringLiteral("COM%1").arg(n);
    return names;
}

QList<PortEntry> entriesNamed(const QStringList &names)
{
    QList<PortEntry> entries;
    for (const QString &name : names)
        entries.append({name, name});
    return entries;
}

} // namespace

// The start-up port scan: which ports are listed, in which order, which is current.
class TestPortDiscovery : public QObject
{
    Q_OBJECT
private slots:
    // No candidates: the Windows rule, COM50 down to COM1. Otherwise the first
    // `given` candidates are ports given at launch, the rest the system's.
    void probeOrder_data()
    {
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<int>("given");
        QTest::addColumn<QStringList>("openable");
        QTest::addColumn<QStringList>("busy");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("current");
        const QStringList windows;
        const QStringList fourPorts{"g1", "g2", "s2", "s1"};
        QTest::newRow("1, 3, 12 open") << windows << 0 << QStringList{"COM1", "COM3", "COM12"} << QStringList{}
                                           << QStringList{"COM12", "COM3", "COM1"} << 2;
        QTest::newRow("none open") << windows << 0 << QStringList{} << QStringList{} << QStringList{} << -1;
        QTest::newRow("busy COM3 left out") << windows << 0 << QStringList{"COM1", "COM7"} << QStringList{"COM3"}
                                                << QStringList{"COM7", "COM1"} << 1;
        QTest::newRow("COM51 never found") << windows << 0 << QStringList{"COM51", "COM50"} << QStringList{}
                                           << QStringList{"COM50"} << 0;
        QTest::newRow("given all open: first given current") << fourPorts << 2 << QStringList{"g1", "g2", "s1", "s2"}
                                                             << QStringList{} << QStringList{"g1", "g2", "s2", "s1"} << 0;
        QTest::newRow("first given missing: second current") << fourPorts << 2 << QStringList{"g2", "s1"}
                                                             << QStringList{} << QStringList{"g2", "s1"} << 0;
        QTest::newRow("no given opens (g1 busy): lowest system current") << fourPorts << 2 << QStringList{"s1", "s2"}
                                                               << QStringList{"g1"} << QStringList{"s2", "s1"} << 1;
    }

    void probeOrder()
    {
        QFETCH(QStringList, candidates);
        QFETCH(int, given);
        QFETCH(QStringList, openable);
        QFETCH(QStringList, busy);
        QFETCH(QStringList, listed);
        QFETCH(int, current);
        FakeSerialLine line;
        line.setOpenablePorts(openable);
        line.setBusyPorts(busy);

        const PortScan scan = candidates.isEmpty() ? serial::scanWindowsPorts(line, allComNames())
                                                   : serial::probeCandidates(line, entriesNamed(candidates), given);

        QCOMPARE(displays(scan.ports), listed);
        QCOMPARE(scan.current, current);
        QCOMPARE(line.openCalls(), candidates.isEmpty() ? 50 : int(candidates.size()));
        QVERIFY(!line.isOpen());
        if (current >= 0)
            QCOMPARE(line.portName(), listed.at(current));
    }

    // Two slow probes, together longer than any start-up should wait for one,
    // leave no port unlisted; numbers the system does not list are not probed.
    void slowProbesDropNothing()
    {
        FakeSerialLine line;
        line.setOpenablePorts({"COM1", "COM3", "COM44", "COM45"});
        line.setSlowPorts({"COM45", "COM44"}, 1600);
        const PortScan scan = serial::scanWindowsPorts(line, {"COM1", "COM3", "COM44", "COM45", "COM60", "COM7"});
        QCOMPARE(displays(scan.ports), (QStringList{"COM45", "COM44", "COM3", "COM1"}));
        QCOMPARE(scan.current, 3);
        QCOMPARE(line.openCalls(), 5); // COM7 is listed but missing; COM60 is beyond the rule
        QCOMPARE(scan.refused.size(), 1);
        QCOMPARE(scan.refused.front().first.display + " " + serial::portErrorText(scan.refused.front().second),
                 QStringLiteral("COM7 no such device"));
    }

    void highestFirst()
    {
        const auto sorted = serial::highestFirst(entriesNamed({"ttyS0", "ttyUSB0", "ttyUSB10", "ttyACM0", "ttyUSB9", "ttyS1"}));
        QCOMPARE(displays(sorted), (QStringList{"ttyUSB10", "ttyUSB9", "ttyUSB0", "ttyS1", "ttyS0", "ttyACM0"}));
    }

    void portArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("repeated, in order") << QStringList{"quorvane", "--port", "/b", "--port", "/a"} << QStringList{"/b", "/a"};
        QTest::newRow("--port=PATH") << QStringList{"quorvane", "--port=/x/link"} << QStringList{"/x/link"};
        QTest::newRow("--port without a path") << QStringList{"quorvane", "--port"} << QStringList{};
        QTest::newRow("--port= empty") << QStringList{"quorvane", "--port="} << QStringList{};
        QTest::newRow("other options ignored")
            << QStringList{"quorvane", "-platform", "offscreen", "--ports", "/y", "--port", "/z"} << QStringList{"/z"};
    }

    void portArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, paths);
        QCOMPARE(serial::portArguments(arguments), paths);
    }

    void linkToASystemPortIsListedOnce()
    {
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyUSB0"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(device.fileName(), dir.filePath("usb-meter-adapter")));
        const QList<PortEntry> merged = serial::mergeCandidates(
            serial::givenCandidates({dir.filePath("usb-meter-adapter")}),
            {{"ttyUSB0", device.fileName()}, {"ttyS0", "/dev/ttyS0"}});
        QCOMPARE(displays(merged), (QStringList{"usb-meter-adapter", "ttyS0"}));
        QCOMPARE(merged.first().device, dir.filePath("usb-meter-adapter"));
    }

    void gatewayNamesAreNoPaths_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("listed");
        const QString url = QStringLiteral("rtu-tcp://127.0.0.1:1502");
        QTest::newRow("shown as given, beside the device it would name as a path")
            << QStringList{url} << QStringList{url, "ttyUSB0"};
        QTest::newRow("given twice, listed once") << QStringList{url, url} << QStringList{url, "ttyUSB0"};
        QTest::newRow("the other mode on the same address is another line")
            << QStringList{url, "modbus-tcp://127.0.0.1:1502"} << QStringList{url, "modbus-tcp://127.0.0.1:1502", "ttyUSB0"};
    }

    // Read as a relative path, "rtu-tcp://127.0.0.1:1502" names the file
    // "127.0.0.1:1502" in a folder "rtu-tcp:"; here that is a link to ttyUSB0.
    void gatewayNamesAreNoPaths()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyUSB0"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(QDir(dir.path()).mkdir("rtu-tcp:"));
        QVERIFY(QFile::link(device.fileName(), dir.filePath("rtu-tcp:/127.0.0.1:1502")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QFileInfo("rtu-tcp://127.0.0.1:1502").exists()); // what a path lookup would find
        const QList<PortEntry> merged =
            serial::mergeCandidates(serial::mergeCandidates(serial::givenCandidates(given), {}),
                                    {{"ttyUSB0", device.fileName()}});
        QDir::setCurrent(before);
        QCOMPARE(displays(merged), listed);
        QCOMPARE(merged.first().device, given.first());
    }

    // The start-up scan probes a gateway with a connection, bounded like any open.
    void gatewaysGivenAtLaunch()
    {
        QTcpServer gateway;
        QVERIFY(gateway.listen(QHostAddress::LocalHost));
        quint16 freePort = 0;
        {
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost));
            freePort = gone.serverPort();
        }
        PtyPair pty;
        QVERIFY2(pty.start("g_tool", "g_peer"), qPrintable(pty.failure()));
        const QString there = QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(gateway.serverPort());
        const QString missing = QStringLiteral("rtu-tcp://127.0.0.1:%1").arg(freePort);
        serial::AnyLine line;

        const PortScan scan = serial::scanDevicePorts(line, {missing, there, pty.nearPath()});

        QCOMPARE(displays(scan.ports.mid(0, 2)), (QStringList{there, "g_tool"}));
        QCOMPARE(scan.current, 0);
        QCOMPARE(line.portName(), there);
        QVERIFY(!line.isOpen());
        QCOMPARE(scan.refused.size(), 1);
        QCOMPARE(scan.refused.front().first.device, missing);
        QCOMPARE(scan.refused.front().second, PortError::Unreachable);
        QTRY_VERIFY_WITH_TIMEOUT(gateway.hasPendingConnections(), 3000);
    }

    void pseudoTerminalsGivenAtLaunch()
    {
        PtyPair first;
        PtyPair second;
        QVERIFY2(first.start("a_tool", "a_peer"), qPrintable(first.failure()));
        QVERIFY2(second.start("b_tool", "b_peer"), qPrintable(second.failure()));
        serial::QtSerialLine line;

        const PortScan scan =
            serial::scanDevicePorts(line, {second.nearPath(), first.folder() + "/no_such_tty", first.nearPath()});

        // The system's own ports follow the given ones.
        QCOMPARE(displays(scan.ports.mid(0, 2)), (QStringList{"b_tool", "a_tool"}));
        QCOMPARE(scan.ports.at(1).device, first.nearPath());
        QVERIFY(!displays(scan.ports).contains("no_such_tty"));
        QCOMPARE(scan.current, 0);
        QVERIFY(!line.isOpen());
        QCOMPARE(line.portName(), second.nearPath());
        // Nothing was left open or locked: both open again at once.
        for (const QString &path : {first.nearPath(), second.nearPath()}) {
            serial::QtSerialLine again;
            again.setPortName(path);
            QCOMPARE(again.open(), PortError::None);
        }
    }
};

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "tst_portdiscovery.moc"
