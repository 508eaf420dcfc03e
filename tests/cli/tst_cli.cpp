#include <QtTest>

#include <QProcess>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments)
{
    const QString program = qEnvironmentVariable("QUORVANE_BUILD_DIR") + "/tools/cli/quorvane-cli";
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(10000)) {
        process.kill();
        run.err = "could not run " + program + ": " + process.errorString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList operation(const char* verb, const char* meter, const char* command, const char* address)
{
    return {verb, "--meter", meter, "--command", command, "--address", address};
}

const QString Zeros27 = QString("00").repeated(27);

} // namespace

// quorvane-cli as a user runs it: frames, refusals, usage errors and reply verdicts.
class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void frames_data();
    void frames();
    void refusals_data();
    void refusals();
    void usageErrors_data();
    void usageErrors();
    void replies_data();
    void replies();
    void help();
};

void TestCli::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("QUORVANE_BUILD_DIR"), "run through ctest");
}

void TestCli::frames_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("frame");
    QTest::newRow("01 04 01 56 00 02 90 27") << operation("frame", "Tarvik CT", "Read Energy", "1")
                                             << "01 04 01 56 00 02 90 27";
    QTest::newRow("0A 04 01 56 00 02 91 5C") << operation("frame", "Tarvik CT", "Read Energy", "10")
                                             << "0A 04 01 56 00 02 91 5C";
    QTest::newRow("01 10 00 1C 00 02 04 40 00 00 00 E7 36")
        << operation("frame", "Tarvik CT", "Modify Baud Rate", "1") + QStringList{"--value", "9600"}
        << "01 10 00 1C 00 02 04 40 00 00 00 E7 36";
    QTest::newRow("01 10 00 14 00 02 04 40 00 00 00 E6 90")
        << operation("frame", "Tarvik CT", "Modify Meter Address", "1") + QStringList{"--value=2"}
        << "01 10 00 14 00 02 04 40 00 00 00 E6 90";
    QTest::newRow("01 10 00 12 00 02 04 3F 80 00 00 7E 86")
        << operation("frame", "Tarvik CT", "Modify Parity", "1") + QStringList{"--value", "EVEN", "--value2", "1"}
        << "01 10 00 12 00 02 04 3F 80 00 00 7E 86";
    QTest::newRow("01 10 F8 00 00 01 02 00 04 DE 5C")
        << operation("frame", "Morel-K", "Modify Baud Rate", "1") + QStringList{"--value", "9600"}
        << "01 10 F8 00 00 01 02 00 04 DE 5C";
    QTest::newRow("01 10 F9 00 00 01 02 00 04 CE 9C")
        << operation("frame", "Morel-K", "Set CT", "1") + QStringList{"--value", "100", "--value2", "5"}
        << "01 10 F9 00 00 01 02 00 04 CE 9C";
    QTest::newRow("01 10 F6 00 00 01 02 00 02 B1 9E")
        << operation("frame", "Morel-N", "Modify Meter Address", "001") + QStringList{"--value", "2"}
        << "01 10 F6 00 00 01 02 00 02 B1 9E";
    QTest::newRow("01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6")
        << operation("frame", "Morel-N", "Set Time", "1") + QStringList{"--time-data", "58 59 23 01 31 12 24 20"}
        << "01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6";
    QTest::newRow("01 10 F7 00 00 0F 1E 01 30 08 00.. 8D 38")
        << operation("frame", "Pesca-N", "Set Tariff", "1") + QStringList{"--tariff-data", "013008" + Zeros27}
        << "01 10 F7 00 00 0F 1E 01 30 08 " + QStringList(27, "00").join(' ') + " 8D 38";
    QTest::newRow("lowercase hex data, same Set Time frame")
        << operation("frame", "Morel-N", "Set Time", "1") + QStringList{"--time-data", "5859230131122420"}
        << "01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6";
    QTest::newRow("date and time as typed, same Set Time frame")
        << operation("frame", "Morel-N", "Set Time", "1") + QStringList{"--date", "12/31/2024", "--time", "23:59:58"}
        << "01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6";
    QTest::newRow("schedule as typed, same Set Tariff frame")
        << operation("frame", "Pesca-N", "Set Tariff", "1") + QStringList{"--tariff", "T1 08:30"}
        << "01 10 F7 00 00 0F 1E 01 30 08 " + QStringList(27, "00").join(' ') + " 8D 38";
}

void TestCli::frames()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, frame);
    const auto run = runCli(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, frame + "\n");
}

void TestCli::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("baud 1200 on Tarvik CT")
        << operation("frame", "Tarvik CT", "Modify Baud Rate", "1") + QStringList{"--value", "1200"}
        << "Invalid Baud Rate, please try again!";
    QTest::newRow("address 0") << operation("frame", "Tarvik CT", "Modify Meter Address", "1")
                                      + QStringList{"--value", "0"}
                               << "The input data is out of range, please re-enter the numbers ranges from 1-247!";
    QTest::newRow("empty address") << operation("frame", "Morel-K", "Modify Meter Address", "1")
                                          + QStringList{"--value", ""}
                                   << "The input data is out of range, please re-enter the numbers ranges from 1-247!";
    QTest::newRow("parity ODD/2") << operation("frame", "Corvi Link", "Modify Parity", "1")
                                         + QStringList{"--value", "ODD", "--value2", "2"}
                                  << "Invalid Parity, please try again!";
    QTest::newRow("CT2 1") << operation("frame", "Morel-K", "Set CT", "1") + QStringList{"--value", "100", "--value2", "1"}
                           << "Invalid CT2 data, please try again!";
    QTest::newRow("CT1 120") << operation("frame", "Morel-K", "Set CT", "1")
                                    + QStringList{"--value", "120", "--value2", "5"}
                             << "Invalid CT1 data, please try again!";
    QTest::newRow("reply, refused before the bytes are judged")
        << operation("reply", "Tarvik CT", "Modify Baud Rate", "1")
               + QStringList{"--value", "1200", "--bytes", "0110001C0002800E"}
        << "Invalid Baud Rate, please try again!";
    QTest::newRow("month 13") << operation("frame", "Morel-N", "Set Time", "1")
                                     + QStringList{"--date", "13/01/2024", "--time", "12:00:00"}
                              << "The month error, month is in the range of 1~12.";
    QTest::newRow("tariff T1 twice in a row") << operation("frame", "Morel-N", "Set Tariff", "1")
                                                     + QStringList{"--tariff", "T1 08:00, T1 09:00"}
                                              << "Time2 data error!";
}

void TestCli::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const auto run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, message + "\n");
    QCOMPARE(run.out, QString());
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no arguments") << QStringList{};
    QTest::newRow("unknown action") << QStringList{"send"};
    QTest::newRow("unknown meter type") << operation("frame", "Kestrel", "Read Energy", "1");
    QTest::newRow("meter type with a line break, still one line") << operation("frame", "Tarvik\nCT", "Read Energy", "1");
    QTest::newRow("meter type in lower case") << operation("frame", "tarvik ct", "Read Energy", "1");
    QTest::newRow("unknown command") << operation("frame", "Tarvik CT", "Reset", "1");
    QTest::newRow("command not offered") << operation("frame", "Tarvik CT", "Set CT", "1")
                                                + QStringList{"--value", "100", "--value2", "5"};
    QTest::newRow("address 256") << operation("frame", "Tarvik CT", "Read Energy", "256");
    QTest::newRow("address -1") << operation("frame", "Tarvik CT", "Read Energy", "-1");
    QTest::newRow("address 1.5") << operation("frame", "Tarvik CT", "Read Energy", "1.5");
    QTest::newRow("address x") << operation("frame", "Tarvik CT", "Read Energy", "x");
    QTest::newRow("missing --address") << QStringList{"frame", "--meter", "Tarvik CT", "--command", "Read Energy"};
    QTest::newRow("--address without its value") << operation("frame", "Tarvik CT", "Read Energy", "1").mid(0, 6);
    QTest::newRow("--meter followed by an option")
        << QStringList{"frame", "--meter", "--command", "Read Energy", "--address", "1"};
    QTest::newRow("unknown option") << operation("frame", "Tarvik CT", "Read Energy", "1") + QStringList{"--fast"};
    QTest::newRow("stray argument") << operation("frame", "Tarvik CT", "Read Energy", "1") + QStringList{"now"};
    QTest::newRow("option twice") << operation("frame", "Tarvik CT", "Read Energy", "1") + QStringList{"--address", "2"};
    QTest::newRow("baud without --value") << operation("frame", "Tarvik CT", "Modify Baud Rate", "1");
    QTest::newRow("parity without --value2") << operation("frame", "Tarvik CT", "Modify Parity", "1")
                                                    + QStringList{"--value", "NONE"};
    QTest::newRow("--value on a read") << operation("frame", "Tarvik CT", "Read Energy", "1")
                                              + QStringList{"--value", "5"};
    QTest::newRow("Set Time without data") << operation("frame", "Morel-N", "Set Time", "1");
    QTest::newRow("Set Time, 7 bytes") << operation("frame", "Morel-N", "Set Time", "1")
                                              + QStringList{"--time-data", "58592301311224"};
    QTest::newRow("Set Tariff, bad hex") << operation("frame", "Pesca-N", "Set Tariff", "1")
                                                + QStringList{"--tariff-data", "0G" + QString("00").repeated(29)};
    QTest::newRow("Set Tariff, 29 bytes") << operation("frame", "Pesca-N", "Set Tariff", "1")
                                                 + QStringList{"--tariff-data", QString("00").repeated(29)};
    QTest::newRow("reply without --bytes") << operation("reply", "Tarvik CT", "Read Energy", "1");
    QTest::newRow("reply, odd hex") << operation("reply", "Tarvik CT", "Read Energy", "1")
                                           + QStringList{"--bytes", "01 04 0"};
    QTest::newRow("reply, blank inside a byte") << operation("reply", "Tarvik CT", "Read Energy", "1")
                                                       + QStringList{"--bytes", "0 104"};
    QTest::newRow("--bytes on frame") << operation("frame", "Tarvik CT", "Read Energy", "1")
                                             + QStringList{"--bytes", "01"};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const auto run = runCli(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith("quorvane-cli: ") && run.err.endsWith("\n") && run.err.count('\n') == 1,
             qPrintable(run.err));
}

void TestCli::replies_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    const auto reply = [](QStringList op, const QString& bytes) { return op + QStringList{"--bytes", bytes}; };

    QTest::newRow("01 04 04 44 9A 52 2B B2 24 -> 1234.5677")
        << reply(operation("reply", "Tarvik CT", "Read Energy", "1"), "01 04 04 44 9A 52 2B B2 24") << 0
        << "accepted\nCurrent Energy is 1234.5677 KWh.\n";
    QTest::newRow("01 03 04 00 00 04 B5 39 44 -> 120.5 (Morel-K)")
        << reply(operation("reply", "Morel-K", "Read Energy", "1"), "010304000004B53944") << 0
        << "accepted\nCurrent Energy is 120.5 KWh.\n";
    QTest::newRow("01 03 04 00 00 04 B5 39 44 -> 12.05 (Pesca-K)")
        << reply(operation("reply", "Pesca-K", "Read Energy", "1"), "010304000004B53944") << 0
        << "accepted\nCurrent Energy is 12.05 KWh.\n";
    QTest::newRow("01 10 00 1C 00 02 80 0E -> Baud Rate is 9600.")
        << reply(operation("reply", "Tarvik CT", "Modify Baud Rate", "1") + QStringList{"--value", "9600"},
                 "0110001C0002800E")
        << 0 << "accepted\nBaud Rate is 9600.\n";
    QTest::newRow("01 10 00 14 00 02 01 CC -> Meter Address is  5.")
        << reply(operation("reply", "Tarvik CT", "Modify Meter Address", "1") + QStringList{"--value", "5"},
                 "01100014000201CC")
        << 0 << "accepted\nMeter Address is  5.\n";
    QTest::newRow("01 10 F0 00 00 04 F2 CA -> date and time from the bytes")
        << reply(operation("reply", "Morel-N", "Set Time", "1") + QStringList{"--time-data", "5859230131122420"},
                 "0110F0000004F2CA")
        << 0 << "accepted\nSystem date and time is 12/31/2024  23:59:58.\n";
    QTest::newRow("01 10 F7 00 00 0F B2 79 -> Pesca-N summaries T1, T2")
        << reply(operation("reply", "Pesca-N", "Set Tariff", "1")
                     + QStringList{"--tariff-data", "010008 020012 010018 020022" + QString("00").repeated(18)},
                 "0110F700000FB279")
        << 0 << "accepted\nTariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . \n";
    QTest::newRow("01 10 F7 00 00 0F B2 79 -> Morel-N summaries T1..T4")
        << reply(operation("reply", "Morel-N", "Set Tariff", "1")
                     + QStringList{"--tariff-data", "010006 020022" + QString("00").repeated(24)},
                 "0110F700000FB279")
        << 0 << "accepted\nTariff is T1 : 06:00 to 22:00 . T2 : 22:00 to 06:00 . No set T3. No set T4. \n";
    QTest::newRow("01 10 00 14 00 02 01 CC to a baud request -> rejected")
        << reply(operation("reply", "Tarvik CT", "Modify Baud Rate", "1") + QStringList{"--value", "9600"},
                 "01100014000201CC")
        << 1 << "rejected\n";
    QTest::newRow("01 04 04 44 9A 52 2B B2 24 to slave 2 -> rejected")
        << reply(operation("reply", "Tarvik CT", "Read Energy", "2"), "010404449A522BB224") << 1 << "rejected\n";
    QTest::newRow("01 84 02 C2 C1 -> rejected")
        << reply(operation("reply", "Tarvik CT", "Read Energy", "1"), "018402C2C1") << 1 << "rejected\n";
    QTest::newRow("no bytes -> rejected")
        << reply(operation("reply", "Tarvik CT", "Read Energy", "1"), "") << 1 << "rejected\n";
    QTest::newRow("31 bytes -> rejected")
        << reply(operation("reply", "Tarvik CT", "Read Energy", "1"), "01041A" + QString("00").repeated(26) + "0000")
        << 1 << "rejected\n";
}

void TestCli::replies()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    const auto run = runCli(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
}

void TestCli::help()
{
    const auto run = runCli({"--help"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());
    for (const auto* text : {"quorvane-cli frame", "quorvane-cli reply", "--tariff-data", "--bytes", "Morel Serial:",
                             "Corvi Link: Read Energy, Read Import Energy, Read Export Energy, Modify Baud Rate"})
        QVERIFY2(run.out.contains(QLatin1String(text)), text);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
