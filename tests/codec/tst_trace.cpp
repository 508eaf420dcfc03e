#include "codec/trace.h"

#include <QtTest>

namespace {

const QString Send = QStringLiteral("SEND : ");
const QString Rev = QStringLiteral("REV    : ");
const QString Break = QStringLiteral("\r\n             ");
const QString End = QStringLiteral("\r\n");

QString repeated(int n, const QString& byte)
{
    return QStringList(n, byte).join(' ');
}

} // namespace

// The SEND/REV trace lines the operator watches, in hex and in decimal.
class TestTrace : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
};

void TestTrace::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("hexLine");
    QTest::addColumn<QString>("decimalLine");
    const QByteArray from00to0F = QByteArray::fromHex("000102030405060708090A0B0C0D0E0F");
    QTest::newRow("SEND 01 04 01 56 00 02 90 27") << QByteArray::fromHex("0104015600029027") << 8 << 1
        << Send + "01 04 01 56 00 02 90 27" + End << Send + "1 4 1 86 0 2 144 39" + End;
    QTest::newRow("REV 00..0E") << from00to0F << 15 << 2
        << Rev + "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E" + End
        << Rev + "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14" + End;
    QTest::newRow("REV 00..0F") << from00to0F << 16 << 2
        << Rev + "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E" + Break + "0F" + End
        << Rev + "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15" + End;
    QTest::newRow("REV 12 x FF") << QByteArray(12, '\xFF') << 12 << 2
        << Rev + repeated(12, "FF") + End << Rev + repeated(11, "255") + Break + "255" + End;
    QTest::newRow("SEND 22 x 00") << QByteArray(22, '\0') << 22 << 1
        << Send + repeated(15, "00") + Break + repeated(7, "00") + End << Send + repeated(21, "0") + Break + "0" + End;
    QTest::newRow("SEND 39 x AB") << QByteArray(39, '\xAB') << 39 << 1
        << Send + repeated(15, "AB") + Break + repeated(15, "AB") + Break + repeated(9, "AB") + End
        << Send + repeated(11, "171") + Break + repeated(11, "171") + Break + repeated(11, "171") + Break
               + repeated(6, "171") + End;
    QTest::newRow("direction 3, no prefix") << QByteArray::fromHex("0A") << 1 << 3 << "0A" + End << "10" + End;
    // A receive buffer holds more than the reply; only RxCount bytes belong to it.
    QTest::newRow("REV count 0") << from00to0F << 0 << 2 << Rev + End << Rev + End;
    QTest::newRow("REV count 2 of 16") << from00to0F << 2 << 2 << Rev + "00 01" + End << Rev + "0 1" + End;
    QTest::newRow("REV count 20 of 4") << QByteArray::fromHex("01040444") << 20 << 2 << Rev + "01 04 04 44" + End
                                       << Rev + "1 4 4 68" + End;
}

void TestTrace::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(int, direction);
    QFETCH(QString, hexLine);
    QFETCH(QString, decimalLine);
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    QCOMPARE(QString::fromStdString(codec::AppendTraceHex(data, count, std::uint8_t(direction))), hexLine);
    QCOMPARE(QString::fromStdString(codec::AppendTraceDecimal(data, count, std::uint8_t(direction))), decimalLine);
}

QTEST_APPLESS_MAIN(TestTrace)
#include "tst_trace.moc"
