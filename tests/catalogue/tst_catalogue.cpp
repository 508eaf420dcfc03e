#include "catalogue/catalogue.h"

#include <QtTest>

namespace {

QStringList toList(const std::vector<std::string_view>& names)
{
    QStringList list;
    for (const auto name : names)
        list << QString::fromUtf8(name.data(), qsizetype(name.size()));
    return list;
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const QStringList TarvikList{"Read Energy", "Modify Baud Rate", "Modify Meter Address", "Modify Parity"};
const QStringList BasicList{"Read Energy", "Modify Baud Rate", "Modify Meter Address"};
const QStringList TariffTimeList{"Read Energy", "Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"};

} // namespace

// The meter family: types, their command lists, the code tables and the frame kinds.
class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void meterTypesInListOrder();
    void commandLists_data();
    void commandLists();
    void codesOfEveryOfferedPair_data();
    void codesOfEveryOfferedPair();
    void requestCodeCarriesTheCountsOfItsKind();
    void codeSlots_data();
    void codeSlots();
    void frameKindOfPairsNoListOffers_data();
    void frameKindOfPairsNoListOffers();
    void unknownNamesAreRejected_data();
    void unknownNamesAreRejected();
    void energyEncodings_data();
    void energyEncodings();
    void tariffChoices_data();
    void tariffChoices();
};

void TestCatalogue::meterTypesInListOrder()
{
    const QStringList expected{"Tarvik CT", "Tarvik DC", "Morel-N", "Morel-K",  "Pesca-N",     "Pesca-K",
                               "Corvi Link", "Corvi-R",  "Lunet-K", "Ventra",   "Morel Serial"};
    QStringList names;
    for (const auto name : catalogue::MeterTypeNames) {
        names << toQString(name);
        QVERIFY(catalogue::IsMeterType(name));
    }
    QCOMPARE(names, expected);
}

void TestCatalogue::commandLists_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("defaultCommand");
    QTest::newRow("Tarvik CT") << "Tarvik CT" << TarvikList << "Read Energy";
    QTest::newRow("Tarvik DC") << "Tarvik DC" << TarvikList << "Read Energy";
    QTest::newRow("Ventra") << "Ventra" << TarvikList << "Read Energy";
    QTest::newRow("Morel-K") << "Morel-K"
                             << QStringList{"Read Energy", "Modify Baud Rate", "Modify Meter Address", "Set CT"}
                             << "Read Energy";
    QTest::newRow("Pesca-N") << "Pesca-N"
                             << QStringList{"Read Energy", "Modify Baud Rate", "Modify Meter Address", "Set Tariff"}
                             << "Read Energy";
    QTest::newRow("Pesca-K") << "Pesca-K" << BasicList << "Read Energy";
    QTest::newRow("Lunet-K") << "Lunet-K" << BasicList << "Read Energy";
    QTest::newRow("Morel-N") << "Morel-N"
                             << QStringList{"Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"}
                             << "Set Tariff";
    QTest::newRow("Corvi Link") << "Corvi Link"
                                << QStringList{"Read Energy",      "Read Import Energy",   "Read Export Energy",
                                               "Modify Baud Rate", "Modify Meter Address", "Modify Parity"}
                                << "Read Energy";
    QTest::newRow("Corvi-R") << "Corvi-R" << TariffTimeList << "Read Energy";
    QTest::newRow("Morel Serial") << "Morel Serial" << TariffTimeList << "Read Energy";
}

void TestCatalogue::commandLists()
{
    QFETCH(QString, meter);
    QFETCH(QStringList, commands);
    QFETCH(QString, defaultCommand);
    const auto list = catalogue::CommandsOf(meter.toStdString());
    QVERIFY(list.has_value());
    QCOMPARE(toList(list->commands), commands);
    QCOMPARE(toQString(list->defaultCommand), defaultCommand);
    for (const auto& command : commands)
        QVERIFY(catalogue::Offers(meter.toStdString(), command.toStdString()));
    for (const auto* other : {"Read Energy", "Read Import Energy", "Read Export Energy", "Modify Meter Address",
                              "Modify Baud Rate", "Modify Parity", "Set CT", "Set Tariff", "Set Time"})
        QCOMPARE(catalogue::Offers(meter.toStdString(), other), commands.contains(QString::fromLatin1(other)));
}

void TestCatalogue::codesOfEveryOfferedPair_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("kind");

    const auto add = [](const char* meter, const char* command, const char* request, const char* reply, int kind) {
        QTest::addRow("%s / %s -> %s / %s", meter, command, request, reply)
            << meter << command << request << reply << kind;
    };
    // The shared single-precision layout.
    for (const char* meter : {"Tarvik CT", "Tarvik DC", "Ventra", "Pesca-N", "Lunet-K", "Corvi Link", "Corvi-R",
                              "Morel Serial"}) {
        add(meter, "Read Energy", "010401560002", "010404", 1);
        add(meter, "Modify Meter Address", "01100014000204", "011000140002", 3);
        add(meter, "Modify Baud Rate", "0110001C000204", "0110001C000204", 3);
    }
    for (const char* meter : {"Tarvik CT", "Tarvik DC", "Ventra", "Corvi Link"})
        add(meter, "Modify Parity", "01100012000204", "011000120002", 3);
    add("Corvi Link", "Read Import Energy", "010400480002", "010404", 1);
    add("Corvi Link", "Read Export Energy", "0104004A0002", "010404", 1);
    for (const char* meter : {"Pesca-N", "Morel-N", "Corvi-R", "Morel Serial"})
        add(meter, "Set Tariff", "0110F700000F1E", "0110F700000F", 2);
    for (const char* meter : {"Morel-N", "Corvi-R", "Morel Serial"})
        add(meter, "Set Time", "0110F000000408", "0110F0000004", 2);
    // The single-register layout.
    for (const char* meter : {"Morel-K", "Pesca-K"}) {
        add(meter, "Read Energy", "0103011E0002", "010304", 1);
        add(meter, "Modify Meter Address", "0110000F000102", "0110000F0001", 2);
        add(meter, "Modify Baud Rate", "0110F800000102", "0110F800000102", 2);
    }
    add("Morel-K", "Set CT", "0110F900000102", "0110F900000102", 2);
    add("Morel-N", "Modify Meter Address", "0110F600000102", "0110F6000001", 2);
    add("Morel-N", "Modify Baud Rate", "0110F800000102", "0110F8000001", 2);
}

void TestCatalogue::codesOfEveryOfferedPair()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    QFETCH(int, kind);
    QVERIFY(catalogue::Offers(meter.toStdString(), command.toStdString()));
    const auto codes = catalogue::Find_Code(meter.toStdString(), command.toStdString());
    QVERIFY(codes.has_value());
    QCOMPARE(toQString(codes->request), request);
    QCOMPARE(toQString(codes->reply), reply);
    QCOMPARE(int(catalogue::GetFrameKind(meter.toStdString(), command.toStdString())), kind);
}

void TestCatalogue::requestCodeCarriesTheCountsOfItsKind()
{
    // Frame building writes the data field at positions derived from the kind,
    // so every offered request code must announce exactly that many bytes.
    int pairs = 0;
    for (const auto meter : catalogue::MeterTypeNames) {
        const auto list = catalogue::CommandsOf(meter);
        QVERIFY(list.has_value());
        for (const auto command : list->commands) {
            const auto request = toQString(catalogue::Find_Code(meter, command)->request);
            const auto kind = catalogue::GetFrameKind(meter, command);
            const auto label = (toQString(meter) + " / " + toQString(command) + ": " + request).toUtf8();
            const char* where = label.constData();
            QVERIFY2(kind != catalogue::FrameKindUnknown, where);
            if (kind == catalogue::FrameKindRead) {
                QVERIFY2(request.size() == 12 && request.endsWith("0002"), where);
            } else {
                QVERIFY2(request.size() == 14 && request.startsWith("0110"), where);
                const auto counts = request.right(6);
                if (kind == catalogue::FrameKindSingle)
                    QVERIFY2(counts == "000204", where);
                else if (command == "Set Time")
                    QVERIFY2(counts == "000408", where);
                else if (command == "Set Tariff")
                    QVERIFY2(counts == "000F1E", where);
                else
                    QVERIFY2(counts == "000102", where);
            }
            ++pairs;
        }
    }
    QCOMPARE(pairs, 46);
}

void TestCatalogue::codeSlots_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("slot");
    QTest::newRow("Read Energy") << "Read Energy" << 1;
    QTest::newRow("Modify Meter Address") << "Modify Meter Address" << 3;
    QTest::newRow("Modify Baud Rate") << "Modify Baud Rate" << 4;
    QTest::newRow("Modify Parity") << "Modify Parity" << 5;
    QTest::newRow("Set CT") << "Set CT" << 5;
    QTest::newRow("Set Tariff") << "Set Tariff" << 5;
    QTest::newRow("Set Time") << "Set Time" << 6;
    QTest::newRow("Read Import Energy") << "Read Import Energy" << 6;
    QTest::newRow("Read Export Energy") << "Read Export Energy" << 7;
}

void TestCatalogue::codeSlots()
{
    QFETCH(QString, command);
    QFETCH(int, slot);
    QCOMPARE(catalogue::CodeSlot(command.toStdString()), std::optional<int>(slot));
}

void TestCatalogue::frameKindOfPairsNoListOffers_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("kind");
    // The kind rules go by name only, whatever the lists offer.
    QTest::newRow("Pesca-K / Set Time -> 2") << "Pesca-K" << "Set Time" << 2;
    QTest::newRow("Tarvik CT / Set CT -> 3") << "Tarvik CT" << "Set CT" << 3;
    QTest::newRow("Morel-N / Read Energy -> 1") << "Morel-N" << "Read Energy" << 1;
    QTest::newRow("Morel-N / Modify Parity -> 2") << "Morel-N" << "Modify Parity" << 2;
    QTest::newRow("unknown type / Read Energy -> 1") << "Kestrel" << "Read Energy" << 1;
    QTest::newRow("unknown type / Set Tariff -> 2") << "Kestrel" << "Set Tariff" << 2;
    QTest::newRow("unknown type / Modify Baud Rate -> 0") << "Kestrel" << "Modify Baud Rate" << 0;
    QTest::newRow("Tarvik CT / unknown command -> 0") << "Tarvik CT" << "Reset" << 0;
}

void TestCatalogue::frameKindOfPairsNoListOffers()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(int, kind);
    QCOMPARE(int(catalogue::GetFrameKind(meter.toStdString(), command.toStdString())), kind);
}

void TestCatalogue::unknownNamesAreRejected_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::newRow("'tarvik ct' (case)") << "tarvik ct" << "Read Energy";
    QTest::newRow("'Tarvik CT ' (trailing blank)") << "Tarvik CT " << "Read Energy";
    QTest::newRow("'MorelSerial'") << "MorelSerial" << "Read Energy";
    QTest::newRow("empty meter type") << "" << "Read Energy";
    QTest::newRow("'read energy' (case)") << "Tarvik CT" << "read energy";
    QTest::newRow("'Set Ct' (case)") << "Morel-K" << "Set Ct";
    QTest::newRow("empty command") << "Tarvik CT" << "";
}

void TestCatalogue::unknownNamesAreRejected()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QVERIFY(!catalogue::Find_Code(meter.toStdString(), command.toStdString()).has_value());
    QVERIFY(!catalogue::Offers(meter.toStdString(), command.toStdString()));
    if (!catalogue::IsMeterType(meter.toStdString()))
        QVERIFY(!catalogue::CommandsOf(meter.toStdString()).has_value());
    else
        QVERIFY(!catalogue::CodeSlot(command.toStdString()).has_value());
}

void TestCatalogue::energyEncodings_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<int>("encoding");
    using catalogue::EnergyEncoding;
    for (const char* meter : {"Tarvik CT", "Tarvik DC", "Pesca-N", "Lunet-K", "Ventra", "Corvi Link", "Corvi-R",
                              "Morel Serial"})
        QTest::newRow(meter) << meter << int(EnergyEncoding::Single);
    QTest::newRow("Morel-K") << "Morel-K" << int(EnergyEncoding::ScaledTenths);
    QTest::newRow("Pesca-K") << "Pesca-K" << int(EnergyEncoding::ScaledHundredths);
    QTest::newRow("Morel-N") << "Morel-N" << int(EnergyEncoding::None);
    QTest::newRow("unknown") << "Kestrel" << int(EnergyEncoding::None);
}

void TestCatalogue::energyEncodings()
{
    QFETCH(QString, meter);
    QFETCH(int, encoding);
    QCOMPARE(int(catalogue::EnergyEncodingOf(meter.toStdString())), encoding);
}

void TestCatalogue::tariffChoices_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QStringList>("choices");
    const QStringList four{"NC", "T1", "T2", "T3", "T4"};
    const QStringList two{"NC", "T1", "T2"};
    QTest::newRow("Morel Serial") << "Morel Serial" << four;
    QTest::newRow("Corvi-R") << "Corvi-R" << four;
    QTest::newRow("Morel-N") << "Morel-N" << four;
    QTest::newRow("Pesca-N") << "Pesca-N" << two;
    QTest::newRow("Tarvik CT") << "Tarvik CT" << two;
}

void TestCatalogue::tariffChoices()
{
    QFETCH(QString, meter);
    QFETCH(QStringList, choices);
    QCOMPARE(toList(catalogue::TariffChoices(meter.toStdString())), choices);
}

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
