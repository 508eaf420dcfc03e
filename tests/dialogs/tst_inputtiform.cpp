#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "engine/state.h"
#include "ui/dialogs/inputtiform.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

using namespace dialogtesting;

namespace {

QByteArray hexOf(const engine::TimeBytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size())).toHex(' ').toUpper();
}

// Replaces a box's text the way the operator does: select all, type.
void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

const QDateTime Afternoon(QDate(2024, 3, 7), QTime(15, 4, 5));

} // namespace

// The date and time dialog of "Set Time".
class TestInputTiForm : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void offersTheClockAsItAccepts_data();
    void offersTheClockAsItAccepts();
    void offersTheCurrentClock();
    void focusOrder();
    void captionsFit();
    void confirm_data();
    void confirm();
    void refusalKeepsTheDialogOpen_data();
    void refusalKeepsTheDialogOpen();
    void cancelAndCloseWriteNothing_data();
    void cancelAndCloseWriteNothing();
    void escapeAnswersNothing();
};

void TestInputTiForm::controls()
{
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QCOMPARE(ti.objectName(), QString("Input_TI_Form"));
    QCOMPARE(ti.windowTitle(), QString("Input Data"));
    QCOMPARE(ti.findChild<QPushButton *>("OK_Command")->text(), QString("Confirm"));
    QCOMPARE(ti.findChild<QPushButton *>("No_Command")->text(), QString("Cancel"));
    QCOMPARE(ti.findChild<QLabel *>("Label1")->text(), QString("Date  :"));
    QCOMPARE(ti.findChild<QLabel *>("Label2")->text(), QString("Time :"));
    auto *note = ti.findChild<QLabel *>("Label3");
    QCOMPARE(note->text(), QString("Note : Date format is MM/DD/YYYY. Time format is HH:MM:SS."));
    QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    // Labels left of their boxes, the time right of the date, the note below both.
    auto *date = ti.findChild<QLineEdit *>("Date_Text");
    auto *time = ti.findChild<QLineEdit *>("Time_Text");
    QVERIFY(ti.findChild<QLabel *>("Label1")->geometry().right() < date->geometry().left());
    QVERIFY(ti.findChild<QLabel *>("Label2")->geometry().right() < time->geometry().left());
    QVERIFY(date->geometry().right() < time->geometry().left());
    QVERIFY(note->geometry().top() > date->geometry().bottom());
    QVERIFY(note->geometry().top() > time->geometry().bottom());
}

void TestInputTiForm::offersTheClockAsItAccepts_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("2024-03-07 15:04:05") << Afternoon << "03/07/2024" << "15:04:05";
    QTest::newRow("2031-12-31 00:00:09") << QDateTime(QDate(2031, 12, 31), QTime(0, 0, 9)) << "12/31/2031" << "00:00:09";
}

void TestInputTiForm::offersTheClockAsItAccepts()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, date);
    QFETCH(QString, time);
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, now);
    QCOMPARE(ti.findChild<QLineEdit *>("Date_Text")->text(), date);
    QCOMPARE(ti.findChild<QLineEdit *>("Time_Text")->text(), time);
    // The offered texts pass as they stand, whatever the system's time format.
    QVERIFY(showActive(&ti));
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(int(state.DialogResult), 1);
}

void TestInputTiForm::offersTheCurrentClock()
{
    engine::OperationState state;
    const QDate before = QDate::currentDate();
    dialogs::Input_TI_Form ti(state);
    const QDate after = QDate::currentDate();
    const QString date = ti.findChild<QLineEdit *>("Date_Text")->text();
    QVERIFY2(date == before.toString("MM/dd/yyyy") || date == after.toString("MM/dd/yyyy"), qPrintable(date));
    const QString time = ti.findChild<QLineEdit *>("Time_Text")->text();
    QVERIFY2(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(time).hasMatch(), qPrintable(time));
}

void TestInputTiForm::focusOrder()
{
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    QCOMPARE(focusedName(), QString("No_Command"));
    QCOMPARE(tabWalk(4), QStringList({"OK_Command", "Time_Text", "Date_Text", "No_Command"}));
}

void TestInputTiForm::captionsFit()
{
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    QCOMPARE(cutOffCaptions(&ti), QStringList());
    QCOMPARE(misplacedControls(&ti), QStringList());
}

void TestInputTiForm::confirm_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("12/31/2024 23:59:58 -> 58 59 23 01 31 12 24 20") << "12/31/2024" << "23:59:58"
                                                                 << QByteArray("58 59 23 01 31 12 24 20");
    QTest::newRow("1/1/2024 0:0:0 -> 00 00 00 01 01 01 24 20") << "1/1/2024" << "0:0:0" << QByteArray("00 00 00 01 01 01 24 20");
    QTest::newRow("1/1/2024 9:5:7") << "1/1/2024" << "9:5:7" << QByteArray("07 05 09 01 01 01 24 20");
}

void TestInputTiForm::confirm()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QByteArray, bytes);
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    retype(ti.findChild<QLineEdit *>("Date_Text"), date);
    retype(ti.findChild<QLineEdit *>("Time_Text"), time);
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(!ti.isVisible());
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(hexOf(state.TimeData), bytes);
    // The texts as typed, not normalised.
    QCOMPARE(QString::fromStdString(state.SetDateText), date);
    QCOMPARE(QString::fromStdString(state.SetTimeText), time);
}

void TestInputTiForm::refusalKeepsTheDialogOpen_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("message");
    QTest::newRow("13/01/2024 with 24:00:00: month only") << "13/01/2024" << "24:00:00"
                                                          << "The month error, month is in the range of 1~12.";
    QTest::newRow("12/31/2100") << "12/31/2100" << "12:00:00" << "The year error, year is in the range of 2000~2099.";
    QTest::newRow("12:30: no seconds") << "12/31/2024" << "12:30:" << "Time format error! The correct format is HH:MM:SS.";
    QTest::newRow("1a/01/2024") << "1a/01/2024" << "12:00:00" << "Date format error! The correct format is MM/DD/YYYY.";
    QTest::newRow("11:59:59 PM") << "12/31/2024" << "11:59:59 PM" << "Time format error! The correct format is HH:MM:SS.";
}

void TestInputTiForm::refusalKeepsTheDialogOpen()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, message);
    RecordingPresenter messages;
    engine::OperationState state;
    state.SetDateText = "01/02/2023";
    state.SetTimeText = "04:05:06";
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    retype(ti.findChild<QLineEdit *>("Date_Text"), date);
    retype(ti.findChild<QLineEdit *>("Time_Text"), time);
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(messages.texts(), QStringList{message});
    QVERIFY(messages.allAre(16, "ERROR"));
    QVERIFY(ti.isVisible());
    QCOMPARE(int(state.DialogResult), 0);
    QCOMPARE(state.SetDateText, std::string("01/02/2023"));
    QCOMPARE(state.SetTimeText, std::string("04:05:06"));
    QCOMPARE(ti.findChild<QLineEdit *>("Date_Text")->text(), date);
    QCOMPARE(ti.findChild<QLineEdit *>("Time_Text")->text(), time);

    // Corrected and confirmed again.
    retype(ti.findChild<QLineEdit *>("Date_Text"), "12/31/2024");
    retype(ti.findChild<QLineEdit *>("Time_Text"), "23:59:58");
    QTest::mouseClick(ti.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(hexOf(state.TimeData), QByteArray("58 59 23 01 31 12 24 20"));
}

void TestInputTiForm::cancelAndCloseWriteNothing_data()
{
    QTest::addColumn<bool>("titleBar");
    QTest::addColumn<int>("result");
    QTest::newRow("Cancel -> 2") << false << 2;
    QTest::newRow("title-bar close -> 0") << true << 0;
}

void TestInputTiForm::cancelAndCloseWriteNothing()
{
    QFETCH(bool, titleBar);
    QFETCH(int, result);
    engine::OperationState state;
    state.SetDateText = "01/02/2023";
    state.TimeData = {1, 2, 3, 4, 5, 6, 7, 8};
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    if (titleBar)
        QVERIFY(ti.close());
    else
        QTest::mouseClick(ti.findChild<QPushButton *>("No_Command"), Qt::LeftButton);
    QVERIFY(!ti.isVisible());
    QCOMPARE(int(state.DialogResult), result);
    QCOMPARE(state.SetDateText, std::string("01/02/2023"));
    QCOMPARE(hexOf(state.TimeData), QByteArray("01 02 03 04 05 06 07 08"));
}

void TestInputTiForm::escapeAnswersNothing()
{
    engine::OperationState state;
    dialogs::Input_TI_Form ti(state, nullptr, Afternoon);
    QVERIFY(showActive(&ti));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ti.findChild<QLineEdit *>("Date_Text")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(ti.isVisible());
    QCOMPARE(int(state.DialogResult), 0);
}

QTEST_MAIN(TestInputTiForm)
#include "tst_inputtiform.moc"
