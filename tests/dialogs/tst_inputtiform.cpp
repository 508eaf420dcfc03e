#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "ui/dialogs/inputtiform.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

using namespace dialogtesting;

namespace {

const QDateTime Afternoon(QDate(2024, 3, 7), QTime(15, 4, 5));

// Replaces both texts the way the operator does (select all, type) and presses Confirm.
void enter(QDialog &ti, const QString &date, const QString &time)
{
    for (const auto &[name, text] : {std::pair{"Date_Text", date}, std::pair{"Time_Text", time}}) {
        auto *edit = ti.findChild<QLineEdit *>(name);
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
}

QString hexOf(const engine::TimeBytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), 8).toHex(' ');
}

} // namespace

// The date and time dialog of "Set Time".
class TestInputTiForm : public QObject {
    Q_OBJECT
private slots:
    void windowAndFocus();
    void offersTheClockInTheFormItAccepts();
    void confirm();
    void refusalKeepsTheDialogOpen();
    void cancelCloseAndEscapeWriteNothing();
};

void TestInputTiForm::windowAndFocus()
{
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QCOMPARE(ti.objectName() + " " + ti.windowTitle(), QString("Input_TI_Form Input Data"));
    QStringList captions;
    for (const char *name : {"OK_Command", "No_Command"})
        captions << ti.findChild<QPushButton *>(name)->text();
    for (const char *name : {"Label1", "Label2", "Label3"})
        captions << ti.findChild<QLabel *>(name)->text();
    QCOMPARE(captions, QStringList({"Confirm", "Cancel", "Date  :", "Time :",
                                    "Note : Date format is MM/DD/YYYY. Time format is HH:MM:SS."}));
    QCOMPARE(ti.findChild<QLabel *>("Label3")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    // The date box, then the time box to its right, the note below both.
    QVERIFY(ti.findChild<QLineEdit *>("Date_Text")->geometry().right() < ti.findChild<QLineEdit *>("Time_Text")->x());
    QVERIFY(ti.findChild<QLabel *>("Label3")->y() > ti.findChild<QLineEdit *>("Time_Text")->geometry().bottom());

    QVERIFY(showActive(&ti));
    QCOMPARE(QStringList{focusedName()} + tabWalk(4),
             QStringList({"No_Command", "OK_Command", "Time_Text", "Date_Text", "No_Command"}));
    QCOMPARE(layoutProblems(&ti), QStringList());
}

void TestInputTiForm::offersTheClockInTheFormItAccepts()
{
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QCOMPARE(ti.findChild<QLineEdit *>("Date_Text")->text(), QString("03/07/2024"));
    QCOMPARE(ti.findChild<QLineEdit *>("Time_Text")->text(), QString("15:04:05")); // 24-hour, whatever the locale
    QVERIFY(showActive(&ti));
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(int(state.DialogResult), 1);

    const QDate before = QDate::currentDate();
    dialogs::Input_TI_Form now(state);
    const QString date = now.findChild<QLineEdit *>("Date_Text")->text();
    QVERIFY2(date == before.toString("MM/dd/yyyy") || date == QDate::currentDate().toString("MM/dd/yyyy"), qPrintable(date));
    const QString time = now.findChild<QLineEdit *>("Time_Text")->text();
    QVERIFY2(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(time).hasMatch(), qPrintable(time));
}

void TestInputTiForm::confirm()
{
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    enter(ti, "1/1/2024", "9:5:7");
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(!ti.isVisible());
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(hexOf(state.TimeData), QString("07 05 09 01 01 01 24 20"));
    QCOMPARE(state.SetDateText + " " + state.SetTimeText, std::string("1/1/2024 9:5:7")); // as typed
}

void TestInputTiForm::refusalKeepsTheDialogOpen()
{
    RecordingPresenter messages;
    engine::OperationState state;
    state.SetDateText = "01/02/2023";
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    enter(ti, "13/01/2024", "24:00:00");
    QCOMPARE(messages.texts(), QStringList{"The month error, month is in the range of 1~12."});
    QVERIFY(messages.allAre(16, "ERROR"));
    QVERIFY(ti.isVisible());
    QCOMPARE(int(state.DialogResult), 0);
    QCOMPARE(state.SetDateText, std::string("01/02/2023"));
    QCOMPARE(ti.findChild<QLineEdit *>("Time_Text")->text(), QString("24:00:00"));

    enter(ti, "12/31/2024", "23:59:58");
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(hexOf(state.TimeData), QString("58 59 23 01 31 12 24 20"));
}

void TestInputTiForm::cancelCloseAndEscapeWriteNothing()
{
    for (const QString action : {"Escape", "Enter", "close", "Cancel"}) {
        engine::OperationState state;
        state.SetDateText = "01/02/2023";
        state.TimeData = {1, 2, 3, 4, 5, 6, 7, 8};
        dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
        QVERIFY(showActive(&ti));
        if (action == "Cancel")
            QTest::mouseClick(ti.findChild<QPushButton *>("No_Command"), Qt::LeftButton);
        else if (action == "close")
            QVERIFY(ti.close());
        else
            QTest::keyClick(ti.findChild<QLineEdit *>("Date_Text"), action == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
        QCOMPARE(ti.isVisible(), action == "Escape" || action == "Enter");
        QCOMPARE(int(state.DialogResult), action == "Cancel" ? 2 : 0);
        QCOMPARE(state.SetDateText + " " + hexOf(state.TimeData).toStdString(), std::string("01/02/2023 01 02 03 04 05 06 07 08"));
    }
}

QTEST_MAIN(TestInputTiForm)
#include "tst_inputtiform.moc"
