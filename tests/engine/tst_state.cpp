#include "engine/dialoganswer.h"
#include "engine/state.h"
#include "engine/tariffschedule.h"

#include <QtTest>

// The shared operation state as it stands before the first operation.
class TestState : public QObject {
    Q_OBJECT
private slots:
    void startValues();
    void storesDialogAnswers_data();
    void storesDialogAnswers();
};

void TestState::startValues()
{
    engine::OperationState state;
    QCOMPARE(state.SuccessCount, std::int64_t(0));
    QCOMPARE(state.FailCount, std::int64_t(0));
    QCOMPARE(state.DialogResult, std::uint8_t(engine::DialogNone));
    QVERIFY(state.TariffData == engine::TariffBytes{} && state.TimeData == engine::TimeBytes{});
    QVERIFY(state.NewBaudText.empty() && state.SetDateText.empty() && state.TariffSummaryT1.empty());
    // A long session never sees a counter wrap: the failure count passes 32767, the successes 2^31 - 1.
    state.FailCount = 32767;
    state.SuccessCount = 2147483647;
    QCOMPARE(++state.FailCount, std::int64_t(32768));
    QCOMPARE(++state.SuccessCount, std::int64_t(2147483648LL));
}

Q_DECLARE_METATYPE(engine::DialogAnswer)

// The one place an answer becomes DialogResult and the dialog's outputs: what
// an answer does not carry stays as the last confirmation left it.
void TestState::storesDialogAnswers_data()
{
    QTest::addColumn<engine::DialogAnswer>("answer");
    QTest::addColumn<QString>("stored"); // DialogResult|DialogValue1|DialogValue2|SetDateText|TimeData[0]|T1 summary
    engine::DialogAnswer failedThenCancelled = engine::Cancelled();
    failedThenCancelled.timeData = engine::TimeBytes{0x58};
    engine::TariffScheduleResult schedule;
    schedule.data[0] = {1, 0x30, 0x08};
    schedule.summaries = {"T1 : 08:30 to 08:30 . ", "No set T2. ", "No set T3. ", "No set T4. "};
    QTest::newRow("closed") << engine::DialogAnswer{} << "0|old 1|old 2|01/02/2023|0|old T1";
    QTest::newRow("address confirmed") << engine::ConfirmedValues("12") << "1|12|old 2|01/02/2023|0|old T1";
    QTest::newRow("parity confirmed") << engine::ConfirmedValues("EVEN", "1") << "1|EVEN|1|01/02/2023|0|old T1";
    QTest::newRow("time refused, then cancelled") << failedThenCancelled << "2|old 1|old 2|01/02/2023|88|old T1";
    QTest::newRow("time confirmed") << engine::ConfirmedTime({0x58, 0x59}, "12/31/2024", "23:59:58")
                                    << "1|old 1|old 2|12/31/2024|88|old T1";
    QTest::newRow("tariff confirmed") << engine::ConfirmedTariff(schedule) << "1|old 1|old 2|01/02/2023|0|T1 : 08:30 to 08:30 . ";
}

void TestState::storesDialogAnswers()
{
    QFETCH(engine::DialogAnswer, answer);
    QFETCH(QString, stored);
    engine::OperationState state;
    state.DialogValue1 = "old 1";
    state.DialogValue2 = "old 2";
    state.SetDateText = "01/02/2023";
    state.TariffSummaryT1 = "old T1";
    engine::StoreDialogAnswer(state, answer);
    const QStringList got{QString::number(state.DialogResult), QString::fromStdString(state.DialogValue1),
                          QString::fromStdString(state.DialogValue2), QString::fromStdString(state.SetDateText),
                          QString::number(state.TimeData[0]), QString::fromStdString(state.TariffSummaryT1)};
    QCOMPARE(got.join('|'), stored);
    QCOMPARE(state.TariffData[0][1], std::uint8_t(answer.tariffData ? 0x30 : 0));
}

QTEST_APPLESS_MAIN(TestState)
#include "tst_state.moc"
