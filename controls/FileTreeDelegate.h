// Drawing and label editing of the folder tree's items: compressed and
// encrypted folders in their colours, and the end of a label edit handed to
// the tree's rename.
#pragma once

#include <QStyledItemDelegate>

class CFileTreeCtrl;

class FileTreeDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit FileTreeDelegate(CFileTreeCtrl* tree);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    // The label changes only when the rename succeeds, so the edited text is
    // never written to the item here.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    CFileTreeCtrl* m_pTree;
};
