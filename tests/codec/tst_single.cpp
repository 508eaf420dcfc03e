#include "codec/single.h"

#include <QtTest>

namespace {

// ByteValueToSingleBytes puts the least significant byte at index 0; the line wants it last.
QByteArray lineOrder(const std::array<std::uint8_t, 4>& out)
{
    const char line[4] = {char(out[3]), char(out[2]), char(out[1]), char(out[0])};
    return QByteArray(line, 4);
}

float fromLine(const QByteArray& b)
{
    const std::array<std::uint8_t, 4> bytes{quint8(b[0]), quint8(b[1]), quint8(b[2]), quint8(b[3])};
    return codec::SingleFromBytes(bytes);
}

} // namespace

// Singles in two registers, most significant byte first on the line.
class TestSingle : public QObject {
    Q_OBJECT
private slots:
    void byteValueToSingle_data();
    void byteValueToSingle();
    void singleFromBytes_data();
    void singleFromBytes();
    void everyByteValueRoundTrips();
};

void TestSingle::byteValueToSingle_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("0 -> 00 00 00 00") << 0 << QByteArray::fromHex("00000000");
    QTest::newRow("1 -> 3F 80 00 00") << 1 << QByteArray::fromHex("3F800000");
    QTest::newRow("2 -> 40 00 00 00") << 2 << QByteArray::fromHex("40000000");
    QTest::newRow("3 -> 40 40 00 00") << 3 << QByteArray::fromHex("40400000");
    QTest::newRow("4 -> 40 80 00 00") << 4 << QByteArray::fromHex("40800000");
    QTest::newRow("5 -> 40 A0 00 00") << 5 << QByteArray::fromHex("40A00000");
    QTest::newRow("128 -> 43 00 00 00") << 128 << QByteArray::fromHex("43000000");
    QTest::newRow("247 -> 43 77 00 00") << 247 << QByteArray::fromHex("43770000");
    QTest::newRow("255 -> 43 7F 00 00") << 255 << QByteArray::fromHex("437F0000");
    // Outside 0..255 the single stays exact instead of keeping only the low byte's bit length.
    QTest::newRow("256 -> 43 80 00 00") << 256 << QByteArray::fromHex("43800000");
    QTest::newRow("-1 -> BF 80 00 00") << -1 << QByteArray::fromHex("BF800000");
}

void TestSingle::byteValueToSingle()
{
    QFETCH(int, value);
    QFETCH(QByteArray, line);
    QCOMPARE(lineOrder(codec::ByteValueToSingleBytes(static_cast<std::int16_t>(value))).toHex(' '), line.toHex(' '));
}

void TestSingle::singleFromBytes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<float>("value");
    QTest::newRow("43 77 00 00 -> 247") << QByteArray::fromHex("43770000") << 247.0f;
    QTest::newRow("3F 80 00 00 -> 1") << QByteArray::fromHex("3F800000") << 1.0f;
    QTest::newRow("00 00 00 00 -> 0") << QByteArray::fromHex("00000000") << 0.0f;
    QTest::newRow("44 9A 52 2B -> 1234.5677") << QByteArray::fromHex("449A522B") << 1234.5677490234375f;
    QTest::newRow("FF 80 00 00 -> -inf") << QByteArray::fromHex("FF800000") << float(-qInf());
    QTest::newRow("7F C0 00 00 -> NaN") << QByteArray::fromHex("7FC00000") << float(qQNaN());
}

void TestSingle::singleFromBytes()
{
    QFETCH(QByteArray, line);
    QFETCH(float, value);
    // QCOMPARE takes NaN as equal to NaN.
    QCOMPARE(fromLine(line), value);
    const auto back = codec::SingleToLineBytes(fromLine(line));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(back.data()), 4).toHex(' '), line.toHex(' '));
}

void TestSingle::everyByteValueRoundTrips()
{
    for (int value = 0; value <= 255; ++value)
        QCOMPARE(fromLine(lineOrder(codec::ByteValueToSingleBytes(static_cast<std::int16_t>(value)))), float(value));
}

QTEST_APPLESS_MAIN(TestSingle)
#include "tst_single.moc"
