#include "codec/single.h"

#include <QtTest>

#include <cmath>

namespace {

// ByteValueToSingleBytes puts the least significant byte at index 0; the line wants it last.
QByteArray lineOrder(const std::array<std::uint8_t, 4>& out)
{
    const char line[4] = {char(out[3]), char(out[2]), char(out[1]), char(out[0])};
    return QByteArray(line, 4);
}

float fromLine(const QByteArray& bytes)
{
    const std::array<std::uint8_t, 4> b{std::uint8_t(bytes[0]), std::uint8_t(bytes[1]), std::uint8_t(bytes[2]),
                                        std::uint8_t(bytes[3])};
    return codec::SingleFromBytes(b);
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
    void singleFromBytesPassesNonFiniteThrough_data();
    void singleFromBytesPassesNonFiniteThrough();
    void everyByteValueRoundTrips();
    void singleToLineBytesInvertsSingleFromBytes();
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
    // Outside 0..255 the conversion stays exact rather than keeping only the low byte's bit length.
    QTest::newRow("256 -> 43 80 00 00") << 256 << QByteArray::fromHex("43800000");
    QTest::newRow("1000 -> 44 7A 00 00") << 1000 << QByteArray::fromHex("447A0000");
    QTest::newRow("32767 -> 46 FF FE 00") << 32767 << QByteArray::fromHex("46FFFE00");
    QTest::newRow("-1 -> BF 80 00 00") << -1 << QByteArray::fromHex("BF800000");
    QTest::newRow("-32768 -> C7 00 00 00") << -32768 << QByteArray::fromHex("C7000000");
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
    QTest::addColumn<double>("value");
    QTest::newRow("43 77 00 00 -> 247") << QByteArray::fromHex("43770000") << 247.0;
    QTest::newRow("3F 80 00 00 -> 1") << QByteArray::fromHex("3F800000") << 1.0;
    QTest::newRow("00 00 00 00 -> 0") << QByteArray::fromHex("00000000") << 0.0;
    QTest::newRow("44 9A 52 2B -> 1234.5677490234375") << QByteArray::fromHex("449A522B") << 1234.5677490234375;
    QTest::newRow("C0 00 00 00 -> -2") << QByteArray::fromHex("C0000000") << -2.0;
    QTest::newRow("00 00 00 01 -> smallest subnormal") << QByteArray::fromHex("00000001") << std::ldexp(1.0, -149);
}

void TestSingle::singleFromBytes()
{
    QFETCH(QByteArray, line);
    QFETCH(double, value);
    QCOMPARE(double(fromLine(line)), value);
}

void TestSingle::singleFromBytesPassesNonFiniteThrough_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isNan");
    QTest::addColumn<double>("infinity");
    QTest::newRow("7F 80 00 00 -> +inf") << QByteArray::fromHex("7F800000") << false << HUGE_VAL;
    QTest::newRow("FF 80 00 00 -> -inf") << QByteArray::fromHex("FF800000") << false << -HUGE_VAL;
    QTest::newRow("7F C0 00 00 -> NaN") << QByteArray::fromHex("7FC00000") << true << 0.0;
    QTest::newRow("FF FF FF FF -> NaN") << QByteArray::fromHex("FFFFFFFF") << true << 0.0;
}

void TestSingle::singleFromBytesPassesNonFiniteThrough()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isNan);
    QFETCH(double, infinity);
    const double x = fromLine(line);
    if (isNan)
        QVERIFY(std::isnan(x));
    else
        QCOMPARE(x, infinity);
}

void TestSingle::everyByteValueRoundTrips()
{
    for (int value = 0; value <= 255; ++value) {
        const auto line = lineOrder(codec::ByteValueToSingleBytes(static_cast<std::int16_t>(value)));
        QCOMPARE(fromLine(line), float(value));
    }
}

void TestSingle::singleToLineBytesInvertsSingleFromBytes()
{
    for (const char* hex : {"449A522B", "3F800000", "C7000000", "00000001", "7F7FFFFF"}) {
        const auto line = QByteArray::fromHex(hex);
        const auto back = codec::SingleToLineBytes(fromLine(line));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(back.data()), 4).toHex(), line.toHex());
    }
}

QTEST_APPLESS_MAIN(TestSingle)
#include "tst_single.moc"
