#pragma once

#include <QColor>
#include <QString>

#include <string_view>

// What the windows share: texts from the plain C++ core, and the indicator colours.
namespace ui {

inline QString qtext(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A closed port or a failed operation, an open port or a successful one; the
// result lamp starts yellow.
inline const QColor IndicatorRed{255, 0, 0};
inline const QColor IndicatorGreen{0, 255, 0};
inline const QColor IndicatorYellow{255, 255, 0};

} // namespace ui
