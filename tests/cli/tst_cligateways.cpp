// quorvane-cli through network gateways on loopback: the independent pymodbus
// slave behind either kind, the simulator listening as either kind.
#include "clirun.h"
#include "peerfixture.h"
#include "simulatorlink.h"

#include <QtTest>

Q_DECLARE_METATYPE(PeerLink)

class TestCliGateways : public QObject
{
    Q_OBJECT
private slots:
    void independentSlave_data();
    void independentSlave();
    void simulatorBehindEither_data();
    void simulatorBehindEither();
    void gatewaysOwnExceptions_data();
    void gatewaysOwnExceptions();
    void gatewayNotThere();
    void gatewayGoesAwayMidRequest();
    void floodAndOtherTransactions();
};

void TestCliGateways::independentSlave_data()
{
    QTest::addColumn<PeerLink>("link");
    for (const auto &[name, link] : {std::pair{"rtu-tcp", PeerLink::RtuOverTcp}, std::pair{"modbus-tcp", PeerLink::ModbusTcp}})
        QTest::newRow(name) << link;
}

// Reads, a write whose registers are looked at afterwards, an exception named.
void TestCliGateways::independentSlave()
{
    QFETCH(PeerLink, link);
    PeerFixture peer;
    PeerMeter meter;
    meter.energy = 1234.5677f;
    meter.scaledEnergy = 1205;
    meter.without = {0x0048};
    QVERIFY2(peer.start(meter, link), qPrintable(peer.failure()));
    const QString port = peer.toolPort();
    CliRun run = RunCli(runOp(port, "Tarvik CT", "Read Energy", 1, {"--trace"}));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.endsWith("Current Energy is 1234.5677 KWh.\n"), qPrintable(run.out));
    // The trace shows what went over the wire: an MBAP header behind a Modbus TCP gateway.
    const QString sent = link == PeerLink::ModbusTcp ? "SEND : 00 01 00 00 00 06 01 04 01 56 00 02\n"
                                                     : "SEND : 01 04 01 56 00 02 90 27\n";
    QVERIFY2(run.out.contains(sent), qPrintable(run.out));

    QCOMPARE(RunCli(runOp(port, "Morel-K", "Read Energy", 1)).out, QString("Current Energy is 120.5 KWh.\n"));
    run = RunCli(runOp(port, "Morel-K", "Modify Baud Rate", 1, {"--value", "4800"}));
    QCOMPARE(run.out, QString("Baud Rate is 4800.\n"));
    QCOMPARE(peer.holding(0xF800, 1), std::optional(QList<quint16>{3}));
    run = RunCli(runOp(port, "Corvi Link", "Read Import Energy", 1));
    QCOMPARE(run.out, QString("rejected: exception 02 (Illegal Data Address)\n"));
    QCOMPARE(run.exitCode, 1);
}

void TestCliGateways::simulatorBehindEither_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("rtu-tcp") << "rtu-tcp";
    QTest::newRow("modbus-tcp") << "modbus-tcp";
}

// Unit ids 1..247 behind one gateway: the two meters there are found.
void TestCliGateways::simulatorBehindEither()
{
    QFETCH(QString, scheme);
    ListeningSimulator sim;
    QVERIFY(sim.start({"--listen", scheme + "://127.0.0.1:0", "--meter", "Tarvik CT@1", "--meter", "Morel-K@200"}));
    QVERIFY2(sim.port.startsWith(scheme + "://127.0.0.1:"), qPrintable(sim.port));
    const CliRun read = RunCli(runOp(sim.port, "Tarvik CT", "Read Energy", 1));
    QCOMPARE(read.out, QString("Current Energy is 1234.5677 KWh.\n"));
    // Line settings never reach the meters through a gateway: one pass, whatever the lists.
    const CliRun scan = RunCli({"scan", "--port", sim.port, "--addresses", "1-247", "--timeout", "10"});
    QCOMPARE(scan.exitCode, 0);
    QCOMPARE(scan.err, QString("note: through a gateway the line settings are the gateway's; the addresses are swept once\n"));
    const QStringList lines = scan.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("address 1 through the gateway: answered a read; can be Tarvik CT"), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith("address 200 through the gateway: answered a read; can be Morel-K"), qPrintable(lines[1]));
}

void TestCliGateways::gatewaysOwnExceptions_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    for (const char *scheme : {"rtu-tcp", "modbus-tcp"}) {
        // The gateway's own word that nothing answered is no meter.
        QTest::newRow(qPrintable(QString(scheme) + ": 0A path unavailable")) << scheme << "10" << 3 << "no meter answered";
        QTest::newRow(qPrintable(QString(scheme) + ": 0B target failed to respond")) << scheme << "11" << 3
                                                                                     << "no meter answered";
        // A meter's own exception is a meter.
        QTest::newRow(qPrintable(QString(scheme) + ": 02 from the meter"))
            << scheme << "2" << 0 << "address 1 through the gateway: answered with exceptions only";
    }
}

// Every request to the meter answered by the gateway with an exception code.
void TestCliGateways::gatewaysOwnExceptions()
{
    QFETCH(QString, scheme);
    QFETCH(QString, code);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    ListeningSimulator sim;
    QVERIFY(sim.start({"--listen", scheme + "://127.0.0.1:0", "--meter", "Tarvik CT@1", "--fault", "exception:" + code}));
    const CliRun scan = RunCli({"scan", "--port", sim.port, "--addresses", "1-2", "--timeout", "100"});
    QCOMPARE(scan.exitCode, exitCode);
    QVERIFY2(scan.out.startsWith(out), qPrintable(scan.out));
}

void TestCliGateways::gatewayNotThere()
{
    // A port nothing listens on: the connection is refused.
    const CliRun run = RunCli(runOp("modbus-tcp://127.0.0.1:1", "Tarvik CT", "Read Energy", 1));
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.startsWith("cannot open modbus-tcp://127.0.0.1:1: "), qPrintable(run.err));
}

// The gateway dies while a reply is awaited: the port failed, said as such.
void TestCliGateways::gatewayGoesAwayMidRequest()
{
    PeerFixture peer;
    PeerMeter meter;
    meter.replyDelayMs = 3000;
    QVERIFY2(peer.start(meter, PeerLink::ModbusTcp), qPrintable(peer.failure()));
    QProcess cli;
    cli.start(CliProgram(), runOp(peer.toolPort(), "Tarvik CT", "Read Energy", 1, {"--timeout", "10000", "--trace"}));
    QVERIFY(cli.waitForStarted(5000));
    // Once the slave holds the request back, the gateway dies.
    QTRY_VERIFY_WITH_TIMEOUT(peer.requestSeen(), 5000);
    peer.kill();
    QVERIFY(cli.waitForFinished(8000));
    QCOMPARE(cli.exitCode(), 4);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()), peer.toolPort() + " went away while the reply was awaited\n");
}

// A gateway that sends 50 MB of noise: a frame's worth is kept, the rest
// counted; one that answers another transaction: its bytes traced as such.
void TestCliGateways::floodAndOtherTransactions()
{
    QProcess flood;
    flood.start("python3", {"-c", "import socket\n"
                                  "s = socket.create_server(('127.0.0.1', 0))\n"
                                  "print(s.getsockname()[1], flush=True)\n"
                                  "c, _ = s.accept(); c.recv(64)\n"
                                  "c.sendall(bytes(range(256)) * 204800)\n"
                                  "c.close()\n"});
    QVERIFY(flood.waitForReadyRead(10000));
    const QString port = "rtu-tcp://127.0.0.1:" + QString::fromUtf8(flood.readLine()).trimmed();
    CliRun run = RunCli(runOp(port, "Tarvik CT", "Read Energy", 1, {"--json", "--timeout", "5000"}));
    QVERIFY2(run.out.size() < 2048, qPrintable(run.out.left(200)));
    QVERIFY2(run.err.contains(" past the longest Modbus frame (256 bytes) were thrown away"), qPrintable(run.err));
    flood.waitForFinished(5000);

    PeerFixture peer;
    PeerMeter meter;
    meter.transactionOffset = 1;
    QVERIFY2(peer.start(meter, PeerLink::ModbusTcp), qPrintable(peer.failure()));
    run = RunCli(runOp(peer.toolPort(), "Tarvik CT", "Read Energy", 1, {"--trace", "--timeout", "500"}));
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.out.contains(QRegularExpression("REV    : 00 02 00 00 00 07 01 04 04 .* \\(another transaction's\\)\n")),
             qPrintable(run.out));
    QVERIFY2(!run.out.contains("NO DATA"), qPrintable(run.out));
}

QTEST_GUILESS_MAIN(TestCliGateways)
#include "tst_cligateways.moc"
