// The command line's printers and option checks in-process: what a script
// reading its output relies on.
#include "jobs/changerun.h"
#include "exitstatus.h"
#include "options.h"
#include "output.h"
#include "jobs/probe.h"

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
    void probeAnswers_data();
    void probeAnswers();
};

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

QTEST_APPLESS_MAIN(TestCliOutput)
#include "tst_clioutput.moc"
