#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "catalogue/catalogue.h"
#include "engine/state.h"
#include "ui/dialogs/parameterdialogs.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace dialogtesting;

namespace {

// Runs act on the modal dialog as soon as it shows. A dialog that act
// leaves open is closed, so a failing test ends instead of hanging. The
// watch ends with scope at the latest, so it cannot reach into a later test.
void whenModalShows(QObject *scope, std::function<void(QDialog *)> act)
{
    auto *poll = new QTimer(scope);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, clock, act = std::move(act)]() {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog && clock->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        if (!dialog)
            return;
        QPointer<QDialog> guard(dialog);
        act(dialog);
        if (guard && guard->isVisible())
            guard->close();
    });
    poll->start(5);
}

void clickButton(QDialog *dialog, const char *name)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
}

} // namespace

// The send handler's way of asking: one dialog per write command, modal, made anew each time.
class TestParameterDialogs : public QObject {
    Q_OBJECT
private slots:
    void dialogPerCommand_data();
    void dialogPerCommand();
    void commandWithoutDialogAsksNothing();
    void eachAskStartsFromTheDefaults();
};

void TestParameterDialogs::dialogPerCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("tariffEntries");
    namespace cmd = catalogue::command;
    const auto s = [](std::string_view v) { return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size())); };
    QTest::newRow("Modify Meter Address") << s(cmd::ModifyMeterAddress) << "Tarvik CT" << "Input_ID_Form" << 0;
    QTest::newRow("Modify Baud Rate") << s(cmd::ModifyBaudRate) << "Tarvik CT" << "Input_BD_Form" << 0;
    QTest::newRow("Modify Parity") << s(cmd::ModifyParity) << "Tarvik CT" << "Input_PR_Form" << 0;
    QTest::newRow("Set CT") << s(cmd::SetCt) << "Tarvik CT" << "Input_CT_Form" << 0;
    QTest::newRow("Set Time") << s(cmd::SetTime) << "Morel Serial" << "Input_TI_Form" << 0;
    QTest::newRow("Set Tariff, Morel Serial") << s(cmd::SetTariff) << "Morel Serial" << "Input_TA_Form" << 5;
    QTest::newRow("Set Tariff, Pesca-N") << s(cmd::SetTariff) << "Pesca-N" << "Input_TA_Form" << 3;
}

void TestParameterDialogs::dialogPerCommand()
{
    QObject scope;
    QFETCH(QString, command);
    QFETCH(QString, meterType);
    QFETCH(QString, dialog);
    QFETCH(int, tariffEntries);
    RecordingPresenter messages;
    QWidget owner;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(state, &owner);

    QString shown;
    bool modal = false;
    QWidget *parent = nullptr;
    int entries = 0;
    QPointer<QDialog> seen;
    whenModalShows(&scope, [&](QDialog *d) {
        shown = d->objectName();
        modal = d->isModal();
        parent = d->parentWidget();
        seen = d;
        if (auto *combo = d->findChild<QComboBox *>("Tariff_Combo0"))
            entries = combo->count();
        clickButton(d, "No_Command");
    });
    ask.ask(command.toStdString(), meterType.toStdString());

    QCOMPARE(shown, dialog);
    QVERIFY(modal);
    QCOMPARE(parent, &owner);
    QCOMPARE(entries, tariffEntries);
    QCOMPARE(int(state.DialogResult), 2);
    QVERIFY(!seen); // destroyed once it has closed
    QVERIFY(owner.findChildren<QDialog *>().isEmpty());
}

void TestParameterDialogs::commandWithoutDialogAsksNothing()
{
    QObject scope;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(state, nullptr);
    bool shown = false;
    whenModalShows(&scope, [&](QDialog *d) {
        shown = true;
        d->close();
    });
    ask.ask(catalogue::command::ReadEnergy, "Tarvik CT");
    ask.ask("No Such Command", "Tarvik CT");
    QVERIFY(!shown);
    QCOMPARE(int(state.DialogResult), 0);
}

void TestParameterDialogs::eachAskStartsFromTheDefaults()
{
    QObject scope;
    RecordingPresenter messages;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(state, nullptr);

    // First asking: 9600 picked and confirmed.
    whenModalShows(&scope, [](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("Combo1");
        combo->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(combo, "9");
        clickButton(d, "OK_Command");
    });
    ask.ask(catalogue::command::ModifyBaudRate, "Tarvik CT");
    QCOMPARE(int(state.DialogResult), 1);
    QCOMPARE(state.DialogValue1, std::string("9600"));

    // Asked again (a refused value, or the next operation): "2400" once more.
    QString offered;
    state.DialogResult = 0;
    whenModalShows(&scope, [&](QDialog *d) {
        offered = d->findChild<QComboBox *>("Combo1")->currentText();
        clickButton(d, "No_Command");
    });
    ask.ask(catalogue::command::ModifyBaudRate, "Tarvik CT");
    QCOMPARE(offered, QString("2400"));
    QCOMPARE(int(state.DialogResult), 2);
    QCOMPARE(state.DialogValue1, std::string("9600"));

    // The address dialog opens with "1" again after a typed address.
    whenModalShows(&scope, [](QDialog *d) {
        QTest::keyClicks(d->findChild<QLineEdit *>("Input_Text"), "7");
        clickButton(d, "OK_Command");
    });
    ask.ask(catalogue::command::ModifyMeterAddress, "Tarvik CT");
    QCOMPARE(state.DialogValue1, std::string("17"));
    whenModalShows(&scope, [&](QDialog *d) {
        offered = d->findChild<QLineEdit *>("Input_Text")->text();
        d->close();
    });
    state.DialogResult = 0;
    ask.ask(catalogue::command::ModifyMeterAddress, "Tarvik CT");
    QCOMPARE(offered, QString("1"));
    QCOMPARE(int(state.DialogResult), 0);
}

QTEST_MAIN(TestParameterDialogs)
#include "tst_parameterdialogs.moc"
