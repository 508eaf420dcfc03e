#include "commissioning/plancsv.h"
#include "commissioning/polltally.h"
#include "commissioning/sweepplan.h"

#include "codec/crc16.h"

#include <QtTest>

// The rules of commissioning a bus: plan files as spreadsheets and people
// write them (and result files read back as plans), the settings a sweep tries.
class TestCommissioning : public QObject
{
    Q_OBJECT
private slots:
    void plans_data();
    void plans();
    void sweepSettings_data();
    void sweepSettings();
    void readings_data();
    void readings();
    void tallies_data();
    void tallies();
};

void TestCommissioning::sweepSettings_data()
{
    using engine::Parity;
    using engine::StopBits;
    QTest::addColumn<QList<int>>("bauds");
    QTest::addColumn<QList<int>>("parities"); // engine::Parity values
    QTest::addColumn<QList<int>>("stopBits"); // engine::StopBits values
    QTest::addColumn<QString>("tried");
    const auto p = [](std::initializer_list<Parity> l) { QList<int> o; for (auto x : l) o << int(x); return o; };
    const auto s = [](std::initializer_list<StopBits> l) { QList<int> o; for (auto x : l) o << int(x); return o; };
    QTest::newRow("one baud, the meters' own pairs") << QList<int>{4800} << p({}) << s({})
                                                     << "4800 8N1, 4800 8E1, 4800 8O1, 4800 8N2";
    QTest::newRow("even only") << QList<int>{9600, 19200} << p({Parity::Even}) << s({}) << "9600 8E1, 19200 8E1";
    QTest::newRow("two stop bits only") << QList<int>{9600} << p({}) << s({StopBits::Two}) << "9600 8N2";
    QTest::newRow("both lists: every pair") << QList<int>{9600} << p({Parity::Odd}) << s({StopBits::Two}) << "9600 8O2";
    QTest::newRow("a baud twice") << QList<int>{9600, 9600} << p({Parity::None}) << s({StopBits::One}) << "9600 8N1";
    QTest::newRow("both lists: a pair the meters do not take") << QList<int>{9600} << p({Parity::Even}) << s({StopBits::Two}) << "9600 8E2";
}

void TestCommissioning::sweepSettings()
{
    QFETCH(QList<int>, bauds);
    QFETCH(QList<int>, parities);
    QFETCH(QList<int>, stopBits);
    QFETCH(QString, tried);
    commissioning::SweepLists lists;
    lists.bauds.assign(bauds.begin(), bauds.end());
    for (const int x : parities)
        lists.parities.push_back(engine::Parity(x));
    for (const int x : stopBits)
        lists.stopBits.push_back(engine::StopBits(x));
    QStringList got;
    for (const auto &setting : commissioning::SweepSettings(lists))
        got << QString::fromStdString(engine::ShortText(commissioning::WithSetting(engine::LineSettings{}, setting)));
    QCOMPARE(got.join(", "), tried);
}

void TestCommissioning::plans_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("parsed"); // rows as "line: field|field", or the error as "line N column C: ..."
    QTest::newRow("plain") << QByteArray("address,meter,new_address\n1,Tarvik CT,11\n") << "2: 1|Tarvik CT|11";
    QTest::newRow("BOM, CRLF, header in capitals")
        << QByteArray("\xEF\xBB\xBF" "ADDRESS,Meter\r\n5,Morel-K\r\n") << "2: 5|Morel-K";
    QTest::newRow("quoted: comma, doubled quote, line break")
        << QByteArray("address,meter,note\n1,\"Tarvik CT\",\"a, \"\"b\"\"\nc\"\n2,Morel-K,\n")
        << "2: 1|Tarvik CT|a, \"b\"\nc; 4: 2|Morel-K|";
    QTest::newRow("blank lines and short rows") << QByteArray("address,meter,new_baud\n\n1,Tarvik CT\n") << "3: 1|Tarvik CT|";
    QTest::newRow("a result file is a plan") << QByteArray("address,meter,outcome,detail\n1,Tarvik CT,verified,\"x, y\"\n")
                                             << "2: 1|Tarvik CT";
    QTest::newRow("semicolons") << QByteArray("address;meter\n1;Tarvik CT\n")
                                << "line 1: the columns are separated by semicolons; save the plan as CSV with commas";
    QTest::newRow("empty") << QByteArray("") << "line 0: the plan is empty";
    QTest::newRow("header only") << QByteArray("address,meter\r\n") << "line 1: the plan has a header but no rows";
    QTest::newRow("no meter column") << QByteArray("address,type\n1,x\n")
                                     << "line 1 column meter: the header has no column meter; the first line names the "
                                        "columns: address,meter,new_address,new_baud,new_parity,new_stop_bits";
    QTest::newRow("too many fields") << QByteArray("address,meter\n1,Tarvik CT\n2,Morel-K,9\n")
                                     << "line 3: this row has 3 fields, the header 2";
    QTest::newRow("unclosed quote") << QByteArray("address,meter\n1,\"Tarvik CT\n") << "line 2: a quote is never closed";
}

void TestCommissioning::plans()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, parsed);
    const auto parse = commissioning::ParsePlan(std::string_view(text.constData(), std::size_t(text.size())));
    QString got;
    if (!parse.plan) {
        got = QString("line %1%2: %3")
                  .arg(parse.error.line)
                  .arg(parse.error.column.empty() ? QString() : " column " + QString::fromStdString(parse.error.column))
                  .arg(QString::fromStdString(parse.error.what));
    } else {
        for (const auto &row : parse.plan->rows) {
            QStringList fields;
            for (const auto &f : row.fields)
                fields << QString::fromStdString(f);
            got += (got.isEmpty() ? "" : "; ") + QString::number(row.line) + ": " + fields.join('|');
        }
        // Written back as a result, the same rows read again.
        std::string result = commissioning::ResultHeader(*parse.plan);
        for (const auto &row : parse.plan->rows)
            result += commissioning::ResultRow(row, "verified", "a, \"b\"");
        const auto again = commissioning::ParsePlan(result);
        QVERIFY(again.plan);
        QCOMPARE(again.plan->header, parse.plan->header);
        QCOMPARE(again.plan->rows.size(), parse.plan->rows.size());
        QCOMPARE(again.plan->rows.back().fields, parse.plan->rows.back().fields);
    }
    QCOMPARE(got, parsed);
}

// A reading of Tarvik CT at address 1, as the tally sorts it.
void TestCommissioning::readings_data()
{
    QTest::addColumn<QByteArray>("reply"); // hex, its CRC appended unless "!" ends it
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<QString>("judged");
    QTest::newRow("01 04 04 449A522B") << QByteArray("010404449A522B") << false << "answered";
    QTest::newRow("nothing") << QByteArray("!") << true << "timeout";
    QTest::newRow("a whole reply after the time-out") << QByteArray("010404449A522B") << true << "timeout";
    QTest::newRow("01 04 04 449A522B, CRC wrong") << QByteArray("010404449A522B0000!") << false << "bad-crc";
    QTest::newRow("01 84 02") << QByteArray("018402") << false << "exception 02 Illegal Data Address";
    QTest::newRow("01 84 04") << QByteArray("018404") << false << "exception 04 Slave Device Failure";
    QTest::newRow("01 84 02, CRC wrong") << QByteArray("0184020000!") << false << "bad-crc";
    QTest::newRow("02 04 04 449A522B") << QByteArray("020404449A522B") << false << "wrong-address";
    QTest::newRow("02 ... as noise, CRC wrong") << QByteArray("020404449A522B0000!") << false << "bad-crc";
    QTest::newRow("01 04: too short") << QByteArray("0104!") << false << "rejected";
    QTest::newRow("01 06: another function") << QByteArray("010601560002") << false << "rejected";
    QTest::newRow("01 04 02: byte count wrong") << QByteArray("010402449A522B") << false << "rejected";
}

void TestCommissioning::readings()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, timedOut);
    QFETCH(QString, judged);
    const bool withCrc = !reply.endsWith('!');
    const QByteArray hex = QByteArray::fromHex(withCrc ? reply : reply.chopped(1));
    std::vector<std::uint8_t> bytes(hex.begin(), hex.end());
    if (withCrc)
        codec::AppendCrc16(bytes);
    const auto j = commissioning::JudgeReading(bytes, timedOut, 1, "010404");
    QString got = commissioning::ReadingWord(j.reading);
    if (j.reading == commissioning::Reading::Exception)
        got += " " + QString::fromStdString(commissioning::ExceptionLabel(j.exceptionCode));
    QCOMPARE(got, judged);
}

// A meter's counters after a run of readings, and what the poll's status makes of them.
void TestCommissioning::tallies_data()
{
    // Each reading: A<ms>[=<kWh>] answered, T timeout, C bad CRC, E<code> exception, W wrong address, R rejected.
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QString>("tally");
    QTest::addColumn<int>("verdict");
    using V = commissioning::PollVerdict;
    QTest::newRow("every reading answered") << QStringList{"A10=100", "A20=100.5", "A30=101"}
        << "sent 3 answered 3 t/o 0 crc 0 exc {} wrong 0 other 0 loss 0.0 ms 10.0/20.0/30.0/30.0 kWh 100..101" << int(V::EveryReading);
    QTest::newRow("one of each failure") << QStringList{"T", "A12=5", "C", "E02", "E04", "E02", "W", "R"}
        << "sent 8 answered 1 t/o 1 crc 1 exc {02 Illegal Data Address: 2, 04 Slave Device Failure: 1} wrong 1 other 1 "
           "loss 87.5 ms 12.0/12.0/12.0/12.0 kWh 5..5" << int(V::SomeFailed);
    QTest::newRow("never answered") << QStringList{"T", "E02"}
        << "sent 2 answered 0 t/o 1 crc 0 exc {02 Illegal Data Address: 1} wrong 0 other 0 loss 100.0 ms -/-/-/- kWh -..-"
        << int(V::MeterNeverAnswered);
    QStringList twenty;
    for (int ms = 20; ms >= 1; --ms)
        twenty << QString("A%1").arg(ms);
    QTest::newRow("p95 by nearest rank of twenty") << twenty
        << "sent 20 answered 20 t/o 0 crc 0 exc {} wrong 0 other 0 loss 0.0 ms 1.0/10.5/19.0/20.0 kWh -..-" << int(V::EveryReading);
    QTest::newRow("a read without energy keeps the last") << QStringList{"A5=7", "A5", "T"}
        << "sent 3 answered 2 t/o 1 crc 0 exc {} wrong 0 other 0 loss 33.3 ms 5.0/5.0/5.0/5.0 kWh 7..7" << int(V::SomeFailed);
    QTest::newRow("nothing read") << QStringList{}
        << "sent 0 answered 0 t/o 0 crc 0 exc {} wrong 0 other 0 loss 0.0 ms -/-/-/- kWh -..-" << int(V::EveryReading);
}

void TestCommissioning::tallies()
{
    QFETCH(QStringList, readings);
    QFETCH(QString, tally);
    QFETCH(int, verdict);
    using commissioning::Reading;
    commissioning::MeterTally t;
    for (const auto &r : readings) {
        const auto parts = r.mid(1).split('=');
        const std::optional<double> energy = parts.size() > 1 ? std::optional(parts[1].toDouble()) : std::nullopt;
        switch (r[0].toLatin1()) {
        case 'A': t.count({Reading::Answered, 0}, parts[0].toDouble(), energy); break;
        case 'T': t.count({Reading::Timeout, 0}, 0, {}); break;
        case 'C': t.count({Reading::BadCrc, 0}, 0, {}); break;
        case 'E': t.count({Reading::Exception, std::uint8_t(parts[0].toInt(nullptr, 16))}, 0, {}); break;
        case 'W': t.count({Reading::WrongAddress, 0}, 0, {}); break;
        default: t.count({Reading::Rejected, 0}, 0, {}); break;
        }
    }
    const auto num = [](std::optional<double> v, int decimals) { return v ? QString::number(*v, 'f', decimals) : QString("-"); };
    QStringList exceptions;
    for (const auto &[code, count] : t.exceptions())
        exceptions << QString::fromStdString(commissioning::ExceptionLabel(code)) + ": " + QString::number(count);
    const QString got = QString("sent %1 answered %2 t/o %3 crc %4 exc {%5} wrong %6 other %7 loss %8 ms %9/%10/%11/%12 kWh %13..%14")
                            .arg(t.sent()).arg(t.answered()).arg(t.timeouts()).arg(t.badCrc()).arg(exceptions.join(", "))
                            .arg(t.wrongAddress()).arg(t.rejected()).arg(t.lossPercent(), 0, 'f', 1)
                            .arg(num(t.minMs(), 1), num(t.meanMs(), 1), num(t.p95Ms(), 1), num(t.maxMs(), 1))
                            .arg(t.firstEnergy() ? QString::number(*t.firstEnergy()) : "-",
                                 t.lastEnergy() ? QString::number(*t.lastEnergy()) : "-");
    QCOMPARE(got, tally);
    const commissioning::MeterTally *one[] = {&t};
    QCOMPARE(int(commissioning::VerdictOf(one)), verdict);
    // One meter that never answered decides the poll, whatever the others did.
    commissioning::MeterTally silent;
    silent.count({Reading::Timeout, 0}, 0, {});
    const commissioning::MeterTally *both[] = {&t, &silent};
    QCOMPARE(commissioning::VerdictOf(both), commissioning::PollVerdict::MeterNeverAnswered);
}

QTEST_APPLESS_MAIN(TestCommissioning)
#include "tst_commissioning.moc"
