#include "catalogue/catalogue.h"
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

// The texts a previous operation left behind, so that a refusal can be seen to keep them.
engine::OperationState earlierState()
{
    engine::OperationState state;
    state.NewAddress = 9;
    state.NewBaudText = "4800";
    state.NewParityText = "ODD";
    state.NewStopBitsText = "1";
    state.NewCt1Text = "50";
    state.NewCt2Text = "5";
    return state;
}

} // namespace

// Acceptance of dialog values: parameter codes, refusal texts and the recorded texts.
class TestParameters : public QObject {
    Q_OBJECT
private slots:
    void verdicts_data();
    void verdicts();
    void refusalRecordsNothing_data();
    void refusalRecordsNothing();
    void acceptedValuesAreRecorded();
    void ct2IsKeptWhenCt1IsRefused();
    void everyCt1EntryHasItsPosition();
    void laterAcceptanceOverwrites();
};

void TestParameters::verdicts_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("value1");
    QTest::addColumn<QString>("value2");
    QTest::addColumn<int>("code"); // -1: refused
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");

    const auto ok = [](const char* name, const char* meter, const char* command, const char* v1, const char* v2,
                       int code) { QTest::newRow(name) << meter << command << v1 << v2 << code << "" << ""; };
    const auto no = [](const char* name, const char* meter, const char* command, const char* v1, const char* v2,
                       const QString& message, const char* caption) {
        QTest::newRow(name) << meter << command << v1 << v2 << -1 << message << caption;
    };

    // Baud rates, register layout (kind 2).
    const char* bauds[] = {"1200", "2400", "4800", "9600", "19200", "38400"};
    for (const char* meter : {"Pesca-K", "Morel-K", "Morel-N"})
        for (int i = 0; i < 6; ++i)
            QTest::addRow("%s baud %s -> %d", meter, bauds[i], i + 1)
                << meter << "Modify Baud Rate" << bauds[i] << "" << i + 1 << "" << "";
    // Baud rates, single layout (kind 3): 1200 only where the meter has it.
    for (const char* meter : {"Tarvik CT", "Tarvik DC", "Pesca-N", "Lunet-K", "Ventra", "Corvi Link", "Corvi-R",
                              "Morel Serial"})
        for (int i = 1; i < 6; ++i)
            QTest::addRow("%s baud %s -> %d", meter, bauds[i], i - 1)
                << meter << "Modify Baud Rate" << bauds[i] << "" << i - 1 << "" << "";
    ok("Morel Serial baud 1200 -> 5", "Morel Serial", "Modify Baud Rate", "1200", "", 5);
    ok("Lunet-K baud 1200 -> 5", "Lunet-K", "Modify Baud Rate", "1200", "", 5);
    for (const char* meter : {"Tarvik CT", "Tarvik DC", "Pesca-N", "Ventra", "Corvi Link", "Corvi-R"})
        QTest::addRow("%s baud 1200 refused", meter)
            << meter << "Modify Baud Rate" << "1200" << "" << -1 << BadBaud << "ERROR";
    no("Tarvik CT baud 57600 refused", "Tarvik CT", "Modify Baud Rate", "57600", "", BadBaud, "ERROR");
    no("Morel-K baud 600 refused", "Morel-K", "Modify Baud Rate", "600", "", BadBaud, "ERROR");
    no("Tarvik CT baud '9600 ' refused", "Tarvik CT", "Modify Baud Rate", "9600 ", "", BadBaud, "ERROR");
    no("Tarvik CT baud '09600' refused", "Tarvik CT", "Modify Baud Rate", "09600", "", BadBaud, "ERROR");
    no("Morel-N baud empty refused", "Morel-N", "Modify Baud Rate", "", "", BadBaud, "ERROR");
    no("unknown type baud 9600 refused (kind 0)", "Kestrel", "Modify Baud Rate", "9600", "", BadBaud, "ERROR");

    // Parity and stop bits.
    ok("NONE/1 -> 0", "Tarvik CT", "Modify Parity", "NONE", "1", 0);
    ok("EVEN/1 -> 1", "Tarvik CT", "Modify Parity", "EVEN", "1", 1);
    ok("ODD/1 -> 2", "Corvi Link", "Modify Parity", "ODD", "1", 2);
    ok("NONE/2 -> 3", "Ventra", "Modify Parity", "NONE", "2", 3);
    no("ODD/2 refused", "Tarvik CT", "Modify Parity", "ODD", "2", BadParity, "ERROR");
    no("EVEN/2 refused", "Tarvik DC", "Modify Parity", "EVEN", "2", BadParity, "ERROR");
    no("none/1 refused (case)", "Tarvik CT", "Modify Parity", "none", "1", BadParity, "ERROR");
    no("NONE/empty refused", "Tarvik CT", "Modify Parity", "NONE", "", BadParity, "ERROR");

    // CT ratio: CT2 is read as a number, CT1 compared as text.
    ok("CT 100/5 -> 4", "Morel-K", "Set CT", "100", "5", 4);
    ok("CT 5/05 -> 0", "Morel-K", "Set CT", "5", "05", 0);
    ok("CT 7500/5.0 -> 26", "Morel-K", "Set CT", "7500", "5.0", 26);
    no("CT2 1 refused", "Morel-K", "Set CT", "100", "1", BadCt2, "ERROR");
    no("CT2 50 refused", "Morel-K", "Set CT", "100", "50", BadCt2, "ERROR");
    no("CT2 empty refused", "Morel-K", "Set CT", "100", "", BadCt2, "ERROR");
    no("CT2 checked first: 120/1", "Morel-K", "Set CT", "120", "1", BadCt2, "ERROR");
    no("CT1 120 refused", "Morel-K", "Set CT", "120", "5", BadCt1, "ERROR");
    no("CT1 '0100' refused (text)", "Morel-K", "Set CT", "0100", "5", BadCt1, "ERROR");
    no("CT1 empty refused", "Morel-K", "Set CT", "", "5", BadCt1, "ERROR");

    // Meter address: numeric prefix, rounded to nearest even, 1..247.
    ok("address 1", "Tarvik CT", "Modify Meter Address", "1", "", 1);
    ok("address 247", "Morel-N", "Modify Meter Address", "247", "", 247);
    ok("address 2 (Morel-K)", "Morel-K", "Modify Meter Address", "2", "", 2);
    ok("address 007 -> 7", "Tarvik CT", "Modify Meter Address", "007", "", 7);
    ok("address 12abc -> 12", "Tarvik CT", "Modify Meter Address", "12abc", "", 12);
    ok("address ' 7' -> 7", "Tarvik CT", "Modify Meter Address", " 7", "", 7);
    ok("address 2.5 -> 2 (ties to even)", "Tarvik CT", "Modify Meter Address", "2.5", "", 2);
    ok("address 3.5 -> 4 (ties to even)", "Tarvik CT", "Modify Meter Address", "3.5", "", 4);
    ok("address 0.6 -> 1", "Tarvik CT", "Modify Meter Address", "0.6", "", 1);
    ok("address 247.4 -> 247", "Tarvik CT", "Modify Meter Address", "247.4", "", 247);
    no("address 0 refused", "Tarvik CT", "Modify Meter Address", "0", "", AddressRange, "INPUT ERROR");
    no("address empty refused", "Tarvik CT", "Modify Meter Address", "", "", AddressRange, "INPUT ERROR");
    no("address 248 refused", "Morel-K", "Modify Meter Address", "248", "", AddressRange, "INPUT ERROR");
    no("address 247.5 refused (-> 248)", "Tarvik CT", "Modify Meter Address", "247.5", "", AddressRange, "INPUT ERROR");
    no("address 0.5 refused (-> 0)", "Tarvik CT", "Modify Meter Address", "0.5", "", AddressRange, "INPUT ERROR");
    no("address -5 refused", "Tarvik CT", "Modify Meter Address", "-5", "", AddressRange, "INPUT ERROR");
    no("address abc refused", "Tarvik CT", "Modify Meter Address", "abc", "", AddressRange, "INPUT ERROR");
    no("address 99999 refused", "Tarvik CT", "Modify Meter Address", "99999", "", AddressRange, "INPUT ERROR");

    // Commands whose dialogs check their own input.
    ok("Read Energy needs nothing", "Tarvik CT", "Read Energy", "", "", 0);
    ok("Set Time needs nothing", "Morel-N", "Set Time", "", "", 0);
    ok("Set Tariff needs nothing", "Pesca-N", "Set Tariff", "", "", 0);
}

void TestParameters::verdicts()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, value1);
    QFETCH(QString, value2);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    engine::OperationState state;
    const auto verdict = accept(state, meter, command, value1, value2);
    QCOMPARE(verdict.accepted, code >= 0);
    if (code >= 0)
        QCOMPARE(verdict.code, code);
    QCOMPARE(QString::fromStdString(verdict.message), message);
    QCOMPARE(QString::fromStdString(verdict.caption), caption);
}

void TestParameters::refusalRecordsNothing_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("value1");
    QTest::addColumn<QString>("value2");
    QTest::newRow("address 0") << "Tarvik CT" << "Modify Meter Address" << "0" << "";
    QTest::newRow("baud 1200 on Tarvik CT") << "Tarvik CT" << "Modify Baud Rate" << "1200" << "";
    QTest::newRow("parity ODD/2") << "Tarvik CT" << "Modify Parity" << "ODD" << "2";
    QTest::newRow("CT2 1") << "Morel-K" << "Set CT" << "100" << "1";
}

void TestParameters::refusalRecordsNothing()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, value1);
    QFETCH(QString, value2);
    auto state = earlierState();
    QVERIFY(!accept(state, meter, command, value1, value2).accepted);
    const auto before = earlierState();
    QCOMPARE(state.NewAddress, before.NewAddress);
    QCOMPARE(state.NewBaudText, before.NewBaudText);
    QCOMPARE(state.NewParityText, before.NewParityText);
    QCOMPARE(state.NewStopBitsText, before.NewStopBitsText);
    QCOMPARE(state.NewCt1Text, before.NewCt1Text);
    QCOMPARE(state.NewCt2Text, before.NewCt2Text);
}

void TestParameters::acceptedValuesAreRecorded()
{
    auto state = earlierState();
    QVERIFY(accept(state, "Tarvik CT", "Modify Meter Address", "2.5").accepted);
    QCOMPARE(state.NewAddress, std::int16_t(2));
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "9600").accepted);
    QCOMPARE(state.NewBaudText, std::string("9600"));
    QVERIFY(accept(state, "Corvi Link", "Modify Parity", "NONE", "2").accepted);
    QCOMPARE(state.NewParityText, std::string("NONE"));
    QCOMPARE(state.NewStopBitsText, std::string("2"));
    QVERIFY(accept(state, "Morel-K", "Set CT", "1250", "05").accepted);
    QCOMPARE(state.NewCt1Text, std::string("1250"));
    QCOMPARE(state.NewCt2Text, std::string("05")); // the text as given, not the number
}

void TestParameters::ct2IsKeptWhenCt1IsRefused()
{
    auto state = earlierState();
    state.NewCt2Text = "old";
    const auto verdict = accept(state, "Morel-K", "Set CT", "120", "5");
    QVERIFY(!verdict.accepted);
    QCOMPARE(QString::fromStdString(verdict.message), BadCt1);
    QCOMPARE(state.NewCt2Text, std::string("5"));
    QCOMPARE(state.NewCt1Text, std::string("50"));
}

void TestParameters::everyCt1EntryHasItsPosition()
{
    const QStringList ct1{"5",    "50",   "60",   "75",   "100",  "125",  "150",  "200",  "250",
                          "300",  "400",  "500",  "600",  "750",  "800",  "1000", "1200", "1250",
                          "1500", "2000", "2400", "2500", "3000", "4000", "5000", "6000", "7500"};
    for (int i = 0; i < ct1.size(); ++i) {
        engine::OperationState state;
        const auto verdict = accept(state, "Morel-K", "Set CT", ct1[i], "5");
        QVERIFY2(verdict.accepted, qPrintable(ct1[i]));
        QCOMPARE(verdict.code, i);
    }
}

void TestParameters::laterAcceptanceOverwrites()
{
    // Two successive baud changes: the report quotes the second.
    engine::OperationState state;
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "9600").accepted);
    QVERIFY(accept(state, "Tarvik CT", "Modify Baud Rate", "19200").accepted);
    QCOMPARE(state.NewBaudText, std::string("19200"));
}

QTEST_APPLESS_MAIN(TestParameters)
#include "tst_parameters.moc"
