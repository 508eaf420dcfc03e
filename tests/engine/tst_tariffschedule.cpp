#include "engine/tariffschedule.h"

#include <QtTest>

namespace {

const QString M1 = "Time data format error! The correct format is HH:MM.";
const QString M2 = "Time data format error! Not more than 59 minutes .";
const QString M3 = "Time data format error! Not more than 24 hours.";
const QString TariffError = "Tariff data error!";

QString q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The 30 data bytes, slot 0 first, as spaced upper-case hex.
QByteArray hexOf(const engine::TariffBytes& data)
{
    QByteArray bytes;
    for (const auto& row : data)
        for (const auto b : row)
            bytes.append(static_cast<char>(b));
    return bytes.toHex(' ').toUpper();
}

// Expected bytes: the given leading bytes, then zeros up to 30.
QByteArray padded(const QByteArray& leading)
{
    QByteArray bytes = QByteArray::fromHex(leading);
    bytes.append(QByteArray(30 - bytes.size(), '\0'));
    return bytes.toHex(' ').toUpper();
}

// "T1 T1 NC" -> tariff texts, the rest "NC".
engine::TariffTexts tariffRow(const QString& words)
{
    engine::TariffTexts texts;
    texts.fill("NC");
    const QStringList list = words.split(' ', Qt::SkipEmptyParts);
    for (int i = 0; i < list.size() && i < engine::TariffSlots; ++i)
        texts[static_cast<std::size_t>(i)] = list[i].toStdString();
    return texts;
}

// "T1 06:00, T2 22:00" -> the dialog's boxes, the rest "NC" at "00:00".
struct Boxes {
    engine::TariffTexts tariffs;
    engine::TariffTexts times;
};

Boxes boxes(const QString& schedule)
{
    Boxes b;
    b.tariffs.fill("NC");
    b.times.fill("00:00");
    const QStringList parts = schedule.split(',', Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString slot = parts[i].trimmed();
        const int gap = slot.indexOf(' ');
        b.tariffs[static_cast<std::size_t>(i)] = slot.left(gap).toStdString();
        b.times[static_cast<std::size_t>(i)] = slot.mid(gap + 1).toStdString();
    }
    return b;
}

QStringList summariesOf(const engine::TariffScheduleResult& result)
{
    QStringList list;
    for (const auto& s : result.summaries)
        list << q(s);
    return list;
}

const QStringList NoneSet = {"No set T1. ", "No set T2. ", "No set T3. ", "No set T4. "};

} // namespace

// The tariff schedule: per-box checks on leaving a box, the confirmation, summaries and bytes.
class TestTariffSchedule : public QObject {
    Q_OBJECT
private slots:
    void timeCheck_data();
    void timeCheck();
    void slotCheck_data();
    void slotCheck();
    void slotMessage();
    void confirm_data();
    void confirm();
    void refusalKeepsPreviousBytes();
    void timeFlagWinsOverTariffFlag();
    void scheduleText_data();
    void scheduleText();
};

void TestTariffSchedule::timeCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("previousFlag");
    QTest::addColumn<QString>("repaired");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("flag");
    QTest::newRow("12:30 passes") << "12:30" << false << "12:30" << QStringList{} << false;
    QTest::newRow("00:00 clears a set flag") << "00:00" << true << "00:00" << QStringList{} << false;
    QTest::newRow("23:59 passes") << "23:59" << false << "23:59" << QStringList{} << false;
    QTest::newRow("8:5 -> 08:05") << "8:5" << true << "08:05" << QStringList{} << false;
    QTest::newRow("7:5 -> 07:05") << "7:5" << false << "07:05" << QStringList{} << false;
    QTest::newRow("8:30 -> 08:30") << "8:30" << false << "08:30" << QStringList{} << false;
    QTest::newRow("12:5 -> 12:05") << "12:5" << false << "12:05" << QStringList{} << false;
    QTest::newRow("24:00 hours") << "24:00" << false << "24:00" << QStringList{M3} << true;
    QTest::newRow("12:60 minutes") << "12:60" << false << "12:60" << QStringList{M2} << true;
    QTest::newRow("24:60 minutes first") << "24:60" << false << "24:60" << QStringList{M2} << true;
    QTest::newRow("9:99 -> 09:99 minutes") << "9:99" << false << "09:99" << QStringList{M2} << true;
    QTest::newRow("99: format then hours") << "99:" << false << "99:" << QStringList{M1, M3} << true;
    QTest::newRow("8: -> 08: format") << "8:" << false << "08:" << QStringList{M1} << true;
    QTest::newRow("12-30 no colon in the middle") << "12-30" << false << "12-30" << QStringList{M1} << true;
    QTest::newRow("08:300 six characters") << "08:300" << false << "08:300" << QStringList{M1} << true;
    QTest::newRow("1230 no colon") << "1230" << false << "1230" << QStringList{M1} << true;
    QTest::newRow(":30 colon first") << ":30" << false << ":30" << QStringList{M1} << true;
    QTest::newRow("123: colon fourth") << "123:" << false << "123:" << QStringList{M1} << true;
    QTest::newRow("empty") << "" << false << "" << QStringList{M1} << true;
    // Non-digits where digits belong: refused as a format error, not read as numbers.
    QTest::newRow("ab:30 letters") << "ab:30" << false << "ab:30" << QStringList{M1} << true;
    QTest::newRow("' 8:30' leading blank") << " 8:30" << false << " 8:30" << QStringList{M1} << true;
    QTest::newRow("+8:30 sign") << "+8:30" << false << "+8:30" << QStringList{M1} << true;
    QTest::newRow("1.:30 point") << "1.:30" << false << "1.:30" << QStringList{M1} << true;
    QTest::newRow("8: 5 -> 08: 5 blank") << "8: 5" << false << "08: 5" << QStringList{M1} << true;
    QTest::newRow("8:a -> 08:0a letter") << "8:a" << false << "08:0a" << QStringList{M1} << true;
    QTest::newRow("8:-5 -> 08:-5 sign") << "8:-5" << false << "08:-5" << QStringList{M1} << true;
    QTest::newRow("full-width 1 -> 0\xEF\xBC\x91:30") << QString::fromUtf8("\xEF\xBC\x91:30") << false
                                                   << QString::fromUtf8("0\xEF\xBC\x91:30") << QStringList{M1} << true;
}

void TestTariffSchedule::timeCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, previousFlag);
    QFETCH(QString, repaired);
    QFETCH(QStringList, messages);
    QFETCH(bool, flag);
    const auto check = engine::CheckTariffTime(text.toStdString(), previousFlag);
    QCOMPARE(q(check.text), repaired);
    QStringList shown;
    for (const auto& m : check.messages)
        shown << q(m);
    QCOMPARE(shown, messages);
    QCOMPARE(check.flag, flag);
}

void TestTariffSchedule::slotCheck_data()
{
    QTest::addColumn<QString>("tariffs");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("label"); // 0: no message, flag cleared
    QTest::newRow("box 3 T1 after box 2 T1 -> 4") << "T1 T2 T1 T1" << 3 << 4;
    QTest::newRow("box 9 T1 after box 8 T1 -> 9") << "T1 T2 T1 T2 T1 T2 T1 T2 T1 T1" << 9 << 9;
    QTest::newRow("box 9 after an empty box 8 -> 9") << "T1 T2 T1 T2 T1 T2 T1 T2 NC T1" << 9 << 9;
    QTest::newRow("box 9 differing from box 8") << "T1 T2 T1 T2 T1 T2 T1 T2 T1 T2" << 9 << 0;
    QTest::newRow("box 2 T2 after an empty box 1 -> 2") << "T1 NC T2" << 2 << 2;
    QTest::newRow("box 1 equal to box 2 -> 2") << "T1 T2 T2" << 1 << 2;
    QTest::newRow("box 0 equal to box 1 -> 1") << "T1 T1" << 0 << 1;
    QTest::newRow("box 0 before an empty box 1") << "T1" << 0 << 0;
    QTest::newRow("box 0 differing from box 1") << "T1 T2" << 0 << 0;
    QTest::newRow("an empty box is never refused") << "T1 T1 NC T1" << 2 << 0;
    QTest::newRow("box 4 between different tariffs") << "T1 T2 T1 T2 T3 T4" << 4 << 0;
    QTest::newRow("typed texts compare as texts") << "X X" << 0 << 1;
    QTest::newRow("T3 typed after T2") << "T1 T2 T3" << 2 << 0;
}

void TestTariffSchedule::slotCheck()
{
    QFETCH(QString, tariffs);
    QFETCH(int, slot);
    QFETCH(int, label);
    const auto result = engine::CheckTariffSlot(tariffRow(tariffs), slot);
    QCOMPARE(result.value_or(0), label);
}

void TestTariffSchedule::slotMessage()
{
    QCOMPARE(q(engine::SlotMessage(4)), QString("Time4 data error!"));
    QCOMPARE(q(engine::SlotMessage(10)), QString("Time10 data error!"));
    QVERIFY(!engine::CheckTariffSlot(tariffRow("T1 T1"), -1));
    QVERIFY(!engine::CheckTariffSlot(tariffRow("T1 T1"), 10));
}

void TestTariffSchedule::confirm_data()
{
    QTest::addColumn<QString>("schedule");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("summaries");
    QTest::newRow("all NC -> 30 zero bytes") << "" << "" << padded("") << NoneSet;
    QTest::newRow("T1 06:00, T2 22:00 -> 01 00 06 02 00 22")
        << "T1 06:00, T2 22:00" << "" << padded("010006020022")
        << QStringList{"T1 : 06:00 to 22:00 . ", "T2 : 22:00 to 06:00 . ", "No set T3. ", "No set T4. "};
    QTest::newRow("T1 08:30 -> 01 30 08, runs round the clock")
        << "T1 08:30" << "" << padded("013008")
        << QStringList{"T1 : 08:30 to 08:30 . ", "No set T2. ", "No set T3. ", "No set T4. "};
    QTest::newRow("T1 twice around T2: two ranges")
        << "T1 08:00, T2 12:00, T1 18:00, T2 22:00" << "" << padded("010008020012010018020022")
        << QStringList{"T1 : 08:00 to 12:00 . 18:00 to 22:00 . ", "T2 : 12:00 to 18:00 . 22:00 to 08:00 . ",
                       "No set T3. ", "No set T4. "};
    QTest::newRow("four tariffs -> 01 00 00 02 00 06 03 30 12 04 59 23")
        << "T1 00:00, T2 06:00, T3 12:30, T4 23:59" << "" << padded("010000020006033012045923")
        << QStringList{"T1 : 00:00 to 06:00 . ", "T2 : 06:00 to 12:30 . ", "T3 : 12:30 to 23:59 . ",
                       "T4 : 23:59 to 00:00 . "};
    QTest::newRow("T3 typed for a two-tariff meter (Pesca-N) is encoded as 3")
        << "T1 06:00, T3 18:00" << "" << padded("010006030018")
        << QStringList{"T1 : 06:00 to 18:00 . ", "No set T2. ", "T3 : 18:00 to 06:00 . ", "No set T4. "};
    QTest::newRow("all ten slots, the last one wraps to slot 0")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T1 09:00, T2 10:00" << ""
        << QByteArray("01 00 01 02 00 02 01 00 03 02 00 04 01 00 05 02 00 06 01 00 07 02 00 08 01 00 09 02 00 10")
        << QStringList{"T1 : 01:00 to 02:00 . 03:00 to 04:00 . 05:00 to 06:00 . 07:00 to 08:00 . 09:00 to 10:00 . ",
                       "T2 : 02:00 to 03:00 . 04:00 to 05:00 . 06:00 to 07:00 . 08:00 to 09:00 . 10:00 to 01:00 . ",
                       "No set T3. ", "No set T4. "};
    QTest::newRow("unused slots' times are not ordered") << "NC 23:00, NC 01:00" << "" << padded("") << NoneSet;
    QTest::newRow("T1 00:00, T2 00:00 -> Time2") << "T1 00:00, T2 00:00" << "Time2 data error!" << QByteArray() << QStringList();
    QTest::newRow("T2 earlier than T1 -> Time2") << "T1 10:00, T2 09:59" << "Time2 data error!" << QByteArray() << QStringList();
    QTest::newRow("same hour, earlier minute -> Time3")
        << "T1 10:00, T2 10:30, T1 10:15" << "Time3 data error!" << QByteArray() << QStringList();
    QTest::newRow("slot 9 not after slot 8 -> Time10")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T1 09:00, T2 09:00"
        << "Time10 data error!" << QByteArray() << QStringList();
    // Only "NC" and "T1".."T4" can be sent; a used slot's time must be digits.
    QTest::newRow("T5 typed") << "T1 06:00, T5 07:00" << TariffError << QByteArray() << QStringList();
    QTest::newRow("t1 in lower case") << "t1 06:00" << TariffError << QByteArray() << QStringList();
    QTest::newRow("an explicit NC slot") << "T1 06:00, NC 00:00" << "" << padded("010006")
        << QStringList{"T1 : 06:00 to 06:00 . ", "No set T2. ", "No set T3. ", "No set T4. "};
    QTest::newRow("a used slot's time with a letter") << "T1 0a:00" << M1 << QByteArray() << QStringList();
}

void TestTariffSchedule::confirm()
{
    QFETCH(QString, schedule);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, summaries);
    const Boxes b = boxes(schedule);
    const auto result = engine::ConfirmTariffSchedule(b.tariffs, b.times, {}, {}, {});
    QCOMPARE(q(result.message), message);
    QCOMPARE(result.accepted, message.isEmpty());
    if (result.accepted) {
        QCOMPARE(hexOf(result.data), bytes);
        QCOMPARE(summariesOf(result), summaries);
    }
}

void TestTariffSchedule::refusalKeepsPreviousBytes()
{
    engine::TariffBytes previous{};
    previous[0] = {0x01, 0x30, 0x08};
    previous[9] = {0x02, 0x45, 0x23};

    Boxes b = boxes("T1 06:00, T9 07:00");
    auto result = engine::ConfirmTariffSchedule(b.tariffs, b.times, {}, {}, previous);
    QCOMPARE(q(result.message), TariffError);
    QCOMPARE(hexOf(result.data), hexOf(previous));

    // An accepted schedule replaces every slot, the unused ones with zeros.
    b = boxes("T2 06:00");
    result = engine::ConfirmTariffSchedule(b.tariffs, b.times, {}, {}, previous);
    QVERIFY(result.accepted);
    QCOMPARE(hexOf(result.data), padded("020006"));
}

void TestTariffSchedule::timeFlagWinsOverTariffFlag()
{
    const Boxes b = boxes("T1 06:00, T2 07:00");
    engine::SlotFlags timeFlags{};
    engine::SlotFlags tariffFlags{};
    tariffFlags[7] = 1;
    QCOMPARE(q(engine::ConfirmTariffSchedule(b.tariffs, b.times, timeFlags, tariffFlags, {}).message), TariffError);
    timeFlags[3] = 1;
    QCOMPARE(q(engine::ConfirmTariffSchedule(b.tariffs, b.times, timeFlags, tariffFlags, {}).message), M1);
}

void TestTariffSchedule::scheduleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("summaries");
    QTest::newRow("T1 08:30, T2 12:00") << "T1 08:30, T2 12:00" << "" << padded("013008020012")
                                        << QStringList{"T1 : 08:30 to 12:00 . ", "T2 : 12:00 to 08:30 . ",
                                                       "No set T3. ", "No set T4. "};
    QTest::newRow("8:30 and 12:5 repaired as the boxes do") << "T1 8:30, T2 12:5" << "" << padded("013008020512")
        << QStringList{"T1 : 08:30 to 12:05 . ", "T2 : 12:05 to 08:30 . ", "No set T3. ", "No set T4. "};
    QTest::newRow("blank text: all NC") << "  " << "" << padded("") << NoneSet;
    QTest::newRow("a slot without time keeps 00:00") << "T1, T2 12:00" << "" << padded("010000020012")
        << QStringList{"T1 : 00:00 to 12:00 . ", "T2 : 12:00 to 00:00 . ", "No set T3. ", "No set T4. "};
    QTest::newRow("T1 twice in a row -> Time2 (box 1 left after box 0)")
        << "T1 08:00, T1 09:00" << "Time2 data error!" << QByteArray() << QStringList();
    QTest::newRow("gap before a used slot -> Time1") << "NC 00:00, T1 08:00" << "Time1 data error!" << QByteArray() << QStringList();
    QTest::newRow("box check before the order check") << "T1 12:00, T2 24:00" << M3 << QByteArray() << QStringList();
    QTest::newRow("99: -> format message first") << "T1 99:" << M1 << QByteArray() << QStringList();
    QTest::newRow("12:60 -> minutes") << "T1 12:60" << M2 << QByteArray() << QStringList();
    QTest::newRow("order: 08:00 then 07:00 -> Time2") << "T1 08:00, T2 07:00" << "Time2 data error!" << QByteArray() << QStringList();
    QTest::newRow("T5 typed") << "T5 08:00" << TariffError << QByteArray() << QStringList();
    QTest::newRow("eleven slots")
        << "T1 01:00, T2 02:00, T1 03:00, T2 04:00, T1 05:00, T2 06:00, T1 07:00, T2 08:00, T1 09:00, T2 10:00, T1 11:00"
        << TariffError << QByteArray() << QStringList();
}

void TestTariffSchedule::scheduleText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, summaries);
    const auto result = engine::CheckTariffScheduleText(text.toStdString());
    QCOMPARE(q(result.message), message);
    QCOMPARE(result.accepted, message.isEmpty());
    if (result.accepted) {
        QCOMPARE(hexOf(result.data), bytes);
        QCOMPARE(summariesOf(result), summaries);
    } else {
        QCOMPARE(hexOf(result.data), padded(""));
    }
}

QTEST_APPLESS_MAIN(TestTariffSchedule)
#include "tst_tariffschedule.moc"
