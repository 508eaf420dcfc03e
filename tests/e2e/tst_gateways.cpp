// Whole operations of the real window on meters behind TCP gateways on
// loopback: an independent Modbus slave (pymodbus) passing RTU frames
// through, or speaking Modbus TCP.
#include "peerfixture.h"
#include "windowtool.h"

#include "ui/main/circleindicator.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTcpServer>

namespace {

using Answer = ScriptedDialogs::Answer;
using Registers = QList<quint16>;

const QString TimeoutText = QStringLiteral("Fail! Response timeout, please re-operation!");

PeerMeter heldMeter()
{
    PeerMeter meter;
    meter.energy = 1234.5677f;
    meter.scaledEnergy = 1205;
    return meter;
}

const char *linkName(PeerLink link)
{
    return link == PeerLink::ModbusTcp ? "modbus-tcp" : "rtu-tcp";
}

} // namespace

Q_DECLARE_METATYPE(PeerLink)
Q_DECLARE_METATYPE(ScriptedDialogs::Answer)

class TestGateways : public QObject
{
    Q_OBJECT
private slots:
    void readsAndWrites_data();
    void readsAndWrites();
    void traceShowsTheWire_data();
    void traceShowsTheWire();
    void gatewayNotThere_data();
    void gatewayNotThere();
    void absentGatewayGivenAtLaunchIsSaid();
    void connectionDropsMidRequest_data();
    void connectionDropsMidRequest();
    void replyOfAnotherTransactionIsIgnored();
};

void TestGateways::readsAndWrites_data()
{
    QTest::addColumn<PeerLink>("link");
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("detail");     // what the report and History.log quote
    QTest::addColumn<int>("firstRegister");  // what the slave holds afterwards
    QTest::addColumn<Registers>("registers");

    const auto none = QList<Answer>{};
    const auto value = [](const char *v1, const char *v2 = "") { return QList<Answer>{ScriptedDialogs::confirm(v1, v2)}; };
    for (const PeerLink link : {PeerLink::RtuOverTcp, PeerLink::ModbusTcp}) {
        const auto row = [link](const char *meter, const char *command) -> QTestData & {
            return QTest::addRow("%s: %s %s", linkName(link), meter, command) << link << QString(meter) << QString(command);
        };
        row("Tarvik CT", "Read Energy") << none << "Current Energy is 1234.5677 KWh." << -1 << Registers{};
        row("Tarvik CT", "Modify Baud Rate") << value("9600") << "Baud Rate is 9600." << 0x001C << Registers{0x4000, 0};
        row("Tarvik CT", "Modify Parity") << value("EVEN", "1") << "Parity is EVEN. Stop Bit is 1." << 0x0012
                                          << Registers{0x3F80, 0};
        row("Morel-K", "Read Energy") << none << "Current Energy is 120.5 KWh." << -1 << Registers{};
        row("Morel-K", "Modify Meter Address") << value("2") << "Meter Address is  2." << 0x000F << Registers{2};
        row("Morel-K", "Set CT") << value("100", "5") << "Current CT Ratio is 100/5." << 0xF900 << Registers{4};
    }
}

void TestGateways::readsAndWrites()
{
    QFETCH(PeerLink, link);
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, detail);
    QFETCH(int, firstRegister);
    QFETCH(Registers, registers);

    PeerFixture peer;
    QVERIFY2(peer.start(heldMeter(), link), qPrintable(peer.failure()));
    Tool tool(peer.toolPort());
    // Listed first, by its address, and current.
    QCOMPARE(tool.form->Combo6->itemText(0), peer.toolPort());
    // Wider than the list itself, the open list shows the address whole.
    QVERIFY(tool.form->Combo6->view()->minimumWidth()
            > tool.form->Combo6->fontMetrics().horizontalAdvance(peer.toolPort()));
    QCOMPARE(tool.form->Label4->text(), peer.toolPort() + " Opened");
    QCOMPARE(tool.form->Label10->text(), QStringLiteral("9600bps,8,1,None"));
    tool.choose(meter, command);
    QVERIFY(tool.confirm(answers));

    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
    QVERIFY2(tool.lastText().endsWith(detail), qPrintable(tool.lastText()));
    QCOMPARE(tool.form->Label6->text(), QStringLiteral("      Success"));
    QVERIFY(tool.log().endsWith((" : " + meter + " meter " + command + " operation success." + detail + "\r\n").toUtf8()));
    if (firstRegister >= 0)
        QCOMPARE(peer.holding(static_cast<quint16>(firstRegister), static_cast<int>(registers.size())), registers);
}

void TestGateways::traceShowsTheWire_data()
{
    QTest::addColumn<PeerLink>("link");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("trace");
    QTest::newRow("modbus-tcp: MBAP header, no CRC, the transaction counted")
        << PeerLink::ModbusTcp << "Read Energy" << false << 2
        << "SEND : 00 01 00 00 00 06 01 04 01 56 00 02\n"
           "REV    : 00 01 00 00 00 07 01 04 04 44 9A 52 2B\n"
           "SEND : 00 02 00 00 00 06 01 04 01 56 00 02\n"
           "REV    : 00 02 00 00 00 07 01 04 04 44 9A 52 2B\n";
    QTest::newRow("modbus-tcp, decimal") << PeerLink::ModbusTcp << "Read Energy" << true << 1
                                         << "SEND : 0 1 0 0 0 6 1 4 1 86 0 2\n"
                                            "REV    : 0 1 0 0 0 7 1 4 4 68 154 82 43\n";
    QTest::newRow("modbus-tcp: a write of 17 bytes takes two lines")
        << PeerLink::ModbusTcp << "Modify Baud Rate" << false << 1
        << "SEND : 00 01 00 00 00 0B 01 10 00 1C 00 02 04 40 00\n"
           "             00 00\n"
           "REV    : 00 01 00 00 00 06 01 10 00 1C 00 02\n";
    QTest::newRow("rtu-tcp: the RTU frames as they are") << PeerLink::RtuOverTcp << "Read Energy" << false << 2
                                                         << "SEND : 01 04 01 56 00 02 90 27\n"
                                                            "REV    : 01 04 04 44 9A 52 2B B2 24\n"
                                                            "SEND : 01 04 01 56 00 02 90 27\n"
                                                            "REV    : 01 04 04 44 9A 52 2B B2 24\n";
}

void TestGateways::traceShowsTheWire()
{
    QFETCH(PeerLink, link);
    QFETCH(QString, command);
    QFETCH(bool, decimal);
    QFETCH(int, times);
    QFETCH(QString, trace);
    PeerFixture peer;
    QVERIFY2(peer.start(heldMeter(), link), qPrintable(peer.failure()));
    Tool tool(peer.toolPort());
    if (decimal)
        tool.form->Dec_Opt->setChecked(true);
    tool.choose(QStringLiteral("Tarvik CT"), command);
    for (int i = 0; i < times; ++i) {
        QVERIFY(tool.confirm({ScriptedDialogs::confirm("9600")}));
        QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
    }
    QCOMPARE(tool.form->Rev_Show_Text->toPlainText(), trace);
}

void TestGateways::gatewayNotThere_data()
{
    QTest::addColumn<PeerLink>("link");
    QTest::newRow("rtu-tcp") << PeerLink::RtuOverTcp;
    QTest::newRow("modbus-tcp") << PeerLink::ModbusTcp;
}

// Listed at start-up, gone when the operator opens it: the message a busy
// serial port gives, and the window stays closed.
void TestGateways::gatewayNotThere()
{
    QFETCH(PeerLink, link);
    PeerFixture peer;
    QVERIFY2(peer.start(heldMeter(), link), qPrintable(peer.failure()));
    Tool tool(peer.toolPort(), false);
    auto &form = *tool.form;
    QCOMPARE(form.Label4->text(), peer.toolPort() + " Closed");
    peer.stop();

    form.open_close_Command_Click();
    QCOMPARE(tool.messages.texts(), QStringList{"The serial port is already in use,Please re-select!"});
    QCOMPARE(tool.lastCaption(), QStringLiteral("ERROR"));
    QCOMPARE(form.Label4->text(), peer.toolPort() + " Closed");
    QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
    QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
    QVERIFY(!form.Send_command->isEnabled());
    QVERIFY(!tool.port.isOpen());
}

// A gateway named at launch that does not answer is said once, on standard error.
void TestGateways::absentGatewayGivenAtLaunchIsSaid()
{
    quint16 freePort = 0;
    {
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost));
        freePort = gone.serverPort();
    }
    const QString url = QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(freePort);
    QTemporaryDir folder;
    QProcess demo;
    demo.setWorkingDirectory(folder.path());
    demo.start(qEnvironmentVariable("QUORVANE_BUILD_DIR") + QStringLiteral("/src/app/quorvane"), {"--demo", "--port", url});
    QVERIFY(demo.waitForFinished(8000));
    const QString errors = QString::fromUtf8(demo.readAllStandardError());
    QCOMPARE(errors.count(QStringLiteral("quorvane: cannot open ") + url + QStringLiteral(": no gateway answers at that address\n")),
             1);
    QVERIFY(!QString::fromUtf8(demo.readAllStandardOutput()).contains(url));
}

void TestGateways::connectionDropsMidRequest_data()
{
    QTest::addColumn<PeerLink>("link");
    QTest::newRow("rtu-tcp") << PeerLink::RtuOverTcp;
    QTest::newRow("modbus-tcp") << PeerLink::ModbusTcp;
}

// The gateway dies while a request is outstanding: as an unplugged adapter,
// the window shows the port closed and the request ends by its time-out;
// once the gateway is back, "Open Port" opens it again.
void TestGateways::connectionDropsMidRequest()
{
    QFETCH(PeerLink, link);
    PeerFixture peer;
    PeerMeter slow = heldMeter();
    slow.replyDelayMs = 2500;
    QVERIFY2(peer.start(slow, link), qPrintable(peer.failure()));
    Tool tool(peer.toolPort());
    auto &form = *tool.form;
    const QString url = peer.toolPort();
    QCOMPARE(form.Label4->text(), url + " Opened");
    tool.choose(QStringLiteral("Tarvik CT"), QStringLiteral("Read Energy"));
    form.Send_command_Click();
    QVERIFY(form.replyLine().awaitingReply());

    peer.kill();
    QTRY_COMPARE_WITH_TIMEOUT(form.Label4->text(), url + " Closed", 3000);
    QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
    QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
    QVERIFY(!form.Send_command->isEnabled());
    QVERIFY(!tool.port.isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(tool.lastText(), TimeoutText, 3000);
    QCOMPARE(tool.messages.entries.size(), 1);
    QVERIFY(!form.replyLine().awaitingReply());
    QVERIFY(form.Send_command->isEnabled());

    QVERIFY2(peer.restart(heldMeter()), qPrintable(peer.failure()));
    QCOMPARE(peer.toolPort(), url);
    form.open_close_Command_Click();
    QCOMPARE(form.Label4->text(), url + " Opened");
    QVERIFY(tool.confirm());
    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
}

// The gateway answers with the next request's transaction id: that is not
// this request's reply, so it ends by its time-out, though the meter did act.
void TestGateways::replyOfAnotherTransactionIsIgnored()
{
    PeerFixture peer;
    PeerMeter meter = heldMeter();
    meter.transactionOffset = 1;
    QVERIFY2(peer.start(meter, PeerLink::ModbusTcp), qPrintable(peer.failure()));
    Tool tool(peer.toolPort());
    tool.choose(QStringLiteral("Tarvik CT"), QStringLiteral("Modify Baud Rate"));
    QVERIFY(tool.confirm({ScriptedDialogs::confirm("9600")}));

    QCOMPARE(tool.messages.texts(), QStringList{TimeoutText});
    QCOMPARE(peer.holding(0x001C, 2), (Registers{0x4000, 0}));
    QCOMPARE(tool.form->Label6->text(), QStringLiteral("            Fail"));
    QCOMPARE(tool.form->Err_Label->text(), QStringLiteral("1"));
    QCOMPARE(tool.form->Rev_Show_Text->toPlainText(),
             QStringLiteral("SEND : 00 01 00 00 00 0B 01 10 00 1C 00 02 04 40 00\n"
                            "             00 00\n"
                            "REV    : NO DATA\n"));
}

QTEST_MAIN(TestGateways)
#include "tst_gateways.moc"
