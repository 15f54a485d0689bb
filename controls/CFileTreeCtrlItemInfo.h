// The record behind each item of the folder tree, the item types, and the
// tree item that owns its record.
#pragma once

#include <QString>
#include <QTreeWidgetItem>
#include <memory>

// Item types of the folder tree.
enum FileTreeItemType : quint8
{
    TREE_ITEM_DESKTOP = 0,   // the Desktop root (the desktop folder)
    TREE_ITEM_NETWORK = 1,   // the Network and every network volume below it
    TREE_ITEM_DOCUMENTS = 2, // the documents folder
    TREE_ITEM_COMPUTER = 3,  // "Computer"
    TREE_ITEM_PROFILE = 4,   // the home folder
    TREE_ITEM_FILE = 5,
    TREE_ITEM_FOLDER = 6,
    TREE_ITEM_DRIVE = 7, // a volume's mount point below "Computer"
    TREE_ITEM_UNTYPED = 8,
};

// A network volume as found in the mount table: where it is mounted, what it
// mounts, its file system type and the program that serves it.
struct NetResource
{
    QString strLocalName;  // the mount point
    QString strRemoteName; // "//server/share", "server:/export", ...
    QString strComment;    // the file system type
    QString strProvider;   // "nfs", "smb", "sshfs", "gvfs", ...
};

class CFileTreeCtrlItemInfo
{
public:
    CFileTreeCtrlItemInfo() = default;
    CFileTreeCtrlItemInfo(const CFileTreeCtrlItemInfo&) = delete;
    CFileTreeCtrlItemInfo& operator=(const CFileTreeCtrlItemInfo&) = delete;

    QString m_strPath;                           // file-system path; empty for Computer and the Network
    QString m_strName;                           // file name, mount point, or the special item's name
    std::unique_ptr<NetResource> m_pNetResource; // set for network volumes
    quint8 m_nType = TREE_ITEM_UNTYPED;
    quint8 m_bExtensionHidden = 0; // the shown text omits the file's extension

    // The name on disk is not valid UTF-8: the item is shown, but nothing
    // can select, rename or delete it (its path cannot be written as text).
    bool m_bUnusable = false;
    // The item lies on a network, FUSE, automount or removable volume: the UI
    // thread never stats, lists or colours it.
    bool m_bSlow = false;
    // A mount point (a volume of its own below its parent folder).
    bool m_bMountPoint = false;
    // Image indexes into the icon cache: normal and selected.
    int m_nImage = -1;
    int m_nSelectedImage = -1;
    // Colouring attributes as last read: 0 not read yet, else 0x80 with bit 1
    // compressed and bit 2 encrypted.
    quint8 m_nColourState = 0;
    // Case-folded name for the sibling order.
    QString m_strSortKey;
    // A worker is listing this item's folder (request number), 0 when none.
    quint64 m_nPendingFill = 0;
};

// A tree item that owns its record; the record goes when the item goes.
class FileTreeItem : public QTreeWidgetItem
{
public:
    static constexpr int kItemType = QTreeWidgetItem::UserType + 62;
    FileTreeItem() : QTreeWidgetItem(kItemType) {}
    ~FileTreeItem() override { ++s_nDestroyed; }

    // How many items were destroyed so far (UI thread only): a walk that
    // holds plain item pointers across event processing checks it.
    static quint64 DestroyedCount() { return s_nDestroyed; }

    CFileTreeCtrlItemInfo& Info() { return m_info; }
    const CFileTreeCtrlItemInfo& Info() const { return m_info; }

    // Items of the tree are always FileTreeItems; null stays null.
    static FileTreeItem* From(QTreeWidgetItem* item)
    {
        return item && item->type() == kItemType ? static_cast<FileTreeItem*>(item) : nullptr;
    }

private:
    CFileTreeCtrlItemInfo m_info;
    inline static quint64 s_nDestroyed = 0;
};
