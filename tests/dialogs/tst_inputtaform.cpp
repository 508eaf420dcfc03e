#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "ui/dialogs/inputtaform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace dialogtesting;

namespace {

const QString M1 = "Time data format error! The correct format is HH:MM.";
const QString M2 = "Time data format error! Not more than 59 minutes .";
const QString M3 = "Time data format error! Not more than 24 hours.";

// One opened tariff dialog and the operator's hands: click into a box, type, move on.
struct Operator {
    RecordingPresenter messages;
    engine::OperationState state;
    std::unique_ptr<dialogs::Input_TA_Form> dialog;

    explicit Operator(const QString &meterType = "Morel Serial")
        : dialog(std::make_unique<dialogs::Input_TA_Form>(state, meterType))
    {
    }
    bool open() { return showActive(dialog.get()); }
    QComboBox *tariff(int slot) const { return dialog->findChild<QComboBox *>(QString("Tariff_Combo%1").arg(slot)); }
    QLineEdit *time(int slot) const { return dialog->findChild<QLineEdit *>(QString("Tariff_Text%1").arg(slot)); }

    void type(QWidget *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    // "T1 06:00" per slot from slot 0.
    void fill(const QStringList &slots_)
    {
        for (int i = 0; i < slots_.size(); ++i) {
            type(tariff(i), slots_[i].section(' ', 0, 0));
            type(time(i), slots_[i].section(' ', 1, 1));
        }
    }
    void leave() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }
    void click(const char *name) { QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton); }
    QString bytes() const
    {
        QByteArray b(reinterpret_cast<const char *>(state.TariffData.data()), 30);
        while (b.endsWith(QByteArray(3, '\0')))
            b.chop(3);
        return QString(b.toHex(' '));
    }
    QString summaries() const
    {
        return QString::fromStdString(state.TariffSummaryT1 + "|" + state.TariffSummaryT2 + "|" + state.TariffSummaryT3 + "|"
                                      + state.TariffSummaryT4);
    }
};

} // namespace

// The tariff schedule dialog of "Set Tariff".
class TestInputTaForm : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void focusAndLayout();
    void timeBoxCheckedOnLeaving_data();
    void timeBoxCheckedOnLeaving();
    void tariffBoxCheckedOnLeaving_data();
    void tariffBoxCheckedOnLeaving();
    void openingTheListIsNotLeaving();
    void flagStaysUntilItsOwnBoxPasses();
    void boxIsCheckedBeforeTheButtonActs();
    void confirm_data();
    void confirm();
    void refusalChangesNothing();
    void closeAndEscapeWriteNothing();
};

void TestInputTaForm::controls()
{
    for (const auto &[meterType, entries] : {std::pair{"Morel Serial", "NC,T1,T2,T3,T4"}, std::pair{"Corvi-R", "NC,T1,T2,T3,T4"},
                                             std::pair{"Morel-N", "NC,T1,T2,T3,T4"}, std::pair{"Pesca-N", "NC,T1,T2"}}) {
        Operator op(meterType);
        for (int slot = 0; slot < 10; ++slot) {
            QStringList items;
            for (int i = 0; i < op.tariff(slot)->count(); ++i)
                items << op.tariff(slot)->itemText(i);
            QCOMPARE(items.join(','), QString(entries));
            QVERIFY(op.tariff(slot)->isEditable());
            QCOMPARE(op.tariff(slot)->currentText() + " " + op.time(slot)->text(), QString("NC 00:00"));
        }
    }
    Operator op;
    QCOMPARE(op.dialog->objectName() + " " + op.dialog->windowTitle(), QString("Input_TA_Form Input Data"));
    QStringList labels;
    for (int i = 1; i <= 15; ++i)
        labels << op.dialog->findChild<QLabel *>(QString("Label%1").arg(i))->text();
    QCOMPARE(labels.join('|'), QString("Time1 : |Time2 : |Time3 : |Time4 : |Time5 : |Time6 : |Time7 : |Time8 : |Time9 : |"
                                       "Time10 : |Tariff|Time|Tariff|Time|Note : Time format is HH:MM"));
    QCOMPARE(op.dialog->findChild<QLabel *>("Label15")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(op.dialog->findChild<QPushButton *>("OK_Command")->text(), QString("Confirm"));
    QCOMPARE(op.dialog->findChild<QPushButton *>("No_Command")->text(), QString("Cancel"));
}

void TestInputTaForm::focusAndLayout()
{
    Operator op;
    QVERIFY(op.open());
    QStringList expected{"Tariff_Combo0", "Tariff_Combo1", "Tariff_Combo2", "Tariff_Combo3", "Tariff_Combo4",
                         "Tariff_Text0", "Tariff_Text1", "Tariff_Text2", "Tariff_Text3", "Tariff_Text4",
                         "Tariff_Combo5", "Tariff_Text5", "Tariff_Combo6", "Tariff_Combo7", "Tariff_Combo8",
                         "Tariff_Combo9", "Tariff_Text6", "Tariff_Text7", "Tariff_Text8", "Tariff_Text9",
                         "OK_Command", "No_Command", "Tariff_Combo0"};
    QCOMPARE(QStringList{focusedName()} + tabWalk(expected.size() - 1), expected);
    QCOMPARE(op.messages.texts(), QStringList()); // untouched boxes pass
    QCOMPARE(layoutProblems(op.dialog.get()), QStringList());
    // Two columns of five rows (label, tariff, time); the note under the left, the buttons under the right.
    for (int slot = 0; slot < 10; ++slot) {
        const QRect label = op.dialog->findChild<QLabel *>(QString("Label%1").arg(slot + 1))->geometry();
        QVERIFY(label.right() < op.tariff(slot)->x() && op.tariff(slot)->geometry().right() < op.time(slot)->x());
        QCOMPARE(op.tariff(slot)->x(), op.tariff(slot < 5 ? 0 : 5)->x());
        QCOMPARE(op.tariff(slot)->y(), op.tariff(slot % 5)->y());
    }
    QVERIFY(op.tariff(5)->x() > op.time(0)->geometry().right());
    QVERIFY(op.dialog->findChild<QLabel *>("Label15")->geometry().right() < op.tariff(5)->x());
    QVERIFY(op.dialog->findChild<QPushButton *>("OK_Command")->x() > op.time(0)->geometry().right());
    QVERIFY(op.dialog->findChild<QPushButton *>("OK_Command")->y() > op.time(9)->geometry().bottom());
}

void TestInputTaForm::timeBoxCheckedOnLeaving_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("7:5 -> 07:05") << "7:5" << "07:05" << QStringList{};
    QTest::newRow("24:00") << "24:00" << "24:00" << QStringList{M3};
    QTest::newRow("12:60") << "12:60" << "12:60" << QStringList{M2};
    QTest::newRow("99:") << "99:" << "99:" << QStringList{M1, M3};
    QTest::newRow("' 8:30'") << " 8:30" << " 8:30" << QStringList{M1};
}

void TestInputTaForm::timeBoxCheckedOnLeaving()
{
    QFETCH(QString, typed);
    QFETCH(QString, after);
    QFETCH(QStringList, shown);
    Operator op;
    QVERIFY(op.open());
    op.type(op.time(7), typed);
    QCOMPARE(op.messages.texts(), QStringList()); // nothing while typing
    op.leave();
    QCOMPARE(op.time(7)->text(), after);
    QCOMPARE(op.messages.texts(), shown);
    QVERIFY(op.messages.allAre(16, "ERROR"));
    QCOMPARE(focusedName(), QString("Tariff_Text8")); // the focus moves on regardless
}

void TestInputTaForm::tariffBoxCheckedOnLeaving_data()
{
    QTest::addColumn<QStringList>("before"); // from slot 0
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("box 3 T1 after box 2 T1 -> Time4") << QStringList{"T1", "T2", "T1"} << 3 << "T1" << QStringList{"Time4 data error!"};
    QTest::newRow("box 9 T1 after box 8 T1 -> Time9") << QStringList{"T1", "T2", "T1", "T2", "T1", "T2", "T1", "T2", "T1"} << 9
                                                      << "T1" << QStringList{"Time9 data error!"};
    QTest::newRow("box 2 T2 after an empty box 1 -> Time2") << QStringList{"T1"} << 2 << "T2" << QStringList{"Time2 data error!"};
    QTest::newRow("T3 typed for Pesca-N") << QStringList{"T1", "T2"} << 2 << "T3" << QStringList{};
}

void TestInputTaForm::tariffBoxCheckedOnLeaving()
{
    QFETCH(QStringList, before);
    QFETCH(int, slot);
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    Operator op("Pesca-N");
    for (int i = 0; i < before.size(); ++i)
        op.tariff(i)->setEditText(before[i]);
    QVERIFY(op.open());
    op.type(op.tariff(slot), typed);
    op.leave();
    QCOMPARE(op.tariff(slot)->currentText(), typed);
    QCOMPARE(op.messages.texts(), shown);
    QVERIFY(op.messages.allAre(16, "ERROR"));
}

void TestInputTaForm::openingTheListIsNotLeaving()
{
    Operator op;
    op.tariff(0)->setEditText("T1");
    QVERIFY(op.open());
    op.type(op.tariff(1), "T1");
    op.tariff(1)->showPopup();
    op.tariff(1)->hidePopup();
    QCOMPARE(op.messages.texts(), QStringList());
    op.leave();
    QCOMPARE(op.messages.texts(), QStringList{"Time2 data error!"});
}

void TestInputTaForm::flagStaysUntilItsOwnBoxPasses()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.time(0), "24:00");
    op.leave();
    op.time(0)->setText("08:00"); // mended without passing through the box
    op.type(op.tariff(0), "T1");
    op.type(op.tariff(1), "T1");
    op.leave();
    op.type(op.tariff(0), "T2"); // the cause of slot 1's flag removed next door
    QTest::mouseClick(op.time(9), Qt::LeftButton);
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList({M3, "Time2 data error!", M1}));

    op.type(op.time(0), "08:00");
    op.type(op.time(1), "12:00");
    op.click("OK_Command");
    QCOMPARE(op.messages.texts().last(), QString("Tariff data error!"));

    op.type(op.tariff(1), "T1");
    op.click("OK_Command");
    QCOMPARE(op.messages.shown.size(), 4);
    QCOMPARE(int(op.state.DialogResult), 1);
    QCOMPARE(op.bytes(), QString("02 00 08 01 00 12"));
}

void TestInputTaForm::boxIsCheckedBeforeTheButtonActs()
{
    Operator op;
    QVERIFY(op.open());
    op.fill({"T1 7:5"}); // still in the time box when Confirm is clicked
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(op.bytes(), QString("01 05 07"));
    QCOMPARE(op.summaries(), QString("T1 : 07:05 to 07:05 . |No set T2. |No set T3. |No set T4. "));

    Operator bad;
    QVERIFY(bad.open());
    bad.type(bad.time(3), "24:00");
    bad.click("OK_Command");
    QCOMPARE(bad.messages.texts(), QStringList({M3, M1}));
    QVERIFY(bad.dialog->isVisible());
    bad.type(bad.time(2), "12:60");
    bad.click("No_Command");
    QCOMPARE(bad.messages.texts().last(), M2);
    QVERIFY(!bad.dialog->isVisible());
    QCOMPARE(int(bad.state.DialogResult), 2);
}

void TestInputTaForm::confirm_data()
{
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QStringList>("schedule");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("summaries");
    QTest::newRow("all NC") << "Morel Serial" << QStringList{} << "" << "No set T1. |No set T2. |No set T3. |No set T4. ";
    QTest::newRow("T1 06:00, T2 22:00") << "Morel Serial" << QStringList{"T1 06:00", "T2 22:00"} << "01 00 06 02 00 22"
                                        << "T1 : 06:00 to 22:00 . |T2 : 22:00 to 06:00 . |No set T3. |No set T4. ";
    QTest::newRow("Pesca-N with a typed T3") << "Pesca-N" << QStringList{"T1 06:00", "T3 18:00"} << "01 00 06 03 00 18"
                                             << "T1 : 06:00 to 18:00 . |No set T2. |T3 : 18:00 to 06:00 . |No set T4. ";
}

void TestInputTaForm::confirm()
{
    QFETCH(QString, meterType);
    QFETCH(QStringList, schedule);
    QFETCH(QString, bytes);
    QFETCH(QString, summaries);
    Operator op(meterType);
    op.state.TariffData[9] = {4, 4, 4};
    QVERIFY(op.open());
    op.fill(schedule);
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QVERIFY(!op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 1);
    QCOMPARE(op.bytes(), bytes);
    QCOMPARE(op.summaries(), summaries);
}

void TestInputTaForm::refusalChangesNothing()
{
    Operator op;
    op.state.TariffData[1] = {0x02, 0x45, 0x23};
    op.state.TariffSummaryT1 = "T1 : 01:00 to 02:00 . ";
    QVERIFY(op.open());
    op.fill({"T1 06:00", "T5 07:00"});
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList{"Tariff data error!"});
    QVERIFY(op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 0);
    QCOMPARE(op.bytes(), QString("00 00 00 02 45 23"));
    QCOMPARE(op.state.TariffSummaryT1, std::string("T1 : 01:00 to 02:00 . "));
    QCOMPARE(op.tariff(1)->currentText(), QString("T5")); // texts as typed, focus not moved back
    QCOMPARE(focusedName(), QString("OK_Command"));
}

void TestInputTaForm::closeAndEscapeWriteNothing()
{
    Operator op;
    QVERIFY(op.open());
    op.fill({"T1 06:00"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(op.dialog->isVisible());
    QVERIFY(op.dialog->close());
    QCOMPARE(int(op.state.DialogResult), 0);
    QCOMPARE(op.bytes() + op.summaries(), QString("|||"));
    QCOMPARE(op.messages.texts(), QStringList());
}

QTEST_MAIN(TestInputTaForm)
#include "tst_inputtaform.moc"
