// The command line's printers and option checks in-process: what a script
// reading its output relies on.
#include "jobs/changerun.h"
#include "jobs/foundtext.h"
#include "exitstatus.h"
#include "options.h"
#include "output.h"
#include "jobs/probe.h"
#include "poll.h"

#include "codec/crc16.h"

#include <QtTest>

class TestCliOutput : public QObject
{
    Q_OBJECT
private slots:
    void jsonStrings_data();
    void jsonStrings();
    void severalPorts_data();
    void severalPorts();
    void stepsOfARow();
    void statusOfSeveralLines();
    void foundDevices_data();
    void foundDevices();
    void probeAnswers_data();
    void probeAnswers();
    void pollMeters_data();
    void pollMeters();
    void pollMeterFiles_data();
    void pollMeterFiles();
    void pollTable();
};

namespace {

cli::ParsedArguments parse(const QStringList &arguments)
{
    std::vector<std::string> words;
    for (const auto &a : arguments)
        words.push_back(a.toStdString());
    const std::vector<std::string_view> views(words.begin(), words.end());
    return cli::ParseArguments(views);
}

// "Tarvik CT@1, Morel-K@7@/dev/b": the meters poll reads, each with its line where it names one.
QString metersText(const std::vector<cli::PolledMeter> &meters)
{
    QStringList items;
    for (const auto &m : meters)
        items << QString::fromStdString(m.meter + "@" + std::to_string(m.address) + (m.port.empty() ? "" : "@" + m.port));
    return items.join(", ");
}

} // namespace

void TestCliOutput::jsonStrings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("quote and backslash") << QByteArray("a\"b\\c") << QByteArray(R"("a\"b\\c")");
    QTest::newRow("control characters") << QByteArray("a\nb\x01") << QByteArray(R"("a\nb\u0001")");
    QTest::newRow("UTF-8 kept") << QByteArray("/dev/ttyÜ€") << QByteArray("\"/dev/ttyÜ€\"");
    // A port path may be any bytes: what is not UTF-8 is escaped, so the JSON stays valid.
    QTest::newRow("Latin-1 byte") << QByteArray("/dev/tty\xFC") << QByteArray(R"("/dev/tty\u00fc")");
    QTest::newRow("cut sequence") << QByteArray("x\xE2\x82") << QByteArray(R"("x\u00e2\u0082")");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QByteArray(R"("\u00c0\u00af")");
}

void TestCliOutput::jsonStrings()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, json);
    const auto out = cli::JsonString(std::string_view(text.constData(), std::size_t(text.size())));
    QCOMPARE(QByteArray::fromStdString(out), json);
}

void TestCliOutput::severalPorts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem"); // empty: accepted
    const QStringList read{"run", "--meter", "Tarvik CT", "--command", "Read Energy", "--address", "1"};
    QTest::newRow("two ports") << read + QStringList{"--port", "/dev/a", "--port", "/dev/b"} << "";
    QTest::newRow("one port twice") << read + QStringList{"--port", "/dev/a", "--port", "/dev/a"}
                                    << "option --port '/dev/a' given twice";
    QTest::newRow("set on two lines")
        << QStringList{"set", "--port", "/dev/a", "--port", "/dev/b", "--meter", "Tarvik CT", "--address", "1", "--new-address", "2"}
        << "'set' changes one meter on one line: give one --port, or a --plan with a port column";
    QTest::newRow("a plan on two lines") << QStringList{"set", "--port", "/dev/a", "--port", "/dev/b", "--plan", "p.csv"} << "";
}

void TestCliOutput::severalPorts()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    std::vector<std::string> words;
    for (const auto &a : arguments)
        words.push_back(a.toStdString());
    const std::vector<std::string_view> views(words.begin(), words.end());
    const auto parsed = cli::ParseArguments(views);
    QCOMPARE(QString::fromStdString(parsed.usageError), problem);
    if (parsed.options)
        QCOMPARE(parsed.options->ports.size(), std::size_t(2));
}

// What the result file says of a row: each step written, and how it ended.
void TestCliOutput::stepsOfARow()
{
    jobs::RowResult row;
    row.verdict = jobs::Verdict::NoReply;
    row.steps = {{"Modify Meter Address", "16", 5, jobs::Verdict::Verified, "Meter Address is  16.", {}, {}},
                 {"Modify Baud Rate", "19200", 16, jobs::Verdict::NoReply, {}, "no reply to Modify Baud Rate", {}}};
    QCOMPARE(QString::fromStdString(jobs::StepsText(row)),
             QString("Modify Meter Address to 16: verified; Modify Baud Rate to 19200: timeout (no reply to Modify Baud Rate)"));
    QCOMPARE(QString::fromStdString(jobs::StepsText({jobs::Verdict::Refused, "address 30 is in use", {}})),
             QString("address 30 is in use"));
}

// Several lines end with one status: a port failure first, then a stop, then the first failure.
void TestCliOutput::statusOfSeveralLines()
{
    using namespace cli::status;
    const struct {
        std::initializer_list<int> lines;
        int status;
    } rows[] = {
        {{Success, Success}, Success},
        {{Success, NoReply, Refused}, NoReply},
        {{Refused, PortFailed, Interrupted}, PortFailed},
        {{NoReply, Interrupted}, Interrupted},
        {{Interrupted, PortFailed}, PortFailed},
    };
    for (const auto &row : rows) {
        int worst = Success;
        for (const int line : row.lines)
            worst = Worse(worst, line);
        QCOMPARE(worst, row.status);
    }
}

// A found device as scan prints it and as its JSON says it.
void TestCliOutput::foundDevices_data()
{
    QTest::addColumn<QString>("heard"); // read, garbled
    QTest::addColumn<bool>("suspect");
    QTest::addColumn<bool>("gateway");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("json");
    const QString advice = "; two devices suspected at address 5: disconnect one, re-address the other, reconnect";
    QTest::newRow("read") << "read" << false << false << "address 5 at 9600 8N1: answered a read; can be Morel-K (2.5 kWh)"
                          << R"({"address": 5, "baud": 9600, "parity": "none", "stop_bits": 1, "answered": "read", "meter_types": ["Morel-K"], "energy_kwh": {"Morel-K": 2.5}})";
    QTest::newRow("garbled, alone") << "garbled" << false << false << "address 5 at 9600 8N1: bytes without a valid frame"
                                    << R"({"address": 5, "baud": 9600, "parity": "none", "stop_bits": 1, "answered": "garbled", "meter_types": [], "energy_kwh": {}})";
    QTest::newRow("garbled beside clean neighbours")
        << "garbled" << true << false << "address 5 at 9600 8N1: bytes without a valid frame" + advice
        << R"({"address": 5, "baud": 9600, "parity": "none", "stop_bits": 1, "answered": "garbled", "suspect": "duplicate", "meter_types": [], "energy_kwh": {}})";
    QTest::newRow("now read, now garbled")
        << "read" << true << false << "address 5 at 9600 8N1: answered a read; can be Morel-K (2.5 kWh)" + advice
        << R"({"address": 5, "baud": 9600, "parity": "none", "stop_bits": 1, "answered": "read", "suspect": "duplicate", "meter_types": ["Morel-K"], "energy_kwh": {"Morel-K": 2.5}})";
    QTest::newRow("through a gateway") << "garbled" << true << true << "address 5 through the gateway: bytes without a valid frame" + advice
                                       << R"({"address": 5, "answered": "garbled", "suspect": "duplicate", "meter_types": [], "energy_kwh": {}})";
}

void TestCliOutput::foundDevices()
{
    QFETCH(QString, heard);
    QFETCH(bool, suspect);
    QFETCH(bool, gateway);
    QFETCH(QString, line);
    QFETCH(QString, json);
    jobs::FoundDevice found;
    found.address = 5;
    found.throughGateway = gateway;
    found.garbled = heard == "garbled";
    found.answersRead = heard == "read";
    if (found.answersRead)
        found.types = {{"Morel-K", "2.5"}};
    found.suspect = suspect ? jobs::Suspect::Duplicate : jobs::Suspect::None;
    QCOMPARE(QString::fromStdString(jobs::FoundLine(found, {})), line);
    QCOMPARE(QString::fromStdString(jobs::FoundJson(found, false)), json);
}

// What a probe of address 1 heard: only a whole frame from that address is a device.
void TestCliOutput::probeAnswers_data()
{
    QTest::addColumn<QByteArray>("reply"); // hex, without its CRC unless "!" ends it
    QTest::addColumn<int>("heard");
    using jobs::Heard;
    QTest::newRow("a read") << QByteArray("010404449A522B") << int(Heard::Answer);
    QTest::newRow("an exception of the meter") << QByteArray("018402") << int(Heard::Answer);
    QTest::newRow("gateway: path unavailable") << QByteArray("01840A") << int(Heard::Nothing);
    QTest::newRow("gateway: target did not respond") << QByteArray("01830B") << int(Heard::Nothing);
    QTest::newRow("another address: a late reply") << QByteArray("020404449A522B") << int(Heard::OtherAddress);
    QTest::newRow("bytes without a valid frame") << QByteArray("010404449A522BFFFF!") << int(Heard::Garbled);
    QTest::newRow("the request given back") << QByteArray("010401560002") << int(Heard::Echo);
}

void TestCliOutput::probeAnswers()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, heard);
    serial::ExchangeResult result;
    result.end = serial::ExchangeResult::End::Silence;
    const bool withCrc = !reply.endsWith('!');
    const QByteArray bytes = QByteArray::fromHex(reply.left(reply.size() - (withCrc ? 0 : 1)));
    result.reply.assign(bytes.begin(), bytes.end());
    if (withCrc)
        codec::AppendCrc16(result.reply);
    result.echoed = result.reply == jobs::ProbeFrame(1);
    QCOMPARE(int(jobs::Classify(result, 1)), heard);
}

// The meters of poll from its options, or why they are unusable.
void TestCliOutput::pollMeters_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("meters"); // or the usage error
    QTest::newRow("pairs") << QStringList{"--meter", "Tarvik CT", "--address", "1", "--meter", "Morel-K", "--address", "7"}
                           << "Tarvik CT@1, Morel-K@7";
    QTest::newRow("a list") << QStringList{"--meters", "Tarvik CT@1,Morel-K@7"} << "Tarvik CT@1, Morel-K@7";
    QTest::newRow("pairs, then a list") << QStringList{"--meters", "Pesca-K@3", "--meter", "Ventra", "--address", "2"}
                                        << "Ventra@2, Pesca-K@3";
    QTest::newRow("from a file alone") << QStringList{"--from", "bus.json"} << "";
    QTest::newRow("an address short") << QStringList{"--meter", "Tarvik CT", "--address", "1", "--meter", "Ventra"}
                                      << "give one --address for each --meter";
    QTest::newRow("one address twice") << QStringList{"--meters", "Tarvik CT@1,Ventra@1"} << "address 1 is given twice";
    QTest::newRow("broadcast") << QStringList{"--meter", "Tarvik CT", "--address", "0"}
                               << "--address must be a number 1..247, not '0'";
    QTest::newRow("no @") << QStringList{"--meters", "Tarvik CT 1"}
                          << "option --meters: expected TYPE@ADDRESS, not 'Tarvik CT 1'";
    QTest::newRow("unknown type") << QStringList{"--meters", "Tarvik@1"} << "option --meters: unknown meter type 'Tarvik'";
    QTest::newRow("address 248") << QStringList{"--meters", "Ventra@248"}
                                  << "option --meters: the address of 'Ventra@248' must be a number 1..247";
    QTest::newRow("no meters") << QStringList{"--count", "3"}
                               << "'poll' needs meters: --meter TYPE --address N, --meters TYPE@N,... or --from FILE";
    QTest::newRow("interval not a number") << QStringList{"--meters", "Ventra@2", "--interval", "1s"}
                                           << "option --interval needs milliseconds, 0..86400000, not '1s'";
    QTest::newRow("a command is no poll's") << QStringList{"--meters", "Ventra@2", "--command", "Read Energy"}
                                            << "option --command does not apply to 'poll'";
}

void TestCliOutput::pollMeters()
{
    QFETCH(QStringList, options);
    QFETCH(QString, meters);
    const auto parsed = parse(QStringList{"poll", "--port", "/dev/a"} + options);
    QCOMPARE(parsed.options ? metersText(parsed.options->polled) : QString::fromStdString(parsed.usageError), meters);
}

// The meters of a scan's JSON output or a plan CSV.
void TestCliOutput::pollMeterFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("meters"); // or the reason
    QTest::addColumn<QString>("notes");
    QTest::newRow("scan of one line")
        << QByteArray(R"([{"address": 1, "baud": 9600, "parity": "none", "stop_bits": 1, "answered": "read",
                          "meter_types": ["Tarvik CT", "Tarvik DC"], "energy_kwh": {"Tarvik CT": 1.5}},
                         {"address": 9, "answered": "garbled", "meter_types": [], "energy_kwh": {}}])")
        << "Tarvik CT@1" << "address 9 is left out: the scan found no meter type for it\n";
    QTest::newRow("scan of two lines")
        << QByteArray(R"([{"port": "/dev/a", "address": 1, "meter_types": ["Ventra"]},
                         {"port": "/dev/b", "address": 7, "meter_types": ["Morel-K"]}])")
        << "Ventra@1@/dev/a, Morel-K@7@/dev/b" << "";
    QTest::newRow("empty scan") << QByteArray(" []\n") << "" << "";
    QTest::newRow("plan with a port column")
        << QByteArray("port,address,meter,new_address\r\n/dev/a,1,Tarvik CT,5\r\n/dev/b,7,Morel-K,\r\n")
        << "Tarvik CT@1@/dev/a, Morel-K@7@/dev/b" << "";
    QTest::newRow("plan without") << QByteArray("Meter,Address\n\"Pesca-K\",3\n") << "Pesca-K@3" << "";
    QTest::newRow("cut JSON") << QByteArray("[{\"address\": 1,") << "not a scan's JSON output: unterminated object" << "";
    QTest::newRow("numbers, not devices") << QByteArray("[1, 2]") << "a device without an address 1..247" << "";
    QTest::newRow("scan entry without address") << QByteArray(R"([{"meter_types": ["Ventra"]}])")
                                                << "a device without an address 1..247" << "";
    QTest::newRow("plan row of an unknown type") << QByteArray("address,meter\n1,Tarvik\n")
                                                 << "line 2: unknown meter type 'Tarvik'" << "";
    QTest::newRow("plan row without address") << QByteArray("address,meter\n,Ventra\n")
                                              << "line 2: the address of 'Ventra@' must be a number 1..247" << "";
}

void TestCliOutput::pollMeterFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, meters);
    QFETCH(QString, notes);
    std::vector<cli::PolledMeter> read;
    std::string said;
    const auto problem = cli::ReadPollMeters(std::string_view(text.constData(), std::size_t(text.size())), read, said);
    QCOMPARE(problem.empty() ? metersText(read) : QString::fromStdString(problem), meters);
    QCOMPARE(QString::fromStdString(said), notes);
}

// The closing table: columns aligned, names left, numbers right, exceptions by name.
void TestCliOutput::pollTable()
{
    using commissioning::Reading;
    cli::PolledRow one{"/dev/a", {"Tarvik CT", 1, {}}, {}};
    one.tally.count({Reading::Answered, 0}, 41.25, 1234.5677);
    one.tally.count({Reading::Exception, 2}, 8, {});
    one.tally.count({Reading::Answered, 0}, 40, 1234.6);
    cli::PolledRow seven{"/dev/a", {"Morel-K", 7, {}}, {}};
    seven.tally.count({Reading::Timeout, 0}, 1000, {});
    const QString expected =
        "port    address  meter      sent  answered  timeouts  crc_errors  wrong_address  other  loss_%  min_ms  mean_ms  "
        "p95_ms  max_ms  first_kwh  last_kwh  exceptions\n"
        "/dev/a        1  Tarvik CT     3         2         0           0              0      0    33.3    40.0     40.6    "
        "41.2    41.2  1234.5677    1234.6  02 Illegal Data Address: 1\n"
        "/dev/a        7  Morel-K       1         0         1           0              0      0   100.0       -        -    "
        "   -       -          -         -  -\n";
    QCOMPARE(QString::fromStdString(cli::TallyTable({&one, &seven})), expected);
}

QTEST_APPLESS_MAIN(TestCliOutput)
#include "tst_clioutput.moc"
