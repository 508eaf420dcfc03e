// The engine's jobs on real pseudo-terminals against the simulator: what they
// report, in which order, and how they end when cancelled or when a line fails.
#include "simulatorlink.h"

#include "jobs/changejob.h"
#include "jobs/polljob.h"
#include "jobs/scanjob.h"

#include <QtTest>

namespace {

jobs::LineSetup lineOn(const QString &port, int timeoutMs = 200)
{
    jobs::LineSetup line;
    line.port = port.toStdString();
    line.timeoutMs = timeoutMs;
    return line;
}

bool finish(jobs::Job &job)
{
    QSignalSpy done(&job, &jobs::Job::finished);
    job.start();
    return job.isFinished() || done.wait(60000);
}

} // namespace

class TestJobs : public QObject
{
    Q_OBJECT
private slots:
    void pollReadsEveryMeterEachRound();
    void pollCancelledWhileItWaits();
    void changeOnTwoLinesOneFailing();
    void scanReportsUntilDone();
};

void TestJobs::pollReadsEveryMeterEachRound()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@3", "--meter", "Morel-K@7"}));
    jobs::PollSetup setup;
    setup.lines = {lineOn(sim.link)};
    setup.meters = {{{"Tarvik CT", 3, {}}, {"Morel-K", 7, {}}}};
    setup.interval = std::chrono::milliseconds(0);
    setup.rounds = 3;
    jobs::PollJob job(setup);
    QStringList seen;
    connect(&job, &jobs::PollJob::reading, this, [&](const std::string &, std::size_t index, const jobs::Outcome &outcome, const QDateTime &at) {
        QVERIFY(at.isValid());
        const auto judged = jobs::PollJob::Judge(outcome, setup.meters[0][index]);
        seen << QString("%1:%2").arg(index).arg(commissioning::ReadingWord(judged.reading));
    });
    QVERIFY(finish(job));
    QCOMPARE(seen, QStringList({"0:answered", "1:answered", "0:answered", "1:answered", "0:answered", "1:answered"}));
    QCOMPARE(job.lines().front().rounds, 3LL);
    QCOMPARE(int(job.lines().front().end), int(jobs::LineEnd::Done));
}

void TestJobs::pollCancelledWhileItWaits()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@3"}));
    jobs::PollSetup setup;
    setup.lines = {lineOn(sim.link)};
    setup.meters = {{{"Tarvik CT", 3, {}}}};
    setup.interval = std::chrono::hours(1); // the second round would be an hour away
    jobs::PollJob job(setup);
    connect(&job, &jobs::PollJob::reading, &job, [&] { QTimer::singleShot(0, &job, &jobs::Job::cancel); });
    QVERIFY(finish(job));
    QCOMPARE(job.lines().front().rounds, 1LL);
    QCOMPARE(int(job.lines().front().end), int(jobs::LineEnd::Stopped));
}

void TestJobs::changeOnTwoLinesOneFailing()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@3"}));
    const jobs::Change change{3, "Tarvik CT", std::uint8_t(16), {}, {}, {}};
    jobs::ChangeJobSetup setup;
    setup.lines = {lineOn(sim.link), lineOn("/dev/quorvane-no-such-port")};
    setup.rows = {{{0, change, {}}}, {{1, change, {}}, {2, change, {}}}};
    jobs::ChangeJob job(setup);
    QStringList rows, problems;
    connect(&job, &jobs::ChangeJob::rowDone, this, [&](const std::string &, std::size_t index, const jobs::RowResult &r) {
        rows << QString("%1 %2: %3").arg(index).arg(jobs::VerdictWord(r.verdict), QString::fromStdString(r.detail));
    });
    connect(&job, &jobs::ChangeJob::problem, this, [&](const std::string &text) { problems << QString::fromStdString(text); });
    QVERIFY(finish(job));
    rows.sort();
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows[0].startsWith("0 verified: "), qPrintable(rows[0]));
    QCOMPARE(rows[1], QString("1 not run: not run: the port failed"));
    QCOMPARE(rows[2], QString("2 not run: not run: the port failed"));
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems[0].startsWith("cannot open /dev/quorvane-no-such-port"));
}

void TestJobs::scanReportsUntilDone()
{
    Simulator sim;
    QVERIFY(sim.start({"--meter", "Tarvik CT@2", "--meter", "Morel-K@5"}));
    jobs::ScanSetup setup;
    setup.lines = {lineOn(sim.link, 50)};
    setup.sweep = {commissioning::SweepSetting{}};
    setup.addresses = {1, 2, 3, 4, 5, 6};
    jobs::ScanJob job(setup);
    std::vector<jobs::ScanProgress> progress;
    QList<int> found;
    connect(&job, &jobs::ScanJob::progress, this, [&](const jobs::ScanProgress &p) { progress.push_back(p); });
    connect(&job, &jobs::ScanJob::found, this, [&](const jobs::FoundDevice &d) { found << d.address; });
    QVERIFY(finish(job));
    QCOMPARE(found, QList<int>({2, 5}));
    QCOMPARE(progress.size(), std::size_t(6));
    for (std::size_t i = 0; i < progress.size(); ++i)
        QCOMPARE(progress[i].done, i + 1);
    QCOMPARE(progress.back().total, std::size_t(6));
    QCOMPARE(progress.back().secondsLeft, 0.0);
    QCOMPARE(job.lines().front().found.size(), std::size_t(2));
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
