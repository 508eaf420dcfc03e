#include "ui/messages/showmessage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

struct SeenBox {
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Once the modal box is up, note what it shows, then press `press` (a label)
// or close it by its title bar when press is empty. "close+Yes" tries the
// title bar and Escape first, then presses "Yes" if the box is still up.
void answerNextBox(SeenBox &seen, const QString &press)
{
    QTimer::singleShot(0, [&seen, press] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(seen, press); // not up yet: look again on the next turn
            return;
        }
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (auto *button : box->buttons())
            seen.buttons << button->text();
        if (press.isEmpty()) {
            box->close();
            return;
        }
        QString label = press;
        if (press.startsWith(QStringLiteral("close+"))) {
            box->close();
            QTest::keyClick(box, Qt::Key_Escape);
            if (!box->isVisible())
                return;
            label = press.mid(6);
        }
        for (auto *button : box->buttons())
            if (button->text() == label)
                button->click();
    });
}

} // namespace

class TestShowMessage : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void emptyCaptionShowsApplicationTitle();
    void presenterReplacesTheBox();
};

void TestShowMessage::answers_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("press"); // empty: close by the title bar
    QTest::addColumn<int>("id");

    QTest::newRow("16 error OK") << 16 << QStringList{"OK"} << "OK" << 1;
    QTest::newRow("48 warning closed") << 48 << QStringList{"OK"} << "" << 1;
    QTest::newRow("64 information OK") << 64 << QStringList{"OK"} << "OK" << 1;
    QTest::newRow("1 OK Cancel: closed") << 1 << QStringList{"OK", "Cancel"} << "" << 2;
    QTest::newRow("2 Ignore") << 2 << QStringList{"Abort", "Retry", "Ignore"} << "Ignore" << 5;
    QTest::newRow("3 Yes No Cancel: No") << 3 << QStringList{"Yes", "No", "Cancel"} << "No" << 7;
    QTest::newRow("4 Yes") << 4 << QStringList{"Yes", "No"} << "Yes" << 6;
    // Without "Cancel" and with more than "OK", a box cannot be closed, only answered.
    QTest::newRow("4 not closed, then Yes") << 4 << QStringList{"Yes", "No"} << "close+Yes" << 6;
    QTest::newRow("2 not closed, then Abort") << 2 << QStringList{"Abort", "Retry", "Ignore"} << "close+Abort" << 3;
    QTest::newRow("3 closed by Escape") << 3 << QStringList{"Yes", "No", "Cancel"} << "close+Yes" << 2;
    QTest::newRow("5 Retry") << 5 << QStringList{"Retry", "Cancel"} << "Retry" << 4;
    QTest::newRow("5 closed") << 5 << QStringList{"Retry", "Cancel"} << "" << 2;
}

void TestShowMessage::answers()
{
    QFETCH(int, style);
    QFETCH(QStringList, labels);
    QFETCH(QString, press);
    QFETCH(int, id);

    SeenBox seen;
    answerNextBox(seen, press);
    const int result = messages::ShowMessage(QStringLiteral("no available serial port!"), style, QStringLiteral("ERROR"));

    QCOMPARE(result, id);
    QCOMPARE(seen.title, QStringLiteral("ERROR"));
    QCOMPARE(seen.text, QStringLiteral("no available serial port!"));
    QStringList shown = seen.buttons;
    shown.sort();
    labels.sort();
    QCOMPARE(shown, labels);
    const QMessageBox::Icon icon = style == 16 ? QMessageBox::Critical
                                   : style == 48 ? QMessageBox::Warning
                                   : style == 64 ? QMessageBox::Information
                                                 : QMessageBox::NoIcon;
    QCOMPARE(seen.icon, icon);
}

void TestShowMessage::emptyCaptionShowsApplicationTitle()
{
    SeenBox seen;
    answerNextBox(seen, QStringLiteral("OK"));
    messages::ShowMessage(QStringLiteral("Communication error"), 16, QString());
    QCOMPARE(seen.title, messages::ApplicationTitle);
}

void TestShowMessage::presenterReplacesTheBox()
{
    struct Recorder : messages::MessagePresenter {
        QString caption;
        int present(QWidget *, const QString &, int, const QString &c) override
        {
            caption = c;
            return messages::IdRetry;
        }
    } recorder;
    messages::SetMessagePresenter(&recorder);
    const int result = messages::ShowMessage(QStringLiteral("x"), 5, QString());
    messages::SetMessagePresenter(nullptr);
    QCOMPARE(result, int(messages::IdRetry));
    QCOMPARE(recorder.caption, messages::ApplicationTitle);
}

QTEST_MAIN(TestShowMessage)
#include "tst_showmessage.moc"
