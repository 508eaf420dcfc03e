#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// quorvane-cli run as a process, as a user runs it.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline QString CliProgram()
{
    return qEnvironmentVariable("QUORVANE_BUILD_DIR") + "/tools/cli/quorvane-cli";
}

inline CliRun RunCli(const QStringList &arguments, const QString &program = CliProgram())
{
    QProcess process;
    process.start(program, arguments);
    CliRun run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
        process.kill();
        run.err = "could not run " + program + ": " + process.errorString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The arguments of "run" for one operation on a port, without History.log.
inline QStringList runOp(const QString &port, const char *meter, const char *command, int address,
                         const QStringList &more = {})
{
    return QStringList{"run", "--port", port, "--meter", meter, "--command", command, "--address",
                       QString::number(address), "--no-history"}
           + more;
}
