#include "codec/trace.h"

#include <QtTest>

namespace {

const QString SendPrefix = QStringLiteral("SEND : ");
const QString RevPrefix = QStringLiteral("REV    : ");
const QString Break = QStringLiteral("\r\n             ");
const QString End = QStringLiteral("\r\n");

std::vector<std::uint8_t> bytesOf(const QByteArray& a)
{
    return {a.begin(), a.end()};
}

} // namespace

// The SEND/REV trace lines the operator watches, in hex and in decimal.
class TestTrace : public QObject {
    Q_OBJECT
private slots:
    void hex_data();
    void hex();
    void decimal_data();
    void decimal();
    void countLimitsTheBytesWritten_data();
    void countLimitsTheBytesWritten();
    void noDataLine();
};

void TestTrace::hex_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("line");
    QTest::newRow("SEND 01 04 01 56 00 02 90 27")
        << QByteArray::fromHex("0104015600029027") << 1 << SendPrefix + "01 04 01 56 00 02 90 27" + End;
    QTest::newRow("REV 00..0F, 16th byte on the continuation line")
        << QByteArray::fromHex("000102030405060708090A0B0C0D0E0F") << 2
        << RevPrefix + "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E" + Break + "0F" + End;
    QTest::newRow("REV 00..0E, exactly 15 bytes, no break")
        << QByteArray::fromHex("000102030405060708090A0B0C0D0E") << 2
        << RevPrefix + "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E" + End;
    QTest::newRow("SEND 39 bytes -> 15 + 15 + 9")
        << QByteArray(39, '\xAB') << 1
        << SendPrefix + QStringList(15, "AB").join(' ') + Break + QStringList(15, "AB").join(' ') + Break
               + QStringList(9, "AB").join(' ') + End;
    QTest::newRow("SEND 00 FF") << QByteArray::fromHex("00FF") << 1 << SendPrefix + "00 FF" + End;
    QTest::newRow("SEND no bytes") << QByteArray() << 1 << SendPrefix + End;
    QTest::newRow("REV no bytes") << QByteArray() << 2 << RevPrefix + End;
    QTest::newRow("direction 0, no prefix") << QByteArray::fromHex("0A") << 0 << "0A" + End;
    QTest::newRow("direction 3, no prefix") << QByteArray::fromHex("0A") << 3 << "0A" + End;
}

void TestTrace::hex()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, direction);
    QFETCH(QString, line);
    const auto data = bytesOf(bytes);
    QCOMPARE(QString::fromStdString(codec::AppendTraceHex(data, int(data.size()), std::uint8_t(direction))), line);
}

void TestTrace::decimal_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("line");
    QTest::newRow("SEND 1 4 1 86 0 2 144 39")
        << QByteArray::fromHex("0104015600029027") << 1 << SendPrefix + "1 4 1 86 0 2 144 39" + End;
    QTest::newRow("REV eleven 255s fit on one line")
        << QByteArray(11, '\xFF') << 2 << RevPrefix + QStringList(11, "255").join(' ') + End;
    QTest::newRow("REV twelve 255s, the twelfth continues")
        << QByteArray(12, '\xFF') << 2 << RevPrefix + QStringList(11, "255").join(' ') + Break + "255" + End;
    QTest::newRow("SEND 21 zeros fit on one line")
        << QByteArray(21, '\0') << 1 << SendPrefix + QStringList(21, "0").join(' ') + End;
    QTest::newRow("SEND 22 zeros, the 22nd continues")
        << QByteArray(22, '\0') << 1 << SendPrefix + QStringList(21, "0").join(' ') + Break + "0" + End;
    QTest::newRow("SEND 10 99") << QByteArray::fromHex("0A63") << 1 << SendPrefix + "10 99" + End;
    QTest::newRow("SEND no bytes") << QByteArray() << 1 << SendPrefix + End;
    QTest::newRow("direction 0, no prefix") << QByteArray::fromHex("FF00") << 0 << "255 0" + End;
}

void TestTrace::decimal()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, direction);
    QFETCH(QString, line);
    const auto data = bytesOf(bytes);
    QCOMPARE(QString::fromStdString(codec::AppendTraceDecimal(data, int(data.size()), std::uint8_t(direction))), line);
}

void TestTrace::countLimitsTheBytesWritten_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("hexLine");
    QTest::addColumn<QString>("decimalLine");
    QTest::newRow("count 0") << 0 << RevPrefix + End << RevPrefix + End;
    QTest::newRow("count 2 of 4") << 2 << RevPrefix + "01 04" + End << RevPrefix + "1 4" + End;
    QTest::newRow("count 9 of 4, clamped") << 9 << RevPrefix + "01 04 04 44" + End << RevPrefix + "1 4 4 68" + End;
    QTest::newRow("count -1") << -1 << RevPrefix + End << RevPrefix + End;
}

void TestTrace::countLimitsTheBytesWritten()
{
    QFETCH(int, count);
    QFETCH(QString, hexLine);
    QFETCH(QString, decimalLine);
    // A receive buffer holds more than the reply; only RxCount bytes belong to it.
    const auto data = bytesOf(QByteArray::fromHex("01040444"));
    QCOMPARE(QString::fromStdString(codec::AppendTraceHex(data, count, codec::TraceReceive)), hexLine);
    QCOMPARE(QString::fromStdString(codec::AppendTraceDecimal(data, count, codec::TraceReceive)), decimalLine);
}

void TestTrace::noDataLine()
{
    QCOMPARE(QString::fromLatin1(codec::NoDataTraceLine.data(), qsizetype(codec::NoDataTraceLine.size())),
             QStringLiteral("REV    : NO DATA\r\n"));
}

QTEST_APPLESS_MAIN(TestTrace)
#include "tst_trace.moc"
