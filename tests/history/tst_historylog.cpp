#include "history/historylog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

class TestHistoryLog : public QObject
{
    Q_OBJECT
private slots:
    void entryLineByteForByte();
    void twoWritersNeverInterleave();
    void unwritableProgramFolderMovesTheLog();
    void newestLinesFromTheTailOfAHugeLog();
    void installedProgramFolderIsNoPlaceForTheLog();
};

void TestHistoryLog::entryLineByteForByte()
{
    QTemporaryDir folder;
    history::HistoryLog log(folder.path(), {});
    const QDateTime closed(QDate(2024, 3, 3), QTime(14, 5, 9));
    QVERIFY(log.append(closed, "Tarvik CT", "Modify Baud Rate", " operation success.Baud Rate is 9600.").written);
    QVERIFY(log.append(closed.addSecs(3600 * 10), "Pesca-K", "Read Energy", " operation Fail! Response timeout.").written);

    QFile file(log.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("2024-03-03 14:05:09 : Tarvik CT meter Modify Baud Rate operation success.Baud Rate is 9600.\r\n"
                                        "2024-03-04 00:05:09 : Pesca-K meter Read Energy operation Fail! Response timeout.\r\n"));
    QCOMPARE(log.path(), QDir(folder.path()).filePath("History.log"));
}

// Two copies of the tool on one log: each line lands whole.
void TestHistoryLog::twoWritersNeverInterleave()
{
    QTemporaryDir folder;
    constexpr int PerWriter = 2000;
    const auto writer = [&](const QString &meter) {
        history::HistoryLog log(folder.path(), {});
        for (int i = 0; i < PerWriter; ++i)
            log.append(QDateTime::currentDateTime(), meter, "Read Energy", " operation success.Current Energy is 1.0000 KWh.");
    };
    std::thread first(writer, QStringLiteral("Tarvik CT"));
    std::thread second(writer, QStringLiteral("Morel Serial"));
    first.join();
    second.join();

    QFile file(QDir(folder.path()).filePath("History.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2 * PerWriter + 1); // and nothing after the last line end
    QVERIFY(lines.last().isEmpty());
    const QRegularExpression whole(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d : (Tarvik CT|Morel Serial) meter Read Energy operation success\.Current Energy is 1\.0000 KWh\.\r$)");
    for (int i = 0; i < 2 * PerWriter; ++i)
        QVERIFY2(whole.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());
}

void TestHistoryLog::unwritableProgramFolderMovesTheLog()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath("no/such/program/folder");
    const QString userData = folder.filePath("user data");
    history::HistoryLog log(missing, userData);
    QVERIFY(log.relocated());
    QCOMPARE(log.path(), QDir(userData).filePath("History.log"));
    QVERIFY(log.append(QDateTime::currentDateTime(), "Ventra", "Read Energy", " operation Fail! The response data error.").written);
    QCOMPARE(log.newestLines()->size(), 1);
    QCOMPARE(log.checkSize(), history::SizeCheck::Fine);
}

// A log the size check could not delete, grown to gigabytes (sparse here): only
// its end is read, and a line cut by the read's bound is not shown.
void TestHistoryLog::newestLinesFromTheTailOfAHugeLog()
{
    QTemporaryDir folder;
    history::HistoryLog log(folder.path(), {});
    {
        QFile file(log.path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(3) << 30));
        QVERIFY(file.seek(file.size()));
        file.write("first\r\nsecond\r\nthird");
    }
    QCOMPARE(log.newestLines(400), std::optional(QStringList{"second", "third"}));
    QCOMPARE(log.newestLines(1), std::optional(QStringList{"third"}));
}

// Installed, the programs' folder holds no log, even where it can be written.
void TestHistoryLog::installedProgramFolderIsNoPlaceForTheLog()
{
    QTemporaryDir folder;
    QVERIFY(history::InstalledProgramFolders().contains("/usr/bin")); // the package's
    for (const QString &installed : history::InstalledProgramFolders()) {
        history::HistoryLog log(installed, folder.path());
        QVERIFY(log.relocated());
        QCOMPARE(log.path(), QDir(folder.path()).filePath("History.log"));
    }
}

QTEST_APPLESS_MAIN(TestHistoryLog)
#include "tst_historylog.moc"
