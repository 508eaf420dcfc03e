#include "clirun.h"
#include "simulatorlink.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

// quorvane-cli monitor on the simulator's tap while run works the line: every
// frame once, each reply with its request, and the capture file as written.
class TestCliMonitor : public QObject
{
    Q_OBJECT
private slots:
    void hearsTheLine()
    {
        struct Operation {
            const char *meter;
            const char *command;
            int address;
            QString request;
            QString reply; // empty: none; "bad": a collision's garble
        };
        const QList<Operation> operations{
            {"Tarvik CT", "Read Energy", 1, "01 04 01 56 00 02 90 27", "01 04 04 44 9A 52 2B B2 24"},
            {"Morel-K", "Read Energy", 4, "04 03 01 1E 00 02 A5 A4", "04 03 04 00 00 30 3A 3B 20"},
            {"Tarvik CT", "Read Energy", 5, "05 04 01 56 00 02 91 A3", "bad"},
            {"Tarvik CT", "Read Energy", 9, "09 04 01 56 00 02 91 6F", ""},
        };
        Simulator sim;
        const auto tap = sim.folder.filePath("tap");
        QVERIFY(sim.start({"--tap", tap, "--meter", "Tarvik CT@1", "--meter", "Morel-K@4", "--meter", "Tarvik CT@5",
                           "--meter", "Morel-K@5"}));
        QVERIFY(QFile::exists(tap));
        const auto pcap = sim.folder.filePath("heard.pcap");
        QProcess monitor;
        monitor.start(CliProgram(), {"monitor", "--port", tap, "--pcap", pcap, "--json"});
        QDeadlineTimer deadline(10000);
        while (!monitor.readAllStandardError().contains("listening on") && !deadline.hasExpired())
            monitor.waitForReadyRead(50);
        QVERIFY(!deadline.hasExpired());

        QStringList expected; // "kind bytes", in line order
        for (const auto &op : operations) {
            RunCli(runOp(sim.link, op.meter, op.command, op.address, {"--timeout", "300"}));
            expected << "request " + op.request;
            if (!op.reply.isEmpty())
                expected << (op.reply == "bad" ? QString("unknown bad") : "reply " + op.reply);
        }
        ::kill(static_cast<pid_t>(monitor.processId()), SIGINT);
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 130);

        QStringList heard;
        QStringList wire;
        QJsonObject summary;
        int lastRequest = 0;
        const auto lines = monitor.readAllStandardOutput().split('\n');
        for (const auto &line : lines) {
            if (line.isEmpty())
                continue;
            const auto object = QJsonDocument::fromJson(line).object();
            if (object.contains("summary")) {
                summary = object["summary"].toObject();
                continue;
            }
            QCOMPARE(object["frame"].toInt(), heard.size() + 1);
            const auto kind = object["kind"].toString();
            heard << kind + " " + (object["crc"].toBool() ? object["bytes"].toString() : "bad");
            wire << object["bytes"].toString();
            // Each reply answers the request just before it.
            if (kind == "request")
                lastRequest = object["frame"].toInt();
            else if (kind == "reply")
                QCOMPARE(object["answers"].toInt(), lastRequest);
        }
        QCOMPARE(heard, expected);
        QCOMPARE(summary["frames"].toInt(), expected.size());
        QCOMPARE(summary["crc_errors"].toInt(), 1);
        QCOMPARE(summary["unanswered"].toInt(), 2);

        // The capture as an independent reader sees it.
        QProcess python;
        python.start(QUORVANE_PYTHON, {"-c", R"(
import struct, sys
data = open(sys.argv[1], 'rb').read()
magic, major, minor, zone, figs, snap, link = struct.unpack('<IHHiIII', data[:24])
assert (magic, major, minor, link) == (0xa1b2c3d4, 2, 4, 147), (hex(magic), link)
at, last = 24, 0
while at < len(data):
    sec, usec, kept, size = struct.unpack('<IIII', data[at:at + 16])
    assert kept == size and usec < 1000000 and sec * 1000000 + usec >= last
    last = sec * 1000000 + usec
    print(data[at + 16:at + 16 + kept].hex(' ').upper())
    at += 16 + kept
)", pcap});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        QCOMPARE(QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), wire);
    }

    void gatewayRefused()
    {
        const auto run = RunCli({"monitor", "--port", "rtu-tcp://127.0.0.1:1502"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("monitor listens on a serial line; a gateway is not offered"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCliMonitor)
#include "tst_climonitor.moc"
