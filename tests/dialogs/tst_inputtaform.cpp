#include "dialogtesting.h"
#include "support/messagelog.h"

#include <QMessageBox>
#include <QtTest>

using namespace dialogtesting;

// The tariff schedule dialog of "Set Tariff": each box checked as it loses the focus, the
// schedule when confirmed.
class TestInputTaForm : public QObject {
    Q_OBJECT
private slots:
    void operate_data();
    void operate();
    void buttonPressedUnderARealCheckMessage_data();
    void buttonPressedUnderARealCheckMessage();
};

void TestInputTaForm::operate_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("shown");
    // DialogResult, then TariffData up to its last used slot and the summaries T1|T2|T3|T4,
    // or "open" with the control that has the focus.
    QTest::addColumn<QString>("outcome");
    const QString M1 = "Time data format error! The correct format is HH:MM.";
    const QString M2 = "Time data format error! Not more than 59 minutes .";
    const QString M3 = "Time data format error! Not more than 24 hours.";
    QTest::newRow("99: left") << QStringList{"Tariff_Text7=99:", "Tab"} << QStringList{M1, M3} << "0 open Tariff_Text8";
    QTest::newRow("' 8:30' left") << QStringList{"Tariff_Text7= 8:30", "Tab"} << QStringList{M1} << "0 open Tariff_Text8";
    QTest::newRow("box 3 T1 after box 2 T1 -> Time4")
        << QStringList{"Tariff_Combo0=T1", "Tariff_Combo1=T2", "Tariff_Combo2=T1", "Tariff_Combo3=T1", "Tab"}
        << QStringList{"Time4 data error!"} << "0 open Tariff_Combo4";
    QTest::newRow("box 2 T2 after an empty box 1 -> Time2") << QStringList{"Tariff_Combo0=T1", "Tariff_Combo2=T2", "Tab"}
                                                            << QStringList{"Time2 data error!"} << "0 open Tariff_Combo3";
    QTest::newRow("box 1 T1 after box 0 T1, its list opened on the way")
        << QStringList{"Tariff_Combo0=T1", "Tariff_Combo1=T1", "list", "Tab"} << QStringList{"Time2 data error!"}
        << "0 open Tariff_Combo2";
    QTest::newRow("7:5 still in its box at Confirm -> 07:05")
        << QStringList{"Tariff_Combo0=T1", "Tariff_Text0=7:5", "OK_Command"} << QStringList{}
        << "1 01 05 07 T1 : 07:05 to 07:05 . |No set T2. |No set T3. |No set T4. ";
    QTest::newRow("T1 06:00, T3 typed for Pesca-N 18:00")
        << QStringList{"Tariff_Combo0=T1", "Tariff_Text0=06:00", "Tariff_Combo1=T3", "Tariff_Text1=18:00", "OK_Command"}
        << QStringList{} << "1 01 00 06 03 00 18 T1 : 06:00 to 18:00 . |No set T2. |T3 : 18:00 to 06:00 . |No set T4. ";
    QTest::newRow("t2 typed stays t2 and is refused")
        << QStringList{"Tariff_Combo0=t2", "Tariff_Text0=06:00", "OK_Command"} << QStringList{"Tariff data error!"}
        << "0 open OK_Command";
    QTest::newRow("-1:30 left -> hours, 12:-5 -> minutes")
        << QStringList{"Tariff_Text0=-1:30", "Tariff_Text1=12:-5", "Tab"} << QStringList{M3, M2} << "0 open Tariff_Text2";
    QTest::newRow("T5 refused") << QStringList{"Tariff_Combo0=T1", "Tariff_Text0=06:00", "Tariff_Combo1=T5", "Tariff_Text1=07:00",
                                               "OK_Command"}
                                << QStringList{"Tariff data error!"} << "0 open OK_Command";
    // Confirm and Cancel take the focus from the box, so its check comes first.
    QTest::newRow("24:00 at Confirm, 12:60 at Cancel")
        << QStringList{"Tariff_Text3=24:00", "OK_Command", "Tariff_Text2=12:60", "No_Command"} << QStringList{M3, M1, M2} << "2";
    // A flag goes only when its own box passes, not when the cause goes next door.
    QTest::newRow("flags until their own boxes pass")
        << QStringList{"Tariff_Text5=24:00", "Tariff_Combo0=T1", "Tariff_Combo1=T1", "Tab", "Tariff_Combo0=T2",
                       "Tariff_Text0=08:00", "Tariff_Text1=12:00", "OK_Command", "Tariff_Text5=00:00", "OK_Command",
                       "Tariff_Combo1=T1", "OK_Command"}
        << QStringList{M3, "Time2 data error!", M1, "Tariff data error!"}
        << "1 02 00 08 01 00 12 T1 : 12:00 to 08:00 . |T2 : 08:00 to 12:00 . |No set T3. |No set T4. ";
}

void TestInputTaForm::operate()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);
    QFETCH(QString, outcome);
    MessageLog messages;
    engine::OperationState state;
    const auto ta = make("Input_TA_Form", "Pesca-N");
    QVERIFY(showActive(ta.get()));
    play(ta.get(), steps);
    store(ta.get(), state);
    QCOMPARE(messages.texts(), shown);
    for (const auto &m : messages.entries)
        QCOMPARE(QString::number(m.style) + " " + m.caption, QString("16 ERROR"));
    QByteArray bytes(reinterpret_cast<const char *>(state.TariffData.data()), 30);
    while (bytes.endsWith(QByteArray(3, '\0')))
        bytes.chop(3);
    QStringList actual{QString::number(state.DialogResult)};
    if (ta->isVisible())
        actual << "open" << focusedName();
    else if (state.DialogResult == 1)
        actual << bytes.toHex(' ')
               << QString::fromStdString(state.TariffSummaryT1 + "|" + state.TariffSummaryT2 + "|" + state.TariffSummaryT3 + "|"
                                         + state.TariffSummaryT4);
    QCOMPARE(actual.join(' '), outcome);
}

void TestInputTaForm::buttonPressedUnderARealCheckMessage_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("result"); // -1: still open
    QTest::newRow("12:60 then Cancel") << "12:60" << "No_Command"
                                       << QStringList{"Time data format error! Not more than 59 minutes ."} << 2;
    QTest::newRow("24:00 then Confirm")
        << "24:00" << "OK_Command"
        << QStringList{"Time data format error! Not more than 24 hours.",
                       "Time data format error! The correct format is HH:MM."}
        << -1;
}

// The press on a button takes the focus, the box's check opens a real modal
// message, and the release lands while it is up: the button must still act.
void TestInputTaForm::buttonPressedUnderARealCheckMessage()
{
    QFETCH(QString, time);
    QFETCH(QString, button);
    QFETCH(QStringList, shown);
    QFETCH(int, result);
    engine::OperationState state;
    const auto ta = make("Input_TA_Form", "Pesca-N");
    QVERIFY(showActive(ta.get()));
    auto *box = ta->findChild<QLineEdit *>("Tariff_Text3");
    auto *target = ta->findChild<QPushButton *>(button);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, time);

    // Every message box that comes up: the release meant for the button is
    // sent while it is up, then the operator presses its OK.
    QStringList seen;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        auto *message = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!message || !message->isVisible() || seen.size() > 5)
            return;
        seen << message->text();
        if (seen.size() == 1)
            QTest::mouseRelease(target, Qt::LeftButton);
        message->buttons().front()->click();
    });
    answer.start(10);
    QTest::mousePress(target, Qt::LeftButton);
    QTRY_COMPARE(seen, shown);
    QTRY_VERIFY(!target->isDown());
    QCOMPARE(ta->isVisible(), result < 0);
    store(ta.get(), state);
    QCOMPARE(int(state.DialogResult), result < 0 ? 0 : result);
}

QTEST_MAIN(TestInputTaForm)
#include "tst_inputtaform.moc"
