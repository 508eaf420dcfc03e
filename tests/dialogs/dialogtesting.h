#pragma once

#include "ui/dialogs/inputbdform.h"
#include "ui/dialogs/inputctform.h"
#include "ui/dialogs/inputidform.h"
#include "ui/dialogs/inputprform.h"
#include "ui/dialogs/inputtaform.h"
#include "ui/dialogs/inputtiform.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTest>

#include <memory>

// Helpers for driving the parameter dialogs through their windows.
namespace dialogtesting {

// The moment the date and time dialog offers when built here.
inline const QDateTime Afternoon(QDate(2024, 3, 7), QTime(15, 4, 5));

inline std::unique_ptr<dialogs::InputDialog> make(const QString &name, const QString &meterType = "Morel Serial")
{
    if (name == "Input_ID_Form")
        return std::make_unique<dialogs::Input_ID_Form>();
    if (name == "Input_BD_Form")
        return std::make_unique<dialogs::Input_BD_Form>();
    if (name == "Input_PR_Form")
        return std::make_unique<dialogs::Input_PR_Form>();
    if (name == "Input_CT_Form")
        return std::make_unique<dialogs::Input_CT_Form>();
    if (name == "Input_TI_Form")
        return std::make_unique<dialogs::Input_TI_Form>(nullptr, Afternoon);
    return std::make_unique<dialogs::Input_TA_Form>(meterType);
}

// The state as the send handler leaves it once the dialog has answered.
inline void store(const dialogs::InputDialog *dialog, engine::OperationState &state)
{
    engine::StoreDialogAnswer(state, dialog->answer());
}

// Shows the dialog as an ordinary window (never modal) and waits until it has the keyboard.
inline bool showActive(QWidget *dialog)
{
    dialog->show();
    QApplication::setActiveWindow(dialog);
    return QTest::qWaitForWindowActive(dialog);
}

// The control holding the focus (a combo box's inner editor counts as the box).
inline QString focusedName()
{
    QWidget *w = QApplication::focusWidget();
    while (w && w->objectName().isEmpty())
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// The operator's steps: a button's name clicks it; "box=text" clicks into the box and types
// over its text key by key (a pick-only list goes to that entry by Home, End or the arrows);
// "Tab", "Enter", "Escape" press that key where the focus is; "Enter@NAME" presses Enter on
// that button once it has the focus; "list" opens and closes the
// focused box's list; "close" is the title-bar close.
inline void play(QDialog *dialog, const QStringList &steps)
{
    const QMap<QString, Qt::Key> keys{{"Tab", Qt::Key_Tab}, {"Enter", Qt::Key_Return}, {"Escape", Qt::Key_Escape}};
    for (const QString &step : steps) {
        QVERIFY2(dialog->isVisible() && QApplication::focusWidget(), qPrintable("no focus in the dialog for " + step));
        const QString text = step.section('=', 1);
        auto *box = dialog->findChild<QWidget *>(step == "list" ? focusedName() : step.section('=', 0, 0));
        auto *list = qobject_cast<QComboBox *>(box);
        if (keys.contains(step)) {
            QTest::keyClick(QApplication::focusWidget(), keys[step]);
        } else if (step.startsWith("Enter@")) { // Tab to the button, then Enter on it
            auto *button = dialog->findChild<QWidget *>(step.mid(6));
            QVERIFY2(button, qPrintable(step));
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, Qt::Key_Return);
        } else if (step == "close") {
            dialog->close();
        } else if (step == "list" && list) {
            list->showPopup();
            list->hidePopup();
        } else if (list && !list->isEditable()) {
            const int target = list->findText(text);
            QVERIFY2(target >= 0, qPrintable(step));
            list->setFocus(Qt::TabFocusReason);
            if (target == 0 || target == list->count() - 1)
                QTest::keyClick(list, target == 0 ? Qt::Key_Home : Qt::Key_End);
            for (int n = 0; list->currentIndex() != target && n < list->count(); ++n)
                QTest::keyClick(list, list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        } else {
            QVERIFY2(box && step != "list", qPrintable(step));
            QTest::mouseClick(box, Qt::LeftButton);
            if (step.contains('=')) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(QApplication::focusWidget(), text);
            }
        }
    }
}

// Captions cut off, controls outside the window or overlapping each other.
inline QStringList layoutProblems(const QWidget *dialog)
{
    QStringList bad;
    const QList<QWidget *> controls = dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget *c = controls[i];
        if ((c->inherits("QLabel") || c->inherits("QPushButton")) && !c->rect().contains(QRect({}, c->sizeHint())))
            bad << c->objectName() + " cut off";
        if (!dialog->rect().contains(c->geometry()))
            bad << c->objectName() + " outside";
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (c->geometry().intersects(controls[j]->geometry()))
                bad << c->objectName() + " overlaps " + controls[j]->objectName();
    }
    return bad;
}

} // namespace dialogtesting
