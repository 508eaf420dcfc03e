#include "codec/crc16.h"
#include "codec/hexcode.h"

#include <QtTest>

// Hex code texts as the code tables hold them, and the CRC nibble table parsed from its text.
class TestHexCode : public QObject {
    Q_OBJECT
private slots:
    void digitValue_data();
    void digitValue();
    void codeTextToBytes_data();
    void codeTextToBytes();
    void codeByte_data();
    void codeByte();
    void crcTableParse();
    void crcTableParseOfShortText();
};

void TestHexCode::digitValue_data()
{
    QTest::addColumn<int>("character");
    QTest::addColumn<int>("value");
    QTest::newRow("'0'") << int('0') << 0;
    QTest::newRow("'9'") << int('9') << 9;
    QTest::newRow("'A'") << int('A') << 10;
    QTest::newRow("'F'") << int('F') << 15;
    QTest::newRow("'a'") << int('a') << 10;
    QTest::newRow("'f'") << int('f') << 15;
    QTest::newRow("'G'") << int('G') << 0;
    QTest::newRow("'g'") << int('g') << 0;
    QTest::newRow("' '") << int(' ') << 0;
    QTest::newRow("'-'") << int('-') << 0;
    QTest::newRow("'/' just below '0'") << int('/') << 0;
    QTest::newRow("':' just above '9'") << int(':') << 0;
    QTest::newRow("'@' just below 'A'") << int('@') << 0;
    QTest::newRow("'`' just below 'a'") << int('`') << 0;
    QTest::newRow("NUL") << 0 << 0;
    QTest::newRow("0x130 ('0' + 256)") << 0x130 << 0;
    QTest::newRow("0xFFFF") << 0xFFFF << 0;
}

void TestHexCode::digitValue()
{
    QFETCH(int, character);
    QFETCH(int, value);
    QCOMPARE(int(codec::HexDigitValue(static_cast<std::uint16_t>(character))), value);
}

void TestHexCode::codeTextToBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0110F91000020400000000 -> 01 10 F9 10 00 02 04 00 00 00 00")
        << "0110F91000020400000000" << QByteArray::fromHex("0110F91000020400000000");
    QTest::newRow("010401560002 -> 01 04 01 56 00 02") << "010401560002" << QByteArray::fromHex("010401560002");
    QTest::newRow("lowercase 0110f7 -> 01 10 F7") << "0110f7" << QByteArray::fromHex("0110F7");
    QTest::newRow("odd 01104 -> 01 10, last digit dropped") << "01104" << QByteArray::fromHex("0110");
    QTest::newRow("single digit -> nothing") << "7" << QByteArray();
    QTest::newRow("empty -> nothing") << "" << QByteArray();
    QTest::newRow("G1 -> 01, non-hex counts as 0") << "G1" << QByteArray::fromHex("01");
    QTest::newRow("'  ' -> 00") << "  " << QByteArray::fromHex("00");
}

void TestHexCode::codeTextToBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const auto result = codec::HexCodeToBytes(text.toStdString());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(result.data()), qsizetype(result.size())), bytes);
}

void TestHexCode::codeByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("value");
    QTest::newRow("0110001C000204 pair 1 -> 01") << "0110001C000204" << 1 << 0x01;
    QTest::newRow("0110001C000204 pair 4 -> 1C") << "0110001C000204" << 4 << 0x1C;
    QTest::newRow("0110001C000204 pair 7 -> 04") << "0110001C000204" << 7 << 0x04;
    QTest::newRow("0110001C000204 pair 8, past the end -> 0") << "0110001C000204" << 8 << 0;
    QTest::newRow("010404 pair 4, past the end -> 0") << "010404" << 4 << 0;
    QTest::newRow("01104 pair 3, half a pair -> 0") << "01104" << 3 << 0;
    QTest::newRow("010404 pair 0 -> 0") << "010404" << 0 << 0;
    QTest::newRow("010404 pair -1 -> 0") << "010404" << -1 << 0;
}

void TestHexCode::codeByte()
{
    QFETCH(QString, text);
    QFETCH(int, k);
    QFETCH(int, value);
    QCOMPARE(int(codec::HexCodeByte(text.toStdString(), k)), value);
}

void TestHexCode::crcTableParse()
{
    const std::array<std::int32_t, 16> expected{0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                                0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
    QCOMPARE(codec::CrcTableText.size(), std::size_t(64));
    QVERIFY(codec::ParseCrcTable(codec::CrcTableText) == expected);
    QVERIFY(codec::CrcTable() == expected);
}

void TestHexCode::crcTableParseOfShortText()
{
    // Missing digits read as 0 instead of past the text.
    const auto table = codec::ParseCrcTable("0000CC01D8");
    QCOMPARE(table[1], 0xCC01);
    QCOMPARE(table[2], 0xD800);
    for (std::size_t i = 3; i < table.size(); ++i)
        QCOMPARE(table[i], 0);
}

QTEST_APPLESS_MAIN(TestHexCode)
#include "tst_hexcode.moc"
