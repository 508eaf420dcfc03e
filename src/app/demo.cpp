#include "app/demo.h"

#include "serial/serialline.h"
#include "ui/main/form1.h"
#include "ui/messages/showmessage.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

namespace {

// Far beyond the window's own time-out: the demo ends even if nothing else does.
constexpr qint64 EndAfterMs = 10000;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Message boxes become lines on standard output, answered with "OK".
class PrintingPresenter final : public messages::MessagePresenter
{
public:
    int present(QWidget *, const QString &text, int, const QString &caption) override
    {
        out() << "[message box \"" << caption << "\"] " << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")) << "\n";
        out().flush();
        return messages::IdOk;
    }
};

} // namespace

int RunDemo(Form1 &form, serial::SerialLine &port, int holdMs)
{
    PrintingPresenter presenter;
    messages::SetMessagePresenter(&presenter);
    form.Form_Load();
    if (holdMs > 0)
        form.show();
    out() << "Quorvane without a display: the main window runs offscreen.\n"
          << "Port list: " << (form.Combo6->count() ? form.Combo6->currentText() : QStringLiteral("(none)")) << "\n";

    form.open_close_Command_Click();
    out() << "Port: " << form.Label4->text() << ", " << form.Label10->text() << "\n";
    if (!form.Send_command->isEnabled()) {
        messages::SetMessagePresenter(nullptr);
        return 1;
    }
    out() << "Meter type: " << form.Combo7->currentText() << ", command: " << form.Combo8->currentText()
          << ", address: " << form.addr_Text->text() << " -> pressing \"Confirm\"\n";
    out().flush();

    QObject::connect(&port, &serial::SerialLine::lost, [] {
        out() << "The port went away.\n";
        out().flush();
    });
    QElapsedTimer clock;
    clock.start();
    form.Send_command_Click();
    // The window reports on its own timers; wait until the operation has
    // ended, whatever becomes of the port meanwhile.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!form.replyLine().awaitingReply() || clock.elapsed() > EndAfterMs) {
            poll.stop();
            QCoreApplication::exit(0);
        }
    });
    poll.start(5);
    QCoreApplication::exec();

    out() << "Trace:\n" << form.Rev_Show_Text->toPlainText() << "Status: \"" << form.Label6->text().trimmed()
          << "\" after " << clock.elapsed() << " ms, succeeded " << form.Success_Label->text() << ", failed "
          << form.Err_Label->text() << "\n"
          << "History.log: " << form.historyLog().path() << "\n";
    if (const auto lines = form.historyLog().newestLines(1); lines && !lines->isEmpty())
        out() << "  " << lines->back() << "\n";
    out().flush();
    if (holdMs > 0) {
        // Leaves the window up a while after the exchange, e.g. for a screenshot.
        const QRect where = form.geometry();
        out() << "window " << where.x() << ' ' << where.y() << ' ' << where.width() << ' ' << where.height() << "\n";
        out().flush();
        QTimer::singleShot(holdMs, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    // Closed only if still open: on a port that went away the button would try to open it.
    if (port.isOpen())
        form.open_close_Command_Click();
    messages::SetMessagePresenter(nullptr);
    return form.state().SuccessCount > 0 ? 0 : 1;
}
