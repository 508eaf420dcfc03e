#include "history/historylog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>

namespace history {

namespace {

constexpr auto FileName = "History.log";

bool folderWritable(const QString &folder)
{
    // Permissions bits lie on some file systems; creating a file is the real test.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvane-XXXXXX")));
    return probe.open();
}

} // namespace

QByteArray EntryLine(const QDateTime &when, const QString &meterType, const QString &command, const QString &outcome)
{
    const QString line = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" : ") + meterType
                         + QStringLiteral(" meter ") + command + outcome + QStringLiteral("\r\n");
    return line.toUtf8();
}

HistoryLog::HistoryLog(QString programFolder, QString fallbackFolder)
    : m_programFolder(std::move(programFolder))
    , m_fallbackFolder(std::move(fallbackFolder))
{
    choosePath();
}

QStringList InstalledProgramFolders()
{
    return QStringLiteral(QUORVANE_INSTALL_BINDIRS).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

void HistoryLog::choosePath()
{
    const QStringList installedFolders = InstalledProgramFolders();
    const bool installed = std::any_of(installedFolders.begin(), installedFolders.end(),
                                       [this](const QString &folder) { return QDir(m_programFolder) == QDir(folder); });
    if (installed && !m_fallbackFolder.isEmpty()) {
        moveToFallback();
        return;
    }
    const QString beside = QDir(m_programFolder).filePath(QString::fromLatin1(FileName));
    const QFileInfo existing(beside);
    if ((existing.exists() && existing.isWritable()) || folderWritable(m_programFolder) || m_fallbackFolder.isEmpty()) {
        m_path = beside;
        m_relocated = false;
        return;
    }
    moveToFallback();
}

void HistoryLog::moveToFallback()
{
    QDir().mkpath(m_fallbackFolder);
    m_path = QDir(m_fallbackFolder).filePath(QString::fromLatin1(FileName));
    m_relocated = true;
}

static std::optional<QString> appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    // Unbuffered append: the whole line goes to the file in one write call.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    if (file.write(line) != line.size())
        return file.errorString();
    file.close();
    return std::nullopt;
}

HistoryLog::AppendResult HistoryLog::append(const QDateTime &when, const QString &meterType, const QString &command,
                                            const QString &outcome)
{
    const QByteArray line = EntryLine(when, meterType, command, outcome);
    auto error = appendLine(m_path, line);
    if (!error)
        return {true, {}};
    if (m_relocated || m_fallbackFolder.isEmpty())
        return {false, *error};
    moveToFallback();
    error = appendLine(m_path, line);
    return {!error, error.value_or(QString())};
}

SizeCheck HistoryLog::checkSize()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return SizeCheck::Missing;
    const qint64 bytes = file.size();
    file.close();
    if (bytes > DeleteThreshold)
        return QFile::remove(m_path) ? SizeCheck::Deleted : SizeCheck::Undeletable;
    return bytes >= NoteThreshold ? SizeCheck::Note : SizeCheck::Fine;
}

std::optional<QString> HistoryLog::keepAsideIfFull()
{
    const QFileInfo log(m_path);
    if (!log.exists() || log.size() < NoteThreshold)
        return std::nullopt;
    const QString kept = m_path + QStringLiteral(".1");
    QFile::remove(kept);
    if (!QFile::rename(m_path, kept))
        return std::nullopt;
    return kept;
}

std::optional<QStringList> HistoryLog::newestLines(int maxLines) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    // Backwards from the end, a chunk at a time, until the tail holds the line
    // end before the oldest wanted line (a line end closing the file does not count).
    constexpr qint64 Chunk = 64 * 1024;
    QByteArray tail;
    qint64 start = size;
    const auto lineEnds = [&tail] { return tail.count('\n') - (tail.endsWith('\n') ? 1 : 0); };
    while (start > 0 && size - start < TailReadLimit && lineEnds() < maxLines) {
        const qint64 step = std::min({Chunk, start, TailReadLimit - (size - start)});
        start -= step;
        if (!file.seek(start))
            return std::nullopt;
        const QByteArray chunk = file.read(step);
        if (chunk.size() != step)
            return std::nullopt;
        tail.prepend(chunk);
    }
    // Short of the file's start, the first piece is the end of an older line.
    if (start > 0) {
        const qsizetype firstEnd = tail.indexOf('\n');
        tail = firstEnd < 0 ? QByteArray() : tail.mid(firstEnd + 1);
    }
    QList<QByteArray> pieces = tail.split('\n');
    if (tail.endsWith('\n') || tail.isEmpty())
        pieces.removeLast();
    QStringList lines;
    for (qsizetype i = std::max<qsizetype>(0, pieces.size() - maxLines); i < pieces.size(); ++i) {
        QByteArray line = pieces.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromUtf8(line));
    }
    return lines;
}

std::optional<FileStamp> HistoryLog::stamp() const
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified()};
}

} // namespace history
