#include "history/historylog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <deque>

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

void HistoryLog::choosePath()
{
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
        return {true, false, {}};
    if (m_relocated || m_fallbackFolder.isEmpty())
        return {false, false, *error};
    moveToFallback();
    error = appendLine(m_path, line);
    return {!error, !error, error.value_or(QString())};
}

SizeCheck HistoryLog::checkSize()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return SizeCheck::Missing;
    const qint64 bytes = file.size();
    file.close();
    if (bytes > DeleteThreshold)
        return QFile::remove(m_path) ? SizeCheck::Deleted : SizeCheck::Missing;
    return bytes >= NoteThreshold ? SizeCheck::Note : SizeCheck::Fine;
}

std::optional<QStringList> HistoryLog::newestLines(int maxLines) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::deque<QString> tail;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        tail.push_back(QString::fromUtf8(line));
        if (static_cast<int>(tail.size()) > maxLines)
            tail.pop_front();
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return QStringList(tail.begin(), tail.end());
}

std::optional<qint64> HistoryLog::size() const
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return std::nullopt;
    return info.size();
}

} // namespace history
