#include "engine/state.h"

#include <QtTest>

#include <limits>

// The shared operation state as it stands before the first operation.
class TestState : public QObject {
    Q_OBJECT
private slots:
    void startValues();
    void countersGrowPastSixteenAndThirtyTwoBits();
};

void TestState::startValues()
{
    const engine::OperationState state;
    QCOMPARE(state.AwaitingReply, std::uint8_t(0));
    QCOMPARE(state.RxCount, std::int16_t(0));
    QCOMPARE(state.SuccessCount, std::int64_t(0));
    QCOMPARE(state.FailCount, std::int64_t(0));
    QCOMPARE(state.DialogResult, std::uint8_t(engine::DialogNone));
    QCOMPARE(state.RxBuffer.size(), std::size_t(30));
    for (const auto b : state.RxBuffer)
        QCOMPARE(b, std::uint8_t(0));
    for (const auto& slot : state.TariffData)
        for (const auto b : slot)
            QCOMPARE(b, std::uint8_t(0));
    for (const auto b : state.TimeData)
        QCOMPARE(b, std::uint8_t(0));
    QVERIFY(state.NewBaudText.empty() && state.SetDateText.empty() && state.TariffSummaryT1.empty());
}

void TestState::countersGrowPastSixteenAndThirtyTwoBits()
{
    // A long session must never see a counter turn negative.
    engine::OperationState state;
    state.FailCount = std::numeric_limits<std::int16_t>::max();
    ++state.FailCount;
    QCOMPARE(state.FailCount, std::int64_t(32768));
    state.SuccessCount = std::numeric_limits<std::int32_t>::max();
    ++state.SuccessCount;
    QVERIFY(state.SuccessCount > 0);
    QCOMPARE(state.SuccessCount, std::int64_t(2147483648LL));
}

QTEST_APPLESS_MAIN(TestState)
#include "tst_state.moc"
