#include "catalogue/catalogue.h"
#include "engine/linesettings.h"
#include "engine/parameters.h"

#include <QtTest>

namespace {

const QString AddressRange = "The input data is out of range, please re-enter the numbers ranges from 1-247!";
const QString BadBaud = "Invalid Baud Rate, please try again!";
const QString BadParity = "Invalid Parity, please try again!";
const QString BadCt2 = "Invalid CT2 data, please try again!";
const QString BadCt1 = "Invalid CT1 data, please try again!";

// What the send handler does with a confirmed dialog: the kind comes from the selection.
engine::ParameterVerdict accept(engine::OperationState& state, const QString& meter, const QString& command,
                                const QString& value1, const QString& value2 = {})
{
    const auto kind = catalogue::GetFrameKind(meter.toStdString(), command.toStdString());
    return engine::AcceptParameter(state, meter.toStdString(), command.toStdString(), kind, value1.toStdString(),
                                   value2.toStdString());
}

// The texts the success report will quote: address, baud, parity/stop bits, CT1/CT2.
QString recorded(const engine::OperationState& s)
{
    return QStringLiteral("%1 %2 %3/%4 %5/%6")
        .arg(s.NewAddress)
        .arg(QString::fromStdString(s.NewBaudText), QString::fromStdString(s.NewParityText),
             QString::fromStdString(s.NewStopBitsText), QString::fromStdString(s.NewCt1Text),
             QString::fromStdString(s.NewCt2Text));
}

} // namespace

// Acceptance of dialog values: parameter codes, refusal texts and the recorded texts.
class TestParameters : public QObject {
    Q_OBJECT
private slots:
    void verdicts_data();
    void verdicts();
    void recordedTexts();
    void sweepSettingsCanBeWritten();
};

void TestParameters::verdicts_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("value1");
    QTest::addColumn<QString>("value2");
    QTest::addColumn<int>("code"); // -1: refused
    QTest::addColumn<QString>("message");

    const auto ok = [](const char* meter, const char* command, const char* v1, const char* v2, int code) {
        QTest::addRow("%s %s %s/%s -> %d", meter, command, v1, v2, code) << meter << command << v1 << v2 << code << "";
    };
    const auto no = [](const char* meter, const char* command, const char* v1, const char* v2, const QString& message) {
        QTest::addRow("%s %s '%s'/'%s' refused", meter, command, v1, v2)
            << meter << command << v1 << v2 << -1 << message;
    };
    ok("Tarvik CT", "Modify Baud Rate", "2400", "", 0);
    ok("Tarvik CT", "Modify Baud Rate", "9600", "", 2);
    ok("Morel Serial", "Modify Baud Rate", "1200", "", 5);
    ok("Lunet-K", "Modify Baud Rate", "1200", "", 5);
    ok("Pesca-K", "Modify Baud Rate", "1200", "", 1);
    ok("Morel-K", "Modify Baud Rate", "9600", "", 4);
    ok("Morel-N", "Modify Baud Rate", "38400", "", 6);
    ok("Corvi Link", "Modify Baud Rate", "19200", "", 3);
    ok("Pesca-K", "Modify Baud Rate", "4800", "", 3);
    no("Tarvik CT", "Modify Baud Rate", "1200", "", BadBaud);
    no("Pesca-N", "Modify Baud Rate", "57600", "", BadBaud);
    no("Tarvik CT", "Modify Baud Rate", "9600 ", "", BadBaud);
    no("Morel-K", "Modify Baud Rate", "09600", "", BadBaud);
    ok("Tarvik CT", "Modify Parity", "NONE", "1", 0);
    ok("Tarvik CT", "Modify Parity", "EVEN", "1", 1);
    ok("Corvi Link", "Modify Parity", "ODD", "1", 2);
    ok("Ventra", "Modify Parity", "NONE", "2", 3);
    no("Tarvik CT", "Modify Parity", "ODD", "2", BadParity);
    ok("Morel-K", "Set CT", "100", "5", 4);
    ok("Morel-K", "Set CT", "5", "05", 0);
    ok("Morel-K", "Set CT", "7500", "5.0", 26);
    no("Morel-K", "Set CT", "100", "1", BadCt2);
    no("Morel-K", "Set CT", "120", "1", BadCt2);
    no("Morel-K", "Set CT", "120", "5", BadCt1);
    no("Morel-K", "Set CT", "0100", "5", BadCt1);
    ok("Tarvik CT", "Modify Meter Address", "1", "", 1);
    ok("Morel-N", "Modify Meter Address", "247", "", 247);
    ok("Tarvik CT", "Modify Meter Address", "12abc", "", 12);
    ok("Tarvik CT", "Modify Meter Address", "2.5", "", 2);
    ok("Tarvik CT", "Modify Meter Address", "3.5", "", 4);
    no("Tarvik CT", "Modify Meter Address", "0", "", AddressRange);
    no("Tarvik CT", "Modify Meter Address", "", "", AddressRange);
    no("Morel-K", "Modify Meter Address", "248", "", AddressRange);
    no("Tarvik CT", "Modify Meter Address", "247.5", "", AddressRange);
    no("Tarvik CT", "Modify Meter Address", "99999", "", AddressRange);
    // A fraction of any length stays a fraction: its digits never join the whole part.
    const std::string zeros(330, '0');
    const std::string longOne = "1." + zeros;
    const std::string longFive = "0." + zeros + "5";
    QTest::newRow("address 1.000... (330 zeros) -> 1") << "Tarvik CT" << "Modify Meter Address" << QString::fromStdString(longOne)
                                                     << "" << 1 << "";
    QTest::newRow("CT2 0.000...5 refused") << "Morel-K" << "Set CT" << "100" << QString::fromStdString(longFive) << -1 << BadCt2;
}

void TestParameters::verdicts()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, value1);
    QFETCH(QString, value2);
    QFETCH(int, code);
    QFETCH(QString, message);
    engine::OperationState state;
    const auto verdict = accept(state, meter, command, value1, value2);
    QCOMPARE(verdict.accepted ? verdict.code : -1, code);
    QCOMPARE(QString::fromStdString(verdict.message), message);
    const QString caption = message.isEmpty() ? "" : message == AddressRange ? "INPUT ERROR" : "ERROR";
    QCOMPARE(QString::fromStdString(verdict.caption), caption);
}

void TestParameters::recordedTexts()
{
    engine::OperationState state;
    QVERIFY(accept(state, "Tarvik CT", "Modify Meter Address", "9").accepted);
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "4800").accepted);
    QVERIFY(accept(state, "Corvi Link", "Modify Parity", "ODD", "1").accepted);
    QVERIFY(accept(state, "Morel-K", "Set CT", "50", "5").accepted);
    QCOMPARE(recorded(state), QStringLiteral("9 4800 ODD/1 50/5"));
    // Refusals keep the texts of the last accepted values.
    QVERIFY(!accept(state, "Tarvik CT", "Modify Meter Address", "0").accepted);
    QVERIFY(!accept(state, "Tarvik CT", "Modify Baud Rate", "1200").accepted);
    QVERIFY(!accept(state, "Tarvik CT", "Modify Parity", "ODD", "2").accepted);
    QVERIFY(!accept(state, "Morel-K", "Set CT", "100", "1").accepted);
    QCOMPARE(recorded(state), QStringLiteral("9 4800 ODD/1 50/5"));
    // A CT2 that passes is recorded, as given, even when CT1 is then refused.
    QVERIFY(!accept(state, "Morel-K", "Set CT", "120", "05").accepted);
    QCOMPARE(recorded(state), QStringLiteral("9 4800 ODD/1 50/05"));
    // The next accepted value of each command overwrites its texts.
    QVERIFY(accept(state, "Tarvik CT", "Modify Meter Address", "2.5").accepted);
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "9600").accepted);
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "19200").accepted);
    QVERIFY(accept(state, "Corvi Link", "Modify Parity", "NONE", "2").accepted);
    QVERIFY(accept(state, "Morel-K", "Set CT", "1250", "5").accepted);
    QCOMPARE(recorded(state), QStringLiteral("2 19200 NONE/2 1250/5"));
}

void TestParameters::sweepSettingsCanBeWritten()
{
    // A meter a sweep found can be set to any rate the sweep tries (1200 only
    // where the type takes it), each rate written as a code of its own.
    for (const auto meter : catalogue::MeterTypeNames) {
        if (!catalogue::Offers(meter, catalogue::command::ModifyBaudRate))
            continue;
        const QString m = QString::fromUtf8(meter.data(), qsizetype(meter.size()));
        QSet<int> codes;
        for (const int baud : catalogue::SweepBauds()) {
            engine::OperationState state;
            const auto verdict = accept(state, m, "Modify Baud Rate", QString::number(baud));
            const bool takes = baud != 1200 || catalogue::Takes1200Baud(meter);
            QVERIFY2(verdict.accepted == takes && !(takes && codes.contains(verdict.code)),
                     qPrintable(m + " " + QString::number(baud)));
            if (takes)
                codes.insert(verdict.code);
        }
    }
    // Each pair the sweep tries is a line setting and can be written, as a code of its own.
    QSet<int> codes;
    for (const auto& pair : catalogue::MeterFramings()) {
        const auto parity = QString::fromUtf8(pair.parity.data(), qsizetype(pair.parity.size()));
        const auto stopBits = QString::fromUtf8(pair.stopBits.data(), qsizetype(pair.stopBits.size()));
        const QByteArray name = (parity + "/" + stopBits).toUtf8();
        QVERIFY2(engine::ParityFromWord(parity.toLower().toStdString()) && engine::StopBitsFromText(stopBits.toStdString()),
                 name.constData());
        engine::OperationState state;
        const auto verdict = accept(state, "Corvi Link", "Modify Parity", parity, stopBits);
        QVERIFY2(verdict.accepted && !codes.contains(verdict.code), name.constData());
        codes.insert(verdict.code);
    }
}

QTEST_APPLESS_MAIN(TestParameters)
#include "tst_parameters.moc"
