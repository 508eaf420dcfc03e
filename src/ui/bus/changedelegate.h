#pragma once

#include <QStyledItemDelegate>

namespace bus {

// The found meters' editable cells as lists of what the catalogue offers: the
// meter types, the meters' baud rates, their parity and stop-bit pairs; the
// new address is typed, as in the address box.
class ChangeDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};

} // namespace bus
