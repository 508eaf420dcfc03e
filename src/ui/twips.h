#pragma once

#include <QString>
#include <QWidget>

// Window layouts are written in twips, as the forms were designed; 15 twips
// make one pixel at 96 dots per inch.
namespace ui {

constexpr int TwipsPerPixel = 15;

constexpr int px(int twips)
{
    return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

inline void setTwipGeometry(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

// Creates a named child control at a twip position inside parent.
template <typename Widget>
Widget *place(QWidget *parent, const QString &objectName, int left, int top, int width, int height)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(objectName);
    setTwipGeometry(widget, left, top, width, height);
    return widget;
}

} // namespace ui
