#include "catalogue/catalogue.h"
#include "engine/parameters.h"
#include "engine/requestframe.h"

#include <QtTest>

#include <cstring>

namespace {

// TimeData or TariffData from its bytes in frame order; missing bytes are 0.
template <typename Bytes>
Bytes fromHex(const QByteArray& hex)
{
    Bytes bytes{};
    const auto b = QByteArray::fromHex(hex);
    std::memcpy(&bytes, b.constData(), std::min(sizeof bytes, std::size_t(b.size())));
    return bytes;
}

} // namespace

// Request frames laid out from the selection, the address and the accepted value.
class TestRequestFrame : public QObject {
    Q_OBJECT
private slots:
    void workedFrames_data();
    void workedFrames();
    void nothingToSend_data();
    void nothingToSend();
};

void TestRequestFrame::workedFrames_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("value1");
    QTest::addColumn<QString>("value2");
    QTest::addColumn<QByteArray>("data"); // TimeData or TariffData
    QTest::addColumn<QByteArray>("frame");

    const auto row = [](const char* meter, const char* command, int address, const char* v1, const char* v2,
                        const char* frameHex, const char* data = "") {
        const auto frame = QByteArray::fromHex(frameHex);
        QTest::addRow("%s %s -> %s", meter, command, frame.toHex(' ').toUpper().constData())
            << meter << command << address << v1 << v2 << QByteArray(data) << frame;
    };
    row("Tarvik CT", "Read Energy", 1, "", "", "0104015600029027");
    row("Tarvik CT", "Read Energy", 10, "", "", "0A040156000291 5C");
    row("Tarvik CT", "Modify Baud Rate", 1, "9600", "", "0110001C0002044000000 0E736");
    row("Tarvik CT", "Modify Meter Address", 1, "2", "", "011000140002044000000 0E690");
    row("Tarvik CT", "Modify Parity", 1, "EVEN", "1", "01100012000204 3F800000 7E86");
    row("Morel-K", "Modify Baud Rate", 1, "9600", "", "0110F80000010200 04DE5C");
    row("Morel-K", "Set CT", 1, "100", "5", "0110F90000010200 04CE9C");
    row("Morel-N", "Modify Meter Address", 1, "2", "", "0110F60000010200 02B19E");
    row("Morel-N", "Set Time", 1, "", "", "0110F000000408 5859230131122420 B5A6", "5859230131122420");
    row("Pesca-N", "Set Tariff", 1, "", "",
        "0110F700000F1E 013008" "000000000000000000000000000000000000000000000000000000" "8D38", "013008");
}

void TestRequestFrame::workedFrames()
{
    QFETCH(QString, meter);
    QFETCH(QString, command);
    QFETCH(int, address);
    QFETCH(QString, value1);
    QFETCH(QString, value2);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);
    const auto m = meter.toStdString();
    const auto c = command.toStdString();
    const auto kind = catalogue::GetFrameKind(m, c);
    engine::OperationState state;
    const auto verdict = engine::AcceptParameter(state, m, c, kind, value1.toStdString(), value2.toStdString());
    QVERIFY(verdict.accepted);
    const bool time = command == "Set Time";
    const auto built = engine::BuildRequestFrame(kind, c, catalogue::Find_Code(m, c)->request, std::uint8_t(address),
                                                 verdict.code, fromHex<engine::TimeBytes>(time ? data : ""),
                                                 fromHex<engine::TariffBytes>(time ? "" : data));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(built.data()), qsizetype(built.size())).toHex(' ').toUpper(),
             frame.toHex(' ').toUpper());
}

void TestRequestFrame::nothingToSend_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("requestCode");
    QTest::newRow("kind 0") << 0 << "010401560002";
    QTest::newRow("kind 4") << 4 << "010401560002";
    QTest::newRow("empty request code") << 1 << "";
    QTest::newRow("31-byte request code") << 1 << QString(62, '1');
}

void TestRequestFrame::nothingToSend()
{
    QFETCH(int, kind);
    QFETCH(QString, requestCode);
    QVERIFY(engine::BuildRequestFrame(std::uint8_t(kind), "Read Energy", requestCode.toStdString(), 1, 0, {}, {})
                .empty());
}

QTEST_APPLESS_MAIN(TestRequestFrame)
#include "tst_requestframe.moc"
