// The folder tree: the Desktop root with the home folder, "Computer" with
// the mounted volumes and "Network" with the network volumes, folders read
// lazily on expand, selection history, and the folder commands (open,
// properties, rename, delete, create, expand all).
#pragma once

#include "CFileTreeCtrlItemInfo.h"
#include "CShareEnumerator.h"
#include "CSystemImageList.h"
#include "FileTreeListing.h"
#include "MountTable.h"

#include <QColor>
#include <QHash>
#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class FileTreeAsync;
class FileTreeDelegate;

class CFileTreeCtrl : public QTreeWidget
{
    Q_OBJECT

public:
    // How long the UI thread waits for a slow volume: a folder listing while
    // walking to a path, a disk command, and a background fill on expand.
    static constexpr int kSlowSelectMs = 2000;
    static constexpr int kSlowCommandMs = 10000;
    static constexpr int kSlowFillMs = 15000;

    explicit CFileTreeCtrl(QWidget* parent = nullptr);
    ~CFileTreeCtrl() override;

    // Options (the defaults are set at construction; the setters marked
    // "+ Refresh" rebuild the tree).
    void SetShowFiles(bool bShow); // + Refresh
    bool GetShowFiles() const { return m_filter.bShowFiles; }
    void SetFileHideMask(quint32 nMask); // + Refresh
    quint32 GetFileHideMask() const { return m_filter.nFileHideMask; }
    void SetFolderHideMask(quint32 nMask) { m_filter.nFolderHideMask = nMask; }
    quint32 GetFolderHideMask() const { return m_filter.nFolderHideMask; }
    void SetFilePatterns(const QStringList& arrPatterns) { m_filter.arrFilePatterns = arrPatterns; }
    QStringList GetFilePatterns() const { return m_filter.arrFilePatterns; }
    void SetDriveHideMask(quint32 nMask) { m_nDriveHideMask = nMask; }
    quint32 GetDriveHideMask() const { return m_nDriveHideMask; }
    void SetShowDesktop(bool bShow) { m_bShowDesktop = bShow; }
    void SetShowComputer(bool bShow) { m_bShowComputer = bShow; }
    void SetShowNetwork(bool bShow) { m_bShowNetwork = bShow; }
    void SetShowDocuments(bool bShow) { m_bShowDocuments = bShow; }
    void SetShowProfile(bool bShow) { m_bShowProfile = bShow; }
    void SetSharedOverlay(bool bOn) { m_bSharedOverlay = bOn; }
    void SetShellDriveNames(bool bOn) { m_bShellDriveNames = bOn; }
    // 0: names without extension, 1: names as they are, 2: as the desktop
    // shows them (with their extension here).
    void SetFileNameDisplay(int nMode) { m_nFileNameDisplay = nMode; }
    void SetAllowOpen(bool bAllow) { m_bAllowOpen = bAllow; }
    void SetAllowProperties(bool bAllow) { m_bAllowProperties = bAllow; }
    void SetAllowRename(bool bAllow) { m_bAllowRename = bAllow; }
    void SetAllowDelete(bool bAllow) { m_bAllowDelete = bAllow; }
    void SetAllowCreateFolder(bool bAllow) { m_bAllowCreateFolder = bAllow; }
    void SetCompressedColour(const QColor& colour, bool bShow);
    void SetEncryptedColour(const QColor& colour, bool bShow);
    void SetHistoryLimit(int nLimit) { m_nHistoryLimit = qMax(0, nLimit); }
    // Installs the icon cache as the tree's images, then Refresh.
    void SetSystemImageList();

    // Rebuilds the tree, keeping the selection and the expanded folders.
    void Refresh();
    bool GoUp();
    bool GoBack();
    bool GoForward();
    bool CanGoBack() const { return !m_arrBack.empty(); }
    bool CanGoForward() const { return !m_arrForward.empty(); }
    int BackCount() const { return static_cast<int>(m_arrBack.size()); }
    int ForwardCount() const { return static_cast<int>(m_arrForward.size()); }

    bool OpenItem(QTreeWidgetItem* pItem);
    bool ShowProperties(QTreeWidgetItem* pItem);
    // Starts editing the item's label; the rename happens when the edit ends.
    bool RenameItem(QTreeWidgetItem* pItem);
    // To the trash, or for good (after a confirmation) with Shift held: the
    // keyboard state now, or the modifiers given.
    bool RemoveFromDisk(QTreeWidgetItem* pItem);
    bool RemoveFromDisk(QTreeWidgetItem* pItem, Qt::KeyboardModifiers modifiers);
    // Creates a folder in the item's folder (an empty name proposes "New
    // Folder", "New Folder (2)", ...), selects it and starts editing its name.
    bool CreateFolder(QTreeWidgetItem* pItem, const QString& strName = QString());
    // Expands the item and every descendant with children on its volume;
    // Esc stops it. Returns false when stopped or cut short.
    bool ExpandAll(QTreeWidgetItem* pItem);
    // Walks from the home, documents or desktop item, the Network or
    // "Computer" to path and selects the deepest item reached. Returns
    // whether the whole path was reached.
    bool SelectPath(const QString& strPath, bool bExpand);

    // The selected item's path (empty when none). Callable from any thread:
    // elsewhere the read runs on the UI thread while the caller waits;
    // shouldAbort ends that wait (the answer is then empty).
    QString GetSelectedPath(std::function<bool()> shouldAbort = {}) const;
    QString GetItemPath(QTreeWidgetItem* pItem) const;
    QTreeWidgetItem* GetSelectedItem() const;

    static bool IsFolder(const QString& strPath);
    static bool IsFile(const QString& strPath);
    // A mounted volume's mount point ("/" included).
    bool IsDriveRoot(const QString& strPath) const;
    // IsFolder, asked on a worker when the path lies on a slow volume, with
    // a time limit: false when the volume does not answer in time.
    static bool IsFolderWithin(const QString& strPath, int nMilliseconds);

    // The special items (null when not shown or not built yet).
    QTreeWidgetItem* DesktopItem() const { return ItemOf(m_idxDesktop); }
    QTreeWidgetItem* ProfileItem() const { return ItemOf(m_idxProfile); }
    QTreeWidgetItem* DocumentsItem() const { return ItemOf(m_idxDocuments); }
    QTreeWidgetItem* ComputerItem() const { return ItemOf(m_idxComputer); }
    QTreeWidgetItem* NetworkItem() const { return ItemOf(m_idxNetwork); }
    static const CFileTreeCtrlItemInfo* ItemInfo(const QTreeWidgetItem* pItem);
    // The colour an unselected item is drawn in, when its attributes ask for one.
    std::optional<QColor> ItemTextColour(QTreeWidgetItem* pItem);

signals:
    // The selection changed (after the tree's own handling).
    void SelChanged();
    // The user right-clicked an item, which is now the selected item.
    void RightClicked(const QPoint& globalPos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class FileTreeDelegate;

    // A history entry: the item's type and path (paths outlive items).
    struct HistoryEntry
    {
        quint8 nType = TREE_ITEM_UNTYPED;
        QString strPath;
        bool operator==(const HistoryEntry& other) const = default;
    };
    struct WalkResult
    {
        FileTreeItem* pItem = nullptr;
        bool bComplete = false;
    };
    enum class FillResult
    {
        Filled,
        Pending,
        Gone,
        TimedOut
    };

    QTreeWidgetItem* ItemOf(const QPersistentModelIndex& index) const;
    QTreeWidgetItem* RootParent();
    CFileTreeCtrlItemInfo& InfoOf(QTreeWidgetItem* item) const;

    // Building items (CFileTreeCtrl.cpp).
    FileTreeItem* NewItem(quint8 nType, const QString& strPath, const QString& strName);
    FileTreeItem* NewEntryItem(const QString& strFolder, const FileTreeEntry& entry, bool bSlowFolder);
    FileTreeItem* NewDriveItem(const MountEntry& mount, const QHash<QString, QString>& labels);
    FileTreeItem* NewNetworkItem(const QString& strMountPoint, const QString& strRemote,
                                 const QString& strType, const QString& strProvider);
    void SetImages(FileTreeItem* item, int nImage, int nSelectedImage);
    void ApplyImage(FileTreeItem* item, bool bSelected);
    static bool ComesFirst(const FileTreeItem* a, const FileTreeItem* b);
    void AddChildrenSorted(QTreeWidgetItem* parent, std::vector<FileTreeItem*> items);
    void InsertChildSorted(QTreeWidgetItem* parent, FileTreeItem* child);
    static void SetIndicator(QTreeWidgetItem* item, bool bOn);
    static bool HasIndicator(const QTreeWidgetItem* item);

    // Filling (CFileTreeCtrl.cpp).
    void PopulateRoot();
    void FillDrives(QTreeWidgetItem* parent);
    void FillNetwork(FileTreeItem* item);
    void FillFromListing(FileTreeItem* item, const FolderListing& listing, bool bSlow);
    FillResult FillItem(FileTreeItem* item, int nBudgetMs);
    void StartBackgroundFill(FileTreeItem* item, const QString& strFolder, bool bNetworkShares);
    void AbandonBackgroundFill(FileTreeItem* item);
    void RemoveVanished(FileTreeItem* item);
    void DiscardChildren(QTreeWidgetItem* item);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnSelectionChanged();
    void OnItemDoubleClicked(QTreeWidgetItem* item);

    // Walking and history (CFileTreeCtrl.cpp).
    WalkResult WalkTo(const QString& strPath, int nBudgetMs);
    FileTreeItem* StartItemFor(const QString& strPath, QString* startPath, int nBudgetMs);
    bool EnsureFilled(FileTreeItem* item, int nBudgetMs);
    static FileTreeItem* FindChildByName(QTreeWidgetItem* parent, const QString& strName, bool bExactOnly);
    HistoryEntry KeyOf(QTreeWidgetItem* item) const;
    FileTreeItem* Resolve(const HistoryEntry& entry);
    bool StepHistory(std::deque<HistoryEntry>& from, std::deque<HistoryEntry>& to);
    void SelectQuietly(QTreeWidgetItem* item);
    void RenamePathsBelow(QTreeWidgetItem* item, const QString& strOld, const QString& strNew);

    // Commands (CFileTreeCtrlCommands.cpp).
    void EndLabelEdit(const QModelIndex& index, const QString& strText);
    bool CanEditLabel(FileTreeItem* item) const;
    bool CheckNotMount(FileTreeItem* item, const QString& strWhat);
    bool RunDiskStep(FileTreeItem* item, const std::function<void()>& step);
    void ShowError(const QString& strText);
    QString SelectedPathOnUiThread() const;

    // Options.
    FileTreeFilter m_filter;
    quint32 m_nDriveHideMask = 0;
    bool m_bShowDesktop = true;
    bool m_bShowComputer = true;
    bool m_bShowNetwork = true;
    bool m_bShowDocuments = false;
    bool m_bShowProfile = true;
    bool m_bSharedOverlay = true;
    bool m_bShellDriveNames = true;
    int m_nFileNameDisplay = 2;
    bool m_bAllowOpen = true;
    bool m_bAllowProperties = true;
    bool m_bAllowRename = false;
    bool m_bAllowDelete = false;
    bool m_bAllowCreateFolder = false;
    QColor m_crCompressed{0, 0, 255};
    bool m_bShowCompressed = true;
    QColor m_crEncrypted{255, 0, 0};
    bool m_bShowEncrypted = true;
    int m_nHistoryLimit = 20;

    // State.
    QString m_strDesktopPath;
    QString m_strDocumentsPath;
    QString m_strProfilePath;
    QPersistentModelIndex m_idxDesktop;
    QPersistentModelIndex m_idxProfile;
    QPersistentModelIndex m_idxDocuments;
    QPersistentModelIndex m_idxComputer;
    QPersistentModelIndex m_idxNetwork;
    QPersistentModelIndex m_idxLastSelected;
    std::deque<HistoryEntry> m_arrBack;
    std::deque<HistoryEntry> m_arrForward;
    bool m_bSuppressHistory = false;
    int m_nSelectionGuard = 0;
    bool m_bRebuilding = false;
    std::unique_ptr<CSystemImageList> m_pImageList;
    CShareEnumerator m_shares;
    MountTable m_mounts;
    std::unique_ptr<FileTreeAsync> m_pAsync;
    struct PendingFill
    {
        QPersistentModelIndex index;
        QString strFolder;
        bool bNetworkShares = false;
    };
    QHash<quint64, PendingFill> m_mapPending;
    bool m_bExpandingAll = false;
    bool m_bStopExpandAll = false;
    FileTreeDelegate* m_pDelegate = nullptr;
};
