#include "engine/resulttexts.h"

#include <QtTest>

namespace {

// The texts earlier confirmations recorded.
engine::OperationState recorded()
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
    void reports_data();
    void reports();
};

void TestResultTexts::reports_data()
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
    row("Lunet-K", "Read Energy", "0104044B1896800267", "Current Energy is 10000000.0000 KWh.");
    row("Morel Serial", "Read Energy", "0104043F7FFF588642", "Current Energy is 1.0000 KWh.");
    // 1234.03125 exactly: a tie goes away from zero, as the number pattern rounds.
    row("Tarvik CT", "Read Energy", "010404449A4100FF0B", "Current Energy is 1234.0313 KWh.");
    row("Corvi Link", "Read Import Energy", "010404449A522BB224", "Current Import Energy is 1234.5677 KWh.");
    row("Corvi Link", "Read Export Energy", "0104043F800000F678", "Current Export Energy is 1.0000 KWh.");
    // The four bytes before the CRC, however long the reply.
    row("Tarvik CT", "Read Energy", "0104060000 3F8000006D6F", "Current Energy is 1.0000 KWh.");
    row("Morel-K", "Read Energy", "010304000004B53944", "Current Energy is 120.5 KWh.");
    row("Pesca-K", "Read Energy", "010304000004B53944", "Current Energy is 12.05 KWh.");
    row("Morel-K", "Read Energy", "01030400000000FA33", "Current Energy is 0.0 KWh.");
    row("Pesca-K", "Read Energy", "01030400000000FA33", "Current Energy is 0.00 KWh.");
    // A first byte of 0x80 or more is still an unsigned count.
    row("Morel-K", "Read Energy", "01030480000000D3F3", "Current Energy is 214748364.8 KWh.");
    row("Pesca-K", "Read Energy", "010304FFFFFFFFFBA7", "Current Energy is 42949672.95 KWh.");
    // A write is confirmed from what was sent; the echo's bytes play no part.
    const char* echo = "0110001C0002800E";
    row("Tarvik CT", "Modify Meter Address", echo, "Meter Address is  5.");
    row("Tarvik CT", "Modify Baud Rate", echo, "Baud Rate is 9600.");
    row("Corvi Link", "Modify Parity", echo, "Parity is EVEN. Stop Bit is 1.");
    row("Morel-K", "Set CT", echo, "Current CT Ratio is 100/05.");
    row("Morel-N", "Set Time", echo, "System date and time is 12/31/2024  23:59:58.");
    row("Pesca-N", "Set Tariff", echo,
        "Tariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . ");
    row("Morel-N", "Set Tariff", echo,
        "Tariff is T1 : 08:00 to 12:00 . 18:00 to 22:00 . T2 : 12:00 to 18:00 . 22:00 to 08:00 . "
        "No set T3. No set T4. ");
}

void TestResultTexts::reports()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, detail);
    const std::vector<std::uint8_t> bytes(reply.begin(), reply.end());
    const auto texts = engine::ResultTexts(recorded(), bytes, meter.toStdString(), command.toStdString());
    QCOMPARE(QString::fromStdString(texts.detail), detail);
    // An energy goes on a second line of the box.
    const QString lineBreak = command.startsWith("Read") ? "\r\n" : "";
    QCOMPARE(QString::fromStdString(texts.message), command + " operation success! " + lineBreak + detail);
}

QTEST_APPLESS_MAIN(TestResultTexts)
#include "tst_resulttexts.moc"
