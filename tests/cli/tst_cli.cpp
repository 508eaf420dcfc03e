#include "clirun.h"

#include <QtTest>

namespace {

QStringList op(const char* verb, const char* meter, const char* command, const char* address,
               const QStringList& options = {})
{
    return QStringList{verb, "--meter", meter, "--command", command, "--address", address} + options;
}

// A row: what quorvane-cli prints on standard output and standard error, each a line or nothing.
void row(const char* name, const QStringList& arguments, int exitCode, const QString& out, const QString& err = {})
{
    QTest::newRow(name) << arguments << exitCode << (out.isEmpty() ? out : out + "\n")
                        << (err.isEmpty() ? err : err + "\n");
}

const QString SetTime = "01 10 F0 00 00 04 08 58 59 23 01 31 12 24 20 B5 A6";
const QString SetTariff = "01 10 F7 00 00 0F 1E 01 30 08 " + QStringList(27, "00").join(' ') + " 8D 38";
const QString Usage = "usage";

} // namespace

// quorvane-cli as a user runs it: frames, refusals, usage errors and reply verdicts.
class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void runs_data();
    void runs();
    void help();
};

void TestCli::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("QUORVANE_BUILD_DIR"), "run through ctest");
}

void TestCli::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    row("01 04 01 56 00 02 90 27", op("frame", "Tarvik CT", "Read Energy", "1"), 0, "01 04 01 56 00 02 90 27");
    row("0A 04 01 56 00 02 91 5C", op("frame", "Tarvik CT", "Read Energy", "10"), 0, "0A 04 01 56 00 02 91 5C");
    row("01 10 00 12 00 02 04 3F 80 00 00 7E 86",
        op("frame", "Tarvik CT", "Modify Parity", "1", {"--value", "EVEN", "--value2", "1"}), 0,
        "01 10 00 12 00 02 04 3F 80 00 00 7E 86");
    row("01 10 F9 00 00 01 02 00 04 CE 9C", op("frame", "Morel-K", "Set CT", "1", {"--value=100", "--value2", "5"}),
        0, "01 10 F9 00 00 01 02 00 04 CE 9C");
    row("--time-data 58 59 23 01 31 12 24 20",
        op("frame", "Morel-N", "Set Time", "1", {"--time-data", "58 59 23 01 31 12 24 20"}), 0, SetTime);
    row("--date 12/31/2024 --time 23:59:58",
        op("frame", "Morel-N", "Set Time", "1", {"--date", "12/31/2024", "--time", "23:59:58"}), 0, SetTime);
    row("--tariff-data 013008 00..",
        op("frame", "Pesca-N", "Set Tariff", "1", {"--tariff-data", "013008" + QString(54, '0')}), 0, SetTariff);
    row("--tariff T1 08:30", op("frame", "Pesca-N", "Set Tariff", "1", {"--tariff", "T1 08:30"}), 0, SetTariff);
    // Asked for in the first place, as --help is: the name and the build's version.
    row("--version", {"--version"}, 0, "quorvane-cli " QUORVANE_VERSION);

    // Refused values: the message, exactly, and exit 1.
    row("baud 1200 on Tarvik CT", op("frame", "Tarvik CT", "Modify Baud Rate", "1", {"--value", "1200"}), 1, "",
        "Invalid Baud Rate, please try again!");
    row("address 0", op("frame", "Tarvik CT", "Modify Meter Address", "1", {"--value", "0"}), 1, "",
        "The input data is out of range, please re-enter the numbers ranges from 1-247!");
    row("reply, refused before the bytes are judged",
        op("reply", "Tarvik CT", "Modify Baud Rate", "1", {"--value", "1200", "--bytes", "0110001C0002800E"}), 1, "",
        "Invalid Baud Rate, please try again!");
    // A value is never an option, "-h" included.
    row("CT2 -h", op("frame", "Morel-K", "Set CT", "1", {"--value", "100", "--value2", "-h"}), 1, "",
        "Invalid CT2 data, please try again!");
    row("--date 13/01/2024", op("frame", "Morel-N", "Set Time", "1", {"--date", "13/01/2024", "--time", "12:00:00"}),
        1, "", "The month error, month is in the range of 1~12.");
    row("--tariff T1 08:00, T1 09:00", op("frame", "Morel-N", "Set Tariff", "1", {"--tariff", "T1 08:00, T1 09:00"}),
        1, "", "Time2 data error!");

    // Usage errors: one line on standard error, exit 2.
    row("no arguments", {}, 2, "", Usage);
    row("unknown meter type", op("frame", "Kestrel", "Read Energy", "1"), 2, "", Usage);
    row("meter type in lower case", op("frame", "tarvik ct", "Read Energy", "1"), 2, "", Usage);
    row("meter type with a line break", op("frame", "Tarvik\nCT", "Read Energy", "1"), 2, "", Usage);
    row("command not offered", op("frame", "Tarvik CT", "Set CT", "1", {"--value", "100", "--value2", "5"}), 2, "",
        Usage);
    row("address 256", op("frame", "Tarvik CT", "Read Energy", "256"), 2, "", Usage);
    row("address x", op("frame", "Tarvik CT", "Read Energy", "x"), 2, "", Usage);
    row("run at address 255", op("run", "Tarvik CT", "Read Energy", "255", {"--port", "/dev/null"}), 2, "", Usage);
    row("--repeat past the largest count", op("run", "Tarvik CT", "Read Energy", "1", {"--port", "/dev/null", "--repeat", "100000001"}),
        2, "", "quorvane-cli: option --repeat needs a count of 1..100000000, not '100000001' (see quorvane-cli --help)");

    // Paths that are no serial devices are named as such before anything is opened.
    const auto readAt = [](const QString& port) {
        return op("run", "Tarvik CT", "Read Energy", "1", {"--port", port, "--no-history"});
    };
    row("/dev/null", readAt("/dev/null"), 4, "", "cannot open /dev/null: not a serial device (a mem device)");
    row("a folder", readAt("/tmp"), 4, "", "cannot open /tmp: not a serial device (a folder)");
    row("a regular file", readAt(CliProgram()), 4, "", "cannot open " + CliProgram() + ": not a serial device (a regular file)");
    row("--address without its value", op("frame", "Tarvik CT", "Read Energy", "1").mid(0, 6), 2, "", Usage);
    row("unknown option", op("frame", "Tarvik CT", "Read Energy", "1", {"--fast"}), 2, "", Usage);
    row("baud without --value", op("frame", "Tarvik CT", "Modify Baud Rate", "1"), 2, "", Usage);
    row("--time-data of 7 bytes", op("frame", "Morel-N", "Set Time", "1", {"--time-data", "58592301311224"}), 2, "",
        Usage);
    row("--tariff-data 0G..", op("frame", "Pesca-N", "Set Tariff", "1", {"--tariff-data", "0G" + QString(58, '0')}),
        2, "", Usage);
    row("--bytes 01 04 0", op("reply", "Tarvik CT", "Read Energy", "1", {"--bytes", "01 04 0"}), 2, "", Usage);
    // A gateway's address that cannot be read: the message names the form it takes.
    const QString form = "; expected rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT (see quorvane-cli --help)";
    row("--port rtu-tcp://127.0.0.1", op("run", "Tarvik CT", "Read Energy", "1", {"--port", "rtu-tcp://127.0.0.1"}),
        2, "", "quorvane-cli: option --port: no port after the host" + form);
    row("--port modbus-tcp://127.0.0.1:0", {"scan", "--port", "modbus-tcp://127.0.0.1:0"}, 2, "",
        "quorvane-cli: option --port: the port must be 1..65535" + form);
    row("--port=rtu-tcp://127.0.0.1:70000", {"set", "--port=rtu-tcp://127.0.0.1:70000"}, 2, "",
        "quorvane-cli: option --port: the port must be 1..65535" + form);
    row("--port rtu-tcp://127.0.0.1:502/x",
        op("run", "Tarvik CT", "Read Energy", "1", {"--port", "rtu-tcp://127.0.0.1:502/x"}), 2, "",
        "quorvane-cli: option --port: nothing may follow the port" + form);

    // Reply verdicts, with the History.log detail of an accepted one.
    row("01 04 04 44 9A 52 2B B2 24",
        op("reply", "Tarvik CT", "Read Energy", "1", {"--bytes", "01 04 04 44 9A 52 2B B2 24"}), 0,
        "accepted\nCurrent Energy is 1234.5677 KWh.");
    row("01 03 04 00 00 04 B5 39 44 (Pesca-K)",
        op("reply", "Pesca-K", "Read Energy", "1", {"--bytes", "010304000004B53944"}), 0,
        "accepted\nCurrent Energy is 12.05 KWh.");
    row("01 10 00 1C 00 02 80 0E",
        op("reply", "Tarvik CT", "Modify Baud Rate", "1", {"--value", "9600", "--bytes", "0110001C0002800E"}), 0,
        "accepted\nBaud Rate is 9600.");
    row("01 10 F0 00 00 04 F2 CA",
        op("reply", "Morel-N", "Set Time", "1", {"--time-data", "5859230131122420", "--bytes", "0110F0000004F2CA"}), 0,
        "accepted\nSystem date and time is 12/31/2024  23:59:58.");
    row("01 10 F7 00 00 0F B2 79",
        op("reply", "Pesca-N", "Set Tariff", "1",
           {"--tariff-data", "010008 020012 010018 020022" + QString(36, '0'), "--bytes", "0110F700000FB279"}),
        0, "accepted\nTariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . ");
    row("01 10 00 14 00 02 01 CC to a baud request",
        op("reply", "Tarvik CT", "Modify Baud Rate", "1", {"--value", "9600", "--bytes", "01100014000201CC"}), 1,
        "rejected");
    row("01 84 02 C2 C1", op("reply", "Tarvik CT", "Read Energy", "1", {"--bytes", "018402C2C1"}), 1, "rejected");
    row("31 bytes", op("reply", "Tarvik CT", "Read Energy", "1", {"--bytes", "01041A" + QString(56, '0')}), 1,
        "rejected");
}

void TestCli::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const auto run = RunCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    if (err == Usage + "\n")
        QVERIFY2(run.err.startsWith("quorvane-cli: ") && run.err.endsWith("\n") && run.err.count('\n') == 1,
                 qPrintable(run.err));
    else
        QCOMPARE(run.err, err);
}

void TestCli::help()
{
    const auto run = RunCli({"--help"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());
    for (const auto* text : {"quorvane-cli frame", "quorvane-cli reply", "--tariff-data", "--bytes", "Morel Serial:",
                             "Corvi Link: Read Energy, Read Import Energy, Read Export Energy, Modify Baud Rate"})
        QVERIFY2(run.out.contains(QLatin1String(text)), text);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
