// The folder tree's item delegate.
#include "FileTreeDelegate.h"

#include "CFileTreeCtrl.h"

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>

FileTreeDelegate::FileTreeDelegate(CFileTreeCtrl* tree) : QStyledItemDelegate(tree), m_pTree(tree) {}

void FileTreeDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_Selected) {
        return;
    }
    if (const std::optional<QColor> colour = m_pTree->ItemTextColour(m_pTree->itemFromIndex(index))) {
        option->palette.setColor(QPalette::Text, *colour);
    }
}

void FileTreeDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    const auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        return;
    }
    // Renamed once the editor has closed, so that a message box about a
    // refused name never opens while the editor is still going away.
    const QString text = line->text();
    const QPersistentModelIndex target(index);
    QPointer<CFileTreeCtrl> tree(m_pTree);
    QTimer::singleShot(0, m_pTree, [tree, target, text] {
        if (tree && target.isValid()) {
            tree->EndLabelEdit(target, text);
        }
    });
}
