#pragma once

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

// Helpers for driving the parameter dialogs through their windows.
namespace dialogtesting {

// Shows the dialog as an ordinary window (never modal) and waits until it has the keyboard.
inline bool showActive(QWidget *dialog)
{
    dialog->show();
    QApplication::setActiveWindow(dialog);
    return QTest::qWaitForWindowActive(dialog);
}

// The name of the control that holds the focus (a combo box's inner editor counts as the box).
inline QString focusedName()
{
    QWidget *w = QApplication::focusWidget();
    while (w && w->objectName().isEmpty())
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// Types text key by key into widget; characters outside ASCII arrive as key
// events carrying their text, as an input method delivers them.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Presses Tab steps times and names the control reached after each press.
inline QStringList tabWalk(int steps)
{
    QStringList names;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << focusedName();
    }
    return names;
}

// Labels and buttons whose caption needs more room than they have.
inline QStringList cutOffCaptions(const QWidget *dialog)
{
    QStringList cut;
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        if (label->sizeHint().width() > label->width() || label->sizeHint().height() > label->height())
            cut << label->objectName() + " \"" + label->text() + "\"";
    for (const QPushButton *button : dialog->findChildren<QPushButton *>())
        if (button->sizeHint().width() > button->width() || button->sizeHint().height() > button->height())
            cut << button->objectName() + " \"" + button->text() + "\"";
    return cut;
}

// Controls that stick out of the window or overlap one another.
inline QStringList misplacedControls(const QWidget *dialog)
{
    QStringList bad;
    const QList<QWidget *> controls = dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (const QWidget *c : controls)
        if (!dialog->rect().contains(c->geometry()))
            bad << c->objectName() + " outside";
    for (qsizetype i = 0; i < controls.size(); ++i)
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                bad << controls[i]->objectName() + " overlaps " + controls[j]->objectName();
    return bad;
}

} // namespace dialogtesting
