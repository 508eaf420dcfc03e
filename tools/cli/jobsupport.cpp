#include "jobsupport.h"
#include "exitstatus.h"
#include "interrupt.h"

#include "history/historylog.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <csignal>

namespace cli {

int ExitCodeOf(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Success: return status::Success;
    case Outcome::Kind::Rejected:
    case Outcome::Kind::Exception: return status::Refused;
    case Outcome::Kind::Timeout: return status::NoReply;
    case Outcome::Kind::PortFailed: return status::PortFailed;
    case Outcome::Kind::Interrupted: return InterruptedExitCode();
    }
    return status::Refused;
}

int ExitCodeOf(Verdict v)
{
    switch (v) {
    case Verdict::Verified: return status::Success;
    case Verdict::Refused:
    case Verdict::Rejected: return status::Refused;
    case Verdict::NoReply: return status::NoReply;
    case Verdict::Unverified: return status::Unverified;
    case Verdict::PortFailed:
    case Verdict::NotRun: return status::PortFailed;
    case Verdict::Interrupted: return InterruptedExitCode();
    }
    return status::Refused;
}

int InterruptedExitCode()
{
    return Interruption::caught() == SIGPIPE ? status::ReaderGone : status::Interrupted;
}

history::HistoryLog WindowHistoryLog()
{
    // The same file the window writes: beside the programs (installed, they
    // share a folder; in the build tree the window has its own), or in the
    // user's data folder where that cannot be written.
    QString folder = QCoreApplication::applicationDirPath();
    if (QDir(folder) == QDir(QStringLiteral(QUORVANE_CLI_BUILD_DIR)))
        folder = QStringLiteral(QUORVANE_WINDOW_BUILD_DIR);
    return history::HistoryLog(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

jobs::LineSetup LineFor(const Options &options, const std::string &port)
{
    jobs::LineSetup line = options.line;
    line.port = port;
    return line;
}

void CancelOnInterruption(jobs::Job &job)
{
    if (auto *interruption = Interruption::instance())
        QObject::connect(interruption, &Interruption::requested, &job, [&job] { job.cancel(); });
    if (Interruption::caught())
        job.cancel();
}

} // namespace cli
