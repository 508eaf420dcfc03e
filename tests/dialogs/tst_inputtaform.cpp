#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "engine/state.h"
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
const QString TariffError = "Tariff data error!";

QByteArray hexOf(const engine::TariffBytes &data)
{
    QByteArray bytes;
    for (const auto &row : data)
        for (const auto b : row)
            bytes.append(static_cast<char>(b));
    return bytes.toHex(' ').toUpper();
}

QByteArray padded(const QByteArray &leading)
{
    QByteArray bytes = QByteArray::fromHex(leading);
    bytes.append(QByteArray(30 - bytes.size(), '\0'));
    return bytes.toHex(' ').toUpper();
}

QStringList summariesOf(const engine::OperationState &state)
{
    return {QString::fromStdString(state.TariffSummaryT1), QString::fromStdString(state.TariffSummaryT2),
            QString::fromStdString(state.TariffSummaryT3), QString::fromStdString(state.TariffSummaryT4)};
}

// One opened tariff dialog with the operator's hands: focus a box, type, move on.
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
    QPushButton *button(const char *name) const { return dialog->findChild<QPushButton *>(name); }

    // Clicks into the box and types over its text; the focus leaves the previous box.
    void type(QWidget *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    void leave() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }
    // Leaves the current box by clicking into another one.
    void clickInto(QWidget *box) { QTest::mouseClick(box, Qt::LeftButton); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
};

} // namespace

// The tariff schedule dialog of "Set Tariff".
class TestInputTaForm : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void tariffEntries_data();
    void tariffEntries();
    void focusOrder();
    void layout();
    void timeBoxCheckedOnLeaving_data();
    void timeBoxCheckedOnLeaving();
    void tariffBoxCheckedOnLeaving_data();
    void tariffBoxCheckedOnLeaving();
    void openingTheListIsNotLeaving();
    void timeFlagStaysUntilItsBoxPasses();
    void tariffFlagStaysUntilItsBoxPasses();
    void checkRunsBeforeConfirm();
    void checkRunsBeforeCancel();
    void confirm_data();
    void confirm();
    void refusedScheduleChangesNothing_data();
    void refusedScheduleChangesNothing();
    void titleBarCloseAndEscapeWriteNothing();
};

void TestInputTaForm::controls()
{
    Operator op;
    QCOMPARE(op.dialog->objectName(), QString("Input_TA_Form"));
    QCOMPARE(op.dialog->windowTitle(), QString("Input Data"));
    for (int slot = 0; slot < 10; ++slot) {
        QVERIFY(op.tariff(slot) && op.time(slot));
        QVERIFY(op.tariff(slot)->isEditable());
        QCOMPARE(op.tariff(slot)->currentText(), QString("NC"));
        QCOMPARE(op.time(slot)->text(), QString("00:00"));
        QCOMPARE(op.dialog->findChild<QLabel *>(QString("Label%1").arg(slot + 1))->text(), QString("Time%1 : ").arg(slot + 1));
    }
    QStringList headings;
    for (int i = 11; i <= 14; ++i)
        headings << op.dialog->findChild<QLabel *>(QString("Label%1").arg(i))->text();
    QCOMPARE(headings, QStringList({"Tariff", "Time", "Tariff", "Time"}));
    auto *note = op.dialog->findChild<QLabel *>("Label15");
    QCOMPARE(note->text(), QString("Note : Time format is HH:MM"));
    QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(op.button("OK_Command")->text(), QString("Confirm"));
    QCOMPARE(op.button("No_Command")->text(), QString("Cancel"));
}

void TestInputTaForm::tariffEntries_data()
{
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QStringList>("entries");
    const QStringList four{"NC", "T1", "T2", "T3", "T4"};
    const QStringList two{"NC", "T1", "T2"};
    QTest::newRow("Morel Serial") << "Morel Serial" << four;
    QTest::newRow("Corvi-R") << "Corvi-R" << four;
    QTest::newRow("Morel-N") << "Morel-N" << four;
    QTest::newRow("Pesca-N") << "Pesca-N" << two;
}

void TestInputTaForm::tariffEntries()
{
    QFETCH(QString, meterType);
    QFETCH(QStringList, entries);
    Operator op(meterType);
    for (int slot = 0; slot < 10; ++slot) {
        QStringList items;
        for (int i = 0; i < op.tariff(slot)->count(); ++i)
            items << op.tariff(slot)->itemText(i);
        QCOMPARE(items, entries);
    }
}

void TestInputTaForm::focusOrder()
{
    Operator op;
    QVERIFY(op.open());
    QCOMPARE(focusedName(), QString("Tariff_Combo0"));
    QStringList expected;
    for (int i = 1; i <= 4; ++i)
        expected << QString("Tariff_Combo%1").arg(i);
    for (int i = 0; i <= 4; ++i)
        expected << QString("Tariff_Text%1").arg(i);
    expected << "Tariff_Combo5" << "Tariff_Text5";
    for (int i = 6; i <= 9; ++i)
        expected << QString("Tariff_Combo%1").arg(i);
    for (int i = 6; i <= 9; ++i)
        expected << QString("Tariff_Text%1").arg(i);
    expected << "OK_Command" << "No_Command" << "Tariff_Combo0";
    QCOMPARE(tabWalk(static_cast<int>(expected.size())), expected);
    // Walking through untouched boxes finds nothing wrong.
    QCOMPARE(op.messages.texts(), QStringList());
}

void TestInputTaForm::layout()
{
    Operator op;
    QVERIFY(op.open());
    QCOMPARE(cutOffCaptions(op.dialog.get()), QStringList());
    QCOMPARE(misplacedControls(op.dialog.get()), QStringList());
    // Two columns of five rows: label, tariff box, time box.
    for (int slot = 0; slot < 10; ++slot) {
        const QRect label = op.dialog->findChild<QLabel *>(QString("Label%1").arg(slot + 1))->geometry();
        const QRect tariff = op.tariff(slot)->geometry();
        const QRect time = op.time(slot)->geometry();
        QVERIFY(label.right() < tariff.left() && tariff.right() < time.left());
        if (slot % 5 != 0)
            QVERIFY(tariff.top() > op.tariff(slot - 1)->geometry().bottom());
        if (slot >= 5)
            QVERIFY(tariff.left() > op.time(slot - 5)->geometry().right());
    }
    const QRect note = op.dialog->findChild<QLabel *>("Label15")->geometry();
    QVERIFY(note.top() > op.time(4)->geometry().bottom() && note.right() < op.tariff(5)->geometry().left());
    QVERIFY(op.button("OK_Command")->geometry().top() > op.time(9)->geometry().bottom());
    QVERIFY(op.button("OK_Command")->geometry().left() >= op.dialog->findChild<QLabel *>("Label6")->geometry().left());
}

void TestInputTaForm::timeBoxCheckedOnLeaving_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("7:5 -> 07:05") << "7:5" << "07:05" << QStringList{};
    QTest::newRow("8:30 -> 08:30") << "8:30" << "08:30" << QStringList{};
    QTest::newRow("12:5 -> 12:05") << "12:5" << "12:05" << QStringList{};
    QTest::newRow("24:00") << "24:00" << "24:00" << QStringList{M3};
    QTest::newRow("12:60") << "12:60" << "12:60" << QStringList{M2};
    QTest::newRow("99:") << "99:" << "99:" << QStringList{M1, M3};
    QTest::newRow("' 8:30'") << " 8:30" << " 8:30" << QStringList{M1};
    QTest::newRow("ab:cd") << "ab:cd" << "ab:cd" << QStringList{M1};
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
    QTest::addColumn<QStringList>("before"); // tariff texts set in slot order
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("box 3 T1 after box 2 T1 -> Time4") << QStringList{"T1", "T2", "T1"} << 3 << "T1"
                                                      << QStringList{"Time4 data error!"};
    QTest::newRow("box 9 T1 after box 8 T1 -> Time9")
        << QStringList{"T1", "T2", "T1", "T2", "T1", "T2", "T1", "T2", "T1"} << 9 << "T1" << QStringList{"Time9 data error!"};
    QTest::newRow("box 2 T2 after an empty box 1 -> Time2") << QStringList{"T1"} << 2 << "T2" << QStringList{"Time2 data error!"};
    QTest::newRow("box 1 T2 after T1") << QStringList{"T1"} << 1 << "T2" << QStringList{};
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

void TestInputTaForm::timeFlagStaysUntilItsBoxPasses()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.time(0), "24:00");
    op.leave();
    QCOMPARE(op.messages.texts(), QStringList{M3});

    // Mended without passing through the box: still refused.
    op.time(0)->setText("08:00");
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList({M3, M1}));
    QVERIFY(op.dialog->isVisible());

    // A neighbour passing its check does not clear it either.
    op.type(op.time(1), "09:00");
    op.leave();
    op.click("OK_Command");
    QCOMPARE(op.messages.texts().last(), M1);

    // Its own box passes: confirmed.
    op.type(op.time(0), "08:00");
    op.leave();
    op.messages.clear();
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(int(op.state.DialogResult), 1);
}

void TestInputTaForm::tariffFlagStaysUntilItsBoxPasses()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.tariff(0), "T1");
    op.type(op.tariff(1), "T1");
    op.leave();
    QCOMPARE(op.messages.texts(), QStringList{"Time2 data error!"});

    // The cause removed in the neighbouring slot: slot 1 keeps its flag.
    op.type(op.tariff(0), "T2");
    op.clickInto(op.time(9));
    op.messages.clear();
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList{TariffError});

    // Slot 1's own box passes; now the start times are judged.
    op.type(op.tariff(1), "T1");
    op.leave();
    op.messages.clear();
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList{"Time2 data error!"});

    op.type(op.time(0), "8:00");
    op.type(op.time(1), "12:00");
    op.leave();
    op.messages.clear();
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(int(op.state.DialogResult), 1);
    QCOMPARE(hexOf(op.state.TariffData), padded("020008010012"));
}

void TestInputTaForm::checkRunsBeforeConfirm()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.tariff(0), "T1");
    op.type(op.time(0), "7:5");
    // Still in the box: the click takes the focus, the box is repaired first.
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(int(op.state.DialogResult), 1);
    QCOMPARE(hexOf(op.state.TariffData), padded("010507"));
    QCOMPARE(QString::fromStdString(op.state.TariffSummaryT1), QString("T1 : 07:05 to 07:05 . "));

    Operator bad;
    QVERIFY(bad.open());
    bad.type(bad.time(3), "24:00");
    bad.click("OK_Command");
    QCOMPARE(bad.messages.texts(), QStringList({M3, M1}));
    QVERIFY(bad.dialog->isVisible());
    QCOMPARE(int(bad.state.DialogResult), 0);
}

void TestInputTaForm::checkRunsBeforeCancel()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.time(2), "12:60");
    op.click("No_Command");
    QCOMPARE(op.messages.texts(), QStringList{M2});
    QVERIFY(!op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 2);
    QCOMPARE(op.state.TariffSummaryT1, std::string());
}

void TestInputTaForm::confirm_data()
{
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QStringList>("schedule"); // "T1 06:00" per used slot
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("summaries");
    QTest::newRow("all NC") << "Morel Serial" << QStringList{} << padded("")
                            << QStringList{"No set T1. ", "No set T2. ", "No set T3. ", "No set T4. "};
    QTest::newRow("T1 06:00, T2 22:00 -> 01 00 06 02 00 22")
        << "Morel Serial" << QStringList{"T1 06:00", "T2 22:00"} << padded("010006020022")
        << QStringList{"T1 : 06:00 to 22:00 . ", "T2 : 22:00 to 06:00 . ", "No set T3. ", "No set T4. "};
    QTest::newRow("T1 twice around T2") << "Corvi-R" << QStringList{"T1 08:00", "T2 12:00", "T1 18:00", "T2 22:00"}
                                        << padded("010008020012010018020022")
                                        << QStringList{"T1 : 08:00 to 12:00 . 18:00 to 22:00 . ",
                                                       "T2 : 12:00 to 18:00 . 22:00 to 08:00 . ", "No set T3. ",
                                                       "No set T4. "};
    QTest::newRow("Pesca-N with a typed T3 -> 03") << "Pesca-N" << QStringList{"T1 06:00", "T3 18:00"} << padded("010006030018")
                                                   << QStringList{"T1 : 06:00 to 18:00 . ", "No set T2. ",
                                                                  "T3 : 18:00 to 06:00 . ", "No set T4. "};
}

void TestInputTaForm::confirm()
{
    QFETCH(QString, meterType);
    QFETCH(QStringList, schedule);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, summaries);
    Operator op(meterType);
    QVERIFY(op.open());
    for (int i = 0; i < schedule.size(); ++i) {
        op.type(op.tariff(i), schedule[i].section(' ', 0, 0));
        op.type(op.time(i), schedule[i].section(' ', 1, 1));
    }
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList());
    QVERIFY(!op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 1);
    QCOMPARE(hexOf(op.state.TariffData), bytes);
    QCOMPARE(summariesOf(op.state), summaries);
}

void TestInputTaForm::refusedScheduleChangesNothing_data()
{
    QTest::addColumn<QStringList>("schedule");
    QTest::addColumn<QString>("message");
    QTest::newRow("T1 00:00, T2 00:00 -> Time2") << QStringList{"T1 00:00", "T2 00:00"} << "Time2 data error!";
    QTest::newRow("T5 typed") << QStringList{"T1 06:00", "T5 07:00"} << TariffError;
}

void TestInputTaForm::refusedScheduleChangesNothing()
{
    QFETCH(QStringList, schedule);
    QFETCH(QString, message);
    Operator op;
    op.state.TariffData[1] = {0x02, 0x45, 0x23};
    op.state.TariffSummaryT1 = "T1 : 01:00 to 02:00 . ";
    QVERIFY(op.open());
    for (int i = 0; i < schedule.size(); ++i) {
        op.type(op.tariff(i), schedule[i].section(' ', 0, 0));
        op.type(op.time(i), schedule[i].section(' ', 1, 1));
    }
    op.click("OK_Command");
    QCOMPARE(op.messages.texts(), QStringList{message});
    QVERIFY(op.messages.allAre(16, "ERROR"));
    QVERIFY(op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 0);
    QCOMPARE(hexOf(op.state.TariffData), padded("000000024523"));
    QCOMPARE(op.state.TariffSummaryT1, std::string("T1 : 01:00 to 02:00 . "));
    // The texts stay as typed and the focus stays on the button.
    QCOMPARE(op.tariff(1)->currentText(), schedule[1].section(' ', 0, 0));
    QCOMPARE(focusedName(), QString("OK_Command"));
}

void TestInputTaForm::titleBarCloseAndEscapeWriteNothing()
{
    Operator op;
    QVERIFY(op.open());
    op.type(op.tariff(0), "T1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(op.dialog->isVisible());
    QVERIFY(op.dialog->close());
    QVERIFY(!op.dialog->isVisible());
    QCOMPARE(int(op.state.DialogResult), 0);
    QCOMPARE(hexOf(op.state.TariffData), padded(""));
    QCOMPARE(op.state.TariffSummaryT1, std::string());
    QCOMPARE(op.messages.texts(), QStringList());
}

QTEST_MAIN(TestInputTaForm)
#include "tst_inputtaform.moc"
