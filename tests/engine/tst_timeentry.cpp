#include "engine/timeentry.h"

#include <QtTest>

// The date and time confirmed for "Set Time": checks in order, BCD bytes.
class TestTimeEntry : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void defaultTexts();
};

void TestTimeEntry::entries_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("outcome"); // the eight bytes when accepted, else the message
    const QString md = "Date format error! The correct format is MM/DD/YYYY.";
    const QString mt = "Time format error! The correct format is HH:MM:SS.";
    const QString month = "The month error, month is in the range of 1~12.";
    const QString year = "The year error, year is in the range of 2000~2099.";
    const QString day = "The day error, day is in the range of 1~31.";
    QTest::newRow("12/31/2024 23:59:58 -> 58 59 23 01 31 12 24 20") << "12/31/2024" << "23:59:58" << "58 59 23 01 31 12 24 20";
    QTest::newRow("1/1/2024 0:0:0") << "1/1/2024" << "0:0:0" << "00 00 00 01 01 01 24 20";
    QTest::newRow("12/31/2099 23:59:59") << "12/31/2099" << "23:59:59" << "59 59 23 01 31 12 99 20";
    QTest::newRow("9:5:7 -> 07 05 09") << "1/1/2000" << "9:5:7" << "07 05 09 01 01 01 00 20";
    QTest::newRow("02/31/2024 (day not checked against month)") << "02/31/2024" << "12:00:00" << "00 00 12 01 31 02 24 20";
    QTest::newRow("12/31/2100") << "12/31/2100" << "23:59:59" << year;
    QTest::newRow("12/31/1999") << "12/31/1999" << "23:59:59" << year;
    QTest::newRow("13/01/2024") << "13/01/2024" << "12:00:00" << month;
    QTest::newRow("00/10/2024") << "00/10/2024" << "12:00:00" << month;
    QTest::newRow("02/32/2024") << "02/32/2024" << "12:00:00" << day;
    QTest::newRow("02/00/2024") << "02/00/2024" << "12:00:00" << day;
    QTest::newRow("123/1/2024") << "123/1/2024" << "12:00:00" << md;
    QTest::newRow("1/1/20245 (five year characters)") << "1/1/20245" << "12:00:00" << md;
    QTest::newRow("01/01/20245 (eleven characters)") << "01/01/20245" << "12:00:00" << md;
    QTest::newRow("24:00:00") << "12/31/2024" << "24:00:00" << "The hour error, hour is in the range of 0~23.";
    QTest::newRow("12:60:00") << "12/31/2024" << "12:60:00" << "The minute error, minute is in the range of 0~59.";
    QTest::newRow("12:30:60") << "12/31/2024" << "12:30:60" << "The second error, second is in the range of 0~59.";
    QTest::newRow("12:30:") << "12/31/2024" << "12:30:" << mt;
    QTest::newRow("11:59:59 PM") << "12/31/2024" << "11:59:59 PM" << mt;
    QTest::newRow("bad month and bad hour: the month") << "13/01/2024" << "24:00:00" << month;
    // Left open by the checks: refused with the field's format message.
    QTest::newRow("1a/01/2024") << "1a/01/2024" << "12:00:00" << md;
    QTest::newRow("-1/01/2024") << "-1/01/2024" << "12:00:00" << md;
    QTest::newRow("full-width 1/01/2024") << QString::fromUtf8("\xEF\xBC\x91/01/2024") << "12:00:00" << md;
    QTest::newRow("12/31/24") << "12/31/24" << "12:00:00" << md;
    QTest::newRow("12/312024") << "12/312024" << "12:00:00" << md;
    QTest::newRow("12:30") << "12/31/2024" << "12:30" << mt;
    QTest::newRow("12: 5:00") << "12/31/2024" << "12: 5:00" << mt;
    QTest::newRow("12:05:1.") << "12/31/2024" << "12:05:1." << mt;
}

void TestTimeEntry::entries()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, outcome);
    const auto result = engine::CheckTimeEntry(date.toStdString(), time.toStdString());
    const QByteArray bytes(reinterpret_cast<const char *>(result.timeData.data()), 8);
    QCOMPARE(result.accepted ? QString(bytes.toHex(' ')) : QString::fromStdString(result.message), outcome);
}

void TestTimeEntry::defaultTexts()
{
    // What the dialog offers passes as it stands.
    QCOMPARE(engine::DefaultDateText(2024, 3, 7) + " " + engine::DefaultTimeText(15, 4, 5),
             std::string("03/07/2024 15:04:05"));
    QVERIFY(engine::CheckTimeEntry(engine::DefaultDateText(2031, 12, 31), engine::DefaultTimeText(23, 0, 9)).accepted);
}

QTEST_APPLESS_MAIN(TestTimeEntry)
#include "tst_timeentry.moc"
