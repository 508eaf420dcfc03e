#include "codec/mbap.h"

#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(codec::MbapCheck)

namespace {

std::vector<std::uint8_t> bytes(const QByteArray &hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return {raw.begin(), raw.end()};
}

QByteArray hex(std::span<const std::uint8_t> data)
{
    return QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size())).toHex(' ').toUpper();
}

} // namespace

// Modbus TCP framing of the window's RTU frames, by worked examples.
class TestMbap : public QObject
{
    Q_OBJECT
private slots:
    void requests_data()
    {
        QTest::addColumn<QByteArray>("rtu");
        QTest::addColumn<int>("transaction");
        QTest::addColumn<QByteArray>("adu");
        QTest::newRow("01 04 01 56 00 02 90 27, tid 1 -> 00 01 00 00 00 06 01 04 01 56 00 02")
            << QByteArray("01 04 01 56 00 02 90 27") << 1 << QByteArray("00 01 00 00 00 06 01 04 01 56 00 02");
        QTest::newRow("0C 03 01 1E 00 02 A4 EC, tid 0x1234: unit id 12")
            << QByteArray("0C 03 01 1E 00 02 A4 EC") << 0x1234 << QByteArray("12 34 00 00 00 06 0C 03 01 1E 00 02");
        QTest::newRow("01 10 00 1C 00 02 04 40 00 00 00 E7 36, tid 0xFFFF")
            << QByteArray("01 10 00 1C 00 02 04 40 00 00 00 E7 36") << 0xFFFF
            << QByteArray("FF FF 00 00 00 0B 01 10 00 1C 00 02 04 40 00 00 00");
        QTest::newRow("00 04 01 56 00 02 91 F6, broadcast address as unit id 0")
            << QByteArray("00 04 01 56 00 02 91 F6") << 7 << QByteArray("00 07 00 00 00 06 00 04 01 56 00 02");
        QTest::newRow("01 04 CRC, smallest frame: function code only")
            << QByteArray("01 04 00 00") << 2 << QByteArray("00 02 00 00 00 02 01 04");
        QTest::newRow("01 90 27, no function code -> nothing") << QByteArray("01 90 27") << 1 << QByteArray();
        QTest::newRow("empty -> nothing") << QByteArray() << 1 << QByteArray();
    }

    void requests()
    {
        QFETCH(QByteArray, rtu);
        QFETCH(int, transaction);
        QFETCH(QByteArray, adu);
        QCOMPARE(hex(codec::RtuToMbap(bytes(rtu), quint16(transaction))), adu);
    }

    // A PDU of 253 bytes is the largest an ADU's length can announce.
    void largestPdu()
    {
        std::vector<std::uint8_t> frame(1 + 253 + 2, 0x11);
        const auto adu = codec::RtuToMbap(frame, 1);
        QCOMPARE(adu.size(), std::size_t(7 + 253));
        QCOMPARE(codec::ReadMbapHeader(adu)->length, quint16(254));
        frame.push_back(0x11);
        QVERIFY(codec::RtuToMbap(frame, 1).empty());
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("adu");
        QTest::addColumn<int>("transaction"); // of the request it should answer
        QTest::addColumn<codec::MbapCheck>("check");
        QTest::addColumn<QByteArray>("rtu");
        using codec::MbapCheck;
        QTest::newRow("00 01 00 00 00 07 01 04 04 44 9A 52 2B -> 01 04 04 44 9A 52 2B B2 24")
            << QByteArray("00 01 00 00 00 07 01 04 04 44 9A 52 2B") << 1 << MbapCheck::Good
            << QByteArray("01 04 04 44 9A 52 2B B2 24");
        QTest::newRow("write echo 00 02 00 00 00 06 01 10 00 1C 00 02 -> ... 80 0E")
            << QByteArray("00 02 00 00 00 06 01 10 00 1C 00 02") << 2 << MbapCheck::Good
            << QByteArray("01 10 00 1C 00 02 80 0E");
        QTest::newRow("exception 00 03 00 00 00 03 01 84 02 -> 01 84 02 C2 C1")
            << QByteArray("00 03 00 00 00 03 01 84 02") << 3 << MbapCheck::Good << QByteArray("01 84 02 C2 C1");
        QTest::newRow("another slave's unit id is passed on for the window to judge")
            << QByteArray("00 04 00 00 00 06 0C 03 01 1E 00 02") << 4 << MbapCheck::Good
            << QByteArray("0C 03 01 1E 00 02 A4 EC");
        QTest::newRow("tid 00 02 answering tid 1: another request's reply")
            << QByteArray("00 02 00 00 00 07 01 04 04 44 9A 52 2B") << 1 << MbapCheck::Transaction << QByteArray();
        QTest::newRow("tid byte order: 01 00 is not 00 01")
            << QByteArray("01 00 00 00 00 07 01 04 04 44 9A 52 2B") << 1 << MbapCheck::Transaction << QByteArray();
        QTest::newRow("protocol 00 01") << QByteArray("00 01 00 01 00 07 01 04 04 44 9A 52 2B") << 1
                                        << MbapCheck::Protocol << QByteArray();
        QTest::newRow("length 08, 7 bytes follow") << QByteArray("00 01 00 00 00 08 01 04 04 44 9A 52 2B") << 1
                                                   << MbapCheck::Length << QByteArray();
        QTest::newRow("length 06, 7 bytes follow") << QByteArray("00 01 00 00 00 06 01 04 04 44 9A 52 2B") << 1
                                                   << MbapCheck::Length << QByteArray();
        QTest::newRow("length 01: no function code") << QByteArray("00 01 00 00 00 01 01 04") << 1
                                                     << MbapCheck::Length << QByteArray();
        QTest::newRow("header alone") << QByteArray("00 01 00 00 00 01 01") << 1 << MbapCheck::Short << QByteArray();
        QTest::newRow("RTU reply taken for an ADU") << QByteArray("01 04 04 44 9A 52 2B B2 24") << 0x0104
                                                    << MbapCheck::Protocol << QByteArray();
    }

    void replies()
    {
        QFETCH(QByteArray, adu);
        QFETCH(int, transaction);
        QFETCH(codec::MbapCheck, check);
        QFETCH(QByteArray, rtu);
        const auto reply = codec::MbapReplyToRtu(bytes(adu), quint16(transaction));
        QCOMPARE(reply.check, check);
        QCOMPARE(hex(reply.rtu), rtu);
        // A server takes any transaction, and answers under the same id.
        const auto request = codec::MbapToRtu(bytes(adu));
        QCOMPARE(request.check == codec::MbapCheck::Good, check == codec::MbapCheck::Good || check == codec::MbapCheck::Transaction);
        if (request.check == codec::MbapCheck::Good)
            QCOMPARE(hex(codec::RtuToMbap(request.rtu, request.transactionId)), adu);
    }

    // A receiver cutting ADUs off its stream as segments arrive keeps the
    // Modbus ones and finds its way back after bytes that frame nothing.
    void stream_data()
    {
        QTest::addColumn<QList<QByteArray>>("segments");
        QTest::addColumn<QList<QByteArray>>("adus"); // the Modbus ADUs cut, in order
        QTest::addColumn<QByteArray>("kept");       // what waits for more
        const QByteArray read = "00 01 00 00 00 07 01 04 04 44 9A 52 2B";
        const QByteArray echo = "00 02 00 00 00 06 01 10 00 1C 00 02";
        QTest::newRow("one ADU, one segment") << QList<QByteArray>{read} << QList<QByteArray>{read} << QByteArray();
        QTest::newRow("one ADU over three segments")
            << QList<QByteArray>{"00 01 00", "00 00 07 01 04 04", "44 9A 52 2B"} << QList<QByteArray>{read}
            << QByteArray();
        QTest::newRow("two ADUs in one segment") << QList<QByteArray>{read + " " + echo}
                                                 << QList<QByteArray>{read, echo} << QByteArray();
        QTest::newRow("an ADU and the start of the next")
            << QList<QByteArray>{read + " 00 02 00"} << QList<QByteArray>{read} << QByteArray("00 02 00");
        QTest::newRow("protocol 00 05 skipped by its length, the next kept")
            << QList<QByteArray>{"00 09 00 05 00 03 01 02 03 " + read} << QList<QByteArray>{read} << QByteArray();
        QTest::newRow("length 00 00: dropped up to the next header")
            << QList<QByteArray>{"00 01 00 00 00 00 " + read} << QList<QByteArray>{read} << QByteArray();
        QTest::newRow("RTU reply from a gateway in the other mode, then an ADU")
            << QList<QByteArray>{"01 04 04 44 9A 52 2B B2 24", read} << QList<QByteArray>{read} << QByteArray();
        QTest::newRow("RTU reply alone: its last bytes wait, they could start a header")
            << QList<QByteArray>{"01 04 04 44 9A 52 2B B2 24"} << QList<QByteArray>{} << QByteArray("B2 24");
        QTest::newRow("length 01 00 never comes: dropped") << QList<QByteArray>{"00 01 00 00 01 00 01 04 04"}
                                                            << QList<QByteArray>{} << QByteArray("04 04");
    }

    void stream()
    {
        QFETCH(QList<QByteArray>, segments);
        QFETCH(QList<QByteArray>, adus);
        QFETCH(QByteArray, kept);
        std::vector<std::uint8_t> buffer;
        QList<QByteArray> cut;
        for (const QByteArray &segment : std::as_const(segments)) {
            const auto more = bytes(segment);
            buffer.insert(buffer.end(), more.begin(), more.end());
            for (auto front = codec::CutMbapFront(buffer); front.front != codec::MbapFront::Incomplete;
                 front = codec::CutMbapFront(buffer)) {
                QVERIFY(front.size > 0 && front.size <= buffer.size());
                if (front.front == codec::MbapFront::Adu)
                    cut << hex(std::span(buffer).first(front.size));
                buffer.erase(buffer.begin(), buffer.begin() + qsizetype(front.size));
            }
        }
        QCOMPARE(cut, adus);
        QCOMPARE(hex(buffer), kept);
    }
};

QTEST_APPLESS_MAIN(TestMbap)
#include "tst_mbap.moc"
