#include "engine/resulttexts.h"

#include <QtTest>

namespace {

engine::OperationState withReply(const QByteArray& reply)
{
    engine::OperationState state;
    for (qsizetype i = 0; i < reply.size() && i < engine::RxBufferSize; ++i)
        state.RxBuffer[std::size_t(i)] = std::uint8_t(reply[i]);
    state.RxCount = std::int16_t(reply.size());
    return state;
}

// The texts an earlier confirmation of each dialog recorded.
engine::OperationState withRecordedValues()
{
    engine::OperationState state;
    state.NewAddress = 5;
    state.NewBaudText = "9600";
    state.NewParityText = "EVEN";
    state.NewStopBitsText = "1";
    state.NewCt1Text = "100";
    state.NewCt2Text = "05";
    state.SetDateText = "12/31/2024";
    state.SetTimeText = "23:59:58";
    state.TariffSummaryT1 = "T1 : 08:00 to 12:00 . 18:00 to 22:00 . ";
    state.TariffSummaryT2 = "T2 : 12:00 to 18:00 . 22:00 to 08:00 . ";
    state.TariffSummaryT3 = "No set T3. ";
    state.TariffSummaryT4 = "No set T4. ";
    return state;
}

} // namespace

// The success report of an accepted reply: the box's message and the History.log detail.
class TestResultTexts : public QObject {
    Q_OBJECT
private slots:
    void energies_data();
    void energies();
    void writes_data();
    void writes();
    void negativeAddressHasNoBlank();
};

void TestResultTexts::energies_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("detail");

    const auto row = [](const char* meter, const char* command, const char* hex, const char* detail) {
        const auto reply = QByteArray::fromHex(hex);
        QTest::addRow("%s %s %s", meter, command, reply.toHex(' ').toUpper().constData())
            << meter << command << reply << detail;
    };
    row("Tarvik CT", "Read Energy", "010404449A522BB224", "Current Energy is 1234.5677 KWh.");
    row("Tarvik DC", "Read Energy", "0104043F800000F678", "Current Energy is 1.0000 KWh.");
    row("Ventra", "Read Energy", "0104040000000000", "Current Energy is 0.0000 KWh.");
    row("Pesca-N", "Read Energy", "010404C0000000C784", "Current Energy is -2.0000 KWh.");
    row("Lunet-K", "Read Energy", "0104044B1896800267", "Current Energy is 10000000.0000 KWh.");
    row("Corvi-R", "Read Energy", "01040438D1B7179123", "Current Energy is 0.0001 KWh.");
    row("Morel Serial", "Read Energy", "0104043F7FFF588642", "Current Energy is 1.0000 KWh.");
    row("Corvi Link", "Read Import Energy", "010404449A522BB224", "Current Import Energy is 1234.5677 KWh.");
    row("Corvi Link", "Read Export Energy", "0104043F800000F678", "Current Export Energy is 1.0000 KWh.");
    // The four bytes before the CRC, however long the reply.
    row("Tarvik CT", "Read Energy", "0104060000 3F8000006D6F", "Current Energy is 1.0000 KWh.");

    row("Morel-K", "Read Energy", "010304000004B53944", "Current Energy is 120.5 KWh.");
    row("Pesca-K", "Read Energy", "010304000004B53944", "Current Energy is 12.05 KWh.");
    row("Morel-K", "Read Energy", "01030400000000FA33", "Current Energy is 0.0 KWh.");
    row("Pesca-K", "Read Energy", "01030400000000FA33", "Current Energy is 0.00 KWh.");
    row("Pesca-K", "Read Energy", "010304000000050000", "Current Energy is 0.05 KWh.");
    row("Morel-K", "Read Energy", "010304000000070000", "Current Energy is 0.7 KWh.");
    // A first byte of 0x80 or more is still an unsigned count.
    row("Morel-K", "Read Energy", "01030480000000D3F3", "Current Energy is 214748364.8 KWh.");
    row("Pesca-K", "Read Energy", "01030480000000D3F3", "Current Energy is 21474836.48 KWh.");
    row("Morel-K", "Read Energy", "010304FFFFFFFFFBA7", "Current Energy is 429496729.5 KWh.");
    row("Pesca-K", "Read Energy", "010304FFFFFFFFFBA7", "Current Energy is 42949672.95 KWh.");
}

void TestResultTexts::energies()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, detail);
    const auto texts = engine::ResultTexts(withReply(reply), meter.toStdString(), command.toStdString());
    QCOMPARE(QString::fromStdString(texts.detail), detail);
    // The value goes on a second line of the box.
    QCOMPARE(QString::fromStdString(texts.message), command + " operation success! \r\n" + detail);
}

void TestResultTexts::writes_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("detail");
    QTest::newRow("address 5, two blanks before it")
        << "Tarvik CT" << "Modify Meter Address" << "Meter Address is  5.";
    QTest::newRow("baud") << "Tarvik CT" << "Modify Baud Rate" << "Baud Rate is 9600.";
    QTest::newRow("parity") << "Corvi Link" << "Modify Parity" << "Parity is EVEN. Stop Bit is 1.";
    QTest::newRow("CT") << "Morel-K" << "Set CT" << "Current CT Ratio is 100/05.";
    QTest::newRow("time, two blanks between date and time")
        << "Morel-N" << "Set Time" << "System date and time is 12/31/2024  23:59:58.";
    QTest::newRow("tariff, Pesca-N: T1 and T2")
        << "Pesca-N" << "Set Tariff" << "Tariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . ";
    for (const char* meter : {"Morel-N", "Corvi-R", "Morel Serial"})
        QTest::addRow("tariff, %s: T1 to T4", meter)
            << meter << "Set Tariff"
            << "Tariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . No set T3. No set T4. ";
}

void TestResultTexts::writes()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, detail);
    // A write is confirmed from what was sent; the echo's bytes play no part.
    auto state = withRecordedValues();
    const auto echo = QByteArray::fromHex("0110001C0002800E");
    for (qsizetype i = 0; i < echo.size(); ++i)
        state.RxBuffer[std::size_t(i)] = std::uint8_t(echo[i]);
    state.RxCount = std::int16_t(echo.size());
    const auto texts = engine::ResultTexts(state, meter.toStdString(), command.toStdString());
    QCOMPARE(QString::fromStdString(texts.detail), detail);
    QCOMPARE(QString::fromStdString(texts.message), command + " operation success! " + detail);
}

void TestResultTexts::negativeAddressHasNoBlank()
{
    auto state = withRecordedValues();
    state.NewAddress = -3;
    QCOMPARE(QString::fromStdString(engine::ResultTexts(state, "Tarvik CT", "Modify Meter Address").detail),
             QStringLiteral("Meter Address is -3."));
}

QTEST_APPLESS_MAIN(TestResultTexts)
#include "tst_resulttexts.moc"
