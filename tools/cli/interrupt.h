#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Ctrl+C, SIGTERM and a reader that went away (SIGPIPE), turned into an event
// of the command line's event loop: the work stops where it is, the port is
// closed as on a normal end (so the next program can open it), and what was
// found or done so far is printed.
namespace cli {

class Interruption : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; one at a time, for the life of the process.
    Interruption();
    ~Interruption() override;

    // The signal that came, 0 while none.
    static int caught();
    // The one installed, if any.
    static Interruption *instance();

signals:
    void requested(int signalNumber);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace cli
