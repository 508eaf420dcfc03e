#include "engine/timeentry.h"

#include <QtTest>

namespace {

QByteArray hexOf(const engine::TimeBytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())).toHex(' ').toUpper();
}

QString q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// The date and time the operator confirms for "Set Time": checks in order, BCD bytes.
class TestTimeEntry : public QObject {
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void refusalKeepsOnlyTheFieldsThatPassed();
    void defaultTexts_data();
    void defaultTexts();
    void defaultTextsAreAccepted();
};

void TestTimeEntry::accepted_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("12/31/2024 23:59:58 -> 58 59 23 01 31 12 24 20")
        << "12/31/2024" << "23:59:58" << QByteArray("58 59 23 01 31 12 24 20");
    QTest::newRow("1/1/2024 0:0:0 -> 00 00 00 01 01 01 24 20") << "1/1/2024" << "0:0:0" << QByteArray("00 00 00 01 01 01 24 20");
    QTest::newRow("12/31/2099 23:59:59") << "12/31/2099" << "23:59:59" << QByteArray("59 59 23 01 31 12 99 20");
    QTest::newRow("1/1/2000 9:5:7 -> 07 05 09") << "1/1/2000" << "9:5:7" << QByteArray("07 05 09 01 01 01 00 20");
    QTest::newRow("02/31/2024 passes (day not checked against month)")
        << "02/31/2024" << "12:00:00" << QByteArray("00 00 12 01 31 02 24 20");
    QTest::newRow("06/7/2031 08:09:1") << "06/7/2031" << "08:09:1" << QByteArray("01 09 08 01 07 06 31 20");
}

void TestTimeEntry::accepted()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QByteArray, bytes);
    const auto result = engine::CheckTimeEntry(date.toStdString(), time.toStdString());
    QVERIFY2(result.accepted, result.message.c_str());
    QCOMPARE(q(result.message), QString());
    QCOMPARE(hexOf(result.timeData), bytes);
}

void TestTimeEntry::refused_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("message");
    const QString md = "Date format error! The correct format is MM/DD/YYYY.";
    const QString mt = "Time format error! The correct format is HH:MM:SS.";
    const QString month = "The month error, month is in the range of 1~12.";
    const QString day = "The day error, day is in the range of 1~31.";
    const QString year = "The year error, year is in the range of 2000~2099.";
    const QString hour = "The hour error, hour is in the range of 0~23.";
    const QString minute = "The minute error, minute is in the range of 0~59.";
    const QString second = "The second error, second is in the range of 0~59.";

    QTest::newRow("12/31/2100 year") << "12/31/2100" << "23:59:59" << year;
    QTest::newRow("12/31/1999 year") << "12/31/1999" << "23:59:59" << year;
    QTest::newRow("13/01/2024 month") << "13/01/2024" << "12:00:00" << month;
    QTest::newRow("00/10/2024 month") << "00/10/2024" << "12:00:00" << month;
    QTest::newRow("02/32/2024 day") << "02/32/2024" << "12:00:00" << day;
    QTest::newRow("02/00/2024 day") << "02/00/2024" << "12:00:00" << day;
    QTest::newRow("123/1/2024 three month characters") << "123/1/2024" << "12:00:00" << md;
    QTest::newRow("1/1/20245 five year characters") << "1/1/20245" << "12:00:00" << md;
    QTest::newRow("01/01/20245 eleven characters") << "01/01/20245" << "12:00:00" << md;
    QTest::newRow("1/1/202 seven characters") << "1/1/202" << "12:00:00" << md;
    QTest::newRow("1/123/2024 three day characters") << "1/123/2024" << "12:00:00" << md;
    QTest::newRow("1//2024xx empty day") << "1//2024xx" << "12:00:00" << md;
    QTest::newRow("/1/2024xx no month") << "/1/2024xx" << "12:00:00" << md;
    QTest::newRow("24:00:00 hour") << "12/31/2024" << "24:00:00" << hour;
    QTest::newRow("12:60:00 minute") << "12/31/2024" << "12:60:00" << minute;
    QTest::newRow("12:30:60 second") << "12/31/2024" << "12:30:60" << second;
    QTest::newRow("12:30: no seconds") << "12/31/2024" << "12:30:" << mt;
    QTest::newRow("123:0:0 three hour characters") << "12/31/2024" << "123:0:0" << mt;
    QTest::newRow("1:123:0 three minute characters") << "12/31/2024" << "1:123:0" << mt;
    QTest::newRow("1:2:345 three second characters") << "12/31/2024" << "1:2:345" << mt;
    QTest::newRow("12:3 four characters") << "12/31/2024" << "12:3" << mt;
    QTest::newRow("11:59:59 PM (locale suffix)") << "12/31/2024" << "11:59:59 PM" << mt;
    QTest::newRow("bad month and bad hour: only the month") << "13/01/2024" << "24:00:00" << month;
    QTest::newRow("bad year and bad second: only the year") << "01/01/1999" << "00:00:99" << year;

    // Texts the checks above leave open: all refused with the field's format message.
    QTest::newRow("1a/01/2024 letter in the month") << "1a/01/2024" << "12:00:00" << md;
    QTest::newRow("01/0b/2024 letter in the day") << "01/0b/2024" << "12:00:00" << md;
    QTest::newRow("01/01/20x4 letter in the year") << "01/01/20x4" << "12:00:00" << md;
    QTest::newRow("' 1/01/2024' blank before the month") << " 1/01/2024" << "12:00:00" << md;
    QTest::newRow("01/ 1/2024 blank in the day") << "01/ 1/2024" << "12:00:00" << md;
    QTest::newRow("-1/01/2024 sign") << "-1/01/2024" << "12:00:00" << md;
    QTest::newRow("01/01/+024 sign in the year") << "01/01/+024" << "12:00:00" << md;
    QTest::newRow("1./1/2024 point") << "1./1/2024" << "12:00:00" << md;
    QTest::newRow("12/31/24 two-digit year") << "12/31/24" << "12:00:00" << md;
    QTest::newRow("12/31/024 three-digit year") << "12/31/024" << "12:00:00" << md;
    QTest::newRow("12/312024 no second slash") << "12/312024" << "12:00:00" << md;
    QTest::newRow("full-width digit month") << QString::fromUtf8("\xEF\xBC\x91/01/2024") << "12:00:00" << md;
    QTest::newRow("12:30 no seconds field") << "12/31/2024" << "12:30" << mt;
    QTest::newRow("1a:00:00 letter in the hour") << "12/31/2024" << "1a:00:00" << mt;
    QTest::newRow("12: 5:00 blank in the minute") << "12/31/2024" << "12: 5:00" << mt;
    QTest::newRow("12:05:0x letter in the second") << "12/31/2024" << "12:05:0x" << mt;
    QTest::newRow("12:05:-1 sign in the second") << "12/31/2024" << "12:05:-1" << mt;
    QTest::newRow("1.:05:00 point in the hour") << "12/31/2024" << "1.:05:00" << mt;
    QTest::newRow("12:05:1. point in the second") << "12/31/2024" << "12:05:1." << mt;
    QTest::newRow("empty texts") << "" << "" << md;
}

void TestTimeEntry::refused()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, message);
    const auto result = engine::CheckTimeEntry(date.toStdString(), time.toStdString());
    QVERIFY(!result.accepted);
    QCOMPARE(q(result.message), message);
}

void TestTimeEntry::refusalKeepsOnlyTheFieldsThatPassed()
{
    // The date passed, the hour failed: month, day and year are filled, nothing else.
    const auto result = engine::CheckTimeEntry("12/31/2024", "24:00:00");
    QVERIFY(!result.accepted);
    QCOMPARE(hexOf(result.timeData), QByteArray("00 00 00 00 31 12 24 00"));
}

void TestTimeEntry::defaultTexts_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("2024-03-07 09:05:02") << 2024 << 3 << 7 << 9 << 5 << 2 << "03/07/2024" << "09:05:02";
    QTest::newRow("2099-12-31 23:59:59") << 2099 << 12 << 31 << 23 << 59 << 59 << "12/31/2099" << "23:59:59";
    QTest::newRow("afternoon in 24-hour form") << 2025 << 6 << 30 << 15 << 0 << 0 << "06/30/2025" << "15:00:00";
}

void TestTimeEntry::defaultTexts()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(QString, date);
    QFETCH(QString, time);
    QCOMPARE(q(engine::DefaultDateText(year, month, day)), date);
    QCOMPARE(q(engine::DefaultTimeText(hour, minute, second)), time);
}

void TestTimeEntry::defaultTextsAreAccepted()
{
    // Whatever the clock says (within the meter's century), the offered texts pass as they stand.
    for (int hour = 0; hour < 24; ++hour) {
        const auto result = engine::CheckTimeEntry(engine::DefaultDateText(2030, 1 + hour % 12, 1 + hour),
                                                   engine::DefaultTimeText(hour, 59 - hour, hour * 2));
        QVERIFY2(result.accepted, result.message.c_str());
    }
}

QTEST_APPLESS_MAIN(TestTimeEntry)
#include "tst_timeentry.moc"
