#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace history {

// What the start-up size check found.
enum class SizeCheck {
    Missing,  // no log (or it could not be opened): nothing to say
    Fine,     // below the note threshold
    Note,     // 1.5 MiB or more: the operator is asked to save it
    Deleted,  // above 2 MiB: deleted
    Undeletable, // above 2 MiB, but it could not be deleted
};

inline constexpr qint64 NoteThreshold = 1572864;   // 1.5 x 1,048,576 bytes
inline constexpr qint64 DeleteThreshold = 2097152; // 2 x 1,048,576 bytes
inline constexpr int ViewerLines = 400;
// The most of the log's end that is read for its newest lines: far more than
// 400 entry lines, and a bound however large the file has grown.
inline constexpr qint64 TailReadLimit = 1024 * 1024;

// What tells whether the log changed since it was last read.
struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// The outcome texts that end an entry line; a success's is followed by the
// command's detail text.
inline const QString SuccessOutcome = QStringLiteral(" operation success.");
inline const QString DataErrorOutcome = QStringLiteral(" operation Fail! The response data error.");
inline const QString TimeoutOutcome = QStringLiteral(" operation Fail! Response timeout.");

// One entry line: "yyyy-mm-dd hh:mm:ss : M meter C" + outcome, CR LF ended.
QByteArray EntryLine(const QDateTime &when, const QString &meterType, const QString &command, const QString &outcome);

// The folders installed programs live in (/usr/bin for the package). Logs do
// not belong there even where they can be written (as root).
QStringList InstalledProgramFolders();

// History.log: one line per completed operation, kept beside the program or,
// where that folder cannot be written or is the installed programs' folder,
// in the user's data folder.
class HistoryLog
{
public:
    // programFolder: where the log normally lives; fallbackFolder: where it
    // goes when programFolder is not writable.
    HistoryLog(QString programFolder, QString fallbackFolder);

    QString path() const { return m_path; }
    // True when the log had to move to the fallback folder.
    bool relocated() const { return m_relocated; }

    struct AppendResult {
        bool written = false;
        QString error; // why nothing could be written
    };

    // Appends one complete line in a single write, so that two copies of the
    // tool on one log never interleave. When the log beside the program cannot
    // be written, the line goes to the fallback folder from then on.
    AppendResult append(const QDateTime &when, const QString &meterType, const QString &command,
                        const QString &outcome);

    SizeCheck checkSize();

    // For a writer of many lines (the command line): a log that has reached
    // the note threshold is renamed to History.log.1 (replacing an older one)
    // before the next line, so that the window's start-up check never deletes
    // a record. The kept file's path when it did so.
    std::optional<QString> keepAsideIfFull();

    // The newest maxLines lines, oldest first, read from the end of the log;
    // nullopt when the log cannot be read.
    std::optional<QStringList> newestLines(int maxLines = ViewerLines) const;
    // nullopt when there is no log.
    std::optional<FileStamp> stamp() const;

private:
    void choosePath();
    void moveToFallback();

    QString m_programFolder;
    QString m_fallbackFolder;
    QString m_path;
    bool m_relocated = false;
};

} // namespace history
