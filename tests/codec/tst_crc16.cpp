#include "codec/crc16.h"
#include "codec/hexcode.h"

#include <QtTest>

#include <random>

// Hex code texts as the code tables hold them, and the CRC-16 that closes every Modbus RTU frame.
class TestCrc16 : public QObject {
    Q_OBJECT
private slots:
    void digitValue_data();
    void digitValue();
    void codeText_data();
    void codeText();
    void crcTableParse();
    void frames_data();
    void frames();
    void count();
    void agreesWithBitwiseDefinition();
};

void TestCrc16::digitValue_data()
{
    QTest::addColumn<int>("character");
    QTest::addColumn<int>("value");
    QTest::newRow("'A'") << int('A') << 10;
    QTest::newRow("'F'") << int('F') << 15;
    QTest::newRow("'f'") << int('f') << 15;
    QTest::newRow("'G'") << int('G') << 0;
    QTest::newRow("' '") << int(' ') << 0;
    QTest::newRow("'-'") << int('-') << 0;
    QTest::newRow("':'") << int(':') << 0;
    QTest::newRow("'@'") << int('@') << 0;
    QTest::newRow("0x130") << 0x130 << 0;
}

void TestCrc16::digitValue()
{
    QFETCH(int, character);
    QFETCH(int, value);
    QCOMPARE(int(codec::HexDigitValue(static_cast<std::uint16_t>(character))), value);
}

void TestCrc16::codeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0110F91000020400000000") << "0110F91000020400000000"
                                            << QByteArray::fromHex("0110F91000020400000000");
    QTest::newRow("0110f7") << "0110f7" << QByteArray::fromHex("0110F7");
    QTest::newRow("01104, odd digit dropped") << "01104" << QByteArray::fromHex("0110");
}

void TestCrc16::codeText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const auto code = text.toStdString();
    const auto result = codec::HexCodeToBytes(code);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(result.data()), qsizetype(result.size())), bytes);
    // Pair by pair, and 0 for a pair that is not there.
    for (int k = 0; k <= bytes.size() + 1; ++k)
        QCOMPARE(int(codec::HexCodeByte(code, k)), k >= 1 && k <= bytes.size() ? int(quint8(bytes[k - 1])) : 0);
}

void TestCrc16::crcTableParse()
{
    const std::array<std::int32_t, 16> expected{0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                                0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
    QVERIFY(codec::ParseCrcTable(codec::CrcTableText) == expected);
    QVERIFY(codec::CrcTable() == expected);
}

void TestCrc16::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01 AA 01 -> 609F") << QByteArray::fromHex("01AA019F60");
    QTest::newRow("01 03 01 1E 00 02 -> F1A5") << QByteArray::fromHex("0103011E0002A5F1");
    QTest::newRow("01 10 00 1C 00 02 04 -> 630E") << QByteArray::fromHex("0110001C0002040E63");
    QTest::newRow("01 04 01 56 00 02 -> 2790") << QByteArray::fromHex("0104015600029027");
    QTest::newRow("'123456789' -> 4B37") << QByteArray("123456789\x37\x4B");
}

void TestCrc16::frames()
{
    QFETCH(QByteArray, frame);
    std::vector<std::uint8_t> data(frame.begin(), frame.end() - 2);
    // The value itself, and on the line low byte first.
    const int crc = quint8(frame[frame.size() - 2]) | quint8(frame[frame.size() - 1]) << 8;
    QCOMPARE(codec::ComputeCrc16(data, int(data.size())), crc);
    codec::AppendCrc16(data);
    QCOMPARE(data, std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

void TestCrc16::count()
{
    // A reply's CRC covers all but its own two bytes; n < 1 reads nothing, n past the data stops at its end.
    const QByteArray reply = QByteArray::fromHex("0104015600029027");
    const std::vector<std::uint8_t> data(reply.begin(), reply.end());
    QCOMPARE(codec::ComputeCrc16(data, 0), 0xFFFF);
    QCOMPARE(codec::ComputeCrc16(data, -1), 0xFFFF);
    QCOMPARE(codec::ComputeCrc16(data, 6), 0x2790);
    QCOMPARE(codec::ComputeCrc16(data, 300), 0x0000);
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
        // CRC-16/MODBUS one bit at a time.
        std::uint16_t expected = 0xFFFF;
        for (const auto b : data) {
            expected ^= b;
            for (int bit = 0; bit < 8; ++bit)
                expected = (expected & 1) ? (expected >> 1) ^ 0xA001 : expected >> 1;
        }
        QVERIFY2(codec::ComputeCrc16(data) == expected, qPrintable(QStringLiteral("run %1").arg(run)));
    }
}

QTEST_APPLESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
