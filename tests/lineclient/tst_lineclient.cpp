// The line client on a real pseudo-terminal with the simulator on its far
// end: exchanges in order with their guard time, aborted, cut off by a far end
// that dies, and a gateway that never accepts while the event loop turns.
#include "lineclient/lineclient.h"
#include "simulatorlink.h"

#include "catalogue/catalogue.h"
#include "engine/requestframe.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTime>
#include <QtTest>

using lineclient::LineClient;
using lineclient::LineReply;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> readEnergy(std::uint8_t address)
{
    return engine::BuildRequestFrame(catalogue::FrameKindRead, catalogue::command::ReadEnergy,
                                     catalogue::Find_Code("Tarvik CT", catalogue::command::ReadEnergy)->request, address, 0, {}, {});
}

// The clock times of the simulator's log lines of one kind ("RX" or "TX"), in order.
QList<QTime> logged(const QByteArray &log, const char *kind)
{
    QList<QTime> times;
    const QRegularExpression line(QString(R"(^\S+ (\d\d:\d\d:\d\d\.\d\d\d) %1 )").arg(kind), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromUtf8(log)); it.hasNext();)
        times << QTime::fromString(it.next().captured(1), "hh:mm:ss.zzz");
    return times;
}

bool openOn(LineClient &client)
{
    QSignalSpy opened(&client, &LineClient::opened);
    client.open();
    return opened.wait(5000);
}

} // namespace

class TestLineClient : public QObject
{
    Q_OBJECT
private slots:
    void queueInOrderWithGuardTime();
    void abortedExchangeLeavesNoLateReply();
    void farEndKilledMidQueue();
    void gatewayThatNeverAccepts();
};

void TestLineClient::queueInOrderWithGuardTime()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Pesca-N@2"}));
    LineClient client(sim.link);
    client.setGuardTime(30ms);
    QVERIFY(openOn(client));
    std::vector<std::unique_ptr<LineReply>> replies;
    QStringList finished;
    for (const std::uint8_t address : {1, 2, 1, 3}) {
        replies.emplace_back(client.send(readEnergy(address), 200ms, false));
        connect(replies.back().get(), &LineReply::finished, this,
                [&finished, reply = replies.back().get()] { finished << QString::number(reply->request()[0]); });
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 4, 10000);
    QCOMPARE(finished, (QStringList{"1", "2", "1", "3"}));
    for (int i : {0, 1, 2}) {
        QCOMPARE(replies[i]->end(), LineReply::End::Complete);
        QCOMPARE(replies[i]->result().reply.front(), replies[i]->request().front());
    }
    QCOMPARE(replies[3]->end(), LineReply::End::Timeout);
    // The simulator heard each request at least the guard time after its previous answer began.
    const auto rx = logged(sim.log(), "RX   ");
    const auto tx = logged(sim.log(), "TX   ");
    QCOMPARE(rx.size(), 4);
    QCOMPARE(tx.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(tx[i].msecsTo(rx[i + 1]) >= 30, qPrintable(QString::number(tx[i].msecsTo(rx[i + 1]))));
}

// An exchange given up while its answer is on its way: the next request
// waits for the line to settle, and gets its own answer.
void TestLineClient::abortedExchangeLeavesNoLateReply()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--meter", "Pesca-N@2", "--fault", "late:1500,once"}));
    LineClient client(sim.link);
    client.setSettleTime(2500ms);
    QVERIFY(openOn(client));
    QSignalSpy late(&client, &LineClient::lateBytesDiscarded);
    std::unique_ptr<LineReply> first(client.send(readEnergy(1), 1000ms, false));
    std::unique_ptr<LineReply> second(client.send(readEnergy(2), 1000ms, false));
    QTRY_VERIFY_WITH_TIMEOUT(sim.log().contains("RX "), 5000);
    first->abort();
    QCOMPARE(first->end(), LineReply::End::Aborted);
    QTRY_VERIFY_WITH_TIMEOUT(second->isFinished(), 15000);
    QCOMPARE(second->end(), LineReply::End::Complete);
    QCOMPARE(second->result().reply.front(), std::uint8_t(2));
    QCOMPARE(late.size(), 1);
    QCOMPARE(late.front().front().value<std::size_t>(), std::size_t(9));
}

// The simulator dies while requests wait: every one of them ends at once as
// "port failed", none waits out its time-out.
void TestLineClient::farEndKilledMidQueue()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@1", "--fault", "late:5000"}));
    LineClient client(sim.link);
    QVERIFY(openOn(client));
    QSignalSpy lost(&client, &LineClient::lost);
    std::vector<std::unique_ptr<LineReply>> replies;
    for (int i = 0; i < 3; ++i)
        replies.emplace_back(client.send(readEnergy(1), 4000ms, false));
    QTRY_VERIFY_WITH_TIMEOUT(sim.log().contains("RX "), 5000);
    sim.process.kill();
    QTRY_VERIFY_WITH_TIMEOUT(replies.back()->isFinished(), 3000);
    for (const auto &reply : replies)
        QCOMPARE(reply->end(), LineReply::End::PortFailed);
    QCOMPARE(lost.size(), 1);
}

// A gateway whose listener never takes the connection: the open fails after
// its limit, and meanwhile the event loop goes on turning.
void TestLineClient::gatewayThatNeverAccepts()
{
    QProcess listener;
    listener.start("python3", {"-c", "import socket, sys\n"
                                      "s = socket.socket(); s.bind(('127.0.0.1', 0)); s.listen(0)\n"
                                      "fill = [socket.create_connection(s.getsockname()) for _ in range(1)]\n"
                                      "print(s.getsockname()[1], flush=True)\n"
                                      "sys.stdin.read()\n"});
    QVERIFY(listener.waitForReadyRead(10000));
    LineClient client("rtu-tcp://127.0.0.1:" + QString::fromUtf8(listener.readLine()).trimmed());
    QSignalSpy failed(&client, &LineClient::openFailed);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    client.open();
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.front().front().value<serial::PortError>(), serial::PortError::Unreachable);
    QVERIFY2(ticks > 20, qPrintable(QString::number(ticks)));
    listener.closeWriteChannel();
    listener.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestLineClient)
#include "tst_lineclient.moc"
