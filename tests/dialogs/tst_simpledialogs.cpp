#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "engine/state.h"
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

// Values a dialog must leave alone unless it is confirmed.
engine::OperationState previousAnswers()
{
    engine::OperationState state;
    state.DialogValue1 = "previous 1";
    state.DialogValue2 = "previous 2";
    return state;
}

// Moves through a drop-down list from the keyboard, one key, one pick.
void press(QComboBox *combo, Qt::Key key)
{
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, key);
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

// The address, baud rate, parity and CT dialogs.
class TestSimpleDialogs : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void lists();
    void focusOrder_data();
    void focusOrder();
    void captionsFit_data();
    void captionsFit();
    void cancelAndCloseWriteNothing_data();
    void cancelAndCloseWriteNothing();
    void enterAndEscapeAnswerNothing_data();
    void enterAndEscapeAnswerNothing();
    void confirmWritesValues();
    void addressFilter_data();
    void addressFilter();
    void addressMayBeEmptied();
    void digitFilter_data();
    void digitFilter();
    void longPasteIsCutBackWithoutFailing();
    void parityAndStopBitsStayCompatible();
};

void TestSimpleDialogs::controls_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::newRow("ID Label1") << "Input_ID_Form" << "Label1" << "Please input the chosen meter address  :";
    QTest::newRow("ID Input_Text") << "Input_ID_Form" << "Input_Text" << "1";
    QTest::newRow("ID OK_Command") << "Input_ID_Form" << "OK_Command" << "Confirm";
    QTest::newRow("ID No_Command") << "Input_ID_Form" << "No_Command" << "Cancel";
    QTest::newRow("ID Label2") << "Input_ID_Form" << "Label2" << "Note :The meter address is in the range of 1~247.";
    QTest::newRow("BD Label1") << "Input_BD_Form" << "Label1" << "Please input the chosen baudrate : ";
    QTest::newRow("BD Combo1") << "Input_BD_Form" << "Combo1" << "2400";
    QTest::newRow("BD OK_Command") << "Input_BD_Form" << "OK_Command" << "Confirm";
    QTest::newRow("BD No_Command") << "Input_BD_Form" << "No_Command" << "Cancel";
    QTest::newRow("PR Label1") << "Input_PR_Form" << "Label1" << "Please input the chosen parity : ";
    QTest::newRow("PR Label2") << "Input_PR_Form" << "Label2" << "Please input the chosen stop bit : ";
    QTest::newRow("PR Combo1") << "Input_PR_Form" << "Combo1" << "NONE";
    QTest::newRow("PR Combo2") << "Input_PR_Form" << "Combo2" << "1";
    QTest::newRow("PR OK_Command") << "Input_PR_Form" << "OK_Command" << "Confirm";
    QTest::newRow("PR No_Command") << "Input_PR_Form" << "No_Command" << "Cancel";
    QTest::newRow("CT Label1") << "Input_CT_Form" << "Label1" << "Please input the chosen CT1 data  :";
    QTest::newRow("CT Label2") << "Input_CT_Form" << "Label2" << "Please input the chosen CT2 data  :";
    QTest::newRow("CT Input1_Text") << "Input_CT_Form" << "Input1_Text" << "";
    QTest::newRow("CT Input2_Text") << "Input_CT_Form" << "Input2_Text" << "";
    QTest::newRow("CT OK_Command") << "Input_CT_Form" << "OK_Command" << "Confirm";
    QTest::newRow("CT No_Command") << "Input_CT_Form" << "No_Command" << "Cancel";
}

void TestSimpleDialogs::controls()
{
    QFETCH(QString, dialog);
    QFETCH(QString, control);
    QFETCH(QString, text);
    engine::OperationState state;
    const auto window = make(dialog, state);
    QCOMPARE(window->objectName(), dialog);
    QCOMPARE(window->windowTitle(), QString("Input Data"));
    QWidget *w = window->findChild<QWidget *>(control);
    QVERIFY2(w, qPrintable(control));
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QPushButton *>(w))
        QCOMPARE(button->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        QCOMPARE(edit->text(), text);
    else if (auto *combo = qobject_cast<QComboBox *>(w))
        QCOMPARE(combo->currentText(), text);
    else
        QFAIL("unexpected kind of control");
    if (control == "Label2" && dialog == "Input_ID_Form")
        QCOMPARE(static_cast<QLabel *>(w)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

void TestSimpleDialogs::lists()
{
    engine::OperationState state;
    dialogs::Input_BD_Form bd(state);
    auto *baud = bd.findChild<QComboBox *>("Combo1");
    QCOMPARE(itemsOf(baud), QStringList({"1200", "2400", "4800", "9600", "19200", "38400"}));
    QVERIFY(!baud->isEditable());

    dialogs::Input_PR_Form pr(state);
    QCOMPARE(itemsOf(pr.findChild<QComboBox *>("Combo1")), QStringList({"NONE", "ODD", "EVEN"}));
    QCOMPARE(itemsOf(pr.findChild<QComboBox *>("Combo2")), QStringList({"1", "2"}));
    QVERIFY(!pr.findChild<QComboBox *>("Combo1")->isEditable());
    QVERIFY(!pr.findChild<QComboBox *>("Combo2")->isEditable());
}

void TestSimpleDialogs::focusOrder_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QStringList>("tabs"); // a full round
    QTest::newRow("ID") << "Input_ID_Form" << "Input_Text" << QStringList{"OK_Command", "No_Command", "Input_Text"};
    QTest::newRow("BD") << "Input_BD_Form" << "No_Command" << QStringList{"OK_Command", "Combo1", "No_Command"};
    QTest::newRow("PR") << "Input_PR_Form" << "Combo1" << QStringList{"Combo2", "OK_Command", "No_Command", "Combo1"};
    QTest::newRow("CT") << "Input_CT_Form" << "Input1_Text"
                        << QStringList{"Input2_Text", "No_Command", "OK_Command", "Input1_Text"};
}

void TestSimpleDialogs::focusOrder()
{
    QFETCH(QString, dialog);
    QFETCH(QString, initial);
    QFETCH(QStringList, tabs);
    RecordingPresenter messages;
    engine::OperationState state;
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    QCOMPARE(focusedName(), initial);
    QCOMPARE(tabWalk(static_cast<int>(tabs.size())), tabs);
    // The caret waits after the text.
    for (auto *edit : window->findChildren<QLineEdit *>())
        QCOMPARE(edit->cursorPosition(), edit->text().size());
    QCOMPARE(messages.texts(), QStringList());
}

void TestSimpleDialogs::captionsFit_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::newRow("ID") << "Input_ID_Form";
    QTest::newRow("BD") << "Input_BD_Form";
    QTest::newRow("PR") << "Input_PR_Form";
    QTest::newRow("CT") << "Input_CT_Form";
}

void TestSimpleDialogs::captionsFit()
{
    QFETCH(QString, dialog);
    engine::OperationState state;
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    QCOMPARE(cutOffCaptions(window.get()), QStringList());
    QCOMPARE(misplacedControls(window.get()), QStringList());
}

void TestSimpleDialogs::cancelAndCloseWriteNothing_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("titleBar");
    QTest::addColumn<int>("result");
    for (const QString name : {"Input_ID_Form", "Input_BD_Form", "Input_PR_Form", "Input_CT_Form"}) {
        QTest::newRow(qPrintable(name + " Cancel -> 2")) << name << false << 2;
        QTest::newRow(qPrintable(name + " title-bar close -> 0")) << name << true << 0;
    }
}

void TestSimpleDialogs::cancelAndCloseWriteNothing()
{
    QFETCH(QString, dialog);
    QFETCH(bool, titleBar);
    QFETCH(int, result);
    RecordingPresenter messages;
    engine::OperationState state = previousAnswers();
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    // Something typed or picked first, so there is something not to write.
    if (auto *edit = window->findChild<QLineEdit *>())
        QTest::keyClicks(edit, "5");
    if (auto *combo = window->findChild<QComboBox *>("Combo1"))
        combo->setCurrentIndex(combo->count() - 1);
    if (titleBar)
        QVERIFY(window->close());
    else
        QTest::mouseClick(window->findChild<QPushButton *>("No_Command"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(int(state.DialogResult), result);
    QCOMPARE(state.DialogValue1, std::string("previous 1"));
    QCOMPARE(state.DialogValue2, std::string("previous 2"));
}

void TestSimpleDialogs::enterAndEscapeAnswerNothing_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    for (const QString name : {"Input_ID_Form", "Input_BD_Form", "Input_PR_Form", "Input_CT_Form"}) {
        QTest::newRow(qPrintable(name + " Escape")) << name << "" << int(Qt::Key_Escape);
        QTest::newRow(qPrintable(name + " Enter")) << name << "" << int(Qt::Key_Return);
        QTest::newRow(qPrintable(name + " Enter on OK_Command")) << name << "OK_Command" << int(Qt::Key_Return);
        QTest::newRow(qPrintable(name + " Escape on No_Command")) << name << "No_Command" << int(Qt::Key_Escape);
        QTest::newRow(qPrintable(name + " Enter on No_Command")) << name << "No_Command" << int(Qt::Key_Enter);
    }
}

void TestSimpleDialogs::enterAndEscapeAnswerNothing()
{
    QFETCH(QString, dialog);
    QFETCH(QString, focus);
    QFETCH(int, key);
    engine::OperationState state = previousAnswers();
    const auto window = make(dialog, state);
    QVERIFY(showActive(window.get()));
    if (!focus.isEmpty())
        window->findChild<QWidget *>(focus)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(window->isVisible());
    QCOMPARE(int(state.DialogResult), 0);
    QCOMPARE(state.DialogValue1, std::string("previous 1"));
}

void TestSimpleDialogs::confirmWritesValues()
{
    RecordingPresenter messages;
    {
        engine::OperationState state = previousAnswers();
        dialogs::Input_ID_Form id(state);
        QVERIFY(showActive(&id));
        QTest::keyClicks(id.findChild<QLineEdit *>("Input_Text"), "2");
        QTest::mouseClick(id.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
        QVERIFY(!id.isVisible());
        QCOMPARE(int(state.DialogResult), 1);
        QCOMPARE(state.DialogValue1, std::string("12"));
        QCOMPARE(state.DialogValue2, std::string("previous 2"));
    }
    {
        engine::OperationState state = previousAnswers();
        dialogs::Input_BD_Form bd(state);
        QVERIFY(showActive(&bd));
        auto *baud = bd.findChild<QComboBox *>("Combo1");
        press(baud, Qt::Key_Down);
        press(baud, Qt::Key_Down);
        QTest::mouseClick(bd.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
        QCOMPARE(int(state.DialogResult), 1);
        QCOMPARE(state.DialogValue1, std::string("9600"));
        QCOMPARE(state.DialogValue2, std::string("previous 2"));
    }
    {
        engine::OperationState state = previousAnswers();
        dialogs::Input_PR_Form pr(state);
        QVERIFY(showActive(&pr));
        press(pr.findChild<QComboBox *>("Combo1"), Qt::Key_End);
        QTest::mouseClick(pr.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
        QCOMPARE(int(state.DialogResult), 1);
        QCOMPARE(state.DialogValue1, std::string("EVEN"));
        QCOMPARE(state.DialogValue2, std::string("1"));
    }
    {
        engine::OperationState state = previousAnswers();
        dialogs::Input_CT_Form ct(state);
        QVERIFY(showActive(&ct));
        QTest::keyClicks(ct.findChild<QLineEdit *>("Input1_Text"), "100");
        QTest::keyClicks(ct.findChild<QLineEdit *>("Input2_Text"), "5");
        QTest::mouseClick(ct.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
        QVERIFY(!ct.isVisible());
        QCOMPARE(int(state.DialogResult), 1);
        QCOMPARE(state.DialogValue1, std::string("100"));
        QCOMPARE(state.DialogValue2, std::string("5"));
    }
    QCOMPARE(messages.texts(), QStringList());
}

void TestSimpleDialogs::addressFilter_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("paste"); // set as one change instead of typed key by key
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("2 5 0 typed -> 25") << "" << 0 << false << "250" << "25" << QStringList{Range};
    QTest::newRow("248 typed -> 24") << "" << 0 << false << "248" << "24" << QStringList{Range};
    QTest::newRow("247 typed") << "" << 0 << false << "247" << "247" << QStringList{};
    QTest::newRow("0 typed") << "" << 0 << false << "0" << "0" << QStringList{};
    QTest::newRow("2 after the opening 1 -> 12") << "1" << 1 << false << "2" << "12" << QStringList{};
    QTest::newRow("a after 12") << "12" << 2 << false << "a" << "12" << QStringList{Illegal};
    QTest::newRow("a between 1 and 2 -> 1") << "12" << 1 << false << "a" << "1" << QStringList{Illegal, Illegal};
    QTest::newRow("abc pasted -> empty") << "" << 0 << true << "abc" << "" << QStringList{Illegal, Illegal, Illegal};
    QTest::newRow("99999 pasted -> 99") << "" << 0 << true << "99999" << "99" << QStringList{Range, Range, Range};
    QTest::newRow("-5 pasted") << "" << 0 << true << "-5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("+5 pasted") << "" << 0 << true << "+5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("' 5' pasted") << "" << 0 << true << " 5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("0000000000000000000000012 pasted") << "" << 0 << true << "0000000000000000000000012"
                                                     << "0000000000000000000000012" << QStringList{};
    QTest::newRow("full-width 2 typed after the opening 1") << "1" << 1 << false << QString::fromUtf8("\xEF\xBC\x92") << "1"
                                        << QStringList{Illegal};
}

void TestSimpleDialogs::addressFilter()
{
    QFETCH(QString, start);
    QFETCH(int, caret);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_ID_Form id(state);
    QVERIFY(showActive(&id));
    auto *edit = id.findChild<QLineEdit *>("Input_Text");
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
    QVERIFY(id.isVisible());
}

void TestSimpleDialogs::addressMayBeEmptied()
{
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_ID_Form id(state);
    QVERIFY(showActive(&id));
    auto *edit = id.findChild<QLineEdit *>("Input_Text");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString());
    QTest::mouseClick(id.findChild<QPushButton *>("OK_Command"), Qt::LeftButton);
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(state.DialogValue1, std::string());
    QCOMPARE(messages.texts(), QStringList());
}

void TestSimpleDialogs::digitFilter_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("25a typed into CT1 -> 25") << "Input1_Text" << false << "25a" << "25" << QStringList{Illegal};
    QTest::newRow("1a2 pasted into CT2 -> 1") << "Input2_Text" << true << "1a2" << "1" << QStringList{Illegal, Illegal};
    QTest::newRow("12.5 pasted -> 12") << "Input1_Text" << true << "12.5" << "12" << QStringList{Illegal, Illegal};
    QTest::newRow("-5 pasted -> empty") << "Input1_Text" << true << "-5" << "" << QStringList{Illegal, Illegal};
    QTest::newRow("1 2 typed -> 12") << "Input2_Text" << false << "1 2" << "12" << QStringList{Illegal};
    QTest::newRow("7500 typed") << "Input1_Text" << false << "7500" << "7500" << QStringList{};
    QTest::newRow("5 and an emoji pasted: one character, one message")
        << "Input2_Text" << true << QString::fromUtf8("5\xF0\x9F\x98\x80") << "5" << QStringList{Illegal};
}

void TestSimpleDialogs::digitFilter()
{
    QFETCH(QString, box);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::Input_CT_Form ct(state);
    QVERIFY(showActive(&ct));
    auto *edit = ct.findChild<QLineEdit *>(box);
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
    const int length = 3000;
    edit->setText(QString("12") + QString(length, QChar('x')));
    QCOMPARE(edit->text(), QString("12"));
    QCOMPARE(messages.shown.size(), length);

    // The boxes have no length limit.
    const QString digits(40000, QChar('7'));
    edit->setText(digits);
    QCOMPARE(edit->text(), digits);
    dialogs::Input_ID_Form id(state);
    QVERIFY(id.findChild<QLineEdit *>("Input_Text")->maxLength() > 40000);
}

void TestSimpleDialogs::parityAndStopBitsStayCompatible()
{
    engine::OperationState state;
    dialogs::Input_PR_Form pr(state);
    QVERIFY(showActive(&pr));
    auto *parity = pr.findChild<QComboBox *>("Combo1");
    auto *stopBits = pr.findChild<QComboBox *>("Combo2");

    press(parity, Qt::Key_End);
    QCOMPARE(parity->currentText(), QString("EVEN"));
    QCOMPARE(stopBits->currentText(), QString("1"));
    press(stopBits, Qt::Key_End); // "2" while EVEN: no parity
    QCOMPARE(stopBits->currentText(), QString("2"));
    QCOMPARE(parity->currentText(), QString("NONE"));
    press(parity, Qt::Key_Down); // "ODD" afterwards: one stop bit
    QCOMPARE(parity->currentText(), QString("ODD"));
    QCOMPARE(stopBits->currentText(), QString("1"));
    press(stopBits, Qt::Key_End);
    QCOMPARE(parity->currentText(), QString("NONE"));
    press(parity, Qt::Key_End); // straight to "EVEN" from "NONE"/"2"
    QCOMPARE(parity->currentText(), QString("EVEN"));
    QCOMPARE(stopBits->currentText(), QString("1"));
    press(stopBits, Qt::Key_Home); // one stop bit leaves the parity alone
    QCOMPARE(parity->currentText(), QString("EVEN"));
    QCOMPARE(stopBits->currentText(), QString("1"));
}

QTEST_MAIN(TestSimpleDialogs)
#include "tst_simpledialogs.moc"
