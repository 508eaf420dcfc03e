#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// quorvane-sim on a pseudo-terminal reached through a link, for one test,
// with its log in a file of the test's own.
struct Simulator {
    bool start(const QStringList &arguments)
    {
        link = folder.filePath("meter");
        process.start(qEnvironmentVariable("QUORVANE_BUILD_DIR") + "/tools/sim/quorvane-sim",
                      QStringList{"--link", link, "--log", logPath()} + arguments);
        if (!process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!QFile::exists(link) && process.state() == QProcess::Running && !deadline.hasExpired())
            process.waitForReadyRead(20);
        return QFile::exists(link);
    }
    QString logPath() const { return folder.filePath("sim.log"); }
    QByteArray log() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    ~Simulator()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    QTemporaryDir folder;
    QProcess process;
    QString link;
};

// quorvane-sim listening as a gateway, for one test; port is its address.
struct ListeningSimulator {
    bool start(const QStringList &arguments)
    {
        process.start(qEnvironmentVariable("QUORVANE_BUILD_DIR") + "/tools/sim/quorvane-sim", arguments);
        if (!process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        const QString first = QString::fromUtf8(process.readLine()).trimmed();
        port = first.mid(6);
        return first.startsWith("port: ");
    }
    ~ListeningSimulator()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    QProcess process;
    QString port;
};
