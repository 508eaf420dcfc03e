#include "catalogue/catalogue.h"
#include "engine/linesettings.h"

#include <QtTest>

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QStringList toList(const std::vector<std::string_view>& names)
{
    QStringList list;
    for (const auto name : names)
        list << toQString(name);
    return list;
}

} // namespace

// The meter family: types, their command lists, the code tables and the frame kinds.
class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void lists();
    void selections_data();
    void selections();
    void requestCodeCarriesTheCountsOfItsKind();
};

void TestCatalogue::lists()
{
    QStringList types;
    for (const auto name : catalogue::MeterTypeNames)
        types << toQString(name);
    QCOMPARE(types, QStringList({"Tarvik CT", "Tarvik DC", "Morel-N", "Morel-K", "Pesca-N", "Pesca-K", "Corvi Link",
                                 "Corvi-R", "Lunet-K", "Ventra", "Morel Serial"}));
    const auto morelN = catalogue::CommandsOf("Morel-N");
    QVERIFY(morelN.has_value());
    QCOMPARE(toList(morelN->commands),
             QStringList({"Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"}));
    QCOMPARE(toQString(morelN->defaultCommand), QStringLiteral("Set Tariff"));
    QCOMPARE(toList(catalogue::CommandsOf("Corvi Link")->commands),
             QStringList({"Read Energy", "Read Import Energy", "Read Export Energy", "Modify Baud Rate",
                          "Modify Meter Address", "Modify Parity"}));
    QCOMPARE(toQString(catalogue::CommandsOf("Tarvik CT")->defaultCommand), QStringLiteral("Read Energy"));
    QCOMPARE(toList(catalogue::TariffChoices("Morel-N")), QStringList({"NC", "T1", "T2", "T3", "T4"}));
    QCOMPARE(toList(catalogue::TariffChoices("Pesca-N")), QStringList({"NC", "T1", "T2"}));

    // A sweep tries every rate the baud rate dialog offers, once, starting at
    // the line's own default; the dialog lists them slowest first.
    auto sweep = catalogue::SweepBauds();
    QCOMPARE(sweep.front(), engine::LineSettings{}.baud);
    std::vector<int> offered;
    for (const auto& rate : catalogue::MeterBauds())
        offered.push_back(rate.baud);
    std::sort(sweep.begin(), sweep.end());
    QCOMPARE(sweep, offered);
}

void TestCatalogue::selections_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("request"); // empty: the names are rejected
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("kind");
    const auto row = [](const char* meter, const char* command, const char* request, const char* reply, int kind) {
        QTest::addRow("%s / %s", meter, command) << meter << command << request << reply << kind;
    };
    row("Tarvik CT", "Read Energy", "010401560002", "010404", 1);
    row("Morel-N", "Set Tariff", "0110F700000F1E", "0110F700000F", 2);
    row("Corvi Link", "Read Import Energy", "010400480002", "010404", 1);
    row("Tarvik CT", "Modify Meter Address", "01100014000204", "011000140002", 3);
    row("Morel-K", "Modify Meter Address", "0110000F000102", "0110000F0001", 2);
    row("Morel-N", "Modify Meter Address", "0110F600000102", "0110F6000001", 2);
    row("Morel-N", "Modify Baud Rate", "0110F800000102", "0110F8000001", 2);
    row("Morel-K", "Modify Baud Rate", "0110F800000102", "0110F800000102", 2);
    row("Pesca-K", "Modify Baud Rate", "0110F800000102", "0110F800000102", 2);
    // Names outside the catalogue; the kind rules still go by the command name.
    row("tarvik ct", "Read Energy", "", "", 1);
    row("Tarvik CT ", "Set Tariff", "", "", 2);
    row("", "Modify Baud Rate", "", "", 0);
    row("Tarvik CT", "read energy", "", "", 0);
    row("Morel-K", "Set Ct", "", "", 0);
}

void TestCatalogue::selections()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    QFETCH(int, kind);
    const auto m = meter.toStdString();
    const auto c = command.toStdString();
    QCOMPARE(int(catalogue::GetFrameKind(m, c)), kind);
    QCOMPARE(catalogue::Offers(m, c), !request.isEmpty());
    const auto codes = catalogue::Find_Code(m, c);
    QCOMPARE(codes.has_value(), !request.isEmpty());
    QCOMPARE(catalogue::CommandsOf(m).has_value(), catalogue::IsMeterType(m));
    if (!codes)
        return;
    QCOMPARE(toQString(codes->request), request);
    QCOMPARE(toQString(codes->reply), reply);
}

void TestCatalogue::requestCodeCarriesTheCountsOfItsKind()
{
    // Frame building writes the data field at positions derived from the kind,
    // so every offered request code must announce exactly that many bytes.
    for (const auto meter : catalogue::MeterTypeNames) {
        const auto list = catalogue::CommandsOf(meter);
        for (const auto command : list->commands) {
            const auto request = toQString(catalogue::Find_Code(meter, command)->request);
            const auto kind = catalogue::GetFrameKind(meter, command);
            QString counts = "000102";
            if (kind == catalogue::FrameKindRead)
                counts = "0002";
            else if (kind == catalogue::FrameKindSingle)
                counts = "000204";
            else if (command == catalogue::command::SetTime)
                counts = "000408";
            else if (command == catalogue::command::SetTariff)
                counts = "000F1E";
            QVERIFY2(request.size() == (kind == catalogue::FrameKindRead ? 12 : 14) && request.endsWith(counts),
                     qPrintable(toQString(meter) + " / " + toQString(command) + ": " + request));
        }
    }
}

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
