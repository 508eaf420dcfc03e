#include "monitor/busmonitor.h"
#include "monitor/pcapwriter.h"

#include <QtTest>

#include <sstream>

using namespace std::chrono_literals;

namespace {

// "#2 reply +10ms 01 84 02 C2 C1 to #1: exception 2", as a row expects a frame.
QString describe(const monitor::Frame& frame)
{
    static const char* const kinds[] = {"request", "reply", "unknown"};
    auto text = QString("#%1 %2%3 ").arg(frame.number).arg(kinds[static_cast<int>(frame.kind)], frame.crcOk ? "" : " bad-crc");
    text += frame.gap ? QString("+%1ms ").arg(std::chrono::duration_cast<std::chrono::milliseconds>(*frame.gap).count())
                      : QString("first ");
    text += QByteArray(reinterpret_cast<const char*>(frame.bytes.data()), static_cast<qsizetype>(frame.bytes.size()))
                .toHex(' ').toUpper();
    if (frame.firstRegister)
        text += QString(" reg %1 x%2").arg(*frame.firstRegister, 4, 16, QChar('0')).arg(*frame.count);
    for (const auto& match : frame.commands)
        text += QString(": %1 (%2)").arg(QString::fromUtf8(match.command.data(), static_cast<qsizetype>(match.command.size())))
                    .arg(match.meterTypes.size());
    if (frame.answers)
        text += QString(" to #%1").arg(*frame.answers);
    if (frame.exception)
        text += QString(": exception %1").arg(*frame.exception);
    for (const auto& energy : frame.energies)
        text += QString(": %1 kWh as %2").arg(QString::fromStdString(energy.kwh)).arg(QString::fromUtf8(energy.meterTypes.front().data()));
    return text;
}

} // namespace

// The frames a listener reports for what it hears, chunk by chunk.
class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void frames_data()
    {
        // Chunks come 10 ms apart; "." is the line falling silent after the one before.
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("crcErrors");
        QTest::addColumn<int>("unanswered");
        QTest::newRow("01 04 01 56 00 02 90 27: a request, no reply")
            << QStringList{"01 04 01 56 00 02 90 27", "."}
            << QStringList{"#1 request first 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)"} << 0 << 1;
        QTest::newRow("01 04 01 56 00 02 90 27 . 01 04 04 44 9A 52 2B B2 24: its reply")
            << QStringList{"01 04 01 56 00 02 90 27", ".", "01 04 04 44 9A 52 2B B2 24", "."}
            << QStringList{"#1 request first 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)",
                           "#2 reply +20ms 01 04 04 44 9A 52 2B B2 24 to #1: 1234.5677 kWh as Tarvik CT"}
            << 0 << 0;
        QTest::newRow("01 04 01 56 00 02 90 27 01 04 04 44 9A 52 2B B2 24: both in one chunk")
            << QStringList{"01 04 01 56 00 02 90 27 01 04 04 44 9A 52 2B B2 24"}
            << QStringList{"#1 request first 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)",
                           "#2 reply +0ms 01 04 04 44 9A 52 2B B2 24 to #1: 1234.5677 kWh as Tarvik CT"}
            << 0 << 0;
        QTest::newRow("01 04 01 56 00 | 02 90 27 01 04 04 44 | 9A 52 2B B2 24: frames across chunks")
            << QStringList{"01 04 01 56 00", "02 90 27 01 04 04 44", "9A 52 2B B2 24"}
            << QStringList{"#1 request first 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)",
                           "#2 reply +0ms 01 04 04 44 9A 52 2B B2 24 to #1: 1234.5677 kWh as Tarvik CT"}
            << 0 << 0;
        QTest::newRow("01 04 01 56 00 02 27 90: CRC high byte first")
            << QStringList{"01 04 01 56 00 02 27 90", "."} << QStringList{"#1 unknown bad-crc first 01 04 01 56 00 02 27 90"}
            << 1 << 0;
        QTest::newRow("01 04 01 56 00 02 90 27 01 84 02 C2 C1: an exception")
            << QStringList{"01 04 01 56 00 02 90 27", "01 84 02 C2 C1"}
            << QStringList{"#1 request first 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)",
                           "#2 reply +10ms 01 84 02 C2 C1 to #1: exception 2"}
            << 0 << 0;
        QTest::newRow("04 03 01 1E 00 02 A5 A4 04 03 04 00 00 30 3A 3B 20: tenths or hundredths")
            << QStringList{"04 03 01 1E 00 02 A5 A4 04 03 04 00 00 30 3A 3B 20"}
            << QStringList{"#1 request first 04 03 01 1E 00 02 A5 A4 reg 011e x2: Read Energy (2)",
                           "#2 reply +0ms 04 03 04 00 00 30 3A 3B 20 to #1: 1234.6 kWh as Morel-K: 123.46 kWh as Pesca-K"}
            << 0 << 0;
        QTest::newRow("05 04 04 04 00 42 01 F7 E4 01 04 01 56 00 02 90 27: a garble, then a request")
            << QStringList{"05 04 04 04 00 42 01 F7 E4 01 04 01 56 00 02 90 27", "."}
            << QStringList{"#1 unknown bad-crc first 05 04 04 04 00 42 01 F7 E4",
                           "#2 request +0ms 01 04 01 56 00 02 90 27 reg 0156 x2: Read Energy (8)"}
            << 1 << 1;
        QTest::newRow("01 10 00 14 00 02 04 40 A0 00 00 E6 B2 01 10 00 14 00 02 01 CC: a write and its echo")
            << QStringList{"01 10 00 14 00 02 04 40 A0 00 00 E6 B2", "01 10 00 14 00 02 01 CC"}
            << QStringList{"#1 request first 01 10 00 14 00 02 04 40 A0 00 00 E6 B2 reg 0014 x2: Modify Meter Address (8)",
                           "#2 reply +10ms 01 10 00 14 00 02 01 CC to #1"}
            << 0 << 0;
        QTest::newRow("00 10 00 1C 00 02 04 40 00 00 00 E3 CA: a broadcast wants no reply")
            << QStringList{"00 10 00 1C 00 02 04 40 00 00 00 E3 CA", "."}
            << QStringList{"#1 request first 00 10 00 1C 00 02 04 40 00 00 00 E3 CA reg 001c x2: Modify Baud Rate (8)"} << 0 << 0;
        QTest::newRow("05 04 01 56 00 02 91 A3 01 04 04 44 9A 52 2B B2 24: a reply from another slave")
            << QStringList{"05 04 01 56 00 02 91 A3", "01 04 04 44 9A 52 2B B2 24"}
            << QStringList{"#1 request first 05 04 01 56 00 02 91 A3 reg 0156 x2: Read Energy (8)",
                           "#2 reply +10ms 01 04 04 44 9A 52 2B B2 24"}
            << 0 << 1;
        QTest::newRow("01 04 00 4A 00 02 50 1D 01 04 04 42 C8 00 00 6E 02: Corvi Link export")
            << QStringList{"01 04 00 4A 00 02 50 1D", "01 04 04 42 C8 00 00 6E 02"}
            << QStringList{"#1 request first 01 04 00 4A 00 02 50 1D reg 004a x2: Read Export Energy (1)",
                           "#2 reply +10ms 01 04 04 42 C8 00 00 6E 02 to #1: 100.0000 kWh as Corvi Link"}
            << 0 << 0;
    }

    void frames()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, frames);
        QFETCH(int, crcErrors);
        QFETCH(int, unanswered);
        monitor::BusMonitor bus(20ms);
        const monitor::Clock::time_point t0{};
        QStringList heard;
        for (int i = 0; i < chunks.size(); ++i) {
            const auto bytes = QByteArray::fromHex(chunks[i].toLatin1());
            const std::vector<std::uint8_t> chunk(bytes.begin(), bytes.end());
            const auto got = chunks[i] == "." ? bus.silence() : bus.take(chunk, t0 + i * 10ms);
            for (const auto& frame : got)
                heard << describe(frame);
        }
        for (const auto& frame : bus.silence())
            heard << describe(frame);
        QCOMPARE(heard, frames);
        QCOMPARE(bus.summary().frames, std::size_t(frames.size()));
        QCOMPARE(bus.summary().crcErrors, std::size_t(crcErrors));
        QCOMPARE(bus.summary().unanswered, std::size_t(unanswered));
    }

    // The silence is due after the last byte, and only while bytes wait to be cut.
    void silenceDue()
    {
        monitor::BusMonitor bus(20ms);
        const monitor::Clock::time_point t0{};
        QVERIFY(!bus.silenceDue());
        bus.take(std::vector<std::uint8_t>{0x01, 0x04, 0x01}, t0);
        QCOMPARE(bus.silenceDue(), std::optional(t0 + 20ms));
        bus.take(std::vector<std::uint8_t>{0x56, 0x00, 0x02, 0x90, 0x27}, t0 + 5ms);
        QVERIFY(!bus.silenceDue());
    }

    void pcap()
    {
        std::ostringstream out;
        monitor::PcapWriter writer(out);
        QVERIFY(writer.start());
        const std::chrono::system_clock::time_point at{1'700'000'000'123'456us};
        QVERIFY(writer.write(at, std::vector<std::uint8_t>{0x01, 0x84, 0x02, 0xC2, 0xC1}));
        const auto file = QByteArray::fromStdString(out.str()).toHex(' ').toUpper();
        QCOMPARE(file, QByteArray("D4 C3 B2 A1 02 00 04 00 00 00 00 00 00 00 00 00 FF FF 00 00 93 00 00 00 "
                                  "00 F1 53 65 40 E2 01 00 05 00 00 00 05 00 00 00 01 84 02 C2 C1"));
    }
};

QTEST_APPLESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
