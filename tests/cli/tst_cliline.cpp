// quorvane-cli on real lines: pseudo-terminals with the independent pymodbus
// slave or the meter simulator on the far end.
#include "clirun.h"
#include "peerfixture.h"
#include "simulatorlink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>


class TestCliLine : public QObject
{
    Q_OBJECT
    PeerFixture m_peer;

private slots:
    void initTestCase()
    {
        PeerMeter meter;
        meter.slaveId = 1;
        meter.energy = 1234.5677f;
        meter.scaledEnergy = 1205;
        meter.without = {0x0048}; // no import energy: its read is an exception
        QVERIFY2(m_peer.start(meter), qPrintable(m_peer.failure()));
    }
    void againstIndependentSlave_data();
    void againstIndependentSlave();
    void simulatorFaults_data();
    void simulatorFaults();
    void echoingLineWithSilentMeter();
    void lateReadReplyIsNoAcknowledgment();
    void jsonAndTrace();
    void scanFindsTheBus();
    void sharedAddressScanned_data();
    void sharedAddressScanned();
    void sharedAddressChanged_data();
    void sharedAddressChanged();
    void twoLinesAtOnce();
    void setChangesAndVerifies();
    void planOfThreeRows();
    void planOntoTakenAddresses();
    void planThroughAPortThatDies();
    void signalsLeaveThePortUsable();
    void scanJsonThroughALostPort();
    void historyBesideTheProgram();
    void portThatDoesNotOpen();
    void pollCounts_data();
    void pollCounts();
    void pollScannedLines();
    void pollInterrupted();
};

namespace {

// The closing table's counters of each meter, by address: "sent answered timeouts crc wrong other | exceptions".
QMap<int, QString> pollCounters(const QString &out)
{
    QMap<int, QString> counters;
    for (const auto &line : out.split('\n')) {
        const auto cells = line.split(QRegularExpression("  +"));
        if (cells.size() < 17 || cells[0] == "port")
            continue;
        counters[cells[1].toInt()] = QStringList(cells.mid(3, 6)).join(' ') + " | " + cells.mid(16).join("  ");
    }
    return counters;
}

} // namespace

void TestCliLine::againstIndependentSlave_data()
{
    QTest::addColumn<QStringList>("operation"); // meter, command, then value options
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("firstRegister"); // what the slave holds afterwards; -1: nothing to look at
    QTest::addColumn<QList<quint16>>("registers");
    const auto row = [](const char *name, QStringList op, int code, const char *out, int first = -1, QList<quint16> regs = {}) {
        QTest::newRow(name) << op << code << QString(out) << first << regs;
    };
    row("Tarvik CT Read Energy", {"Tarvik CT", "Read Energy"}, 0, "Current Energy is 1234.5677 KWh.");
    row("Morel-K Read Energy", {"Morel-K", "Read Energy"}, 0, "Current Energy is 120.5 KWh.");
    row("Tarvik CT Modify Baud Rate", {"Tarvik CT", "Modify Baud Rate", "--value", "19200"}, 0, "Baud Rate is 19200.",
        0x001C, {0x4040, 0});
    row("Tarvik CT Modify Meter Address", {"Tarvik CT", "Modify Meter Address", "--value", "7"}, 0,
        "Meter Address is  7.", 0x0014, {0x40E0, 0});
    row("Tarvik CT Modify Parity", {"Tarvik CT", "Modify Parity", "--value", "ODD", "--value2", "1"}, 0,
        "Parity is ODD. Stop Bit is 1.", 0x0012, {0x4000, 0});
    row("Morel-K Modify Baud Rate", {"Morel-K", "Modify Baud Rate", "--value", "4800"}, 0, "Baud Rate is 4800.", 0xF800, {3});
    row("Morel-K Modify Meter Address", {"Morel-K", "Modify Meter Address", "--value", "33"}, 0, "Meter Address is  33.",
        0x000F, {33});
    row("Morel-K Set CT", {"Morel-K", "Set CT", "--value", "150", "--value2", "5"}, 0, "Current CT Ratio is 150/5.", 0xF900, {6});
    // The slave holds no import energy register: its exception comes back named.
    row("a register it lacks", {"Corvi Link", "Read Import Energy"}, 1, "rejected: exception 02 (Illegal Data Address)");
    row("refused before anything is sent", {"Tarvik CT", "Modify Baud Rate", "--value", "1200"}, 1, "");
}

void TestCliLine::againstIndependentSlave()
{
    QFETCH(QStringList, operation);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(int, firstRegister);
    QFETCH(QList<quint16>, registers);
    const QByteArray meter = operation.takeFirst().toUtf8();
    const QByteArray command = operation.takeFirst().toUtf8();
    const CliRun run = RunCli(runOp(m_peer.toolPort(), meter, command, 1, operation));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out.isEmpty() ? out : out + "\n");
    if (firstRegister >= 0)
        QCOMPARE(m_peer.holding(quint16(firstRegister), int(registers.size())), std::optional(registers));
}

void TestCliLine::simulatorFaults_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    const QString energy = "Current Energy is 1234.5677 KWh.\n";
    QTest::newRow("silent -> timeout") << QStringList{"--fault", "silent"} << QStringList{"--timeout", "200"} << 3 << "timeout\n";
    QTest::newRow("bad-crc") << QStringList{"--fault", "bad-crc"} << QStringList{} << 1 << "rejected: bad CRC\n";
    QTest::newRow("exception named") << QStringList{"--fault", "exception:2"} << QStringList{} << 1
                                     << "rejected: exception 02 (Illegal Data Address)\n";
    // Gaps within the reply shorter than the Modbus silence: one reply, judged once.
    QTest::newRow("split, gaps under t3.5") << QStringList{"--fault", "split:3:1"} << QStringList{} << 0 << energy;
    // A gap longer than the silence ends the reply early: what came is too short.
    QTest::newRow("split, gaps over t3.5") << QStringList{"--fault", "split:2:30"} << QStringList{} << 1
                                           << "rejected: too short\n";
    QTest::newRow("late, within the time-out") << QStringList{"--fault", "late:300"} << QStringList{} << 0 << energy;
    QTest::newRow("late, past the time-out") << QStringList{"--fault", "late:800"} << QStringList{"--timeout", "100"} << 3
                                             << "timeout\n";
    // The reply is whole at its expected length; what follows is said, not judged.
    QTest::newRow("garbage after the reply") << QStringList{"--fault", "garbage:4"} << QStringList{} << 0 << energy;
    QTest::newRow("three polls") << QStringList{} << QStringList{"--repeat", "3"} << 0 << energy + energy + energy;
    // A 2-wire adapter gives the request back before the reply.
    QTest::newRow("echo skipped with --echo") << QStringList{"--fault", "echo"} << QStringList{"--echo"} << 0 << energy;
    // Without --echo the request coming back is said to be one, never judged as the meter's answer.
    QTest::newRow("echo without --echo") << QStringList{"--fault", "echo"} << QStringList{} << 1
                                         << "rejected: the line echoes the request; try --echo\n";
    // A reply after the time-out is thrown away before the next poll, never taken for its answer.
    // (Margins a loaded machine keeps: the answer comes 700 ms after the time-out, inside a settle of 1.5 s.)
    QTest::newRow("late, polled again") << QStringList{"--fault", "late:800"}
                                        << QStringList{"--timeout", "100", "--settle", "1500", "--repeat", "3"} << 3
                                        << "timeout\ntimeout\ntimeout\n";
}

void TestCliLine::simulatorFaults()
{
    QFETCH(QStringList, simulator);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    Simulator sim;
    QVERIFY(sim.start(simulator));
    const CliRun run = RunCli(runOp(sim.link, "Tarvik CT", "Read Energy", 1, options));
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    if (options.contains("--repeat") && simulator.value(1).startsWith("late"))
        QVERIFY2(run.err.contains("late reply discarded: 9 bytes, "), qPrintable(run.err));
}

// A 2-wire adapter gives every request back and the meter is silent: no action
// takes the request for an answer.
void TestCliLine::echoingLineWithSilentMeter()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--fault", "echo,silent"}));
    CliRun run = RunCli(runOp(sim.link, "Tarvik CT", "Modify Baud Rate", 1, {"--value", "19200"}));
    QCOMPARE(run.out, QString("rejected: the line echoes the request; try --echo\n"));
    QCOMPARE(run.exitCode, 1);
    run = RunCli({"set", "--port", sim.link, "--meter", "Tarvik CT", "--address", "1", "--new-address", "2", "--no-history"});
    QCOMPARE(run.out, QString("Modify Meter Address at 1 to 2: rejected: the line echoes the request; try --echo\n"));
    QCOMPARE(run.exitCode, 1);
    run = RunCli({"scan", "--port", sim.link, "--baud", "9600", "--parity", "none", "--stop-bits", "1", "--addresses", "1-3"});
    QCOMPARE(run.out, QString("no meter answered\n"));
    QCOMPARE(run.err, QString("note: the line echoes the request; try --echo\n"));
    QCOMPARE(run.exitCode, 3);
}

// A read that timed out answers late, while a write to the same meter is
// awaited: a read reply is never that write's acknowledgment.
void TestCliLine::lateReadReplyIsNoAcknowledgment()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--fault", "late:1500"}));
    QCOMPARE(RunCli(runOp(sim.link, "Tarvik CT", "Read Energy", 1)).exitCode, 3);
    const CliRun run = RunCli({"set", "--port", sim.link, "--meter", "Tarvik CT", "--address", "1", "--new-address", "2",
                               "--force", "--no-history"});
    QVERIFY2(!run.out.contains("acknowledged"), qPrintable(run.out));
    QVERIFY(run.exitCode != 0);
}

void TestCliLine::jsonAndTrace()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Morel-K@3", "--energy", "1234.5"}));
    const CliRun run = RunCli(runOp(sim.link, "Morel-K", "Read Energy", 3, {"--json", "--trace"}));
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    // Each frame with its time since the start and the gap since the one before, to 0.1 ms.
    const QRegularExpression traced(R"(^ +\d+\.\d ms +\+\d+\.\d ms  (SEND : 03 03 01 1E 00 02 A4 13|REV    : 03 03 04 00 00 30 39 \w\w \w\w)$)");
    QVERIFY2(traced.match(lines[0]).hasMatch(), qPrintable(lines[0]));
    QVERIFY2(traced.match(lines[1]).hasMatch(), qPrintable(lines[1]));
    const QJsonObject json = QJsonDocument::fromJson(lines[2].toUtf8()).object();
    QCOMPARE(json.value("meter").toString(), QString("Morel-K"));
    QCOMPARE(json.value("command").toString(), QString("Read Energy"));
    QCOMPARE(json.value("address").toInt(), 3);
    QCOMPARE(json.value("outcome").toString(), QString("success"));
    QCOMPARE(json.value("detail").toString(), QString("Current Energy is 1234.5 KWh."));
    QCOMPARE(json.value("request").toString(), QString("03 03 01 1E 00 02 A4 13"));
    QVERIFY(json.value("reply").toString().startsWith("03 03 04 00 00 30 39"));
    QCOMPARE(json.value("energy_kwh").toDouble(), 1234.5);
    QVERIFY(json.value("elapsed_ms").toDouble() > 0);
}

// Two meters at two addresses and two baud rates on one line.
void TestCliLine::scanFindsTheBus()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Morel-K@17,19200", "--energy", "1234.5"}));
    const CliRun run = RunCli({"scan", "--port", sim.link, "--baud", "9600,19200", "--parity", "none", "--stop-bits", "1",
                            "--addresses", "1-3,16-18", "--json"});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray found = QJsonDocument::fromJson(run.out.toUtf8()).array();
    QStringList seen;
    for (const auto &entry : found) {
        const QJsonObject o = entry.toObject();
        QStringList types;
        for (const auto &t : o.value("meter_types").toArray())
            types << t.toString();
        seen << QString("%1 %2 %3/%4 %5: %6 (%7)")
                    .arg(o.value("address").toInt())
                    .arg(o.value("baud").toInt())
                    .arg(o.value("parity").toString())
                    .arg(o.value("stop_bits").toInt())
                    .arg(o.value("answered").toString(), types.join(','))
                    .arg(o.value("energy_kwh").toObject().value(types.value(0)).toDouble());
    }
    QCOMPARE(seen, (QStringList{"1 9600 none/1 read: Tarvik CT,Tarvik DC,Pesca-N,Corvi Link,Corvi-R,Lunet-K,Ventra,Morel Serial (1234.5)",
                                "17 19200 none/1 read: Morel-K,Pesca-K (1234.5)"}));
    // Nothing at the probed settings: exit 3.
    QCOMPARE(RunCli({"scan", "--port", sim.link, "--baud", "4800", "--addresses", "1-2"}).exitCode, 3);

    // A reply cut once is asked for again and the meter identified; one always cut is listed as what it is.
    const QStringList oneSetting{"--baud", "9600", "--parity", "none", "--stop-bits", "1", "--addresses", "1-2"};
    for (const auto &[fault, listed] : {std::pair{"split:2:40,once", "address 1 at 9600 8N1: answered a read; can be Tarvik CT"},
                                        std::pair{"split:2:40", "address 1 at 9600 8N1: bytes without a valid frame"}}) {
        Simulator cut;
        QVERIFY(cut.start({"--meter", "Tarvik CT@1", "--fault", fault}));
        const CliRun scan = RunCli(QStringList{"scan", "--port", cut.link} + oneSetting);
        QVERIFY2(scan.out.startsWith(listed), qPrintable(scan.out));
    }
}

// Two meters at one address answer together and garble each other: beside
// clean neighbours the address is suspected, alone it may be noise.
void TestCliLine::sharedAddressScanned_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // each line of the text output begins so, in order
    QTest::addColumn<QStringList>("json");  // "address answered suspect" of each device
    const QStringList neighbours{"--meter", "Tarvik CT@1", "--meter", "Morel-K@7"};
    const QStringList twoAtFive{"--meter", "Tarvik CT@5", "--meter", "Morel-K@5"};
    const QString suspected = "address 5 at 9600 8N1: bytes without a valid frame; two devices suspected at address 5: "
                              "disconnect one, re-address the other, reconnect";
    const QStringList found{"address 1 at 9600 8N1: answered a read; can be Tarvik CT",
                            "address 7 at 9600 8N1: answered a read; can be Morel-K"};
    const QStringList foundJson{"1 read -", "7 read -"};
    // The seed decides how the two replies overlap; every overlap is suspected.
    for (const char *seed : {"1", "2", "3"})
        QTest::newRow(qPrintable(QString("two at 5 between clean ones, seed ") + seed))
            << neighbours + twoAtFive + QStringList{"--seed", seed} << 0 << found + QStringList{suspected}
            << foundJson + QStringList{"5 garbled duplicate"};
    QTest::newRow("two at 5, nothing else on the line")
        << twoAtFive << 3 << QStringList{"address 5 at 9600 8N1: bytes without a valid frame"}
        << QStringList{"5 garbled -"};
    // Noise that cuts the first reply only: asked again, the meter answers every time.
    QTest::newRow("one reply cut once beside a clean one")
        << neighbours + QStringList{"--fault", "split:2:40,once"} << 0 << found << foundJson;
    // Every reply cut: nothing answers cleanly, so nothing points to two devices.
    QTest::newRow("every reply cut") << neighbours + QStringList{"--fault", "split:2:40"} << 3
                                     << QStringList{"address 1 at 9600 8N1: bytes without a valid frame",
                                                    "address 7 at 9600 8N1: bytes without a valid frame"}
                                     << QStringList{"1 garbled -", "7 garbled -"};
}

void TestCliLine::sharedAddressScanned()
{
    QFETCH(QStringList, simulator);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, json);
    Simulator sim;
    QVERIFY(sim.start(simulator));
    const QStringList scan{"scan", "--port", sim.link, "--baud", "9600", "--parity", "none", "--stop-bits", "1",
                           "--addresses", "1-8"};
    CliRun run = RunCli(scan);
    QCOMPARE(run.exitCode, exitCode);
    const QStringList out = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(out.size(), lines.size());
    for (qsizetype i = 0; i < out.size(); ++i)
        QVERIFY2(out[i].startsWith(lines[i]), qPrintable(out[i]));
    run = RunCli(scan + QStringList{"--json"});
    QCOMPARE(run.exitCode, exitCode);
    QStringList seen;
    for (const auto &entry : QJsonDocument::fromJson(run.out.toUtf8()).array()) {
        const QJsonObject o = entry.toObject();
        seen << QString("%1 %2 %3").arg(o.value("address").toInt()).arg(o.value("answered").toString(),
                                                                         o.value("suspect").toString("-"));
    }
    QCOMPARE(seen, json);
}

// A change at an address two meters answer at would reach both: refused
// before anything is written, unless --force; a plan row alike.
void TestCliLine::sharedAddressChanged_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // the beginning of what set prints
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("written"); // the meters at 5 were sent a write
    const QString refusal = "address 5 answers with garbled replies: two devices suspected; the change would reach both";
    QTest::newRow("set refused") << QStringList{"--address", "5", "--new-address", "9"} << 1 << QString()
                                 << "refused: " + refusal + " (--force writes it all the same)\n" << false;
    QTest::newRow("set refused, a new baud rate") << QStringList{"--address", "5", "--new-baud", "19200"} << 1 << QString()
                                                  << "refused: " + refusal + " (--force writes it all the same)\n" << false;
    // Both meters carry the write out; what comes back is their garble.
    QTest::newRow("set --force writes") << QStringList{"--address", "5", "--new-address", "9", "--force"} << 1
                                        << "Modify Meter Address at 5 to 9: rejected: " << QString() << true;
    QTest::newRow("plan row refused") << QStringList{"--plan", "5,Tarvik CT,9"} << 1 << QString()
                                      << "refused: " + refusal + " (--force writes it all the same)\n" << false;
    // The neighbour's change goes on as ever.
    QTest::newRow("neighbour changed") << QStringList{"--address", "1", "--new-address", "2"} << 0
                                       << "Modify Meter Address at 1 to 2: acknowledged" << QString() << false;
}

void TestCliLine::sharedAddressChanged()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, written);
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Tarvik CT@5", "--meter", "Morel-K@5", "--seed", "2"}));
    QTemporaryDir folder;
    if (options.first() == "--plan") {
        QFile plan(folder.filePath("plan.csv"));
        QVERIFY(plan.open(QIODevice::WriteOnly));
        plan.write("address,meter,new_address\n" + options.last().toUtf8() + "\n");
        options = QStringList{"--plan", plan.fileName()};
    } else {
        options += QStringList{"--meter", "Tarvik CT"};
    }
    const CliRun run = RunCli(QStringList{"set", "--port", sim.link, "--no-history"} + options);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.startsWith(out), qPrintable(run.out));
    if (!err.isEmpty())
        QCOMPARE(run.err, err);
    // The simulator logs every write a meter at 5 carried out.
    QCOMPARE(sim.log().contains("@5: write "), written);
    if (options.first() == "--plan") {
        QFile result(folder.filePath("plan-result.csv"));
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(result.readAll()),
                 "address,meter,new_address,outcome,detail\n5,Tarvik CT,9,refused," + err.mid(9, err.indexOf(" (--force") - 9) + "\n");
    }
}

// Two lines worked at the same time, each line's output named by its port;
// Ctrl+C ends a sweep of both with what was found.
void TestCliLine::twoLinesAtOnce()
{
    Simulator one, two;
    QVERIFY(one.start({"--meter", "Tarvik CT@1"}));
    QVERIFY(two.start({"--meter", "Morel-K@7", "--fault", "silent"}));
    const QStringList ports{"--port", one.link, "--port", two.link};
    CliRun run = RunCli(runOp(one.link, "Tarvik CT", "Read Energy", 1, {"--port", two.link, "--timeout", "200"}));
    QCOMPARE(run.exitCode, 3);
    QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QStringList expected{one.link + ": Current Energy is 1234.5677 KWh.", two.link + ": timeout"};
    expected.sort();
    QCOMPARE(lines, expected);

    QProcess scan;
    scan.start(CliProgram(), QStringList{"scan", "--baud", "9600", "--parity", "none", "--stop-bits", "1", "--json"} + ports);
    QFile log(one.logPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT((heard += log.readAll()).contains("RX    05 04"), 20000);
    ::kill(pid_t(scan.processId()), SIGINT);
    QVERIFY(scan.waitForFinished(10000));
    QCOMPARE(scan.exitCode(), 130);
    const QJsonArray found = QJsonDocument::fromJson(scan.readAllStandardOutput()).array();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].toObject().value("port").toString(), one.link);
    QVERIFY(QString::fromUtf8(scan.readAllStandardError()).contains("interrupted after "));

    // A plan for both lines names each row's line.
    QTemporaryDir folder;
    QFile plan(folder.filePath("plan.csv"));
    QVERIFY(plan.open(QIODevice::WriteOnly));
    plan.write(QString("port,address,meter,new_address\n%1,1,Tarvik CT,5\n%2,7,Morel-K,5\n").arg(one.link, two.link).toUtf8());
    plan.close();
    run = RunCli(QStringList{"set", "--plan", plan.fileName(), "--timeout", "200", "--no-history"} + ports);
    QCOMPARE(run.exitCode, 3);
    QFile result(folder.filePath("plan-result.csv"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(result.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.takeFirst(), QString("port,address,meter,new_address,outcome,detail"));
    rows.sort();
    expected = QStringList{one.link + ",1,Tarvik CT,5,verified,Modify Meter Address to 5: verified",
                           two.link + ",7,Morel-K,5,timeout,Modify Meter Address to 5: timeout (no reply to Modify Meter Address)"};
    expected.sort();
    QCOMPARE(rows, expected);
}

// A new address, then a new baud rate, each checked on the line.
void TestCliLine::setChangesAndVerifies()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Morel-K@2"}));
    const CliRun run = RunCli({"set", "--port", sim.link, "--meter", "Morel-K", "--address", "2", "--new-address", "17",
                            "--new-baud", "19200", "--no-history"});
    QCOMPARE(run.out, QString("Modify Meter Address at 2 to 17: acknowledged (Meter Address is  17.), verified: answers at 17 9600 8N1\n"
                              "Modify Baud Rate at 17 to 19200: acknowledged (Baud Rate is 19200.), verified: answers at 17 19200 8N1\n"));
    QCOMPARE(run.exitCode, 0);
    // The meter really is there now, and only there.
    QCOMPARE(RunCli(runOp(sim.link, "Morel-K", "Read Energy", 17, {"--baud", "19200"})).exitCode, 0);
    QCOMPARE(RunCli(runOp(sim.link, "Morel-K", "Read Energy", 2, {"--baud", "19200", "--timeout", "100"})).exitCode, 3);
}

// Three meters from a plan; the first acknowledges its new address but keeps the old one.
void TestCliLine::planOfThreeRows()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Pesca-K@5", "--meter", "Morel-K@17", "--fault", "keep-settings,once"}));
    QTemporaryDir folder;
    QFile plan(folder.filePath("plan.csv"));
    QVERIFY(plan.open(QIODevice::WriteOnly));
    // As a spreadsheet saves it: a byte order mark, CRLF, quoted fields, a header
    // in its own letter case and a column of the technician's own, which is kept.
    plan.write("\xEF\xBB\xBF" "Address,Meter,New_Address,New_Baud,New_Parity,New_Stop_Bits,Cabinet\r\n"
               "1,\"Tarvik CT\",11,,,,\"A, left\"\r\n"
               "\"5\",Pesca-K,6,19200,,,B\r\n"
               "17,Morel-K,,4800,,,\r\n");
    plan.close();
    const CliRun run = RunCli({"set", "--port", sim.link, "--plan", plan.fileName(), "--timeout", "200", "--no-history"});
    QCOMPARE(run.exitCode, 5);
    QFile result(folder.filePath("plan-result.csv"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(result.readAll()),
             QString("Address,Meter,New_Address,New_Baud,New_Parity,New_Stop_Bits,Cabinet,outcome,detail\n"
                     "1,Tarvik CT,11,,,,\"A, left\",unverified,Modify Meter Address to 11: unverified (no answer at 11)\n"
                     "5,Pesca-K,6,19200,,,B,verified,Modify Meter Address to 6: verified; Modify Baud Rate to 19200: verified\n"
                     "17,Morel-K,,4800,,,,verified,Modify Baud Rate to 4800: verified\n"));
}

// The same History.log line the window writes, in the file beside the program.
void TestCliLine::historyBesideTheProgram()
{
    QTemporaryDir programFolder;
    const QString program = programFolder.filePath("quorvane-cli");
    QVERIFY(QFile::copy(CliProgram(), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--fault", "exception:2,once"}));
    // A log the window's start-up would warn about is kept aside before it grows on.
    QFile full(programFolder.filePath("History.log"));
    QVERIFY(full.open(QIODevice::WriteOnly));
    full.write(QByteArray(1572864, 'x'));
    full.close();
    QStringList op = runOp(sim.link, "Tarvik CT", "Read Energy", 1, {"--repeat", "2", "--history"});
    op.removeAll("--no-history");
    const CliRun run = RunCli(op, program);
    QCOMPARE(run.exitCode, 1); // not every poll succeeded
    QCOMPARE(QFileInfo(programFolder.filePath("History.log.1")).size(), 1572864);
    QVERIFY2(run.err.contains("History.log.1"), qPrintable(run.err));
    // Without --history the polls of --repeat leave no line.
    QStringList poll = runOp(sim.link, "Tarvik CT", "Read Energy", 1, {"--repeat", "2"});
    poll.removeAll("--no-history");
    QCOMPARE(RunCli(poll, program).exitCode, 0);
    QFile log(programFolder.filePath("History.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QRegularExpression lines(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d : Tarvik CT meter Read Energy operation Fail! The response data error\.\r\n)"
                                   R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d : Tarvik CT meter Read Energy operation success\.Current Energy is 1234\.5677 KWh\.\r\n$)");
    QVERIFY2(lines.match(QString::fromUtf8(log.readAll())).hasMatch(), "History.log lines");
}

// A meter moved onto an address that answers, or two rows that would leave two
// meters at one address: refused, and no meter is hidden.
void TestCliLine::planOntoTakenAddresses()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Morel-K@30"}));
    QTemporaryDir folder;
    const auto planFile = [&](const char *name, const QByteArray &text) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName() : QString();
    };
    CliRun run = RunCli({"set", "--port", sim.link, "--no-history", "--plan",
                         planFile("two.csv", "address,meter,new_address\n1,Tarvik CT,31\n30,Morel-K,31\n")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, folder.filePath("two.csv") + " lines 2 and 3: both leave a meter at address 31\nnothing was sent\n");
    run = RunCli({"set", "--port", sim.link, "--no-history", "--plan",
                  planFile("onto.csv", "address,meter,new_address\n1,Tarvik CT,30\n")});
    QCOMPARE(run.exitCode, 1);
    QFile result(folder.filePath("onto-result.csv"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), QByteArray("address,meter,new_address,outcome,detail\n1,Tarvik CT,30,refused,address 30 is in use\n"));
    QCOMPARE(RunCli(runOp(sim.link, "Tarvik CT", "Read Energy", 1)).exitCode, 0);
}

// The simulator dies in the middle of a plan: every row still gets its result.
void TestCliLine::planThroughAPortThatDies()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Tarvik CT@2", "--meter", "Tarvik CT@3", "--meter", "Tarvik CT@4"}));
    QTemporaryDir folder;
    QFile plan(folder.filePath("plan.csv"));
    QVERIFY(plan.open(QIODevice::WriteOnly));
    plan.write("address,meter,new_address\n1,Tarvik CT,11\n2,Tarvik CT,12\n3,Tarvik CT,13\n4,Tarvik CT,14\n");
    plan.close();
    QProcess cli;
    cli.start(CliProgram(), {"set", "--port", sim.link, "--plan", plan.fileName(), "--timeout", "200", "--no-history"});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += cli.readAllStandardOutput()).contains("row 2 "), 20000);
    sim.process.kill();
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 4);
    QFile result(folder.filePath("plan-result.csv"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = result.readAll().split('\n');
    QCOMPARE(rows.size(), 6); // the header, four rows, the last line end
    QVERIFY2(rows[1].startsWith("1,Tarvik CT,11,verified,"), rows[1].constData());
    QCOMPARE(rows[4], QByteArray("4,Tarvik CT,14,not run,not run: the port failed"));
}

// Stopped by SIGTERM, or by a reader that goes away (SIGPIPE), the command line
// closes its port: the next program opens it at once.
void TestCliLine::signalsLeaveThePortUsable()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1"}));
    QProcess cli;
    cli.start(CliProgram(), runOp(sim.link, "Tarvik CT", "Read Energy", 1, {"--repeat", "100000"}));
    QVERIFY(cli.waitForReadyRead(10000));
    cli.terminate();
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError()).startsWith("interrupted after "));
    // The port opens again (the answer to the request cut off may still be on its way).
    const auto opensAgain = [&] {
        const CliRun next = RunCli(runOp(sim.link, "Tarvik CT", "Read Energy", 1));
        return next.exitCode != 4 && !next.err.contains("in use");
    };
    QVERIFY(opensAgain());

    QProcess shell;
    shell.start("bash", QStringList{"-c", R"("$0" "$@" | head -1)", CliProgram()}
                            + runOp(sim.link, "Tarvik CT", "Read Energy", 1, {"--repeat", "50"}));
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.readAllStandardOutput(), QByteArray("Current Energy is 1234.5677 KWh.\n"));
    QVERIFY(opensAgain());
}

// The port goes away in the middle of a sweep: what was found is printed all the same.
void TestCliLine::scanJsonThroughALostPort()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1"}));
    QProcess cli;
    cli.start(CliProgram(), {"scan", "--port", sim.link, "--baud", "9600", "--parity", "none", "--stop-bits", "1",
                             "--addresses", "1-247", "--json"});
    QFile log(sim.folder.filePath("sim.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT((heard += log.readAll()).contains("RX    0A 04"), 20000);
    sim.process.kill();
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 4);
    const QJsonArray found = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].toObject().value("address").toInt(), 1);
}

void TestCliLine::portThatDoesNotOpen()
{
    QTemporaryDir folder;
    const CliRun run = RunCli(runOp(folder.filePath("no_such_tty"), "Tarvik CT", "Read Energy", 1));
    QCOMPARE(run.exitCode, 4);
    QCOMPARE(run.err, "cannot open " + folder.filePath("no_such_tty") + ": no such device\n");
}

// Faults of the simulator counted as they were injected: "once" aims them at
// the first request, that of address 1 in the first round.
void TestCliLine::pollCounts_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("first"); // address 1: sent answered timeouts crc wrong other | exceptions
    QTest::addColumn<QString>("seventh");
    const QString clean = "3 3 0 0 0 0 | -";
    QTest::newRow("clean") << QStringList{} << QStringList{} << 0 << clean << clean;
    QTest::newRow("bad-crc once") << QStringList{"--fault", "bad-crc,once"} << QStringList{} << 6 << "3 2 0 1 0 0 | -" << clean;
    QTest::newRow("silent once") << QStringList{"--fault", "silent,once"} << QStringList{} << 6 << "3 2 1 0 0 0 | -" << clean;
    QTest::newRow("exception 02 once") << QStringList{"--fault", "exception:2,once"} << QStringList{} << 6
                                       << "3 2 0 0 0 0 | 02 Illegal Data Address: 1" << clean;
    // The late reply is thrown away while the line settles: never counted for address 7.
    QTest::newRow("late past the time-out, once") << QStringList{"--fault", "late:600,once"}
                                                  << QStringList{"--settle", "1200"} << 6 << "3 2 1 0 0 0 | -" << clean;
    QTest::newRow("all silent") << QStringList{"--fault", "silent"} << QStringList{} << 3 << "3 0 3 0 0 0 | -"
                                << "3 0 3 0 0 0 | -";
    QTest::newRow("no meter at 7") << QStringList{"--meter", "Tarvik CT@1"} << QStringList{} << 3 << clean << "3 0 3 0 0 0 | -";
}

void TestCliLine::pollCounts()
{
    QFETCH(QStringList, simulator);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, first);
    QFETCH(QString, seventh);
    Simulator sim;
    QVERIFY(sim.start(simulator.contains("--meter") ? simulator : simulator + QStringList{"--meter", "Tarvik CT@1", "--meter", "Morel-K@7"}));
    const CliRun run = RunCli(QStringList{"poll", "--port", sim.link, "--meters", "Tarvik CT@1,Morel-K@7", "--count", "3",
                                          "--interval", "0", "--timeout", "500"} + options);
    QCOMPARE(run.exitCode, exitCode);
    const auto counters = pollCounters(run.out);
    QCOMPARE(counters.value(1), first);
    QCOMPARE(counters.value(7), seventh);
    // One line per reading before the table.
    QCOMPARE(run.out.count(QRegularExpression("^\\S+ " + QRegularExpression::escape(sim.link) + " [17] ",
                                              QRegularExpression::MultilineOption)), 6);
    if (first.startsWith("3 3"))
        QVERIFY2(run.out.contains(sim.link + " 1 answered 1234.5677 kWh "), qPrintable(run.out));
}

// A scan of two lines, its JSON given to poll: each meter read on its own line only, as JSON lines and CSV.
void TestCliLine::pollScannedLines()
{
    Simulator one, two;
    QVERIFY(one.start({"--meter", "Tarvik CT@1"}));
    QVERIFY(two.start({"--meter", "Morel-K@7"}));
    QTemporaryDir folder;
    const QStringList ports{"--port", one.link, "--port", two.link};
    const CliRun scan = RunCli(QStringList{"scan", "--baud", "9600", "--parity", "none", "--stop-bits", "1", "--addresses",
                                           "1-8", "--json"} + ports);
    QCOMPARE(scan.exitCode, 0);
    QFile bus(folder.filePath("bus.json"));
    QVERIFY(bus.open(QIODevice::WriteOnly));
    bus.write(scan.out.toUtf8());
    bus.close();
    const QString csvPath = folder.filePath("readings.csv");
    const CliRun run = RunCli(QStringList{"poll", "--from", bus.fileName(), "--count", "2", "--interval", "100", "--json",
                                          "--csv", csvPath} + ports);
    QCOMPARE(run.exitCode, 0);
    QStringList seen;
    for (const auto &line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject reading = QJsonDocument::fromJson(line.toUtf8()).object();
        seen << reading.value("port").toString() + " " + QString::number(reading.value("address").toInt()) + " "
                    + reading.value("outcome").toString() + " " + QString::number(reading.value("energy_kwh").toDouble(), 'g', 10);
    }
    seen.sort();
    QStringList expected{one.link + " 1 answered 1234.5677", one.link + " 1 answered 1234.5677",
                         two.link + " 7 answered 1234.6", two.link + " 7 answered 1234.6"};
    expected.sort();
    QCOMPARE(seen, expected);
    // Beside JSON lines the table goes to standard error.
    QCOMPARE(pollCounters(run.err).value(7), QString("2 2 0 0 0 0 | -"));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0], QString("time,port,address,meter,outcome,detail,energy_kwh,response_ms"));
    QVERIFY2(rows[1].contains(",1,Tarvik CT,answered,,1234.5677,") || rows[1].contains(",7,Morel-K,answered,,1234.6,"),
             qPrintable(rows[1]));
}

// Ctrl+C ends a poll with no end of its own: the table of what was read, status 130.
void TestCliLine::pollInterrupted()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1"}));
    QProcess cli;
    cli.start(CliProgram(), {"poll", "--port", sim.link, "--meter", "Tarvik CT", "--address", "1", "--interval", "50"});
    QVERIFY(cli.waitForReadyRead(10000));
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QStringList counters = pollCounters(out).value(1).split(' ');
    QVERIFY2(counters.size() > 2 && counters[0].toInt() >= 1 && counters[0] == counters[1], qPrintable(out));
    QVERIFY2(out.contains(sim.link + ": ") && out.contains("; interrupted\n"), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestCliLine)
#include "tst_cliline.moc"
