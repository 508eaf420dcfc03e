#include "codec/crc16.h"

#include <QtTest>

#include <random>

namespace {

std::vector<std::uint8_t> bytesOf(const QByteArray& a)
{
    return {a.begin(), a.end()};
}

// CRC-16/MODBUS one bit at a time: the textbook definition the nibble table must agree with.
std::uint16_t bitwiseCrc16(const std::vector<std::uint8_t>& data)
{
    std::uint16_t crc = 0xFFFF;
    for (const auto b : data) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

} // namespace

// The CRC-16 that closes every Modbus RTU frame.
class TestCrc16 : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void appendsLowByteFirst_data();
    void appendsLowByteFirst();
    void countBelowOneGivesInitialValue_data();
    void countBelowOneGivesInitialValue();
    void readsOnlyTheFirstNBytes();
    void countPastTheDataIsClamped();
    void agreesWithBitwiseDefinition();
};

void TestCrc16::frames_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<quint16>("crc");
    QTest::newRow("01 AA 01 -> 609F") << QByteArray::fromHex("01AA01") << quint16(0x609F);
    QTest::newRow("01 03 01 1E 00 02 -> F1A5") << QByteArray::fromHex("0103011E0002") << quint16(0xF1A5);
    QTest::newRow("01 10 00 1C 00 02 04 -> 630E") << QByteArray::fromHex("0110001C000204") << quint16(0x630E);
    QTest::newRow("01 04 01 56 00 02 -> 2790") << QByteArray::fromHex("010401560002") << quint16(0x2790);
    QTest::newRow("'123456789' -> 4B37") << QByteArray("123456789") << quint16(0x4B37);
    QTest::newRow("01 04 04 44 9A 52 2B -> 24B2") << QByteArray::fromHex("010404449A522B") << quint16(0x24B2);
    QTest::newRow("01 10 00 1C 00 02 -> 0E80") << QByteArray::fromHex("0110001C0002") << quint16(0x0E80);
    QTest::newRow("00 -> 40BF") << QByteArray::fromHex("00") << quint16(0x40BF);
    QTest::newRow("FF -> 00FF") << QByteArray::fromHex("FF") << quint16(0x00FF);
}

void TestCrc16::frames()
{
    QFETCH(QByteArray, body);
    QFETCH(quint16, crc);
    const auto data = bytesOf(body);
    QCOMPARE(codec::ComputeCrc16(data, int(data.size())), std::int32_t(crc));
    QCOMPARE(codec::ComputeCrc16(data), std::int32_t(crc));
}

void TestCrc16::appendsLowByteFirst_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01 AA 01 -> 01 AA 01 9F 60") << QByteArray::fromHex("01AA01") << QByteArray::fromHex("01AA019F60");
    QTest::newRow("01 03 01 1E 00 02 -> .. A5 F1")
        << QByteArray::fromHex("0103011E0002") << QByteArray::fromHex("0103011E0002A5F1");
    QTest::newRow("01 04 01 56 00 02 -> .. 90 27")
        << QByteArray::fromHex("010401560002") << QByteArray::fromHex("0104015600029027");
}

void TestCrc16::appendsLowByteFirst()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, frame);
    auto data = bytesOf(body);
    codec::AppendCrc16(data);
    QCOMPARE(data, bytesOf(frame));
}

void TestCrc16::countBelowOneGivesInitialValue_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("n = 0") << 0;
    QTest::newRow("n = -1") << -1;
    QTest::newRow("n = -32768") << -32768;
}

void TestCrc16::countBelowOneGivesInitialValue()
{
    QFETCH(int, n);
    const std::vector<std::uint8_t> data{0x01, 0xAA, 0x01};
    QCOMPARE(codec::ComputeCrc16(data, n), 0xFFFF);
    QCOMPARE(codec::ComputeCrc16(std::span<const std::uint8_t>{}, n), 0xFFFF);
}

void TestCrc16::readsOnlyTheFirstNBytes()
{
    // A reply's CRC covers everything but its own two bytes.
    const auto reply = bytesOf(QByteArray::fromHex("0104015600029027"));
    QCOMPARE(codec::ComputeCrc16(reply, 6), 0x2790);
}

void TestCrc16::countPastTheDataIsClamped()
{
    const auto data = bytesOf(QByteArray::fromHex("01AA01"));
    QCOMPARE(codec::ComputeCrc16(data, 300), 0x609F);
}

void TestCrc16::agreesWithBitwiseDefinition()
{
    std::mt19937 random(20240303);
    std::uniform_int_distribution<int> length(1, 256);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int run = 0; run < 5000; ++run) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(length(random)));
        for (auto& b : data)
            b = static_cast<std::uint8_t>(byte(random));
        const auto expected = bitwiseCrc16(data);
        const auto actual = codec::ComputeCrc16(data);
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("run %1, %2 bytes %3: got %4, bitwise %5")
                                 .arg(run)
                                 .arg(data.size())
                                 .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(data.data()),
                                                                     qsizetype(data.size())).toHex(' ')))
                                 .arg(actual, 4, 16, QLatin1Char('0'))
                                 .arg(expected, 4, 16, QLatin1Char('0'))));
    }
}

QTEST_APPLESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
