#include "dialogtesting.h"
#include "support/recordingpresenter.h"

#include "catalogue/catalogue.h"
#include "ui/dialogs/parameterdialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs act on the modal dialog as soon as it shows, and closes it if act
// leaves it open, so a failing test ends instead of hanging. The watch dies
// with scope at the latest, so it cannot reach into a later test.
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

QString q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
    namespace cmd = catalogue::command;
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QString>("dialog"); // its name, and the tariff entries where it has them
    QTest::newRow("Modify Meter Address") << q(cmd::ModifyMeterAddress) << "Tarvik CT" << "Input_ID_Form";
    QTest::newRow("Modify Baud Rate") << q(cmd::ModifyBaudRate) << "Tarvik CT" << "Input_BD_Form";
    QTest::newRow("Modify Parity") << q(cmd::ModifyParity) << "Tarvik CT" << "Input_PR_Form";
    QTest::newRow("Set CT") << q(cmd::SetCt) << "Tarvik CT" << "Input_CT_Form";
    QTest::newRow("Set Time") << q(cmd::SetTime) << "Morel Serial" << "Input_TI_Form";
    QTest::newRow("Set Tariff, Morel Serial") << q(cmd::SetTariff) << "Morel Serial" << "Input_TA_Form 5";
    QTest::newRow("Set Tariff, Pesca-N") << q(cmd::SetTariff) << "Pesca-N" << "Input_TA_Form 3";
}

void TestParameterDialogs::dialogPerCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, meterType);
    QFETCH(QString, dialog);
    QObject scope;
    RecordingPresenter messages;
    QWidget owner;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(state, &owner);
    QString shown;
    QPointer<QDialog> seen;
    whenModalShows(&scope, [&](QDialog *d) {
        seen = d;
        shown = d->objectName();
        if (auto *combo = d->findChild<QComboBox *>("Tariff_Combo0"))
            shown += " " + QString::number(combo->count());
        QVERIFY(d->isModal() && d->parentWidget() == &owner);
        clickButton(d, "No_Command");
    });
    ask.ask(command.toStdString(), meterType.toStdString());
    QCOMPARE(shown, dialog);
    QCOMPARE(int(state.DialogResult), 2);
    QVERIFY(!seen); // destroyed once closed
}

void TestParameterDialogs::commandWithoutDialogAsksNothing()
{
    QObject scope;
    engine::OperationState state;
    dialogs::ModalParameterDialogs ask(state, nullptr);
    bool shown = false;
    whenModalShows(&scope, [&](QDialog *) { shown = true; });
    ask.ask(catalogue::command::ReadEnergy, "Tarvik CT"); // returns at once: nothing to ask
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
    QString offered;
    const auto pickAndConfirm = [&](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("Combo1");
        offered = combo->currentText();
        combo->setFocus(Qt::TabFocusReason);
        QTest::keyClick(combo, Qt::Key_End);
        clickButton(d, "OK_Command");
    };
    whenModalShows(&scope, pickAndConfirm);
    ask.ask(catalogue::command::ModifyBaudRate, "Tarvik CT");
    QCOMPARE(offered + " " + q(state.DialogValue1), QString("2400 38400"));

    // Asked again (a refused value, or the next operation): "2400" once more.
    whenModalShows(&scope, pickAndConfirm);
    ask.ask(catalogue::command::ModifyBaudRate, "Tarvik CT");
    QCOMPARE(offered, QString("2400"));
}

QTEST_MAIN(TestParameterDialogs)
#include "tst_parameterdialogs.moc"
