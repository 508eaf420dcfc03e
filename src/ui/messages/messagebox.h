#pragma once

#include <QString>

class QWidget;

namespace messages {

// The modal box itself: icon and buttons by style, fixed English labels.
int ShowMessageBox(QWidget *owner, const QString &text, int style, const QString &title);

} // namespace messages
