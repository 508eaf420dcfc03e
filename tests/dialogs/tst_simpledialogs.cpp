#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "ui/dialogs/inputbdform.h"
#include "ui/dialogs/inputctform.h"
#include "ui/dialogs/inputidform.h"
#include "ui/dialogs/inputprform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace dialogtesting;

namespace {

const QString Illegal = "The input data contains illegal characters, please re-enter effective number!";
const QString Range = "The input data is out of range, please re-enter the numbers ranges from 1-247!";
const QStringList Dialogs = {"Input_ID_Form", "Input_BD_Form", "Input_PR_Form", "Input_CT_Form"};

std::unique_ptr<QDialog> make(const QString &name, engine::OperationState &state)
{
    if (name == "Input_ID_Form")
        return std::make_unique<dialogs::Input_ID_Form>(state);
    if (name == "Input_BD_Form")
        return std::make_unique<dialogs::Input_BD_Form>(state);
    if (name == "Input_PR_Form")
        return std::make_unique<dialogs::Input_PR_Form>(state);
    return std::make_unique<dialogs::Input_CT_Form>(state);
}

// What a control shows: caption, text, or the selected entry and all entries of a list.
QString shownBy(const QWidget *w)
{
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<const QPushButton *>(w))
        return button->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return edit->text();
    if (auto *combo = qobject_cast<const QComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return combo->currentText() + " of " + items.join(',') + (combo->isEditable() ? " editable" : "");
    }
    return "?";
}

// One pick from the keyboard on a drop-down list.
void press(QComboBox *combo, Qt::Key key)
{
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, key);
}

} // namespace

// The address, baud rate, parity and CT dialogs.
class TestSimpleDialogs : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void focusAndLayout_data();
    void focusAndLayout();
    void nothingAnswered_data();
    void nothingAnswered();
    void confirmWritesValues();
    void filters_data();
    void filters();
    void longPasteIsCutBackWithoutFailing();
    void parityAndStopBitsStayCompatible();
};

void TestSimpleDialogs::controls_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("shown"); // name=content of every control
    QTest::newRow("Input_ID_Form") << "Input_ID_Form"
                                   << QStringList{"Label1=Please input the chosen meter address  :", "Input_Text=1",
                                                  "OK_Command=Confirm", "No_Command=Cancel",
                                                  "Label2=Note :The meter address is in the range of 1~247."};
    QTest::newRow("Input_BD_Form") << "Input_BD_Form"
                                   << QStringList{"Label1=Please input the chosen baudrate : ", "No_Command=Cancel",
                                                  "OK_Command=Confirm", "Combo1=2400 of 1200,2400,4800,9600,19200,38400"};
    QTest::newRow("Input_PR_Form") << "Input_PR_Form"
                                   << QStringList{"Label1=Please input the chosen parity : ",
                                                  "Label2=Please input the chosen stop bit : ", "Combo1=NONE of NONE,ODD,EVEN",
                                                  "Combo2=1 of 1,2", "OK_Command=Confirm", "No_Command=Cancel"};
    QTest::newRow("Input_CT_Form") << "Input_CT_Form"
                                   << QStringList{"Label1=Please input the chosen CT1 data  :",
                                                  "Label2=Please input the chosen CT2 data  :", "Input1_Text=", "Input2_Text=",
                                                  "No_Command=Cancel", "OK_Command=Confirm"};
}

void TestSimpleDialogs::controls()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, shown);
    engine::OperationState state;
    const auto window = make(dialog, state);
    QCOMPARE(window->objectName(), dialog);
    QCOMPARE(window->windowTitle(), QString("Input Data"));
    QStringList actual;
    for (const QWidget *w : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        actual << w->objectName() + "=" + shownBy(w);
    actual.sort();
    shown.sort();
    QCOMPARE(actual, shown);
    if (auto *note = window->findChild<QLabel *>("Label2"); note && dialog == "Input_ID_Form")
        QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

void TestSimpleDialogs::focusAndLayout_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("focus"); // at opening, then after each Tab, a full round
    QTest::newRow("ID") << "Input_ID_Form" << QStringList{"Input_Text", "OK_Command", "No_Command", "Input_Text"};
    QTest::newRow("BD") << "Input_BD_Form" << QStringList{"No_Command", "OK_Command", "Combo1", "No_Command"};
    QTest::newRow("PR") << "Input_PR_Form" << QStringList{"Combo1", "Combo2", "OK_Command", "No_Command", "Combo1"};
    QTest::newRow("CT") << "Input_CT_Form"
                        << QStringList{"Input1_Text", "Input2_Text", "No_Command", "OK_Command", "Input1_Text"};
}

void TestSimpleDialogs::focusAndLayout()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, focus);
    engine::OperationState state;
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    // The caret waits after the text, nothing selected.
    for (auto *edit : window->findChildren<QLineEdit *>())
        QVERIFY(edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText());
    QCOMPARE(QStringList{focusedName()} + tabWalk(focus.size() - 1), focus);
    QCOMPARE(layoutProblems(window.get()), QStringList());
}

void TestSimpleDialogs::nothingAnswered_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("open");
    for (const QString &name : Dialogs) {
        QTest::newRow(qPrintable(name + " Cancel -> 2")) << name << "Cancel" << 2 << false;
        QTest::newRow(qPrintable(name + " title-bar close -> 0")) << name << "close" << 0 << false;
        QTest::newRow(qPrintable(name + " Escape")) << name << "Escape" << 0 << true;
        QTest::newRow(qPrintable(name + " Enter on OK_Command")) << name << "Enter" << 0 << true;
    }
}

void TestSimpleDialogs::nothingAnswered()
{
    QFETCH(QString, dialog);
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(bool, open);
    RecordingPresenter messages;
    engine::OperationState state;
    state.DialogValue1 = "previous 1";
    state.DialogValue2 = "previous 2";
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    if (auto *edit = window->findChild<QLineEdit *>()) // something entered that must not be written
        QTest::keyClicks(edit, "5");
    if (action == "Cancel")
        QTest::mouseClick(window->findChild<QPushButton *>("No_Command"), Qt::LeftButton);
    else if (action == "close")
        QVERIFY(window->close());
    else if (action == "Escape")
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else {
        window->findChild<QPushButton *>("OK_Command")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(window->isVisible(), open);
    QCOMPARE(int(state.DialogResult), result);
    QCOMPARE(state.DialogValue1 + "|" + state.DialogValue2, std::string("previous 1|previous 2"));
}

void TestSimpleDialogs::confirmWritesValues()
{
    RecordingPresenter messages;
    engine::OperationState state;
    const auto confirm = [&state](QDialog *dialog) {
        state.DialogResult = 0;
        state.DialogValue2 = "untouched";
        QTest::mouseClick(dialog->findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
        return QString::number(state.DialogResult) + " " + QString::fromStdString(state.DialogValue1 + "|" + state.DialogValue2)
               + (dialog->isVisible() ? " open" : "");
    };
    dialogs::Input_ID_Form id(state);
    QVERIFY(showActive(&id));
    QTest::keyClicks(id.findChild<QLineEdit *>("Input_Text"), "2");
    QCOMPARE(confirm(&id), QString("1 12|untouched"));

    dialogs::Input_BD_Form bd(state);
    QVERIFY(showActive(&bd));
    press(bd.findChild<QComboBox *>("Combo1"), Qt::Key_Down);
    QCOMPARE(confirm(&bd), QString("1 4800|untouched"));

    dialogs::Input_PR_Form pr(state);
    QVERIFY(showActive(&pr));
    press(pr.findChild<QComboBox *>("Combo1"), Qt::Key_End);
    QCOMPARE(confirm(&pr), QString("1 EVEN|1"));

    dialogs::Input_CT_Form ct(state);
    QVERIFY(showActive(&ct));
    QTest::keyClicks(ct.findChild<QLineEdit *>("Input1_Text"), "100");
    QTest::keyClicks(ct.findChild<QLineEdit *>("Input2_Text"), "5");
    QCOMPARE(confirm(&ct), QString("1 100|5"));

    dialogs::Input_ID_Form emptied(state); // an empty address is the caller's to refuse
    QVERIFY(showActive(&emptied));
    QTest::keyClick(emptied.findChild<QLineEdit *>("Input_Text"), Qt::Key_Backspace);
    QCOMPARE(confirm(&emptied), QString("1 |untouched"));
    QCOMPARE(messages.texts(), QStringList());
}

void TestSimpleDialogs::filters_data()
{
    QTest::addColumn<QString>("box"); // Input_Text: address filter; Input1/2_Text: digit filter
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("paste"); // one change instead of key by key
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("2 5 0 typed -> 25") << "Input_Text" << "" << 0 << false << "250" << "25" << QStringList{Range};
    QTest::newRow("248 typed -> 24") << "Input_Text" << "" << 0 << false << "248" << "24" << QStringList{Range};
    QTest::newRow("247 typed") << "Input_Text" << "" << 0 << false << "247" << "247" << QStringList{};
    QTest::newRow("0 typed") << "Input_Text" << "" << 0 << false << "0" << "0" << QStringList{};
    QTest::newRow("a after 12") << "Input_Text" << "12" << 2 << false << "a" << "12" << QStringList{Illegal};
    QTest::newRow("a between 1 and 2 -> 1") << "Input_Text" << "12" << 1 << false << "a" << "1" << QStringList{Illegal, Illegal};
    QTest::newRow("abc pasted") << "Input_Text" << "" << 0 << true << "abc" << "" << QStringList{Illegal, Illegal, Illegal};
    QTest::newRow("99999 pasted -> 99") << "Input_Text" << "" << 0 << true << "99999" << "99" << QStringList{Range, Range, Range};
    QTest::newRow("-5 pasted") << "Input_Text" << "" << 0 << true << "-5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("' 5' pasted") << "Input_Text" << "" << 0 << true << " 5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("0000000000000000000000012") << "Input_Text" << "" << 0 << true << "0000000000000000000000012"
                                               << "0000000000000000000000012" << QStringList{};
    QTest::newRow("full-width 2 typed") << "Input_Text" << "1" << 1 << false << QString::fromUtf8("\xEF\xBC\x92") << "1"
                                        << QStringList{Illegal};
    QTest::newRow("25a typed into CT1 -> 25") << "Input1_Text" << "" << 0 << false << "25a" << "25" << QStringList{Illegal};
    QTest::newRow("1a2 pasted into CT2 -> 1") << "Input2_Text" << "" << 0 << true << "1a2" << "1" << QStringList{Illegal, Illegal};
    QTest::newRow("12.5 pasted -> 12") << "Input1_Text" << "" << 0 << true << "12.5" << "12" << QStringList{Illegal, Illegal};
    QTest::newRow("1 2 typed -> 12") << "Input2_Text" << "" << 0 << false << "1 2" << "12" << QStringList{Illegal};
    QTest::newRow("5 and an emoji: one character") << "Input2_Text" << "" << 0 << true << QString::fromUtf8("5\xF0\x9F\x98\x80")
                                                   << "5" << QStringList{Illegal};
}

void TestSimpleDialogs::filters()
{
    QFETCH(QString, box);
    QFETCH(QString, start);
    QFETCH(int, caret);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    RecordingPresenter messages;
    engine::OperationState state;
    const auto window = make(box == "Input_Text" ? "Input_ID_Form" : "Input_CT_Form", state);
    QVERIFY(showActive(window.get()));
    auto *edit = window->findChild<QLineEdit *>(box);
    edit->setText(start);
    edit->setCursorPosition(caret);
    if (paste)
        edit->setText(input);
    else
        typeText(edit, input);
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->cursorPosition(), text.size());
    QCOMPARE(messages.texts(), shown);
    QVERIFY(messages.allAre(16, "INPUT ERROR"));
}

void TestSimpleDialogs::longPasteIsCutBackWithoutFailing()
{
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_CT_Form ct(state);
    auto *edit = ct.findChild<QLineEdit *>("Input1_Text");
    edit->setText("12" + QString(3000, QChar('x')));
    QCOMPARE(edit->text(), QString("12"));
    QCOMPARE(messages.shown.size(), 3000);
    const QString digits(40000, QChar('7')); // no length limit
    edit->setText(digits);
    QCOMPARE(edit->text(), digits);
}

void TestSimpleDialogs::parityAndStopBitsStayCompatible()
{
    engine::OperationState state;
    dialogs::Input_PR_Form pr(state);
    QVERIFY(showActive(&pr));
    auto *parity = pr.findChild<QComboBox *>("Combo1");
    auto *stopBits = pr.findChild<QComboBox *>("Combo2");
    const auto pair = [&] { return parity->currentText() + "/" + stopBits->currentText(); };
    press(parity, Qt::Key_End);
    QCOMPARE(pair(), QString("EVEN/1"));
    press(stopBits, Qt::Key_End); // "2" while EVEN: no parity
    QCOMPARE(pair(), QString("NONE/2"));
    press(parity, Qt::Key_Down); // "ODD" afterwards: one stop bit
    QCOMPARE(pair(), QString("ODD/1"));
    press(stopBits, Qt::Key_End);
    press(parity, Qt::Key_End); // straight from NONE/2 to EVEN
    QCOMPARE(pair(), QString("EVEN/1"));
    press(stopBits, Qt::Key_Home); // one stop bit leaves the parity alone
    QCOMPARE(pair(), QString("EVEN/1"));
}

QTEST_MAIN(TestSimpleDialogs)
#include "tst_simpledialogs.moc"
