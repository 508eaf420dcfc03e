#include "changedelegate.h"
#include "foundmodel.h"

#include "catalogue/catalogue.h"

#include <QComboBox>

namespace bus {

QWidget *ChangeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStringList items;
    switch (index.column()) {
    case FoundModel::Type:
        for (const auto type : catalogue::MeterTypeNames)
            items << QString::fromLatin1(type.data(), qsizetype(type.size()));
        break;
    case FoundModel::NewBaud:
        items << QString();
        for (const auto &baud : catalogue::MeterBauds())
            items << QString::number(baud.baud);
        break;
    case FoundModel::NewParity:
        items << QString();
        for (const auto &f : catalogue::MeterFramings())
            items << QString::fromLatin1(f.parity.data(), qsizetype(f.parity.size())).toLower() + QLatin1Char('/')
                         + QString::fromLatin1(f.stopBits.data(), qsizetype(f.stopBits.size()));
        break;
    default: return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto *box = new QComboBox(parent);
    box->addItems(items);
    box->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal).toString());
    return box;
}

void ChangeDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        box->setCurrentText(index.data(Qt::EditRole).toString());
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void ChangeDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        model->setData(index, box->currentText());
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace bus
