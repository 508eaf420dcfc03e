#pragma once

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// Helpers for driving the parameter dialogs through their windows.
namespace dialogtesting {

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

// Presses Tab steps times and names the control reached after each press.
inline QStringList tabWalk(qsizetype steps)
{
    QStringList names;
    for (qsizetype i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << focusedName();
    }
    return names;
}

// Types key by key; characters outside ASCII arrive as key events carrying their text.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Captions cut off, controls outside the window or overlapping each other.
inline QStringList layoutProblems(const QWidget *dialog)
{
    QStringList bad;
    const QList<QWidget *> controls = dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget *c = controls[i];
        if ((qobject_cast<const QLabel *>(c) || qobject_cast<const QPushButton *>(c))
            && (c->sizeHint().width() > c->width() || c->sizeHint().height() > c->height()))
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
