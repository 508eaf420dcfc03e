#include "dialogtesting.h"
#include "support/messagelog.h"

#include "ui/dialogs/parameterdialogs.h"

#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace dialogtesting;

namespace {

// What the boxes and lists show, each different text once: the text, or for a list
// "selected of entries".
QStringList contents(const QWidget *dialog)
{
    QStringList shown;
    for (const QWidget *w : dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (auto *edit = qobject_cast<const QLineEdit *>(w))
            shown << edit->text();
        if (auto *combo = qobject_cast<const QComboBox *>(w)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            shown << combo->currentText() + " of " + items.join(',') + (combo->isEditable() ? " editable" : "");
        }
    }
    shown.sort();
    shown.removeDuplicates();
    return shown;
}

// Everything a dialog can hand to the send handler, apart from DialogResult.
QString written(const engine::OperationState &s)
{
    const auto hex = [](const auto &bytes) { return QByteArray(reinterpret_cast<const char *>(bytes.data()), sizeof bytes).toHex(); };
    return QString::fromStdString(s.DialogValue1 + "|" + s.DialogValue2 + "|" + s.SetDateText + "|" + s.SetTimeText + "|"
                                  + s.TariffSummaryT1 + "|")
           + hex(s.TimeData) + "|" + hex(s.TariffData);
}

// Acts on the modal dialog once its loop runs and closes it if act left it
// open, so a failing test ends instead of hanging; nothing fires after scope.
void whenModalShows(QObject *scope, std::function<void(QDialog *)> act)
{
    QTimer::singleShot(0, scope, [act = std::move(act)] {
        QPointer<QDialog> dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        act(dialog);
        if (dialog && dialog->isVisible())
            dialog->close();
    });
}

} // namespace

// What every parameter dialog shares, and the send handler's way of asking:
// one dialog per write command, modal, made anew each time.
class TestParameterDialogs : public QObject {
    Q_OBJECT
private slots:
    void opening_data();
    void opening();
    void nothingAnswered_data();
    void nothingAnswered();
    void askTwice_data();
    void askTwice();
};

void TestParameterDialogs::opening_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("defaults");
    QTest::addColumn<QString>("focus"); // at opening, then after each Tab, a full round
    QTest::newRow("Input_ID_Form") << "Input_ID_Form" << QStringList{"1"} << "Input_Text OK_Command No_Command Input_Text";
    QTest::newRow("Input_BD_Form") << "Input_BD_Form" << QStringList{"2400 of 1200,2400,4800,9600,19200,38400"}
                                   << "No_Command OK_Command Combo1 No_Command";
    QTest::newRow("Input_PR_Form") << "Input_PR_Form" << QStringList{"1 of 1,2", "NONE of NONE,ODD,EVEN"}
                                   << "Combo1 Combo2 OK_Command No_Command Combo1";
    QTest::newRow("Input_CT_Form") << "Input_CT_Form" << QStringList{""}
                                   << "Input1_Text Input2_Text No_Command OK_Command Input1_Text";
    QTest::newRow("Input_TI_Form at 15:04:05") << "Input_TI_Form" << QStringList{"03/07/2024", "15:04:05"} // 24-hour always
                                               << "No_Command OK_Command Time_Text Date_Text No_Command";
    QTest::newRow("Input_TA_Form") << "Input_TA_Form" << QStringList{"00:00", "NC of NC,T1,T2,T3,T4 editable"}
                                   << "Tariff_Combo0 Tariff_Combo1 Tariff_Combo2 Tariff_Combo3 Tariff_Combo4 "
                                      "Tariff_Text0 Tariff_Text1 Tariff_Text2 Tariff_Text3 Tariff_Text4 Tariff_Combo5 Tariff_Text5 "
                                      "Tariff_Combo6 Tariff_Combo7 Tariff_Combo8 Tariff_Combo9 "
                                      "Tariff_Text6 Tariff_Text7 Tariff_Text8 Tariff_Text9 OK_Command No_Command Tariff_Combo0";
}

void TestParameterDialogs::opening()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, defaults);
    QFETCH(QString, focus);
    MessageLog messages;
    engine::OperationState state;
    const auto window = make(dialog);
    QCOMPARE(window->objectName() + " " + window->windowTitle(), dialog + " Input Data");
    QCOMPARE(contents(window.get()), defaults);
    QVERIFY(showActive(window.get()));
    for (auto *edit : window->findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly)) // the caret after the text
        QVERIFY(edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText());
    QStringList round{focusedName()};
    while (round.size() < focus.count(' ') + 1) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        round << focusedName();
    }
    QCOMPARE(round.join(' '), focus);
    QCOMPARE(messages.texts(), QStringList()); // untouched boxes pass their checks
    QCOMPARE(layoutProblems(window.get()), QStringList());
}

void TestParameterDialogs::nothingAnswered_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("open");
    // Something entered first that must not be written.
    const QList<std::pair<const char *, QString>> dialogs = {
        {"Input_ID_Form", "Input_Text=5"},          {"Input_BD_Form", "Combo1=9600"},
        {"Input_PR_Form", "Combo1=ODD"},            {"Input_CT_Form", "Input1_Text=5"},
        {"Input_TI_Form", "Date_Text=01/01/2024"}, {"Input_TA_Form", "Tariff_Combo0=T1"},
    };
    for (const auto &[dialog, entry] : dialogs) {
        QTest::addRow("%s Cancel -> 2", dialog) << dialog << QStringList{entry, "No_Command"} << 2 << false;
        QTest::addRow("%s title-bar close -> 0", dialog) << dialog << QStringList{entry, "close"} << 0 << false;
        // Neither key is bound to a button.
        QTest::addRow("%s Escape", dialog) << dialog << QStringList{entry, "Escape"} << 0 << true;
        QTest::addRow("%s Enter", dialog) << dialog << QStringList{entry, "Enter"} << 0 << true;
        // A focused button takes Enter as it takes Space.
        QTest::addRow("%s Enter on a focused Cancel -> 2", dialog) << dialog << QStringList{entry, "Enter@No_Command"} << 2
                                                                    << false;
    }
}

void TestParameterDialogs::nothingAnswered()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, steps);
    QFETCH(int, result);
    QFETCH(bool, open);
    MessageLog messages;
    engine::OperationState state;
    state.DialogValue1 = "previous 1";
    state.DialogValue2 = "previous 2";
    state.SetDateText = "01/02/2023";
    state.TimeData = {1, 2, 3, 4, 5, 6, 7, 8};
    state.TariffData[0] = {1, 0x30, 0x08};
    state.TariffSummaryT1 = "T1 : 08:30 to 08:30 . ";
    const QString before = written(state);
    const auto window = make(dialog);
    QVERIFY(showActive(window.get()));
    play(window.get(), steps);
    store(window.get(), state);
    QCOMPARE(window->isVisible(), open);
    QCOMPARE(int(state.DialogResult), result);
    QCOMPARE(written(state), before);
}

void TestParameterDialogs::askTwice_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QString>("entry"); // made and confirmed at the first asking
    QTest::addColumn<QString>("dialog"); // its name and the tariff entries where it has them; none asks nothing
    QTest::newRow("Modify Meter Address") << "Modify Meter Address" << "Tarvik CT" << "Input_Text=30" << "Input_ID_Form";
    QTest::newRow("Modify Baud Rate") << "Modify Baud Rate" << "Tarvik CT" << "Combo1=38400" << "Input_BD_Form";
    QTest::newRow("Modify Parity") << "Modify Parity" << "Tarvik CT" << "Combo2=2" << "Input_PR_Form";
    QTest::newRow("Set CT") << "Set CT" << "Tarvik CT" << "Input1_Text=100" << "Input_CT_Form";
    QTest::newRow("Set Time") << "Set Time" << "Morel Serial" << "" << "Input_TI_Form"; // the clock, as it is each time
    QTest::newRow("Set Tariff, Morel Serial") << "Set Tariff" << "Morel Serial" << "Tariff_Combo0=T1"
                                              << "Input_TA_Form NC T1 T2 T3 T4";
    QTest::newRow("Set Tariff, Pesca-N") << "Set Tariff" << "Pesca-N" << "Tariff_Combo0=T2" << "Input_TA_Form NC T1 T2";
    QTest::newRow("Read Energy") << "Read Energy" << "Tarvik CT" << "" << "";
}

// Asked again, after a refused value or for the next operation: a new dialog with its defaults.
void TestParameterDialogs::askTwice()
{
    QFETCH(QString, command);
    QFETCH(QString, meterType);
    QFETCH(QString, entry);
    QFETCH(QString, dialog);
    QObject scope;
    MessageLog messages;
    QWidget owner;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(&owner);
    QString shown, results;
    QList<QStringList> offered; // at opening, then with the entry made
    for (const char *answer : {"OK_Command", "No_Command"}) {
        QPointer<QDialog> seen;
        whenModalShows(&scope, [&](QDialog *d) {
            seen = d;
            shown = d->objectName();
            if (auto *combo = d->findChild<QComboBox *>("Tariff_Combo0"))
                for (int i = 0; i < combo->count(); ++i)
                    shown += " " + combo->itemText(i);
            QVERIFY(d->isModal() && d->parentWidget() == &owner);
            QVERIFY(showActive(d));
            offered << contents(d);
            if (!entry.isEmpty())
                play(d, {entry});
            offered << contents(d);
            play(d, {answer});
        });
        state.DialogResult = engine::DialogNone;
        engine::StoreDialogAnswer(state, ask.ask(command.toStdString(), meterType.toStdString()));
        results += QString::number(state.DialogResult);
        QVERIFY(!seen); // destroyed once closed
    }
    QCOMPARE(shown, dialog);
    QCOMPARE(results, dialog.isEmpty() ? "00" : "12");
    if (!entry.isEmpty()) {
        QVERIFY(offered[1] != offered[0]);
        QCOMPARE(offered[2], offered[0]);
    }
}

QTEST_MAIN(TestParameterDialogs)
#include "tst_parameterdialogs.moc"
