#include "dialogtesting.h"
#include "support/messagelog.h"

#include <QtTest>

using namespace dialogtesting;

namespace {

const QString Illegal = "The input data contains illegal characters, please re-enter effective number!";
const QString Range = "The input data is out of range, please re-enter the numbers ranges from 1-247!";

} // namespace

// The address, baud rate, parity and CT dialogs: what they let through and hand back.
class TestSimpleDialogs : public QObject {
    Q_OBJECT
private slots:
    void confirm_data();
    void confirm();
    void filters_data();
    void filters();
};

void TestSimpleDialogs::confirm_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("answer"); // DialogResult DialogValue1|DialogValue2
    QTest::newRow("address 12") << "Input_ID_Form" << QStringList{"Input_Text=12", "OK_Command"} << "1 12|untouched";
    QTest::newRow("address emptied: the caller refuses it") << "Input_ID_Form" << QStringList{"Input_Text=\b", "OK_Command"}
                                                            << "1 |untouched";
    QTest::newRow("baud rate 4800") << "Input_BD_Form" << QStringList{"Combo1=4800", "OK_Command"} << "1 4800|untouched";
    QTest::newRow("baud rate 4800, Enter on Confirm") << "Input_BD_Form" << QStringList{"Combo1=4800", "Enter@OK_Command"}
                                                      << "1 4800|untouched";
    QTest::newRow("CT 100 and 5") << "Input_CT_Form" << QStringList{"Input1_Text=100", "Input2_Text=5", "OK_Command"}
                                  << "1 100|5";
    // Two stop bits always go with no parity.
    QTest::newRow("EVEN") << "Input_PR_Form" << QStringList{"Combo1=EVEN", "OK_Command"} << "1 EVEN|1";
    QTest::newRow("EVEN, then 2 -> NONE/2") << "Input_PR_Form" << QStringList{"Combo1=EVEN", "Combo2=2", "OK_Command"}
                                            << "1 NONE|2";
    QTest::newRow("EVEN, 2, then ODD -> ODD/1") << "Input_PR_Form"
                                                << QStringList{"Combo1=EVEN", "Combo2=2", "Combo1=ODD", "OK_Command"} << "1 ODD|1";
    QTest::newRow("2, then EVEN -> EVEN/1") << "Input_PR_Form" << QStringList{"Combo2=2", "Combo1=EVEN", "OK_Command"}
                                            << "1 EVEN|1";
}

void TestSimpleDialogs::confirm()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, steps);
    QFETCH(QString, answer);
    MessageLog messages;
    engine::OperationState state;
    state.DialogValue2 = "untouched";
    const auto window = make(dialog);
    QVERIFY(showActive(window.get()));
    play(window.get(), steps);
    store(window.get(), state);
    QVERIFY(!window->isVisible());
    QCOMPARE(QString::number(state.DialogResult) + " " + QString::fromStdString(state.DialogValue1 + "|" + state.DialogValue2),
             answer);
    QCOMPARE(messages.texts(), QStringList());
}

void TestSimpleDialogs::filters_data()
{
    QTest::addColumn<QString>("box"); // Input_Text: the address rule; Input1/2_Text: digits only
    QTest::addColumn<QString>("typed"); // key by key into the empty box
    QTest::addColumn<QString>("pasted"); // or all at once
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("248 typed -> 24") << "Input_Text" << "248" << "" << "24" << QStringList{Range};
    QTest::newRow("99999 pasted -> 99") << "Input_Text" << "" << "99999" << "99" << QStringList{Range, Range, Range};
    QTest::newRow("abc pasted -> empty") << "Input_Text" << "" << "abc" << "" << QStringList{Illegal, Illegal, Illegal};
    QTest::newRow("25a typed into CT1 -> 25") << "Input1_Text" << "25a" << "" << "25" << QStringList{Illegal};
    QTest::newRow("1a2 pasted into CT2 -> 1") << "Input2_Text" << "" << "1a2" << "1" << QStringList{Illegal, Illegal};
    QTest::newRow("12.5 pasted -> 12") << "Input1_Text" << "" << "12.5" << "12" << QStringList{Illegal, Illegal};
    QTest::newRow("5 and a full-width 2 -> 5") << "Input1_Text" << "" << QString::fromUtf8("5\xEF\xBC\x92") << "5"
                                               << QStringList{Illegal};
    QTest::newRow("5 and an emoji: one character") << "Input2_Text" << "" << QString::fromUtf8("5\xF0\x9F\x98\x80") << "5"
                                                   << QStringList{Illegal};
    QTest::newRow("12 and 3000 x -> 12") << "Input1_Text" << "" << "12" + QString(3000, 'x') << "12" << QStringList(3000, Illegal);
    QTest::newRow("40000 sevens: no length limit") << "Input1_Text" << "" << QString(40000, '7') << QString(40000, '7')
                                                   << QStringList{};
}

void TestSimpleDialogs::filters()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    MessageLog messages;
    engine::OperationState state;
    const auto window = make(box == "Input_Text" ? "Input_ID_Form" : "Input_CT_Form");
    auto *edit = window->findChild<QLineEdit *>(box);
    edit->clear();
    if (pasted.isEmpty())
        QTest::keyClicks(edit, typed);
    else
        edit->setText(pasted);
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->cursorPosition(), text.size());
    QCOMPARE(messages.texts(), shown);
    for (const auto &m : messages.entries)
        QCOMPARE(QString::number(m.style) + " " + m.caption, QString("16 INPUT ERROR"));
}

QTEST_MAIN(TestSimpleDialogs)
#include "tst_simpledialogs.moc"
