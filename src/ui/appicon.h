#pragma once

#include <QIcon>

namespace ui {

// The icon every window of the tool carries, drawn at 16 to 256 pixels.
QIcon AppIcon();

} // namespace ui
