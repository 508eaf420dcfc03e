#include "engine/tariffschedule.h"

#include <QtTest>

namespace {

const QString M1 = "Time data format error! The correct format is HH:MM.";
const QString M2 = "Time data format error! Not more than 59 minutes .";
const QString M3 = "Time data format error! Not more than 24 hours.";
const QString NoneSet = "No set T1. |No set T2. |No set T3. |No set T4. ";

// The 30 data bytes as hex, with the trailing zero slots left off.
QString bytesOf(const engine::TariffBytes &data)
{
    QByteArray bytes(reinterpret_cast<const char *>(data.data()), 30);
    while (bytes.endsWith(QByteArray(3, '\0')))
        bytes.chop(3);
    return QString(bytes.toHex(' '));
}

QString summariesOf(const engine::TariffScheduleResult &result)
{
    QStringList list;
    for (const auto &s : result.summaries)
        list << QString::fromStdString(s);
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
    void flagsAndPreviousBytes();
};

void TestTariffSchedule::timeBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("repaired");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("12:30") << "12:30" << "12:30" << QStringList{};
    QTest::newRow("8:5 -> 08:05") << "8:5" << "08:05" << QStringList{};
    QTest::newRow("8:30 -> 08:30") << "8:30" << "08:30" << QStringList{};
    QTest::newRow("12:5 -> 12:05") << "12:5" << "12:05" << QStringList{};
    QTest::newRow("24:00") << "24:00" << "24:00" << QStringList{M3};
    QTest::newRow("12:60") << "12:60" << "12:60" << QStringList{M2};
    QTest::newRow("99: -> M1 then M3") << "99:" << "99:" << QStringList{M1, M3};
    QTest::newRow("8: -> 08:") << "8:" << "08:" << QStringList{M1};
    QTest::newRow("08:300") << "08:300" << "08:300" << QStringList{M1};
    QTest::newRow("1230") << "1230" << "1230" << QStringList{M1};
    QTest::newRow(":30") << ":30" << ":30" << QStringList{M1};
    QTest::newRow("123:") << "123:" << "123:" << QStringList{M1};
    QTest::newRow("empty") << "" << "" << QStringList{M1};
    // Non-digits where digits belong are format errors, not numbers.
    QTest::newRow("ab:30") << "ab:30" << "ab:30" << QStringList{M1};
    QTest::newRow("' 8:30'") << " 8:30" << " 8:30" << QStringList{M1};
    QTest::newRow("+8:30") << "+8:30" << "+8:30" << QStringList{M1};
    QTest::newRow("1.:30") << "1.:30" << "1.:30" << QStringList{M1};
    QTest::newRow("8:-5 -> 08:-5") << "8:-5" << "08:-5" << QStringList{M1};
    QTest::newRow("full-width 1:30") << QString::fromUtf8("\xEF\xBC\x91:30") << QString::fromUtf8("0\xEF\xBC\x91:30")
                                     << QStringList{M1};
}

void TestTariffSchedule::timeBox()
{
    QFETCH(QString, text);
    QFETCH(QString, repaired);
    QFETCH(QStringList, shown);
    for (const bool before : {false, true}) { // the flag follows the text, whatever it was
        const auto check = engine::CheckTariffTime(text.toStdString(), before);
        QCOMPARE(QString::fromStdString(check.text), repaired);
        QStringList messages;
        for (const auto &m : check.messages)
            messages << QString::fromStdString(m);
        QCOMPARE(messages, shown);
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
    QTest::newRow("box 0 before an empty box") << "T1" << 0 << 0;
    QTest::newRow("an empty box") << "T1 T1 NC T1" << 2 << 0;
    QTest::newRow("typed texts compare as texts") << "X X" << 0 << 1;
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
    QCOMPARE(engine::SlotMessage(10), std::string("Time10 data error!"));
}

void TestTariffSchedule::schedule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("summaries");
    QTest::newRow("all NC") << "" << "" << "" << NoneSet;
    QTest::newRow("T1 06:00, T2 22:00 -> 01 00 06 02 00 22")
        << "T1 06:00, T2 22:00" << "" << "01 00 06 02 00 22" << "T1 : 06:00 to 22:00 . |T2 : 22:00 to 06:00 . |No set T3. |No set T4. ";
    QTest::newRow("T1 8:30 -> 01 30 08, round the clock")
        << "T1 8:30" << "" << "01 30 08" << "T1 : 08:30 to 08:30 . |No set T2. |No set T3. |No set T4. ";
    QTest::newRow("T1 twice around T2") << "T1 08:00, T2 12:00, T1 18:00, T2 22:00" << ""
                                        << "01 00 08 02 00 12 01 00 18 02 00 22"
                                        << "T1 : 08:00 to 12:00 . 18:00 to 22:00 . |T2 : 12:00 to 18:00 . 22:00 to 08:00 . "
                                           "|No set T3. |No set T4. ";
    QTest::newRow("four tariffs") << "T1 00:00, T2 06:00, T3 12:30, T4 23:59" << "" << "01 00 00 02 00 06 03 30 12 04 59 23"
                                  << "T1 : 00:00 to 06:00 . |T2 : 06:00 to 12:30 . |T3 : 12:30 to 23:59 . |T4 : 23:59 to 00:00 . ";
    QTest::newRow("ten slots, the last wraps to slot 0")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T3 09:00, T4 10:00" << ""
        << "01 00 01 02 00 02 01 00 03 02 00 04 01 00 05 02 00 06 01 00 07 02 00 08 03 00 09 04 00 10"
        << "T1 : 01:00 to 02:00 . 03:00 to 04:00 . 05:00 to 06:00 . 07:00 to 08:00 . |T2 : 02:00 to 03:00 . 04:00 to "
           "05:00 . 06:00 to 07:00 . 08:00 to 09:00 . |T3 : 09:00 to 10:00 . |T4 : 10:00 to 01:00 . ";
    QTest::newRow("slot without time keeps 00:00") << "T1, T2 12:00" << "" << "01 00 00 02 00 12"
                                                   << "T1 : 00:00 to 12:00 . |T2 : 12:00 to 00:00 . |No set T3. |No set T4. ";
    QTest::newRow("T1 00:00, T2 00:00 -> Time2") << "T1 00:00, T2 00:00" << "Time2 data error!" << "" << "";
    QTest::newRow("same hour, earlier minute -> Time3") << "T1 10:00, T2 10:30, T1 10:15" << "Time3 data error!" << "" << "";
    QTest::newRow("T1 twice in a row -> Time2") << "T1 08:00, T1 09:00" << "Time2 data error!" << "" << "";
    QTest::newRow("gap before a used slot -> Time1") << "NC 00:00, T1 08:00" << "Time1 data error!" << "" << "";
    QTest::newRow("box message before the order") << "T1 12:00, T2 24:00" << M3 << "" << "";
    QTest::newRow("99:") << "T1 99:" << M1 << "" << "";
    // Only "NC" and "T1".."T4" can be sent.
    QTest::newRow("T5") << "T1 06:00, T5 07:00" << "Tariff data error!" << "" << "";
    QTest::newRow("t1") << "t1 06:00" << "Tariff data error!" << "" << "";
    QTest::newRow("eleven slots") << "T1, T2, T1, T2, T1, T2, T1, T2, T1, T2, T1" << "Tariff data error!" << "" << "";
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
        QCOMPARE(summariesOf(result), summaries);
}

void TestTariffSchedule::flagsAndPreviousBytes()
{
    engine::TariffTexts tariffs, times;
    tariffs.fill("NC");
    times.fill("00:00");
    tariffs[0] = "T2";
    times[0] = "06:00";
    engine::TariffBytes previous{};
    previous[9] = {0x02, 0x45, 0x23};
    engine::SlotFlags timeFlags{}, tariffFlags{};

    tariffFlags[7] = 1;
    auto result = engine::ConfirmTariffSchedule(tariffs, times, timeFlags, tariffFlags, previous);
    QCOMPARE(result.message, std::string("Tariff data error!"));
    timeFlags[3] = 1; // the time flags are looked at first
    result = engine::ConfirmTariffSchedule(tariffs, times, timeFlags, tariffFlags, previous);
    QCOMPARE(QString::fromStdString(result.message), M1);
    QCOMPARE(bytesOf(result.data), bytesOf(previous));

    tariffs[1] = "T9"; // refused, not sent with the earlier slot's bytes
    result = engine::ConfirmTariffSchedule(tariffs, times, {}, {}, previous);
    QCOMPARE(result.message, std::string("Tariff data error!"));
    tariffs[1] = "NC";
    times[0] = "0a:00"; // a used slot's time must be digits to be encoded
    QCOMPARE(QString::fromStdString(engine::ConfirmTariffSchedule(tariffs, times, {}, {}, previous).message), M1);
    times[0] = "06:00";
    result = engine::ConfirmTariffSchedule(tariffs, times, {}, {}, previous);
    QVERIFY(result.accepted);
    QCOMPARE(bytesOf(result.data), QString("02 00 06")); // every slot replaced
}

QTEST_APPLESS_MAIN(TestTariffSchedule)
#include "tst_tariffschedule.moc"
