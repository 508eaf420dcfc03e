#include "engine/replyvalidation.h"

#include <QtTest>

// Acceptance of a gathered reply: address, function, echo or length, CRC.
class TestReplyValidation : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
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
        QTest::addRow("%s to %s@%d %s", reply.toHex(' ').toUpper().constData(), code, address, why)
            << code << address << reply << accepted;
    };
    row("010404", 1, "010404449A522BB224", true);
    row("0110001C000204", 1, "0110001C0002800E", true);
    row("0110001C000204", 1, "01100014000201CC", false, "(wrong register)");
    row("010404", 2, "010404449A522BB224", false, "(other slave)");
    row("010404", 2, "020404449A522B8124", true);
    row("010404", 1, "010304449A522BB393", true, "(0x03 answers 0x04)");
    row("010404", 1, "010405449A522B8FE4", false, "(byte count 5 in 9 bytes)");
    row("010404", 1, "010404449A522B24B2", false, "(CRC high byte first)");
    row("010404", 1, "0104060000 3F8000006D6F", true, "(three registers)");
    row("010404", 1, "010402000579 33", false, "(one register cannot carry the energy)");
    row("0110F8000001FF", 1, "0110F800000130A9", true, "(seventh code byte ignored)");
    row("0110001C000204", 1, "0110001C0002", false, "(no CRC)");
    row("010404", 1, "0110001C0002800E", false, "(write echo while a read is outstanding)");
    row("", 1, "0110001C0002800E", false, "(no reply code)");
    row("0110001C000204", 1, "0110001C00020440000000E736", false, "(the request given back by the adapter)");
    row("0110001C000204", 1, "0110001C0002800E00", false, "(a byte after the acknowledgment)");
    row("0110001C000204", 1, "010404449A522BB224", false, "(a late read reply while a write is outstanding)");
    row("010404", 1, "018402C2C1", false, "(exception)");
    row("010304", 1, "018302C0F1", false, "(exception)");
    row("010404", 1, "0104", false, "(too short)");
    row("010404", 1, "01", false, "(too short)");
    row("010404", 1, "", false, "(nothing)");
}

void TestReplyValidation::replies()
{
    QFETCH(QString, replyCode);
    QFETCH(int, address);
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    // Past RxCount the buffer holds what an earlier reply left.
    std::array<std::uint8_t, 30> rx;
    rx.fill(0xEE);
    std::copy(reply.begin(), reply.end(), rx.begin());
    QCOMPARE(engine::ValidateReply(rx, int(reply.size()), std::uint8_t(address), replyCode.toStdString()), accepted);
}

void TestReplyValidation::countPastTheBufferIsRejected()
{
    const auto reply = QByteArray::fromHex("010404449A522BB224");
    std::array<std::uint8_t, 30> rx{};
    std::copy(reply.begin(), reply.end(), rx.begin());
    QVERIFY(engine::ValidateReply(rx, 9, 1, "010404"));
    for (const int count : {31, 32767, -1})
        QVERIFY2(!engine::ValidateReply(rx, count, 1, "010404"), qPrintable(QString::number(count)));
}

QTEST_APPLESS_MAIN(TestReplyValidation)
#include "tst_replyvalidation.moc"
