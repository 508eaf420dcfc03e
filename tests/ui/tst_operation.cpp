#include "formharness.h"
#include "scripteddialogs.h"

#include "codec/crc16.h"
#include "codec/trace.h"
#include "engine/tariffschedule.h"
#include "ui/main/circleindicator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

using Answer = ScriptedDialogs::Answer;

// Hex bytes with the Modbus CRC appended, low byte first.
QByteArray withCrc(const char *hex)
{
    const QByteArray body = QByteArray::fromHex(hex);
    std::vector<std::uint8_t> frame(body.begin(), body.end());
    codec::AppendCrc16(frame);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), static_cast<int>(frame.size()));
}

QString spaced(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// The window's trace shows the codec's lines, CR LF as line breaks.
QString traceOf(const QByteArray &bytes, std::uint8_t direction)
{
    const std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
    return QString::fromStdString(codec::AppendTraceHex(b, static_cast<int>(b.size()), direction)).replace("\r\n", "\n");
}

QByteArray logOf(const FormHarness &h)
{
    QFile file(h.logPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Answer setTime(QByteArray timeData, QString date, QString time)
{
    engine::TimeBytes bytes{};
    std::copy(timeData.begin(), timeData.end(), bytes.begin());
    return engine::ConfirmedTime(bytes, date.toStdString(), time.toStdString());
}

Answer setTariff(QByteArray tariffData, QStringList summaries)
{
    engine::TariffScheduleResult schedule;
    for (int i = 0; i < 30; ++i)
        schedule.data[static_cast<std::size_t>(i / 3)][static_cast<std::size_t>(i % 3)] =
            static_cast<std::uint8_t>(tariffData.at(i));
    for (std::size_t k = 0; k < schedule.summaries.size(); ++k)
        schedule.summaries[k] = summaries.value(static_cast<qsizetype>(k)).toStdString();
    return engine::ConfirmedTariff(schedule);
}

// A window with the port open and the given meter type and command chosen.
struct Operation : FormHarness {
    Operation(const QString &meter, const QString &command, bool programFolderWritable = true)
        : FormHarness({"COM1"}, &dialogs, programFolderWritable)
    {
        load();
        form->open_close_Command_Click();
        choose(meter, command);
    }

    void choose(const QString &meter, const QString &command)
    {
        form->Combo7->setCurrentText(meter);
        emit form->Combo7->activated(form->Combo7->currentIndex());
        form->Combo8->setCurrentText(command);
        emit form->Combo8->activated(form->Combo8->currentIndex());
    }

    // Presses "Confirm" with reply chunks scripted on the port, lets them
    // arrive, then lets the 50 ms of silence pass by ticking the reply timer.
    void exchange(const QList<QByteArray> &replyChunks)
    {
        port.scriptReply(replyChunks);
        form->Send_command_Click();
        QTRY_VERIFY(!port.replyPending());
        QVERIFY(form->Timer1->isActive());
        form->ReplyTimerTick();
    }

    ScriptedDialogs dialogs;
};

} // namespace

Q_DECLARE_METATYPE(ScriptedDialogs::Answer)

class TestOperation : public QObject
{
    Q_OBJECT
private slots:
    void success_data();
    void success();
    void rejectedReply_data();
    void rejectedReply();
    void timeout();
    void splitReplyJudgedOnce();
    void stragglingReplyIsATimeout();
    void strayBytesDroppedSilently();
    void overflowReportedOncePerOperation();
    void writeFailsAfterPortVanished();
    void cancelSendsNothing_data();
    void cancelSendsNothing();
    void refusedValueShowsDialogAgain();
    void autoDeleteAndDecimalTrace();
    void reportFollowsTheOperationSent();
    void failureCounterDoesNotWrap();
    void realTimersEndTheExchange();
    void logMovesToUserFolderAndSaysWhereOnce();
};

void TestOperation::success_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");

    const auto none = QList<Answer>{};
    QTest::newRow("Tarvik CT Read Energy") << "Tarvik CT" << "Read Energy" << "1" << none
        << "01 04 01 56 00 02 90 27" << QByteArray::fromHex("010404449A522BB224")
        << "Read Energy operation success! \r\nCurrent Energy is 1234.5677 KWh." << "Current Energy is 1234.5677 KWh.";
    QTest::newRow("Tarvik CT Read Energy at 10") << "Tarvik CT" << "Read Energy" << "10" << none
        << "0A 04 01 56 00 02 91 5C" << withCrc("0A04043F800000")
        << "Read Energy operation success! \r\nCurrent Energy is 1.0000 KWh." << "Current Energy is 1.0000 KWh.";
    QTest::newRow("Morel-K Read Energy scaled") << "Morel-K" << "Read Energy" << "1" << none
        << "01 03 01 1E 00 02 A5 F1" << QByteArray::fromHex("010304000004B53944") /* v = 1205 */
        << "Read Energy operation success! \r\nCurrent Energy is 120.5 KWh." << "Current Energy is 120.5 KWh.";
    QTest::newRow("Corvi Link Read Import Energy") << "Corvi Link" << "Read Import Energy" << "1" << none
        << spaced(withCrc("010400480002")) << withCrc("010404449A522B")
        << "Read Import Energy operation success! \r\nCurrent Import Energy is 1234.5677 KWh."
        << "Current Import Energy is 1234.5677 KWh.";
    QTest::newRow("Tarvik CT Modify Baud Rate 9600") << "Tarvik CT" << "Modify Baud Rate" << "1"
        << QList<Answer>{ScriptedDialogs::confirm("9600")} << "01 10 00 1C 00 02 04 40 00 00 00 E7 36"
        << QByteArray::fromHex("0110001C0002800E") << "Modify Baud Rate operation success! Baud Rate is 9600."
        << "Baud Rate is 9600.";
    QTest::newRow("Tarvik CT Modify Meter Address 5") << "Tarvik CT" << "Modify Meter Address" << "1"
        << QList<Answer>{ScriptedDialogs::confirm("5")} << spaced(withCrc("011000140002044" "0A00000"))
        << withCrc("011000140002") << "Modify Meter Address operation success! Meter Address is  5."
        << "Meter Address is  5.";
    QTest::newRow("Tarvik CT Modify Parity EVEN 1") << "Tarvik CT" << "Modify Parity" << "1"
        << QList<Answer>{ScriptedDialogs::confirm("EVEN", "1")} << "01 10 00 12 00 02 04 3F 80 00 00 7E 86"
        << withCrc("011000120002") << "Modify Parity operation success! Parity is EVEN. Stop Bit is 1."
        << "Parity is EVEN. Stop Bit is 1.";
    QTest::newRow("Morel-K Set CT 100/5") << "Morel-K" << "Set CT" << "1"
        << QList<Answer>{ScriptedDialogs::confirm("100", "5")} << "01 10 F9 00 00 01 02 00 04 CE 9C"
        << withCrc("0110F9000001") << "Set CT operation success! Current CT Ratio is 100/5."
        << "Current CT Ratio is 100/5.";
    QTest::newRow("Morel-N Set Time") << "Morel-N" << "Set Time" << "1"
        << QList<Answer>{setTime(QByteArray::fromHex("5859230131122420"), "12/31/2024", "23:59:58")}
        << "01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6" << withCrc("0110F0000004")
        << "Set Time operation success! System date and time is 12/31/2024  23:59:58."
        << "System date and time is 12/31/2024  23:59:58.";
    QByteArray tariff(30, '\0');
    tariff[0] = 0x01;
    tariff[1] = 0x30;
    tariff[2] = 0x08;
    QTest::newRow("Pesca-N Set Tariff") << "Pesca-N" << "Set Tariff" << "1"
        << QList<Answer>{setTariff(tariff, {"T1 : 08:30 to 08:30 . ", "No set T2. ", "No set T3. ", "No set T4. "})}
        << "01 10 F7 00 00 0F 1E 01 30 08" + QString(" 00").repeated(27) + " 8D 38" << withCrc("0110F700000F")
        << "Set Tariff operation success! Tariff is T1 : 08:30 to 08:30 . No set T2. "
        << "Tariff is T1 : 08:30 to 08:30 . No set T2. ";
}

void TestOperation::success()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, address);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, frame);
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QFETCH(QString, detail);

    Operation op(meter, command);
    op.form->addr_Text->setText(address);
    op.dialogs.answers = answers;
    auto &form = *op.form;

    op.port.scriptReply({reply});
    form.Send_command_Click();
    QCOMPARE(op.port.written().size(), 1);
    QCOMPARE(spaced(op.port.written().front()), frame);
    QCOMPARE(form.replyLine().awaitingReply(), true);
    QCOMPARE(form.state().RequestAddress, quint8(address.toInt()));
    QVERIFY(form.Timer2->isActive());
    QVERIFY(!form.Send_command->isEnabled());

    QTRY_VERIFY(form.Timer1->isActive());
    // While the "Success" box is open nothing is in the log yet.
    op.messages.whileShown = [&](const MessageLog::Entry &) { QCOMPARE(logOf(op), QByteArray()); };
    form.ReplyTimerTick();

    QVERIFY(!form.Timer2->isActive());
    QCOMPARE(form.Rev_Show_Text->toPlainText(), traceOf(op.port.written().front(), codec::TraceSend) + traceOf(reply, codec::TraceReceive));
    QCOMPARE(form.Label6->text(), QStringLiteral("      Success"));
    QCOMPARE(form.Shape1->fillColor(), QColor(0, 255, 0));
    QCOMPARE(form.Success_Label->text(), QStringLiteral("1"));
    QCOMPARE(op.messages.entries.size(), 1);
    QCOMPARE(op.messages.entries.front().text, message);
    QCOMPARE(op.messages.entries.front().style, 64);
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("Success"));
    QCOMPARE(logOf(op), ("2024-03-03 14:05:09 : " + meter + " meter " + command + " operation success." + detail + "\r\n").toUtf8());
    QVERIFY(form.Send_command->isEnabled());
    QCOMPARE(form.replyLine().awaitingReply(), false);
    QCOMPARE(form.replyLine().gathered().size(), std::size_t(0));
}

void TestOperation::rejectedReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("bad CRC 01 04 04 44 9A 52 2B B2 25") << QByteArray::fromHex("010404449A522BB225");
    QTest::newRow("exception 01 84 02") << withCrc("018402");
    QTest::newRow("wrong address 02 04 04 ...") << withCrc("020404449A522B");
    QTest::newRow("short 01 04") << QByteArray::fromHex("0104");
}

void TestOperation::rejectedReply()
{
    QFETCH(QByteArray, reply);
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    // The order of the report: trace, lamp, log line and counter, then the box.
    op.messages.whileShown = [&](const MessageLog::Entry &) {
        QVERIFY(form.Rev_Show_Text->toPlainText().endsWith("REV    : " + spaced(reply) + "\n"));
        QCOMPARE(form.Label6->text(), QStringLiteral("            Fail"));
        QCOMPARE(form.Shape1->fillColor(), QColor(255, 0, 0));
        QCOMPARE(logOf(op), QByteArray("2024-03-03 14:05:09 : Tarvik CT meter Read Energy operation Fail! The response data error.\r\n"));
        QCOMPARE(form.Err_Label->text(), QStringLiteral("1"));
    };
    op.exchange({reply});
    QCOMPARE(op.messages.texts(), QStringList{"Fail! The response data error, please re-operation!"});
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("Fail"));
    QCOMPARE(op.messages.entries.front().style, 16);
    QCOMPARE(form.Success_Label->text(), QStringLiteral("0"));
    QVERIFY(form.Send_command->isEnabled());
    QCOMPARE(form.replyLine().awaitingReply(), false);
}

void TestOperation::timeout()
{
    Operation op("Pesca-K", "Read Energy");
    auto &form = *op.form;
    form.Send_command_Click();
    QVERIFY(form.Timer2->isActive());
    op.port.deliver(QByteArray::fromHex("01")); // the first byte of a reply that never completes
    op.messages.whileShown = [&](const MessageLog::Entry &) {
        QCOMPARE(logOf(op), QByteArray("2024-03-03 14:05:09 : Pesca-K meter Read Energy operation Fail! Response timeout.\r\n"));
        QCOMPARE(form.Err_Label->text(), QStringLiteral("1"));
    };
    form.TimeoutTick();

    QCOMPARE(form.Label6->text(), QStringLiteral("            Fail"));
    QCOMPARE(form.Shape1->fillColor(), QColor(255, 0, 0));
    QVERIFY(form.Rev_Show_Text->toPlainText().endsWith(QStringLiteral("\nREV    : NO DATA\n")));
    QCOMPARE(op.messages.texts(), QStringList{"Fail! Response timeout, please re-operation!"});
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("Fail"));
    QVERIFY(form.Send_command->isEnabled());
    QCOMPARE(form.replyLine().awaitingReply(), false);
    QCOMPARE(op.port.discards(), 2); // before the request and after the time-out
    QVERIFY(!form.Timer2->isActive());
}

void TestOperation::splitReplyJudgedOnce()
{
    Operation op("Tarvik CT", "Read Energy");
    const QByteArray reply = QByteArray::fromHex("010404449A522BB224");
    op.exchange({reply.left(2), reply.mid(2, 4), reply.mid(6)});
    QCOMPARE(op.messages.entries.size(), 1);
    QCOMPARE(op.form->Success_Label->text(), QStringLiteral("1"));
    QVERIFY(op.form->Rev_Show_Text->toPlainText().endsWith("REV    : 01 04 04 44 9A 52 2B B2 24\n"));
}

void TestOperation::stragglingReplyIsATimeout()
{
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    form.Send_command_Click();
    op.port.deliver(QByteArray::fromHex("01040444"));
    form.TimeoutTick(); // the 1000 ms are over before the reply is complete
    op.port.deliver(QByteArray::fromHex("9A522BB224"));
    QVERIFY(form.Timer1->isActive());
    form.ReplyTimerTick();

    QCOMPARE(op.messages.texts(), QStringList{"Fail! Response timeout, please re-operation!"});
    QVERIFY(!form.Rev_Show_Text->toPlainText().contains(QStringLiteral("REV    : 01")));
    QCOMPARE(form.Success_Label->text(), QStringLiteral("0"));
    QCOMPARE(form.replyLine().gathered().size(), std::size_t(0));
}

void TestOperation::strayBytesDroppedSilently()
{
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    op.port.deliver(QByteArray::fromHex("010404449A522BB224"));
    QVERIFY(form.Timer1->isActive());
    form.ReplyTimerTick();
    QVERIFY(op.messages.entries.isEmpty());
    QCOMPARE(form.Rev_Show_Text->toPlainText(), QString());
    QCOMPARE(form.replyLine().gathered().size(), std::size_t(0));
    QCOMPARE(form.Label6->text(), QStringLiteral("No Operate"));
}

void TestOperation::overflowReportedOncePerOperation()
{
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    form.Send_command_Click();
    op.port.deliver(QByteArray(20, 'x'));
    op.port.deliver(QByteArray(11, 'x')); // the 31st byte
    QCOMPARE(form.Label6->text(), QStringLiteral("Comm Error"));
    QCOMPARE(form.Shape1->fillColor(), QColor(255, 0, 0));
    QVERIFY(!form.Timer1->isActive());
    const QString commError = QStringLiteral(
        "Communication error, please check and conifrm the serial port communication is expedite!");
    QCOMPARE(op.messages.texts(), QStringList{commError});
    QCOMPARE(op.messages.entries.front().caption, messages::ApplicationTitle);

    // A device that keeps talking: no box per chunk; the time-out ends it.
    for (int i = 0; i < 5; ++i)
        op.port.deliver(QByteArray(40, 'y'));
    QCOMPARE(op.messages.entries.size(), 1);
    form.TimeoutTick();
    QCOMPARE(op.messages.texts().last(), QStringLiteral("Fail! Response timeout, please re-operation!"));

    // The next operation's reply is stored from its first byte again.
    op.messages.entries.clear();
    op.exchange({QByteArray::fromHex("010404449A522BB224")});
    QCOMPARE(op.messages.entries.size(), 1);
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("Success"));
}

void TestOperation::writeFailsAfterPortVanished()
{
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    op.port.vanish();
    form.Send_command_Click();
    QCOMPARE(form.Rev_Show_Text->toPlainText(), QStringLiteral("SEND : 01 04 01 56 00 02 90 27\n"));
    QCOMPARE(op.messages.texts(), QStringList{"The serial port is invalid, please check the serial port!"});
    QCOMPARE(op.messages.entries.front().style, 48);
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("SEND ERROR"));
    QCOMPARE(form.replyLine().awaitingReply(), false);
    QVERIFY(!form.Timer2->isActive());
    QVERIFY(form.Send_command->isEnabled());
}

void TestOperation::cancelSendsNothing_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<Answer>("answer");
    const std::pair<const char *, const char *> pairs[] = {
        {"Tarvik CT", "Modify Meter Address"}, {"Tarvik CT", "Modify Baud Rate"}, {"Tarvik CT", "Modify Parity"},
        {"Morel-K", "Set CT"}, {"Morel-N", "Set Time"}, {"Morel-N", "Set Tariff"}};
    for (const auto &[meter, command] : pairs) {
        QTest::newRow(qPrintable(QString(command) + " Cancel")) << meter << command << ScriptedDialogs::cancel();
        QTest::newRow(qPrintable(QString(command) + " closed")) << meter << command << ScriptedDialogs::closeByTitleBar();
    }
}

void TestOperation::cancelSendsNothing()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(Answer, answer);
    Operation op(meter, command);
    op.form->addr_Text->setText(QStringLiteral("7"));
    op.dialogs.answers = {answer};
    op.form->Send_command_Click();
    QCOMPARE(op.dialogs.asked, QStringList{command});
    QVERIFY(op.port.written().isEmpty());
    QCOMPARE(op.form->Rev_Show_Text->toPlainText(), QString());
    QVERIFY(op.form->Send_command->isEnabled());
    QCOMPARE(op.form->replyLine().awaitingReply(), false);
    QCOMPARE(op.form->state().RequestAddress, quint8(7));
    QVERIFY(op.messages.entries.isEmpty());
}

void TestOperation::refusedValueShowsDialogAgain()
{
    Operation op("Tarvik CT", "Modify Baud Rate");
    op.dialogs.answers = {ScriptedDialogs::confirm("1200"), ScriptedDialogs::confirm("1200"), ScriptedDialogs::cancel()};
    op.form->Send_command_Click();
    QCOMPARE(op.dialogs.asked.size(), 3);
    QCOMPARE(op.messages.texts(), QStringList({"Invalid Baud Rate, please try again!", "Invalid Baud Rate, please try again!"}));
    QCOMPARE(op.messages.entries.front().caption, QStringLiteral("ERROR"));
    QVERIFY(op.port.written().isEmpty());

    op.messages.entries.clear();
    op.dialogs.answers = {ScriptedDialogs::confirm("1200"), ScriptedDialogs::confirm("19200")};
    op.form->Send_command_Click();
    QCOMPARE(op.port.written().size(), 1);
    QCOMPARE(spaced(op.port.written().front()).left(32), QStringLiteral("01 10 00 1C 00 02 04 40 40 00 00"));
    QCOMPARE(op.form->state().NewBaudText, std::string("19200"));
}

void TestOperation::autoDeleteAndDecimalTrace()
{
    Operation op("Tarvik CT", "Read Energy");
    auto &form = *op.form;
    form.Rev_Show_Text->setPlainText(QStringLiteral("older lines\n"));
    form.Check2->setChecked(true);
    form.Dec_Opt->setChecked(true);
    op.exchange({QByteArray::fromHex("010404449A522BB224")});
    QCOMPARE(form.Rev_Show_Text->toPlainText(),
             QStringLiteral("SEND : 1 4 1 86 0 2 144 39\nREV    : 1 4 4 68 154 82 43 178 36\n"));
}

void TestOperation::reportFollowsTheOperationSent()
{
    Operation op("Tarvik CT", "Modify Baud Rate");
    auto &form = *op.form;
    op.dialogs.answers = {ScriptedDialogs::confirm("9600")};
    op.port.scriptReply({QByteArray::fromHex("0110001C0002800E")});
    form.Send_command_Click();
    // The operator picks another meter type while the reply is on its way.
    op.choose("Morel-K", "Set CT");
    QTRY_VERIFY(form.Timer1->isActive());
    form.ReplyTimerTick();
    QCOMPARE(op.messages.entries.front().text, QStringLiteral("Modify Baud Rate operation success! Baud Rate is 9600."));
    QCOMPARE(logOf(op), QByteArray("2024-03-03 14:05:09 : Tarvik CT meter Modify Baud Rate operation success.Baud Rate is 9600.\r\n"));
}

void TestOperation::failureCounterDoesNotWrap()
{
    Operation op("Tarvik CT", "Read Energy");
    op.form->state().FailCount = 32767;
    op.form->Send_command_Click();
    op.form->TimeoutTick();
    QCOMPARE(op.form->Err_Label->text(), QStringLiteral("32768"));
}

void TestOperation::realTimersEndTheExchange()
{
    Operation op("Tarvik CT", "Read Energy");
    op.port.scriptReply({QByteArray::fromHex("010404449A522BB224")});
    op.form->Send_command_Click();
    QTRY_COMPARE_WITH_TIMEOUT(op.form->Success_Label->text(), QStringLiteral("1"), 2000);

    op.form->Send_command_Click(); // no reply this time: the 1000 ms time-out reports it
    QTRY_COMPARE_WITH_TIMEOUT(op.form->Err_Label->text(), QStringLiteral("1"), 5000);
    QVERIFY(op.form->Send_command->isEnabled());
}

void TestOperation::logMovesToUserFolderAndSaysWhereOnce()
{
    Operation op("Tarvik CT", "Read Energy", false);
    const QString place = op.folder.filePath(QStringLiteral("fallback/History.log"));
    for (int i = 0; i < 2; ++i)
        op.exchange({QByteArray::fromHex("010404449A522BB224")});
    QCOMPARE(op.messages.texts().filter(place).size(), 1);
    QFile log(place);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count('\n'), 2);
}

QTEST_MAIN(TestOperation)
#include "tst_operation.moc"
