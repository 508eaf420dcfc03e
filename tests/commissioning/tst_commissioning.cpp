#include "commissioning/plancsv.h"
#include "commissioning/sweepplan.h"

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

QTEST_APPLESS_MAIN(TestCommissioning)
#include "tst_commissioning.moc"
