#include "engine/replyvalidation.h"

#include <QtTest>

namespace {

// The reply as the receive buffer holds it: RxCount bytes, then whatever an earlier reply left.
bool validate(const QByteArray& reply, int address, const QString& replyCode)
{
    std::array<std::uint8_t, 30> rx;
    rx.fill(0xEE);
    for (qsizetype i = 0; i < reply.size() && i < 30; ++i)
        rx[std::size_t(i)] = std::uint8_t(reply[i]);
    return engine::ValidateReply(rx, int(reply.size()), std::uint8_t(address), replyCode.toStdString());
}

} // namespace

// Acceptance of a gathered reply: address, function, echo or length, CRC.
class TestReplyValidation : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
    void countPastTheBufferIsRejected_data();
    void countPastTheBufferIsRejected();
};

void TestReplyValidation::replies_data()
{
    QTest::addColumn<QString>("replyCode");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");

    const auto row = [](const char* code, int address, const char* hex, bool accepted, const char* why = "") {
        const auto reply = QByteArray::fromHex(hex);
        QTest::addRow("%s to %s@%d%s%s", reply.toHex(' ').toUpper().constData(), code, address, *why ? ": " : "",
                      why)
            << code << address << reply << accepted;
    };

    // Worked replies.
    row("010404", 1, "010404449A522BB224", true);
    row("0110001C000204", 1, "0110001C0002800E", true);
    row("0110001C000204", 1, "01100014000201CC", false, "echoes the wrong register");

    // Read replies.
    row("010404", 2, "010404449A522BB224", false, "other slave");
    row("010404", 2, "020404449A522B8124", true);
    row("010404", 0, "00040 43F800000E6B8", true, "address 0");
    row("010404", 255, "FF04043F800000E9B7", true, "address 255");
    row("010304", 1, "0103040000 04B53944", true);
    row("010404", 1, "010304449A522BB393", true, "0x03 answers a 0x04 request");
    row("010404", 1, "010404449A522B00A475", false, "byte count 4 in 10 bytes");
    row("010404", 1, "010405449A522B8FE4", false, "byte count 5 in 9 bytes");
    row("010404", 1, "010405449A522B00A5A4", true, "byte count 5 in 10 bytes");
    row("010404", 1, "010404449A522B24B2", false, "CRC high byte first");
    row("010404", 1, "010404449A522BB225", false, "CRC off by one");
    row("010404", 1, "010404449A522CB224", false, "data changed");
    row("010404", 1, "0104060000 3F8000006D6F", true, "three registers");
    row("010404", 1, "010419000000000000000000000000000000000000000000 3F800000FE62", true, "30 bytes");
    row("010404", 1, "010402000579 33", false, "one register cannot carry the energy");
    row("010404", 1, "0104030000 05304D", false, "three data bytes");
    row("010404", 1, "0104", false, "two bytes");

    // Write echoes: only function, register and count are compared.
    row("0110F800000102", 1, "0110F800000130A9", true, "byte count of the code not compared");
    row("0110F8000001FF", 1, "0110F800000130A9", true, "seventh code byte ignored");
    row("0110001C000204", 1, "0110001C000341CE", false, "count 3");
    row("0110001C000204", 1, "0110001D0002D1CE", false, "register 0x1D");
    row("0110001C000204", 1, "0116001C0002080E", false, "function 0x16");
    row("0110001C000204", 247, "F710001C00029498", true, "address 247");
    row("0110001C000204", 1, "0110001C0002", false, "no CRC");
    row("0110001C000204", 1, "0110001C000280", false, "seven bytes");
    row("010404", 1, "0110001C0002800E", false, "write echo while a read is outstanding");
    row("", 1, "0110001C0002800E", false, "no reply code");

    // Exception replies.
    row("010404", 1, "018402C2C1", false, "exception to 0x04");
    row("010304", 1, "018302C0F1", false, "exception to 0x03");
    row("0110001C000204", 1, "019002CDC1", false, "exception to 0x10");

    // Too short to judge.
    row("010404", 1, "", false, "nothing");
    row("010404", 1, "01", false, "one byte");
}

void TestReplyValidation::replies()
{
    QFETCH(QString, replyCode);
    QFETCH(int, address);
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QCOMPARE(validate(reply, address, replyCode), accepted);
}

void TestReplyValidation::countPastTheBufferIsRejected_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("RxCount 31") << 31;
    QTest::newRow("RxCount 32767") << 32767;
    QTest::newRow("RxCount -1") << -1;
}

void TestReplyValidation::countPastTheBufferIsRejected()
{
    QFETCH(int, count);
    std::array<std::uint8_t, 30> rx{};
    const auto reply = QByteArray::fromHex("010404449A522BB224");
    for (qsizetype i = 0; i < reply.size(); ++i)
        rx[std::size_t(i)] = std::uint8_t(reply[i]);
    QVERIFY(engine::ValidateReply(rx, int(reply.size()), 1, "010404"));
    QVERIFY(!engine::ValidateReply(rx, count, 1, "010404"));
}

QTEST_APPLESS_MAIN(TestReplyValidation)
#include "tst_replyvalidation.moc"
