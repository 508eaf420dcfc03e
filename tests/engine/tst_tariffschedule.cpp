#include "engine/tariffschedule.h"

#include <QtTest>

namespace {

const QString M1 = "Time data format error! The correct format is HH:MM.";
const QString M2 = "Time data format error! Not more than 59 minutes .";
const QString M3 = "Time data format error! Not more than 24 hours.";
const QString Refused = "Tariff data error!";

// The 30 data bytes as hex, with the trailing zero slots left off.
QString bytesOf(const engine::TariffBytes &data)
{
    QByteArray bytes(reinterpret_cast<const char *>(data.data()), 30);
    while (bytes.endsWith(QByteArray(3, '\0')))
        bytes.chop(3);
    return QString(bytes.toHex(' '));
}

QString joined(const auto &texts)
{
    QStringList list;
    for (const auto &text : texts)
        list << QString::fromStdString(text);
    return list.join('|');
}

} // namespace

// The tariff schedule: each box's check on leaving it, the confirmation, summaries and bytes.
class TestTariffSchedule : public QObject {
    Q_OBJECT
private slots:
    void timeBox_data();
    void timeBox();
    void tariffBox_data();
    void tariffBox();
    void schedule_data();
    void schedule();
    void flagsAndBytes();
};

void TestTariffSchedule::timeBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("repaired");
    QTest::addColumn<QString>("shown");
    QTest::newRow("12:30") << "12:30" << "12:30" << "";
    QTest::newRow("7:5 -> 07:05") << "7:5" << "07:05" << "";
    QTest::newRow("8:30 -> 08:30") << "8:30" << "08:30" << "";
    QTest::newRow("12:5 -> 12:05") << "12:5" << "12:05" << "";
    QTest::newRow("24:00") << "24:00" << "24:00" << M3;
    QTest::newRow("12:60") << "12:60" << "12:60" << M2;
    QTest::newRow("99: -> M1 then M3") << "99:" << "99:" << M1 + "|" + M3;
    QTest::newRow("8: -> 08:") << "8:" << "08:" << M1;
    QTest::newRow("08:300") << "08:300" << "08:300" << M1;
    QTest::newRow(":30") << ":30" << ":30" << M1;
    // Non-digits where digits belong are format errors, not numbers.
    QTest::newRow("ab:30") << "ab:30" << "ab:30" << M1;
    QTest::newRow("' 8:30'") << " 8:30" << " 8:30" << M1;
    QTest::newRow("+8:30") << "+8:30" << "+8:30" << M1;
    QTest::newRow("1.:30") << "1.:30" << "1.:30" << M1;
    // Values out of range are range errors, signs or not.
    QTest::newRow("-1:30") << "-1:30" << "-1:30" << M3;
    QTest::newRow("12:-5") << "12:-5" << "12:-5" << M2;
    QTest::newRow("-1:5 -> -1:05") << "-1:5" << "-1:05" << M3;
}

void TestTariffSchedule::timeBox()
{
    QFETCH(QString, text);
    QFETCH(QString, repaired);
    QFETCH(QString, shown);
    for (const bool before : {false, true}) { // the flag follows the text, whatever it was
        const auto check = engine::CheckTariffTime(text.toStdString(), before);
        QCOMPARE(QString::fromStdString(check.text), repaired);
        QCOMPARE(joined(check.messages), shown);
        QCOMPARE(check.flag, !shown.isEmpty());
    }
}

void TestTariffSchedule::tariffBox_data()
{
    QTest::addColumn<QString>("tariffs");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("label"); // 0: no message
    QTest::newRow("box 3 T1 after box 2 T1 -> 4") << "T1 T2 T1 T1" << 3 << 4;
    QTest::newRow("box 9 T1 after box 8 T1 -> 9") << "T1 T2 T1 T2 T1 T2 T1 T2 T1 T1" << 9 << 9;
    QTest::newRow("box 9 after an empty box 8 -> 9") << "T1 T2 T1 T2 T1 T2 T1 T2 NC T1" << 9 << 9;
    QTest::newRow("box 2 T2 after an empty box 1 -> 2") << "T1 NC T2" << 2 << 2;
    QTest::newRow("box 1 equal to box 2 -> 2") << "T1 T2 T2" << 1 << 2;
    QTest::newRow("box 0 equal to box 1 -> 1") << "T1 T1" << 0 << 1;
    QTest::newRow("an empty box") << "T1 T1 NC T1" << 2 << 0;
}

void TestTariffSchedule::tariffBox()
{
    QFETCH(QString, tariffs);
    QFETCH(int, slot);
    QFETCH(int, label);
    engine::TariffTexts texts;
    texts.fill("NC");
    const QStringList words = tariffs.split(' ');
    for (int i = 0; i < words.size(); ++i)
        texts[static_cast<std::size_t>(i)] = words[i].toStdString();
    QCOMPARE(engine::CheckTariffSlot(texts, slot).value_or(0), label);
}

void TestTariffSchedule::schedule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("summaries");
    QTest::newRow("all NC") << "" << "" << "" << "No set T1. |No set T2. |No set T3. |No set T4. ";
    QTest::newRow("T1 06:00, T2 22:00 -> 01 00 06 02 00 22") << "T1 06:00, T2 22:00" << "" << "01 00 06 02 00 22"
        << "T1 : 06:00 to 22:00 . |T2 : 22:00 to 06:00 . |No set T3. |No set T4. ";
    QTest::newRow("T1 8:30 -> 01 30 08, round the clock") << "T1 8:30" << "" << "01 30 08"
        << "T1 : 08:30 to 08:30 . |No set T2. |No set T3. |No set T4. ";
    QTest::newRow("T1 twice around T2") << "T1 08:00, T2 12:00, T1 18:00, T2 22:00" << ""
        << "01 00 08 02 00 12 01 00 18 02 00 22"
        << "T1 : 08:00 to 12:00 . 18:00 to 22:00 . |T2 : 12:00 to 18:00 . 22:00 to 08:00 . |No set T3. |No set T4. ";
    QTest::newRow("ten slots, the last wraps to slot 0")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T3 09:00, T4 10:00" << ""
        << "01 00 01 02 00 02 01 00 03 02 00 04 01 00 05 02 00 06 01 00 07 02 00 08 03 00 09 04 00 10"
        << "T1 : 01:00 to 02:00 . 03:00 to 04:00 . 05:00 to 06:00 . 07:00 to 08:00 . |T2 : 02:00 to 03:00 . 04:00 to "
           "05:00 . 06:00 to 07:00 . 08:00 to 09:00 . |T3 : 09:00 to 10:00 . |T4 : 10:00 to 01:00 . ";
    QTest::newRow("T1 00:00, T2 00:00 -> Time2") << "T1 00:00, T2 00:00" << "Time2 data error!" << "" << "";
    QTest::newRow("same hour, earlier minute -> Time3")
        << "T1 10:00, T2 10:30, T1 10:15" << "Time3 data error!" << "" << "";
    QTest::newRow("slot 9 not after slot 8 -> Time10")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T3 09:00, T4 08:59"
        << "Time10 data error!" << "" << "";
    QTest::newRow("T1 twice in a row -> Time2") << "T1 08:00, T1 09:00" << "Time2 data error!" << "" << "";
    QTest::newRow("box message before the order") << "T1 12:00, T2 24:00" << M3 << "" << "";
    // Only "NC" and "T1".."T4" can be sent.
    QTest::newRow("T5") << "T1 06:00, T5 07:00" << Refused << "" << "";
    QTest::newRow("t1") << "t1 06:00" << Refused << "" << "";
    QTest::newRow("eleven slots") << "T1, T2, T1, T2, T1, T2, T1, T2, T1, T2, T1" << Refused << "" << "";
}

void TestTariffSchedule::schedule()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, bytes);
    QFETCH(QString, summaries);
    const auto result = engine::CheckTariffScheduleText(text.toStdString());
    QCOMPARE(QString::fromStdString(result.message), message);
    QCOMPARE(result.accepted, message.isEmpty());
    QCOMPARE(bytesOf(result.data), bytes);
    if (result.accepted)
        QCOMPARE(joined(result.summaries), summaries);
}

void TestTariffSchedule::flagsAndBytes()
{
    engine::TariffTexts tariffs, times;
    tariffs.fill("NC");
    times.fill("00:00");
    tariffs[0] = "T2";
    times[0] = "06:00";
    engine::SlotFlags flagged{};
    flagged[7] = 1;
    const auto confirm = [&](const engine::SlotFlags &timeFlags, const engine::SlotFlags &tariffFlags) {
        const auto result = engine::ConfirmTariffSchedule(tariffs, times, timeFlags, tariffFlags);
        return result.accepted ? bytesOf(result.data) : QString::fromStdString(result.message);
    };
    QCOMPARE(confirm({}, flagged), Refused);
    QCOMPARE(confirm(flagged, flagged), M1); // the time flags are looked at first
    tariffs[1] = "T9"; // refused, not sent with the earlier slot's bytes
    QCOMPARE(confirm({}, {}), Refused);
    tariffs[1] = "NC";
    times[0] = "0a:00"; // a used slot's time must be digits to be encoded
    QCOMPARE(confirm({}, {}), M1);
    times[0] = "06:00";
    QCOMPARE(confirm({}, {}), QString("02 00 06")); // the unused slots are zero
}

QTEST_APPLESS_MAIN(TestTariffSchedule)
#include "tst_tariffschedule.moc"
