#include "engine/replyassembler.h"
#include "engine/replyend.h"
#include "engine/replyvalidation.h"

#include <QtTest>

namespace {

std::vector<std::uint8_t> bytes(const char *hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    return {b.begin(), b.end()};
}

} // namespace

// When the command line may end a reply without waiting, and how it names a rejection.
class TestReplyEnd : public QObject
{
    Q_OBJECT
private slots:
    void complete_data();
    void complete();
    void silence_data();
    void silence();
    void rejectionNamed_data();
    void rejectionNamed();
    void assembled_data();
    void assembled();
};

// Chunks as they arrive, "|" between two chunks, for the request 01 04 01 56 00 02 90 27.
void TestReplyEnd::assembled_data()
{
    QTest::addColumn<QString>("chunks");
    QTest::addColumn<bool>("skipEcho");
    QTest::addColumn<QString>("reply"); // what is kept as the reply
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("echoed");   // the request came back on a line not said to echo
    QTest::addColumn<int>("extra");     // trailing bytes of a whole reply, or bytes thrown away
    const QString reply = "010404449A522BB224";
    const QString request = "0104015600029027";
    QTest::newRow("whole reply") << reply << false << reply << true << false << 0;
    QTest::newRow("split in three") << "010404|449A52|2BB224" << false << reply << true << false << 0;
    QTest::newRow("echo skipped") << request + "|" + reply << true << reply << true << false << 0;
    QTest::newRow("echo in pieces, reply in the same chunk") << "01040156|0002902701|0404449A522BB224" << true << reply
                                                             << true << false << 0;
    QTest::newRow("echo expected, none comes") << reply << true << reply << true << false << 0;
    QTest::newRow("echo that diverges") << "01040156|0003" << true << "010401560003" << false << false << 0;
    QTest::newRow("echo not expected") << request + reply << false << request + reply << false << true << 0;
    QTest::newRow("bytes after the reply") << reply + "EEEE" << false << reply << true << false << 2;
    QTest::newRow("an exception frame") << "018402C2C1" << false << "018402C2C1" << true << false << 0;
    QTest::newRow("300 bytes of noise") << QString(600, 'F') << false << QString(512, 'F') << false << false << 44;
}

void TestReplyEnd::assembled()
{
    QFETCH(QString, chunks);
    QFETCH(bool, skipEcho);
    QFETCH(QString, reply);
    QFETCH(bool, complete);
    QFETCH(bool, echoed);
    QFETCH(int, extra);
    using Clock = engine::ReplyAssembler::Clock;
    const auto sent = Clock::time_point{} + std::chrono::seconds(1);
    engine::ReplyAssembler assembler;
    assembler.start(bytes("0104015600029027"), skipEcho, sent, std::chrono::milliseconds(4), std::chrono::milliseconds(100));
    auto at = sent;
    for (const auto &chunk : chunks.split('|')) {
        at += std::chrono::milliseconds(2);
        assembler.take(bytes(chunk.toLatin1().constData()), at);
    }
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(assembler.reply().data()), qsizetype(assembler.reply().size())).toHex().toUpper(),
             reply.toLatin1());
    QCOMPARE(assembler.complete(), complete);
    QCOMPARE(assembler.echoed(), echoed);
    QCOMPARE(int(complete ? assembler.trailing() : assembler.dropped()), extra);
    // Silence ends an unfinished reply 4 ms after its last byte; the time-out counts from the request's leaving.
    QCOMPARE(assembler.silenceDue(), complete || assembler.reply().empty() ? std::nullopt : std::optional(at + std::chrono::milliseconds(4)));
    QCOMPARE(assembler.timeoutDue(), sent + std::chrono::milliseconds(100));
}

void TestReplyEnd::complete_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<int>("expected"); // -1: not yet told
    QTest::addColumn<bool>("complete");
    QTest::newRow("01 04 04 44 9A 52 2B B2 24") << "010404449A522BB224" << 9 << true;
    QTest::newRow("01 04 04 44 9A 52 2B (CRC to come)") << "010404449A522B" << 9 << false;
    QTest::newRow("01 04 04 44 9A 52 2B B2 25 (bad CRC)") << "010404449A522BB225" << 9 << false;
    QTest::newRow("01 04 04 ... B2 24 + 2 more") << "010404449A522BB224EEEE" << 9 << true;
    QTest::newRow("01 10 00 1C 00 02 80 0E") << "0110001C0002800E" << 8 << true;
    QTest::newRow("01 84 02 C2 C1") << "018402C2C1" << 5 << true;
    QTest::newRow("01 04 (byte count to come)") << "0104" << -1 << false;
    QTest::newRow("01 (function to come)") << "01" << -1 << false;
    QTest::newRow("01 2B ... (a function no meter answers)") << "012B0E01" << -1 << false;
}

void TestReplyEnd::complete()
{
    QFETCH(QString, received);
    QFETCH(int, expected);
    QFETCH(bool, complete);
    const auto b = bytes(received.toLatin1());
    const auto length = engine::ExpectedReplyLength(b);
    QCOMPARE(length ? int(*length) : -1, expected);
    QCOMPARE(engine::ReplyComplete(b), complete);
}

void TestReplyEnd::silence_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<qint64>("microseconds");
    QTest::newRow("9600,N,8,1: 3.5 x 1.04 ms") << "9600,N,8,1" << qint64(3645);
    QTest::newRow("1200,E,8,1: 3.5 x 9.17 ms") << "1200,E,8,1" << qint64(32083);
    QTest::newRow("19200,N,8,1: still counted") << "19200,N,8,1" << qint64(1822);
    QTest::newRow("38400,N,8,1: fixed 1.75 ms") << "38400,N,8,1" << qint64(1750);
}

void TestReplyEnd::silence()
{
    QFETCH(QString, settings);
    QFETCH(qint64, microseconds);
    const auto s = engine::parseLineSettings(settings.toStdString()).value();
    QCOMPARE(qint64(std::chrono::duration_cast<std::chrono::microseconds>(engine::FrameSilence(s)).count()), microseconds);
}

void TestReplyEnd::rejectionNamed_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("why");
    QTest::newRow("exception 02") << "018402C2C1" << "exception 02 (Illegal Data Address)";
    QTest::newRow("exception with a bad CRC") << "018402C2C2" << "bad CRC";
    QTest::newRow("another slave") << "020404449A522BB224" << "wrong address 2";
    QTest::newRow("CRC high byte first") << "010404449A522B24B2" << "bad CRC";
    QTest::newRow("cut short") << "010404449A52" << "too short";
    QTest::newRow("byte count off") << "010406449A522BB224" << "byte count does not match the length";
    QTest::newRow("accepted") << "010404449A522BB224" << "accepted";
}

void TestReplyEnd::rejectionNamed()
{
    QFETCH(QString, reply);
    QFETCH(QString, why);
    QCOMPARE(QString::fromStdString(engine::RejectionText(bytes(reply.toLatin1()), 1, "010404")), why);
}

QTEST_APPLESS_MAIN(TestReplyEnd)
#include "tst_replyend.moc"
