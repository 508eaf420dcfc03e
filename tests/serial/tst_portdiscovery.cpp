#include "fakeserialline.h"
#include "peerfixture.h"
#include "serial/portdiscovery.h"
#include "serial/qtserialline.h"

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

QList<PortEntry> entriesNamed(const QStringList &names)
{
    QList<PortEntry> entries;
    for (const QString &name : names)
        entries.append({name, "/dev/" + name});
    return entries;
}

} // namespace

class TestPortDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void windowsRule_data();
    void windowsRule();
    void spentBudgetStopsProbing();
    void givenPortsComeFirst_data();
    void givenPortsComeFirst();
    void highestFirst_data();
    void highestFirst();
    void portArguments_data();
    void portArguments();
    void linkToASystemPortIsListedOnce();
    void pseudoTerminalsGivenAtLaunch();
};

void TestPortDiscovery::windowsRule_data()
{
    QTest::addColumn<QStringList>("openable");
    QTest::addColumn<QStringList>("busy");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("portAfterScan");
    QTest::newRow("1, 3, 12 open") << QStringList{"COM1", "COM3", "COM12"} << QStringList{}
                                   << QStringList{"COM12", "COM3", "COM1"} << 2 << "COM1";
    QTest::newRow("none open") << QStringList{} << QStringList{} << QStringList{} << -1 << "COM1";
    QTest::newRow("busy COM3 left out") << QStringList{"COM1", "COM7"} << QStringList{"COM3"}
                                        << QStringList{"COM7", "COM1"} << 1 << "COM1";
    QTest::newRow("COM51 never found") << QStringList{"COM51", "COM50"} << QStringList{}
                                       << QStringList{"COM50"} << 0 << "COM50";
}

void TestPortDiscovery::windowsRule()
{
    QFETCH(QStringList, openable);
    QFETCH(QStringList, busy);
    QFETCH(QStringList, listed);
    QFETCH(int, current);
    QFETCH(QString, portAfterScan);
    FakeSerialLine line;
    line.setOpenablePorts(openable);
    line.setBusyPorts(busy);

    const PortScan scan = serial::scanWindowsPorts(line);

    QCOMPARE(displays(scan.ports), listed);
    for (const PortEntry &entry : scan.ports)
        QCOMPARE(entry.device, entry.display);
    QCOMPARE(scan.current, current);
    QCOMPARE(line.openCalls(), 50);
    QVERIFY(!line.isOpen());
    QCOMPARE(line.portName(), portAfterScan);
}

void TestPortDiscovery::spentBudgetStopsProbing()
{
    FakeSerialLine line;
    line.setOpenablePorts({"COM1"});
    const PortScan scan = serial::scanWindowsPorts(line, std::chrono::milliseconds(0));
    QCOMPARE(line.openCalls(), 0);
    QCOMPARE(scan.current, -1);
}

void TestPortDiscovery::givenPortsComeFirst_data()
{
    // Candidates: given "g1", "g2", then system ports "s2", "s1".
    QTest::addColumn<QStringList>("openable");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("current");
    QTest::newRow("all open: first given current") << QStringList{"g1", "g2", "s1", "s2"}
                                                   << QStringList{"g1", "g2", "s2", "s1"} << 0;
    QTest::newRow("first given missing: second current") << QStringList{"g2", "s1"}
                                                         << QStringList{"g2", "s1"} << 0;
    QTest::newRow("no given opens: lowest system current") << QStringList{"s1", "s2"}
                                                           << QStringList{"s2", "s1"} << 1;
}

void TestPortDiscovery::givenPortsComeFirst()
{
    QFETCH(QStringList, openable);
    QFETCH(QStringList, listed);
    QFETCH(int, current);
    FakeSerialLine line;
    QStringList devices;
    for (const QString &name : openable)
        devices.append("/dev/" + name);
    line.setOpenablePorts(devices);

    const PortScan scan = serial::probeCandidates(line, entriesNamed({"g1", "g2", "s2", "s1"}), 2);

    QCOMPARE(displays(scan.ports), listed);
    QCOMPARE(scan.current, current);
    QCOMPARE(line.portName(), scan.ports.at(current).device);
    QVERIFY(!line.isOpen());
}

void TestPortDiscovery::highestFirst_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numbers compare as numbers")
        << QStringList{"ttyS0", "ttyUSB0", "ttyUSB10", "ttyACM0", "ttyUSB9", "ttyS1"}
        << QStringList{"ttyUSB10", "ttyUSB9", "ttyUSB0", "ttyS1", "ttyS0", "ttyACM0"};
}

void TestPortDiscovery::highestFirst()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    QCOMPARE(displays(serial::highestFirst(entriesNamed(names))), sorted);
}

void TestPortDiscovery::portArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("none") << QStringList{"quorvane"} << QStringList{};
    QTest::newRow("--port /dev/pts/3") << QStringList{"quorvane", "--port", "/dev/pts/3"} << QStringList{"/dev/pts/3"};
    QTest::newRow("repeated, in order") << QStringList{"quorvane", "--port", "/b", "--port", "/a"} << QStringList{"/b", "/a"};
    QTest::newRow("--port=PATH") << QStringList{"quorvane", "--port=/x/link"} << QStringList{"/x/link"};
    QTest::newRow("--port without a path") << QStringList{"quorvane", "--port"} << QStringList{};
    QTest::newRow("--port= empty") << QStringList{"quorvane", "--port="} << QStringList{};
    QTest::newRow("other options ignored")
        << QStringList{"quorvane", "-platform", "offscreen", "--ports", "/y", "--port", "/z"} << QStringList{"/z"};
}

void TestPortDiscovery::portArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QCOMPARE(serial::portArguments(arguments), paths);
}

void TestPortDiscovery::linkToASystemPortIsListedOnce()
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

void TestPortDiscovery::pseudoTerminalsGivenAtLaunch()
{
    PtyPair first;
    PtyPair second;
    QVERIFY2(first.start("a_tool", "a_peer"), qPrintable(first.failure()));
    QVERIFY2(second.start("b_tool", "b_peer"), qPrintable(second.failure()));
    const QString missing = first.folder() + "/no_such_tty";
    serial::QtSerialLine line;

    const PortScan scan = serial::scanDevicePorts(line, {second.nearPath(), missing, first.nearPath()});

    QVERIFY(scan.ports.size() >= 2); // the system's own ports follow
    QCOMPARE(scan.ports.at(0).display, QString("b_tool"));
    QCOMPARE(scan.ports.at(0).device, second.nearPath());
    QCOMPARE(scan.ports.at(1).display, QString("a_tool"));
    QCOMPARE(scan.ports.at(1).device, first.nearPath());
    QCOMPARE(scan.current, 0);
    for (const PortEntry &entry : scan.ports)
        QVERIFY(entry.device != missing);
    QVERIFY(!line.isOpen());
    QCOMPARE(line.portName(), second.nearPath());
    // Nothing was left open or locked: both open again at once.
    for (const QString &path : {first.nearPath(), second.nearPath()}) {
        serial::QtSerialLine again;
        again.setPortName(path);
        QCOMPARE(again.open(), PortError::None);
    }
}

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "tst_portdiscovery.moc"
