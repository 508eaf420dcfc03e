// Whole operations of the real window on a real serial port (a pseudo-terminal),
// against an independent Modbus slave and against the meter simulator.
#include "peerfixture.h"
#include "windowtool.h"

#include "engine/tariffschedule.h"
#include "engine/timeentry.h"
#include "ui/main/circleindicator.h"
#include "ui/main/form1.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using Answer = ScriptedDialogs::Answer;
using Registers = QList<quint16>;

// What the dialogs of "Set Time" and "Set Tariff" leave behind for these texts,
// through the same checks the dialogs run.
Answer timeDialog(const char *date, const char *time)
{
    const auto result = engine::CheckTimeEntry(date, time);
    [&] { QVERIFY(result.accepted); }();
    return engine::ConfirmedTime(result.timeData, date, time);
}

Answer tariffDialog(const char *schedule)
{
    const auto result = engine::CheckTariffScheduleText(schedule);
    [&] { QVERIFY(result.accepted); }();
    return engine::ConfirmedTariff(result);
}

// quorvane-sim on a pseudo-terminal of its own, for the time of one test.
struct Simulator {
    bool start(QStringList arguments)
    {
        const QString exe = qEnvironmentVariable("QUORVANE_BUILD_DIR") + QStringLiteral("/tools/sim/quorvane-sim");
        process.start(exe, arguments);
        if (!process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!process.canReadLine() && process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        }
        const QString first = QString::fromUtf8(process.readLine()).trimmed();
        if (!first.startsWith(QStringLiteral("port: ")))
            return false;
        port = first.mid(6);
        return true;
    }
    ~Simulator()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    QProcess process;
    QString port;
};

} // namespace

Q_DECLARE_METATYPE(ScriptedDialogs::Answer)

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void againstIndependentSlave_data();
    void againstIndependentSlave();
    void simulatorFaults_data();
    void simulatorFaults();
    void lateReplyIsDroppedAfterTheTimeout();
    void meterAnswersAtItsNewAddress();
    void adapterVanishes_data();
    void adapterVanishes();
    void demoEndsWhenItsLineDies();
    void givenPortThatDoesNotOpenIsSaid();
};

void TestEndToEnd::againstIndependentSlave_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("detail");     // what the report and History.log quote
    QTest::addColumn<int>("firstRegister");  // what the slave holds afterwards
    QTest::addColumn<Registers>("registers");

    const auto none = QList<Answer>{};
    const auto value = [](const char *v1, const char *v2 = "") { return QList<Answer>{ScriptedDialogs::confirm(v1, v2)}; };
    const auto row = [](const char *meter, const char *command) -> QTestData & {
        return QTest::addRow("%s %s", meter, command) << QString(meter) << QString(command);
    };

    // Single-precision meters keep settings as singles: 2.0 is 4000 0000.
    row("Tarvik CT", "Read Energy") << none << "Current Energy is 1234.5677 KWh." << -1 << Registers{};
    row("Tarvik CT", "Modify Baud Rate") << value("9600") << "Baud Rate is 9600." << 0x001C << Registers{0x4000, 0};
    row("Tarvik CT", "Modify Meter Address") << value("2") << "Meter Address is  2." << 0x0014 << Registers{0x4000, 0};
    row("Tarvik CT", "Modify Parity") << value("EVEN", "1") << "Parity is EVEN. Stop Bit is 1." << 0x0012 << Registers{0x3F80, 0};

    row("Morel-K", "Read Energy") << none << "Current Energy is 120.5 KWh." << -1 << Registers{};
    row("Morel-K", "Modify Baud Rate") << value("9600") << "Baud Rate is 9600." << 0xF800 << Registers{4};
    row("Morel-K", "Modify Meter Address") << value("2") << "Meter Address is  2." << 0x000F << Registers{2};
    row("Morel-K", "Set CT") << value("100", "5") << "Current CT Ratio is 100/5." << 0xF900 << Registers{4};

    row("Pesca-K", "Read Energy") << none << "Current Energy is 12.05 KWh." << -1 << Registers{};
    row("Pesca-K", "Modify Baud Rate") << value("19200") << "Baud Rate is 19200." << 0xF800 << Registers{5};
    row("Pesca-K", "Modify Meter Address") << value("3") << "Meter Address is  3." << 0x000F << Registers{3};

    row("Corvi Link", "Read Energy") << none << "Current Energy is 1234.5677 KWh." << -1 << Registers{};
    row("Corvi Link", "Read Import Energy") << none << "Current Import Energy is 100.2500 KWh." << -1 << Registers{};
    row("Corvi Link", "Read Export Energy") << none << "Current Export Energy is 7.5000 KWh." << -1 << Registers{};
    row("Corvi Link", "Modify Baud Rate") << value("4800") << "Baud Rate is 4800." << 0x001C << Registers{0x3F80, 0};
    row("Corvi Link", "Modify Meter Address") << value("247") << "Meter Address is  247." << 0x0014 << Registers{0x4377, 0};
    row("Corvi Link", "Modify Parity") << value("NONE", "2") << "Parity is NONE. Stop Bit is 2." << 0x0012 << Registers{0x4040, 0};

    row("Morel-N", "Set Tariff") << QList<Answer>{tariffDialog("T1 06:00, T2 22:00")}
        << "Tariff is T1 : 06:00 to 22:00 . T2 : 22:00 to 06:00 . No set T3. No set T4. " << 0xF700
        << Registers{0x0100, 0x0602, 0x0022, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    row("Morel-N", "Set Time") << QList<Answer>{timeDialog("12/31/2024", "23:59:58")}
        << "System date and time is 12/31/2024  23:59:58." << 0xF000 << Registers{0x5859, 0x2301, 0x3112, 0x2420};
    row("Morel-N", "Modify Baud Rate") << value("38400") << "Baud Rate is 38400." << 0xF800 << Registers{6};
    row("Morel-N", "Modify Meter Address") << value("9") << "Meter Address is  9." << 0xF600 << Registers{9};
}

void TestEndToEnd::againstIndependentSlave()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, detail);
    QFETCH(int, firstRegister);
    QFETCH(Registers, registers);

    PeerFixture peer;
    PeerMeter held;
    held.energy = 1234.5677f;
    held.scaledEnergy = 1205;
    held.importEnergy = 100.25f;
    held.exportEnergy = 7.5f;
    QVERIFY2(peer.start(held), qPrintable(peer.failure()));

    Tool tool(peer.toolPort());
    QVERIFY2(tool.port.isOpen(), "the tool opens the pseudo-terminal");
    tool.choose(meter, command);
    QVERIFY(tool.confirm(answers));

    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
    QVERIFY2(tool.lastText().endsWith(detail), qPrintable(tool.lastText()));
    QCOMPARE(tool.form->Label6->text(), QStringLiteral("      Success"));
    QVERIFY(tool.log().endsWith((" : " + meter + " meter " + command + " operation success." + detail + "\r\n").toUtf8()));
    if (firstRegister >= 0)
        QCOMPARE(peer.holding(static_cast<quint16>(firstRegister), static_cast<int>(registers.size())), registers);
}

void TestEndToEnd::simulatorFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("captions"); // of the boxes, in order
    QTest::addColumn<QString>("status");

    QTest::newRow("none") << "" << QStringList{"Success"} << "      Success";
    QTest::newRow("silent") << "silent" << QStringList{"Fail"} << "            Fail";
    QTest::newRow("bad-crc") << "bad-crc" << QStringList{"Fail"} << "            Fail";
    QTest::newRow("exception") << "exception:2" << QStringList{"Fail"} << "            Fail";
    QTest::newRow("garbage") << "garbage:3" << QStringList{"Fail"} << "            Fail";
    QTest::newRow("split, gaps shorter than the silence") << "split:3:20" << QStringList{"Success"} << "      Success";
    QTest::newRow("split, a gap longer than the silence") << "split:2:150" << QStringList{"Fail"} << "            Fail";
    QTest::newRow("chatter") << "chatter:400" << QStringList{messages::ApplicationTitle, "Fail"} << "            Fail";
}

void TestEndToEnd::simulatorFaults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, captions);
    QFETCH(QString, status);

    Simulator sim;
    QStringList arguments{"--meter", "Tarvik CT@1"};
    if (!fault.isEmpty())
        arguments << "--fault" << fault;
    QVERIFY(sim.start(arguments));
    Tool tool(sim.port);
    tool.choose(QStringLiteral("Tarvik CT"), QStringLiteral("Read Energy"));
    tool.form->Send_command_Click();
    // The operation ends with a report on success, a data error or the time-out.
    QTRY_VERIFY_WITH_TIMEOUT(tool.form->Send_command->isEnabled() && !tool.form->replyLine().awaitingReply(), 5000);

    QStringList seen;
    for (const auto &entry : std::as_const(tool.messages.entries))
        seen << entry.caption;
    QCOMPARE(seen, captions);
    QCOMPARE(tool.form->Label6->text(), status);
    QCOMPARE(tool.form->Err_Label->text(), QString::number(status.trimmed() == QStringLiteral("Fail") ? 1 : 0));
}

void TestEndToEnd::lateReplyIsDroppedAfterTheTimeout()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--fault", "late:1300"}));
    Tool tool(sim.port);
    tool.choose(QStringLiteral("Tarvik CT"), QStringLiteral("Read Energy"));
    QSignalSpy silences(tool.form->Timer1, &QTimer::timeout);
    QVERIFY(tool.confirm());
    QCOMPARE(tool.lastText(), QStringLiteral("Fail! Response timeout, please re-operation!"));

    // The reply comes after all and is dropped without a word.
    QVERIFY(silences.wait(3000));
    QCOMPARE(tool.messages.entries.size(), 1);
    QVERIFY(tool.form->Rev_Show_Text->toPlainText().endsWith(QStringLiteral("REV    : NO DATA\n")));
    QCOMPARE(tool.form->replyLine().gathered().size(), std::size_t(0));
}

void TestEndToEnd::meterAnswersAtItsNewAddress()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Morel-K@1"}));
    Tool tool(sim.port);
    tool.choose(QStringLiteral("Morel-K"), QStringLiteral("Modify Meter Address"));
    QVERIFY(tool.confirm({ScriptedDialogs::confirm("12")}));
    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));

    tool.choose(QStringLiteral("Morel-K"), QStringLiteral("Read Energy"), 12);
    QVERIFY(tool.confirm());
    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
    QVERIFY(tool.form->Rev_Show_Text->toPlainText().contains(QStringLiteral("SEND : 0C 03 01 1E 00 02")));
}

void TestEndToEnd::adapterVanishes_data()
{
    QTest::addColumn<bool>("outstanding");
    QTest::newRow("while idle") << false;
    QTest::newRow("while a request is outstanding") << true;
}

// The far end of the pseudo-terminal goes away under the open port, as an
// unplugged adapter does; once it is back, "Open Port" opens it again.
void TestEndToEnd::adapterVanishes()
{
    QFETCH(bool, outstanding);
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("meter"));
    auto sim = std::make_unique<Simulator>();
    QVERIFY(sim->start({"--link", link, "--fault", "late:2500"}));
    Tool tool(link);
    auto &form = *tool.form;
    QCOMPARE(form.Label4->text(), QStringLiteral("meter Opened"));
    if (outstanding) {
        form.Send_command_Click();
        QVERIFY(form.replyLine().awaitingReply());
    }

    sim->process.kill();
    QTRY_COMPARE_WITH_TIMEOUT(form.Label4->text(), QStringLiteral("meter Closed"), 3000);
    QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
    QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
    QVERIFY(!form.Send_command->isEnabled());
    QVERIFY(!tool.port.isOpen());
    if (outstanding) {
        // The request still ends by its time-out, which gives "Confirm" back.
        QTRY_COMPARE_WITH_TIMEOUT(tool.lastText(), QStringLiteral("Fail! Response timeout, please re-operation!"), 3000);
        QVERIFY(!form.replyLine().awaitingReply());
        QVERIFY(form.Send_command->isEnabled());
    } else {
        QCOMPARE(tool.messages.entries.size(), 0);
    }

    sim = std::make_unique<Simulator>();
    QVERIFY(sim->start({"--link", link}));
    form.open_close_Command_Click();
    QCOMPARE(form.Label4->text(), QStringLiteral("meter Opened"));
    QVERIFY(form.Send_command->isEnabled());
    tool.choose(QStringLiteral("Tarvik CT"), QStringLiteral("Read Energy"));
    QVERIFY(tool.confirm());
    QCOMPARE(tool.lastCaption(), QStringLiteral("Success"));
}

// The headless run always ends, even when its line dies mid-request.
void TestEndToEnd::demoEndsWhenItsLineDies()
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("meter"));
    const QString simLog = folder.filePath(QStringLiteral("sim.log"));
    Simulator sim;
    QVERIFY(sim.start({"--link", link, "--fault", "late:2500", "--log", simLog}));
    QProcess demo;
    demo.setWorkingDirectory(folder.path());
    demo.start(qEnvironmentVariable("QUORVANE_BUILD_DIR") + QStringLiteral("/src/app/quorvane"),
               {"--demo", "--port", link});
    QVERIFY(demo.waitForStarted(5000));
    QByteArray output;
    QDeadlineTimer pressed(5000);
    while (!output.contains("pressing") && demo.waitForReadyRead(static_cast<int>(pressed.remainingTime())))
        output += demo.readAllStandardOutput();
    QVERIFY2(output.contains("pressing"), output.constData());
    // Once the request is on the line, the line dies.
    const auto simSaw = [&] {
        QFile file(simLog);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(simSaw().contains("01 04 01 56 00 02 90 27"), 5000);
    sim.process.kill();
    QVERIFY(demo.waitForFinished(8000));
    output += demo.readAllStandardOutput();
    QVERIFY2(output.contains("The port went away."), output.constData());
    QVERIFY2(output.contains("Fail! Response timeout, please re-operation!"), output.constData());
    QCOMPARE(demo.exitCode(), 1);
}

// A port named at launch that does not open is said once, on standard error.
void TestEndToEnd::givenPortThatDoesNotOpenIsSaid()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("no_such_tty"));
    QProcess demo;
    demo.setWorkingDirectory(folder.path());
    demo.start(qEnvironmentVariable("QUORVANE_BUILD_DIR") + QStringLiteral("/src/app/quorvane"), {"--demo", "--port", missing});
    QVERIFY(demo.waitForFinished(8000));
    const QString errors = QString::fromUtf8(demo.readAllStandardError());
    QCOMPARE(errors.count(QStringLiteral("quorvane: cannot open ") + missing + QStringLiteral(": no such device\n")), 1);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
