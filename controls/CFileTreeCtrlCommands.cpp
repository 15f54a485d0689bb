// The folder tree's commands and keys: open, properties, rename, delete,
// create folder, expand all, and reading the selection from a worker.
#include "CFileTreeCtrl.h"

#include "AppEvents.h"
#include "FileTreeAsync.h"
#include "FileTreeOperations.h"
#include "MessageBox.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace {

QString ErrorText(int error)
{
    return qt_error_string(error);
}

QString ParentFolder(const QString& path)
{
    return QFileInfo(path).path();
}

bool IsFileOrFolder(const CFileTreeCtrlItemInfo& info)
{
    return info.m_nType == TREE_ITEM_FILE || info.m_nType == TREE_ITEM_FOLDER;
}

// A (device, inode) pair, the identity of a folder a walk entered.
struct FolderId
{
    dev_t nDev;
    ino_t nIno;
    bool operator==(const FolderId& other) const = default;
};

size_t qHash(const FolderId& id, size_t seed = 0)
{
    return ::qHashMulti(seed, static_cast<quint64>(id.nDev), static_cast<quint64>(id.nIno));
}

} // namespace

void CFileTreeCtrl::ShowError(const QString& strText)
{
    MessageBox::Show(this, strText, MessageIcon::Error, MessageBox::Ok);
}

// Runs a disk step: at once for a local item, on a worker with a time limit
// for an item on a slow volume (false, with a message, when it does not
// answer in time).
bool CFileTreeCtrl::RunDiskStep(FileTreeItem* item, const std::function<void()>& step)
{
    if (!item->Info().m_bSlow) {
        step();
        return true;
    }
    WaitCursor wait;
    if (FileTreeAsync::RunWithin(kSlowCommandMs, step)) {
        return true;
    }
    ShowError(tr("\"%1\" is on a volume that does not answer.").arg(item->Info().m_strName));
    return false;
}

// Refuses, with a message, to act on a folder that is a mount point or holds
// one.
bool CFileTreeCtrl::CheckNotMount(FileTreeItem* item, const QString& strWhat)
{
    auto touches = std::make_shared<bool>(false);
    const QString path = item->Info().m_strPath;
    const MountTable mounts = MountTable::Read();
    if (!RunDiskStep(
            item, [touches, path, mounts] { *touches = FileTreeOperations::TouchesMount(path, mounts); })) {
        return false;
    }
    if (*touches) {
        ShowError(strWhat.arg(item->Info().m_strName));
        return false;
    }
    return true;
}

QString CFileTreeCtrl::GetSelectedPath(std::function<bool()> shouldAbort) const
{
    if (QThread::currentThread() == thread()) {
        return SelectedPathOnUiThread();
    }
    // From a worker: read on the UI thread while the caller waits.
    auto* self = const_cast<CFileTreeCtrl*>(this);
    auto result = std::make_shared<QString>();
    if (!SendBlocking(
            self, [self, result] { *result = self->SelectedPathOnUiThread(); }, std::move(shouldAbort))) {
        return QString();
    }
    return *result;
}

bool CFileTreeCtrl::OpenItem(QTreeWidgetItem* pItem)
{
    const CFileTreeCtrlItemInfo* info = ItemInfo(pItem);
    if (!m_bAllowOpen || !info || info->m_strPath.isEmpty() || info->m_bUnusable) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info->m_strPath));
}

bool CFileTreeCtrl::ShowProperties(QTreeWidgetItem* pItem)
{
    const CFileTreeCtrlItemInfo* info = ItemInfo(pItem);
    if (!m_bAllowProperties || !info || info->m_strPath.isEmpty() || info->m_bUnusable) {
        return false;
    }
    // The desktop's file manager shows the properties when it offers the
    // freedesktop interface; else the folder opens.
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()) {
        const bool running = bus.interface()->isServiceRegistered(service).value();
        const bool activatable =
            !running && bus.interface()->activatableServiceNames().value().contains(service);
        if (running || activatable) {
            QDBusMessage call =
                QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                               service, QStringLiteral("ShowItemProperties"));
            call << QStringList{QUrl::fromLocalFile(info->m_strPath).toString()} << QString();
            if (bus.send(call)) {
                return true;
            }
        }
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info->m_strPath));
}

bool CFileTreeCtrl::CanEditLabel(FileTreeItem* item) const
{
    return m_bAllowRename && item && IsFileOrFolder(item->Info()) && !item->Info().m_bUnusable &&
           !item->Info().m_strPath.isEmpty();
}

bool CFileTreeCtrl::RenameItem(QTreeWidgetItem* pItem)
{
    FileTreeItem* item = FileTreeItem::From(pItem);
    if (!CanEditLabel(item)) {
        return false;
    }
    if (!CheckNotMount(item, tr("Cannot rename \"%1\": it is a mounted volume or holds one."))) {
        return false;
    }
    scrollToItem(item);
    editItem(item, 0);
    return true;
}

void CFileTreeCtrl::EndLabelEdit(const QModelIndex& index, const QString& strText)
{
    FileTreeItem* item = FileTreeItem::From(itemFromIndex(index));
    if (!CanEditLabel(item) || strText == item->text(0)) {
        return; // nothing changed: the old label stays
    }
    CFileTreeCtrlItemInfo& info = item->Info();
    if (!FileTreeOperations::IsValidName(strText)) {
        ShowError(
            tr("The name \"%1\" cannot be used. A name must not be empty, \".\" or \"..\", and must not "
               "contain the character /.")
                .arg(strText));
        return;
    }
    QString newName = strText;
    if (info.m_bExtensionHidden) {
        const qsizetype dot = info.m_strName.lastIndexOf(QLatin1Char('.'));
        if (dot > 0) {
            newName += info.m_strName.mid(dot);
        }
    }
    if (!CheckNotMount(item, tr("Cannot rename \"%1\": it is a mounted volume or holds one."))) {
        return;
    }
    const QString oldPath = info.m_strPath;
    const QString newPath = FileTreeListing::JoinPath(ParentFolder(oldPath), newName);
    auto result = std::make_shared<FileTreeOperations::Result>();
    if (!RunDiskStep(item, [result, oldPath, newPath] {
            *result = FileTreeOperations::RenameNoReplace(oldPath, newPath);
        })) {
        return;
    }
    if (!result->bOk) {
        if (result->nError == EEXIST || result->nError == ENOTEMPTY) {
            ShowError(
                tr("Cannot rename \"%1\": a file or folder named \"%2\" already exists. Specify a different "
                   "name.")
                    .arg(info.m_strName, newName));
        } else {
            ShowError(tr("Cannot rename \"%1\": %2").arg(info.m_strName, ErrorText(result->nError)));
        }
        return;
    }
    info.m_strPath = newPath;
    info.m_strName = newName;
    info.m_strSortKey = newName.toCaseFolded();
    info.m_nColourState = 0;
    item->setText(0, strText);
    if (!info.m_bExtensionHidden && info.m_nType == TREE_ITEM_FILE && m_pImageList) {
        const int image = m_pImageList->FileIndex(newName);
        SetImages(item, image, image);
    }
    // Folders below keep working under their new path, and so does history.
    RenamePathsBelow(item, oldPath, newPath);
}

bool CFileTreeCtrl::RemoveFromDisk(QTreeWidgetItem* pItem)
{
    return RemoveFromDisk(pItem, QGuiApplication::queryKeyboardModifiers());
}

bool CFileTreeCtrl::RemoveFromDisk(QTreeWidgetItem* pItem, Qt::KeyboardModifiers modifiers)
{
    FileTreeItem* item = FileTreeItem::From(pItem);
    if (!m_bAllowDelete || !item || !IsFileOrFolder(item->Info()) || item->Info().m_bUnusable ||
        item->Info().m_strPath.isEmpty()) {
        return false;
    }
    const QString path = item->Info().m_strPath;
    const QString name = item->Info().m_strName;
    const bool permanent = modifiers.testFlag(Qt::ShiftModifier);
    if (!CheckNotMount(item, tr("Cannot delete \"%1\": it is a mounted volume or holds one."))) {
        return false;
    }
    if (permanent) {
        // There is no shell confirmation here; ask first.
        const QString question =
            item->Info().m_nType == TREE_ITEM_FOLDER
                ? tr("Are you sure you want to permanently delete the folder \"%1\" and everything in it?")
                      .arg(name)
                : tr("Are you sure you want to permanently delete \"%1\"?").arg(name);
        if (MessageBox::Show(this, question, MessageIcon::Warning, MessageBox::YesNo) != MessageBox::kYes) {
            return false;
        }
    }
    auto result = std::make_shared<FileTreeOperations::Result>();
    const MountTable mounts = MountTable::Read();
    if (!RunDiskStep(item, [result, path, permanent, mounts] {
            *result = permanent ? FileTreeOperations::DeletePermanently(path)
                                : FileTreeOperations::MoveToTrash(path, mounts);
        })) {
        return false;
    }
    if (!result->bOk) {
        if (permanent) {
            ShowError(tr("Cannot delete \"%1\": %2").arg(name, ErrorText(result->nError)));
            // Part of it may be gone: read it again when it is opened.
            if (item->childCount() > 0) {
                item->setExpanded(false);
            }
        } else {
            ShowError(tr("Cannot move \"%1\" to the trash: %2. Nothing was deleted.")
                          .arg(name, ErrorText(result->nError)));
        }
        return false;
    }
    // Select the previous sibling, else the next one, else the parent.
    QTreeWidgetItem* parent = item->parent() ? item->parent() : invisibleRootItem();
    const int row = parent->indexOfChild(item);
    QTreeWidgetItem* next = row > 0 ? parent->child(row - 1)
                            : row + 1 < parent->childCount()
                                ? parent->child(row + 1)
                                : (parent == invisibleRootItem() ? nullptr : parent);
    ++m_nSelectionGuard;
    delete item;
    --m_nSelectionGuard;
    if (next == parent && parent->childCount() == 0) {
        SetIndicator(parent, false);
    }
    if (next) {
        setCurrentItem(next);
    }
    return true;
}

bool CFileTreeCtrl::CreateFolder(QTreeWidgetItem* pItem, const QString& strName)
{
    FileTreeItem* item = FileTreeItem::From(pItem);
    if (!m_bAllowCreateFolder || !item) {
        return false;
    }
    const CFileTreeCtrlItemInfo& info = item->Info();
    // Only where there is a real folder: not in a file, "Computer", the
    // Network or its volumes, or an item whose name cannot be written.
    if (info.m_nType == TREE_ITEM_NETWORK || info.m_nType == TREE_ITEM_COMPUTER ||
        info.m_nType == TREE_ITEM_FILE || info.m_bUnusable || info.m_strPath.isEmpty()) {
        return false;
    }
    if (!strName.isEmpty() && !FileTreeOperations::IsValidName(strName)) {
        ShowError(
            tr("The name \"%1\" cannot be used. A name must not be empty, \".\" or \"..\", and must not "
               "contain the character /.")
                .arg(strName));
        return false;
    }
    const QString folder = info.m_strPath;
    auto result = std::make_shared<FileTreeOperations::Result>();
    auto created = std::make_shared<QString>();
    auto isFolder = std::make_shared<bool>(false);
    if (!RunDiskStep(item, [result, created, isFolder, folder, strName] {
            *isFolder = IsFolder(folder);
            if (*isFolder) {
                *result = FileTreeOperations::CreateFolder(folder, strName, created.get());
            }
        })) {
        return false;
    }
    if (!*isFolder) {
        return false;
    }
    if (!result->bOk) {
        ShowError(tr("Cannot create a folder in \"%1\": %2").arg(info.m_strName, ErrorText(result->nError)));
        return false;
    }
    // Open the folder (which reads it when it was not read yet), then find the
    // new folder by its exact name, or add it.
    const QPersistentModelIndex index(indexFromItem(item));
    if (!EnsureFilled(item, kSlowCommandMs) || !index.isValid()) {
        return true;
    }
    FileTreeItem* child = FindChildByName(item, *created, true);
    if (!child) {
        FileTreeEntry entry;
        entry.baName = QFile::encodeName(*created);
        entry.strName = *created;
        entry.bFolder = true;
        child = NewEntryItem(folder, entry, info.m_bSlow);
        InsertChildSorted(item, child);
        SetIndicator(item, true);
    }
    item->setExpanded(true);
    setCurrentItem(child);
    scrollToItem(child);
    if (CanEditLabel(child)) {
        editItem(child, 0);
    }
    return true;
}

bool CFileTreeCtrl::ExpandAll(QTreeWidgetItem* pItem)
{
    FileTreeItem* start = FileTreeItem::From(pItem);
    if (!start || m_bExpandingAll) {
        return false;
    }
    // The walk stays on the start's volume, enters each folder (by device
    // and inode) once, never touches a slow volume, and lets the window
    // repaint; Esc stops it.
    struct stat startStat;
    const bool startHasFolder =
        !start->Info().m_strPath.isEmpty() && !start->Info().m_bSlow &&
        ::stat(QFile::encodeName(start->Info().m_strPath).constData(), &startStat) == 0;
    QSet<FolderId> entered;
    if (startHasFolder) {
        entered.insert(FolderId{startStat.st_dev, startStat.st_ino});
    }
    QPointer<CFileTreeCtrl> self(this);
    m_bExpandingAll = true;
    m_bStopExpandAll = false;
    qApp->installEventFilter(this);
    std::vector<FileTreeItem*> stack{start};
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    int sinceEventsCount = 0;
    bool complete = true;
    while (!stack.empty()) {
        FileTreeItem* item = stack.back();
        stack.pop_back();
        if (item != start) {
            const CFileTreeCtrlItemInfo& info = item->Info();
            struct stat st;
            if (!startHasFolder || info.m_bSlow || info.m_bUnusable || info.m_strPath.isEmpty() ||
                ::stat(QFile::encodeName(info.m_strPath).constData(), &st) != 0 ||
                st.st_dev != startStat.st_dev || entered.contains(FolderId{st.st_dev, st.st_ino})) {
                continue;
            }
            entered.insert(FolderId{st.st_dev, st.st_ino});
        }
        if (!HasIndicator(item)) {
            continue;
        }
        const QPersistentModelIndex index(indexFromItem(item));
        item->setExpanded(true);
        if (!index.isValid()) {
            complete = false; // it vanished while being read
            break;
        }
        for (int i = item->childCount() - 1; i >= 0; --i) {
            if (FileTreeItem* child = FileTreeItem::From(item->child(i))) {
                stack.push_back(child);
            }
        }
        if (++sinceEventsCount >= 32 || sinceEvents.elapsed() >= 50) {
            // Anything may happen while events run; a single item destroyed
            // meanwhile ends the walk, since the stack holds plain pointers.
            const quint64 destroyed = FileTreeItem::DestroyedCount();
            QCoreApplication::processEvents();
            if (!self) {
                return false;
            }
            if (FileTreeItem::DestroyedCount() != destroyed || m_bStopExpandAll) {
                complete = false;
                break;
            }
            sinceEvents.restart();
            sinceEventsCount = 0;
        }
    }
    qApp->removeEventFilter(this);
    m_bExpandingAll = false;
    return complete && !m_bStopExpandAll;
}

bool CFileTreeCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (m_bExpandingAll) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                m_bStopExpandAll = true;
            }
            return true; // no command runs in the middle of the walk
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ShortcutOverride:
            return true;
        default:
            break;
        }
    }
    return QTreeWidget::eventFilter(watched, event);
}

void CFileTreeCtrl::keyPressEvent(QKeyEvent* event)
{
    if (state() == QAbstractItemView::EditingState) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    QTreeWidgetItem* selected = GetSelectedItem();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if ((key == Qt::Key_F10 && modifiers == Qt::ShiftModifier) || key == Qt::Key_Menu) {
        // The tree opens no menu from the keyboard.
    } else if (enter && modifiers == Qt::AltModifier) {
        ShowProperties(selected);
    } else if (enter && modifiers == Qt::NoModifier) {
        OpenItem(selected);
    } else if (key == Qt::Key_Delete && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        RemoveFromDisk(selected, modifiers);
    } else if (key == Qt::Key_F2 && modifiers == Qt::NoModifier) {
        RenameItem(selected);
    } else if (key == Qt::Key_F5 && modifiers == Qt::NoModifier) {
        Refresh();
    } else if (key == Qt::Key_Left && modifiers == Qt::AltModifier) {
        GoBack();
    } else if (key == Qt::Key_Right && modifiers == Qt::AltModifier) {
        GoForward();
    } else if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        GoUp();
    } else {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CFileTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        return; // no menu from the keyboard
    }
    if (QTreeWidgetItem* item = itemAt(event->pos())) {
        setCurrentItem(item);
        emit RightClicked(event->globalPos());
    }
}

void CFileTreeCtrl::OnItemDoubleClicked(QTreeWidgetItem* item)
{
    if (item && item == GetSelectedItem() && !HasIndicator(item)) {
        OpenItem(item);
    }
}
