#include "engine/state.h"

#include <QtTest>

// The shared operation state as it stands before the first operation.
class TestState : public QObject {
    Q_OBJECT
private slots:
    void startValues();
};

void TestState::startValues()
{
    engine::OperationState state;
    QCOMPARE(state.AwaitingReply, std::uint8_t(0));
    QCOMPARE(state.RxCount, std::int16_t(0));
    QCOMPARE(state.SuccessCount, std::int64_t(0));
    QCOMPARE(state.FailCount, std::int64_t(0));
    QCOMPARE(state.DialogResult, std::uint8_t(engine::DialogNone));
    QVERIFY(state.RxBuffer == decltype(state.RxBuffer){});
    QVERIFY(state.TariffData == engine::TariffBytes{} && state.TimeData == engine::TimeBytes{});
    QVERIFY(state.NewBaudText.empty() && state.SetDateText.empty() && state.TariffSummaryT1.empty());
    // A long session never sees a counter wrap: the failure count passes 32767, the successes 2^31 - 1.
    state.FailCount = 32767;
    state.SuccessCount = 2147483647;
    QCOMPARE(++state.FailCount, std::int64_t(32768));
    QCOMPARE(++state.SuccessCount, std::int64_t(2147483648LL));
}

QTEST_APPLESS_MAIN(TestState)
#include "tst_state.moc"
