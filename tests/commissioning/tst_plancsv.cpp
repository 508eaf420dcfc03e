#include "commissioning/plancsv.h"

#include <QtTest>

// Plan files as spreadsheets and people write them, and result files read back as plans.
class TestPlanCsv : public QObject
{
    Q_OBJECT
private slots:
    void plans_data();
    void plans();
};

void TestPlanCsv::plans_data()
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

void TestPlanCsv::plans()
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

QTEST_APPLESS_MAIN(TestPlanCsv)
#include "tst_plancsv.moc"
