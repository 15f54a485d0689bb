// The folder tree: building items, lazy filling, selection, history and
// walking to a path. The commands and keys are in CFileTreeCtrlCommands.cpp.
#include "CFileTreeCtrl.h"

#include "FileTreeAsync.h"
#include "FileTreeDelegate.h"
#include "KnownFolders.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

#include <cerrno>
#include <sys/stat.h>

namespace {

bool IsAtOrBelow(const QString& path, const QString& folder)
{
    if (folder.isEmpty()) {
        return false;
    }
    if (folder == QLatin1String("/")) {
        return path.startsWith(QLatin1Char('/'));
    }
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

// The path exists as a name (a dangling link counts).
bool NameExists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString CleanFolder(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

// Volume labels by device, from the links udev keeps in /dev/disk/by-label
// (device facts only; no volume is touched).
QHash<QString, QString> ReadVolumeLabels()
{
    QHash<QString, QString> labels;
    QDirIterator it(QStringLiteral("/dev/disk/by-label"), QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        QString label = it.fileName();
        // udev writes unsafe characters as \xNN.
        for (qsizetype at = label.indexOf(QLatin1String("\\x")); at >= 0 && at + 4 <= label.size();
             at = label.indexOf(QLatin1String("\\x"), at + 1)) {
            bool ok = false;
            const int value = label.mid(at + 2, 2).toInt(&ok, 16);
            if (ok) {
                label.replace(at, 4, QChar(value));
            }
        }
        labels.insert(it.fileInfo().canonicalFilePath(), label);
    }
    return labels;
}

int SortRank(const CFileTreeCtrlItemInfo& info)
{
    switch (info.m_nType) {
    case TREE_ITEM_PROFILE:
        return 0;
    case TREE_ITEM_DOCUMENTS:
        return 1;
    case TREE_ITEM_COMPUTER:
        return 2;
    case TREE_ITEM_NETWORK:
        return info.m_pNetResource ? 4 : 3;
    case TREE_ITEM_FILE:
        return 5;
    default:
        return 4;
    }
}

// Redrawing off for a scope, restored to what it was.
class UpdatesOff
{
public:
    explicit UpdatesOff(QWidget* widget) : m_widget(widget), m_bWasOn(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~UpdatesOff() { m_widget->setUpdatesEnabled(m_bWasOn); }
    UpdatesOff(const UpdatesOff&) = delete;
    UpdatesOff& operator=(const UpdatesOff&) = delete;

private:
    QWidget* m_widget;
    bool m_bWasOn;
};

} // namespace

CFileTreeCtrl::CFileTreeCtrl(QWidget* parent)
    : QTreeWidget(parent), m_pAsync(std::make_unique<FileTreeAsync>(this))
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAnimated(false);
    setExpandsOnDoubleClick(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    m_pDelegate = new FileTreeDelegate(this);
    setItemDelegate(m_pDelegate);
    // The compressed and encrypted colours are fixed: draw them on a light
    // palette of the tree's own so they keep their contrast on dark themes.
    QPalette light = palette();
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
    light.setColor(QPalette::Text, Qt::black);
    setPalette(light);
    connect(this, &QTreeWidget::itemExpanded, this, &CFileTreeCtrl::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFileTreeCtrl::OnItemCollapsed);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CFileTreeCtrl::OnSelectionChanged);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &CFileTreeCtrl::OnItemDoubleClicked);
}

CFileTreeCtrl::~CFileTreeCtrl()
{
    // No handler runs while the items go; workers still listing drop their
    // results.
    blockSignals(true);
    m_pAsync.reset();
    m_mapPending.clear();
    m_bRebuilding = true;
    clear();
}

void CFileTreeCtrl::SetShowFiles(bool bShow)
{
    m_filter.bShowFiles = bShow;
    Refresh();
}

void CFileTreeCtrl::SetFileHideMask(quint32 nMask)
{
    m_filter.nFileHideMask = nMask;
    Refresh();
}

void CFileTreeCtrl::SetCompressedColour(const QColor& colour, bool bShow)
{
    m_crCompressed = colour;
    m_bShowCompressed = bShow;
    viewport()->update();
}

void CFileTreeCtrl::SetEncryptedColour(const QColor& colour, bool bShow)
{
    m_crEncrypted = colour;
    m_bShowEncrypted = bShow;
    viewport()->update();
}

void CFileTreeCtrl::SetSystemImageList()
{
    if (!m_pImageList) {
        m_pImageList = std::make_unique<CSystemImageList>();
    }
    Refresh();
}

QTreeWidgetItem* CFileTreeCtrl::ItemOf(const QPersistentModelIndex& index) const
{
    return index.isValid() ? itemFromIndex(index) : nullptr;
}

QTreeWidgetItem* CFileTreeCtrl::RootParent()
{
    if (QTreeWidgetItem* desktop = DesktopItem()) {
        return desktop;
    }
    return invisibleRootItem();
}

const CFileTreeCtrlItemInfo* CFileTreeCtrl::ItemInfo(const QTreeWidgetItem* pItem)
{
    const FileTreeItem* item =
        pItem && pItem->type() == FileTreeItem::kItemType ? static_cast<const FileTreeItem*>(pItem) : nullptr;
    return item ? &item->Info() : nullptr;
}

QTreeWidgetItem* CFileTreeCtrl::GetSelectedItem() const
{
    QTreeWidgetItem* item = currentItem();
    return item && item->isSelected() ? item : nullptr;
}

QString CFileTreeCtrl::GetItemPath(QTreeWidgetItem* pItem) const
{
    const CFileTreeCtrlItemInfo* info = ItemInfo(pItem);
    return info ? info->m_strPath : QString();
}

QString CFileTreeCtrl::SelectedPathOnUiThread() const
{
    return GetItemPath(GetSelectedItem());
}

bool CFileTreeCtrl::IsFolder(const QString& strPath)
{
    return !strPath.isEmpty() && QFileInfo(strPath).isDir();
}

bool CFileTreeCtrl::IsFile(const QString& strPath)
{
    const QFileInfo info(strPath);
    return !strPath.isEmpty() && info.exists() && !info.isDir();
}

bool CFileTreeCtrl::IsDriveRoot(const QString& strPath) const
{
    const QString clean = CleanFolder(strPath);
    if (clean == QLatin1String("/")) {
        return true;
    }
    const std::vector<const MountEntry*> volumes = m_mounts.Volumes();
    return std::any_of(volumes.begin(), volumes.end(),
                       [&](const MountEntry* volume) { return volume->strMountPoint == clean; });
}

bool CFileTreeCtrl::IsFolderWithin(const QString& strPath, int nMilliseconds)
{
    if (strPath.isEmpty() || !QDir::isAbsolutePath(strPath)) {
        return false;
    }
    const QString clean = QDir::cleanPath(strPath);
    if (!MountTable::Read().IsSlowPath(clean)) {
        return IsFolder(clean);
    }
    auto result = std::make_shared<bool>(false);
    if (!FileTreeAsync::RunWithin(nMilliseconds, [result, clean] { *result = IsFolder(clean); })) {
        return false;
    }
    return *result;
}

// ---------------------------------------------------------------------------
// Building items

FileTreeItem* CFileTreeCtrl::NewItem(quint8 nType, const QString& strPath, const QString& strName)
{
    auto* item = new FileTreeItem;
    CFileTreeCtrlItemInfo& info = item->Info();
    info.m_nType = nType;
    info.m_strPath = strPath;
    info.m_strName = strName;
    info.m_strSortKey = strName.toCaseFolded();
    item->setText(0, strName);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

FileTreeItem* CFileTreeCtrl::NewEntryItem(const QString& strFolder, const FileTreeEntry& entry,
                                          bool bSlowFolder)
{
    const quint8 type = entry.bFolder ? TREE_ITEM_FOLDER : TREE_ITEM_FILE;
    const QString path = entry.bUnusable ? QString() : FileTreeListing::JoinPath(strFolder, entry.strName);
    FileTreeItem* item = NewItem(type, path, entry.strName);
    CFileTreeCtrlItemInfo& info = item->Info();
    info.m_bUnusable = entry.bUnusable;
    info.m_bSlow = bSlowFolder || entry.bSlow;
    info.m_bMountPoint = entry.bMountPoint;
    if (type == TREE_ITEM_FILE && m_nFileNameDisplay == 0) {
        const qsizetype dot = entry.strName.lastIndexOf(QLatin1Char('.'));
        if (dot > 0) {
            item->setText(0, entry.strName.left(dot));
            info.m_bExtensionHidden = 1;
        }
    }
    if (entry.bUnusable) {
        // Shown so that nothing seems to be missing, but never selectable.
        item->setFlags(Qt::NoItemFlags);
        item->setToolTip(0, tr("This name is not valid UTF-8 text; the item cannot be used here."));
    } else {
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    }
    SetIndicator(item, entry.bFolder && entry.bHasChildren);
    if (m_pImageList) {
        int image = type == TREE_ITEM_FOLDER ? m_pImageList->KindIndex(CSystemImageList::KIND_FOLDER)
                                             : m_pImageList->FileIndex(entry.strName);
        int selected =
            type == TREE_ITEM_FOLDER ? m_pImageList->KindIndex(CSystemImageList::KIND_FOLDER_OPEN) : image;
        if (m_bSharedOverlay && !path.isEmpty() && m_shares.IsShared(path)) {
            image = m_pImageList->SharedIndex(image);
            selected = m_pImageList->SharedIndex(selected);
        }
        SetImages(item, image, selected);
    }
    return item;
}

FileTreeItem* CFileTreeCtrl::NewDriveItem(const MountEntry& mount, const QHash<QString, QString>& labels)
{
    const QString& path = mount.strMountPoint;
    FileTreeItem* item = NewItem(TREE_ITEM_DRIVE, path, path);
    CFileTreeCtrlItemInfo& info = item->Info();
    info.m_bSlow = mount.IsSlow();
    info.m_bMountPoint = true;
    if (m_bShellDriveNames) {
        const QString device = mount.strSource.startsWith(QLatin1String("/dev/"))
                                   ? QFileInfo(mount.strSource).canonicalFilePath()
                                   : QString();
        const QString label = device.isEmpty() ? QString() : labels.value(device);
        if (!label.isEmpty()) {
            item->setText(0, QStringLiteral("%1 (%2)").arg(label, path));
        }
    }
    SetIndicator(item, info.m_bSlow || FileTreeListing::HasChildren(path, m_filter, m_mounts));
    if (m_pImageList) {
        CSystemImageList::Kind kind = CSystemImageList::KIND_DRIVE_FIXED;
        switch (mount.DriveTypeBit()) {
        case DRIVE_BIT_REMOVABLE:
            kind = CSystemImageList::KIND_DRIVE_REMOVABLE;
            break;
        case DRIVE_BIT_CDROM:
            kind = CSystemImageList::KIND_DRIVE_OPTICAL;
            break;
        case DRIVE_BIT_REMOTE:
            kind = CSystemImageList::KIND_NETWORK_VOLUME;
            break;
        case DRIVE_BIT_RAMDISK:
            kind = CSystemImageList::KIND_DRIVE_RAM;
            break;
        default:
            break;
        }
        int image = m_pImageList->KindIndex(kind);
        if (m_bSharedOverlay && m_shares.IsShared(path)) {
            image = m_pImageList->SharedIndex(image);
        }
        SetImages(item, image, image);
    }
    return item;
}

FileTreeItem* CFileTreeCtrl::NewNetworkItem(const QString& strMountPoint, const QString& strRemote,
                                            const QString& strType, const QString& strProvider)
{
    FileTreeItem* item = NewItem(TREE_ITEM_NETWORK, strMountPoint, strRemote);
    CFileTreeCtrlItemInfo& info = item->Info();
    info.m_pNetResource = std::make_unique<NetResource>();
    info.m_pNetResource->strLocalName = strMountPoint;
    info.m_pNetResource->strRemoteName = strRemote;
    info.m_pNetResource->strComment = strType;
    info.m_pNetResource->strProvider = strProvider;
    info.m_bSlow = true;
    info.m_bMountPoint = true;
    item->setToolTip(0, strMountPoint);
    SetIndicator(item, true);
    if (m_pImageList) {
        const int image = m_pImageList->KindIndex(CSystemImageList::KIND_NETWORK_VOLUME);
        SetImages(item, image, image);
    }
    return item;
}

void CFileTreeCtrl::SetImages(FileTreeItem* item, int nImage, int nSelectedImage)
{
    item->Info().m_nImage = nImage;
    item->Info().m_nSelectedImage = nSelectedImage;
    ApplyImage(item, false);
}

void CFileTreeCtrl::ApplyImage(FileTreeItem* item, bool bSelected)
{
    if (!m_pImageList || !item) {
        return;
    }
    const CFileTreeCtrlItemInfo& info = item->Info();
    const int index = bSelected && info.m_nSelectedImage >= 0 ? info.m_nSelectedImage : info.m_nImage;
    if (index >= 0) {
        item->setIcon(0, m_pImageList->Icon(index));
    }
}

bool CFileTreeCtrl::ComesFirst(const FileTreeItem* a, const FileTreeItem* b)
{
    const CFileTreeCtrlItemInfo& x = a->Info();
    const CFileTreeCtrlItemInfo& y = b->Info();
    const int rankA = SortRank(x);
    const int rankB = SortRank(y);
    if (rankA != rankB) {
        return rankA < rankB;
    }
    const int byKey = x.m_strSortKey.compare(y.m_strSortKey);
    if (byKey != 0) {
        return byKey < 0;
    }
    // Names that differ only in case keep one stable order.
    return x.m_strName < y.m_strName;
}

void CFileTreeCtrl::AddChildrenSorted(QTreeWidgetItem* parent, std::vector<FileTreeItem*> items)
{
    if (items.empty()) {
        return;
    }
    if (parent->childCount() > 0) {
        for (FileTreeItem* item : items) {
            InsertChildSorted(parent, item);
        }
        return;
    }
    std::sort(items.begin(), items.end(), ComesFirst);
    QList<QTreeWidgetItem*> list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (FileTreeItem* item : items) {
        list.append(item);
    }
    parent->addChildren(list);
}

void CFileTreeCtrl::InsertChildSorted(QTreeWidgetItem* parent, FileTreeItem* child)
{
    int low = 0;
    int high = parent->childCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        const FileTreeItem* other = FileTreeItem::From(parent->child(middle));
        if (other && ComesFirst(other, child)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    parent->insertChild(low, child);
}

void CFileTreeCtrl::SetIndicator(QTreeWidgetItem* item, bool bOn)
{
    item->setChildIndicatorPolicy(bOn ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool CFileTreeCtrl::HasIndicator(const QTreeWidgetItem* item)
{
    return item->childCount() > 0 || item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

// ---------------------------------------------------------------------------
// Filling

void CFileTreeCtrl::Refresh()
{
    WaitCursor wait;
    UpdatesOff updates(this);

    // What to restore: the selection (and whether it was open) and every
    // expanded item.
    const HistoryEntry selected = KeyOf(GetSelectedItem());
    const bool selectedExpanded = GetSelectedItem() && GetSelectedItem()->isExpanded();
    QSet<QString> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->isExpanded()) {
            const HistoryEntry key = KeyOf(*it);
            expanded.insert(QString::number(key.nType) + QLatin1Char(':') + key.strPath);
        }
    }

    m_shares.Enumerate();
    m_mounts = MountTable::Read();
    m_strProfilePath = CleanFolder(KnownFolders::HomeFolder());
    m_strDesktopPath = CleanFolder(KnownFolders::DesktopFolder());
    if (m_strDesktopPath.isEmpty()) {
        m_strDesktopPath = m_strProfilePath;
    }
    m_strDocumentsPath = CleanFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (!m_strDocumentsPath.isEmpty() && !IsFolder(m_strDocumentsPath)) {
        m_strDocumentsPath.clear();
    }

    m_bRebuilding = true;
    m_mapPending.clear();
    clear();
    m_idxDesktop = m_idxProfile = m_idxDocuments = m_idxComputer = m_idxNetwork = m_idxLastSelected =
        QPersistentModelIndex();
    m_bRebuilding = false;

    if (m_bShowDesktop) {
        FileTreeItem* root = NewItem(TREE_ITEM_DESKTOP, m_strDesktopPath, tr("Desktop"));
        root->Info().m_bSlow = m_mounts.IsSlowPath(m_strDesktopPath);
        SetIndicator(root, true);
        if (m_pImageList) {
            const int image = m_pImageList->KindIndex(CSystemImageList::KIND_DESKTOP);
            SetImages(root, image, image);
        }
        addTopLevelItem(root);
        m_idxDesktop = QPersistentModelIndex(indexFromItem(root));
    }
    PopulateRoot();
    if (QTreeWidgetItem* root = DesktopItem()) {
        root->setExpanded(true);
    }

    // Open again what was open, level by level, as far as it still exists.
    if (!expanded.isEmpty()) {
        std::vector<QTreeWidgetItem*> queue;
        for (int i = 0; i < topLevelItemCount(); ++i) {
            queue.push_back(topLevelItem(i));
        }
        while (!queue.empty()) {
            QTreeWidgetItem* item = queue.back();
            queue.pop_back();
            const HistoryEntry key = KeyOf(item);
            if (!expanded.contains(QString::number(key.nType) + QLatin1Char(':') + key.strPath)) {
                continue;
            }
            const QPersistentModelIndex index(indexFromItem(item));
            item->setExpanded(true);
            if (!index.isValid()) {
                continue;
            }
            for (int i = 0; i < item->childCount(); ++i) {
                queue.push_back(item->child(i));
            }
        }
    }

    if (selected.nType != TREE_ITEM_UNTYPED) {
        if (FileTreeItem* item = Resolve(selected)) {
            setCurrentItem(item);
            scrollToItem(item);
            if (selectedExpanded) {
                item->setExpanded(true);
            }
        } else if (!selected.strPath.isEmpty()) {
            SelectPath(selected.strPath, selectedExpanded);
        }
    }
}

void CFileTreeCtrl::PopulateRoot()
{
    QTreeWidgetItem* root = RootParent();
    std::vector<FileTreeItem*> items;
    FileTreeItem* profile = nullptr;
    FileTreeItem* documents = nullptr;
    FileTreeItem* computer = nullptr;
    FileTreeItem* network = nullptr;
    auto folderItem = [this](quint8 type, const QString& path, const QString& name,
                             CSystemImageList::Kind kind) {
        FileTreeItem* item = NewItem(type, path, name);
        item->Info().m_bSlow = m_mounts.IsSlowPath(path);
        SetIndicator(item, item->Info().m_bSlow || FileTreeListing::HasChildren(path, m_filter, m_mounts));
        if (m_pImageList) {
            int image = m_pImageList->KindIndex(kind);
            if (m_bSharedOverlay && m_shares.IsShared(path)) {
                image = m_pImageList->SharedIndex(image);
            }
            SetImages(item, image, image);
        }
        return item;
    };
    if (m_bShowProfile && !m_strProfilePath.isEmpty()) {
        const QString name = QFileInfo(m_strProfilePath).fileName();
        profile = folderItem(TREE_ITEM_PROFILE, m_strProfilePath, name.isEmpty() ? m_strProfilePath : name,
                             CSystemImageList::KIND_HOME);
        items.push_back(profile);
    }
    if (m_bShowDocuments && !m_strDocumentsPath.isEmpty()) {
        documents = folderItem(TREE_ITEM_DOCUMENTS, m_strDocumentsPath, tr("Documents"),
                               CSystemImageList::KIND_DOCUMENTS);
        items.push_back(documents);
    }
    if (m_bShowComputer) {
        computer = NewItem(TREE_ITEM_COMPUTER, QString(), tr("Computer"));
        SetIndicator(computer, true);
        if (m_pImageList) {
            const int image = m_pImageList->KindIndex(CSystemImageList::KIND_COMPUTER);
            SetImages(computer, image, image);
        }
        items.push_back(computer);
    } else {
        const QHash<QString, QString> labels = ReadVolumeLabels();
        for (const MountEntry* volume : m_mounts.Volumes()) {
            if ((volume->DriveTypeBit() & m_nDriveHideMask) == 0) {
                items.push_back(NewDriveItem(*volume, labels));
            }
        }
    }
    if (m_bShowNetwork) {
        network = NewItem(TREE_ITEM_NETWORK, QString(), tr("Network"));
        SetIndicator(network, true);
        if (m_pImageList) {
            const int image = m_pImageList->KindIndex(CSystemImageList::KIND_NETWORK);
            SetImages(network, image, image);
        }
        items.push_back(network);
    }
    // The desktop folder's own subfolders, unless the desktop is the home
    // folder (they are below the home item then).
    if (m_bShowDesktop && !m_strDesktopPath.isEmpty() && m_strDesktopPath != m_strProfilePath) {
        const bool slow = m_mounts.IsSlowPath(m_strDesktopPath);
        if (!slow) {
            const FolderListing listing =
                FileTreeListing::ListFolder(m_strDesktopPath, m_filter, m_mounts, true, false);
            for (const FileTreeEntry& entry : listing.arrEntries) {
                items.push_back(NewEntryItem(m_strDesktopPath, entry, false));
            }
        }
    }
    AddChildrenSorted(root, std::move(items));
    auto remember = [this](FileTreeItem* item) {
        return item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    };
    m_idxProfile = remember(profile);
    m_idxDocuments = remember(documents);
    m_idxComputer = remember(computer);
    m_idxNetwork = remember(network);
}

void CFileTreeCtrl::FillDrives(QTreeWidgetItem* parent)
{
    m_mounts = MountTable::Read();
    const QHash<QString, QString> labels = ReadVolumeLabels();
    std::vector<FileTreeItem*> items;
    for (const MountEntry* volume : m_mounts.Volumes()) {
        if ((volume->DriveTypeBit() & m_nDriveHideMask) == 0) {
            items.push_back(NewDriveItem(*volume, labels));
        }
    }
    AddChildrenSorted(parent, std::move(items));
}

void CFileTreeCtrl::FillNetwork(FileTreeItem* item)
{
    m_mounts = MountTable::Read();
    std::vector<FileTreeItem*> items;
    QString gvfs;
    for (const MountEntry* mount : m_mounts.NetworkMounts()) {
        if (mount->strFsType == QLatin1String("fuse.gvfsd-fuse")) {
            gvfs = mount->strMountPoint; // its folders are the volumes; read on a worker
            continue;
        }
        QString provider = mount->strFsType;
        if (provider.startsWith(QLatin1String("fuse."))) {
            provider = provider.mid(5);
        } else if (provider == QLatin1String("cifs") || provider == QLatin1String("smb3") ||
                   provider == QLatin1String("smbfs")) {
            provider = QStringLiteral("smb");
        }
        items.push_back(NewNetworkItem(mount->strMountPoint, mount->strSource, mount->strFsType, provider));
    }
    AddChildrenSorted(item, std::move(items));
    if (!gvfs.isEmpty()) {
        StartBackgroundFill(item, gvfs, true);
    }
}

void CFileTreeCtrl::FillFromListing(FileTreeItem* item, const FolderListing& listing, bool bSlow)
{
    std::vector<FileTreeItem*> items;
    items.reserve(listing.arrEntries.size());
    const QString folder = item->Info().m_strPath;
    for (const FileTreeEntry& entry : listing.arrEntries) {
        items.push_back(NewEntryItem(folder, entry, bSlow));
    }
    const bool none = items.empty();
    AddChildrenSorted(item, std::move(items));
    if (none && item->childCount() == 0 && item != DesktopItem()) {
        SetIndicator(item, false);
    }
}

CFileTreeCtrl::FillResult CFileTreeCtrl::FillItem(FileTreeItem* item, int nBudgetMs)
{
    CFileTreeCtrlItemInfo& info = item->Info();
    if (item->childCount() > 0) {
        return FillResult::Filled;
    }
    if (info.m_nType == TREE_ITEM_DESKTOP && item == DesktopItem()) {
        PopulateRoot();
        return FillResult::Filled;
    }
    if (info.m_nType == TREE_ITEM_COMPUTER) {
        FillDrives(item);
        if (item->childCount() == 0) {
            SetIndicator(item, false);
        }
        return FillResult::Filled;
    }
    if (info.m_nType == TREE_ITEM_NETWORK && !info.m_pNetResource) {
        FillNetwork(item);
        if (item->childCount() == 0 && info.m_nPendingFill == 0) {
            SetIndicator(item, false);
        }
        return FillResult::Filled;
    }
    if (info.m_strPath.isEmpty() || info.m_bUnusable) {
        return FillResult::Filled;
    }
    if (info.m_bSlow) {
        if (nBudgetMs < 0) {
            if (info.m_nPendingFill == 0) {
                StartBackgroundFill(item, info.m_strPath, false);
            }
            return FillResult::Pending;
        }
        AbandonBackgroundFill(item);
        std::optional<FolderListing> listing =
            FileTreeAsync::ListWithin(info.m_strPath, m_filter, m_mounts, nBudgetMs);
        if (!listing) {
            return FillResult::TimedOut;
        }
        if (!listing->bOk) {
            if (listing->nError == ENOENT) {
                RemoveVanished(item);
                return FillResult::Gone;
            }
            SetIndicator(item, false); // unreadable, or a medium that is gone
            return FillResult::Filled;
        }
        FillFromListing(item, *listing, true);
        return FillResult::Filled;
    }
    const FolderListing listing =
        FileTreeListing::ListFolder(info.m_strPath, m_filter, m_mounts, true, false);
    if (!listing.bOk) {
        if (!NameExists(info.m_strPath)) {
            RemoveVanished(item);
            return FillResult::Gone;
        }
        SetIndicator(item, false);
        return FillResult::Filled;
    }
    FillFromListing(item, listing, false);
    return FillResult::Filled;
}

void CFileTreeCtrl::StartBackgroundFill(FileTreeItem* item, const QString& strFolder, bool bNetworkShares)
{
    CFileTreeCtrlItemInfo& info = item->Info();
    const QString& folder = strFolder;
    const quint64 request = m_pAsync->Start(folder, m_filter, m_mounts);
    info.m_nPendingFill = request;
    PendingFill pending;
    pending.index = QPersistentModelIndex(indexFromItem(item));
    pending.bNetworkShares = bNetworkShares;
    pending.strFolder = strFolder;
    m_mapPending.insert(request, pending);
    // A volume that does not answer in time: the item closes again and keeps
    // its expand button, so the user can try once more.
    QTimer::singleShot(kSlowFillMs, this, [this, request] {
        const auto it = m_mapPending.find(request);
        if (it == m_mapPending.end()) {
            return;
        }
        FileTreeItem* waiting = FileTreeItem::From(ItemOf(it->index));
        m_mapPending.erase(it);
        if (waiting && waiting->Info().m_nPendingFill == request) {
            waiting->Info().m_nPendingFill = 0;
            if (waiting->childCount() == 0) {
                waiting->setExpanded(false);
            }
        }
    });
}

void CFileTreeCtrl::AbandonBackgroundFill(FileTreeItem* item)
{
    quint64& request = item->Info().m_nPendingFill;
    if (request != 0) {
        m_mapPending.remove(request);
        request = 0;
    }
}

void CFileTreeCtrl::customEvent(QEvent* event)
{
    if (event->type() != FolderListedEvent::EventType()) {
        QTreeWidget::customEvent(event);
        return;
    }
    auto* listed = static_cast<FolderListedEvent*>(event);
    const auto it = m_mapPending.find(listed->Request());
    if (it == m_mapPending.end()) {
        return; // abandoned: collapsed, refreshed, timed out or filled otherwise
    }
    const PendingFill pending = it.value();
    m_mapPending.erase(it);
    FileTreeItem* item = FileTreeItem::From(ItemOf(pending.index));
    if (!item || item->Info().m_nPendingFill != listed->Request()) {
        return;
    }
    item->Info().m_nPendingFill = 0;
    const FolderListing& listing = listed->Listing();
    UpdatesOff updates(this);
    if (pending.bNetworkShares) {
        const QString& gvfs = pending.strFolder;
        std::vector<FileTreeItem*> items;
        for (const FileTreeEntry& entry : listing.arrEntries) {
            if (entry.bFolder && !entry.bUnusable) {
                items.push_back(NewNetworkItem(FileTreeListing::JoinPath(gvfs, entry.strName), entry.strName,
                                               QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("gvfs")));
            }
        }
        AddChildrenSorted(item, std::move(items));
    } else if (!listing.bOk) {
        if (listing.nError == ENOENT) {
            RemoveVanished(item);
            return;
        }
    } else {
        FillFromListing(item, listing, true);
    }
    if (item->childCount() == 0) {
        // Nothing there (an empty or unreadable volume, a medium that is
        // gone): no expand button any more.
        SetIndicator(item, false);
        item->setExpanded(false);
    }
}

void CFileTreeCtrl::RemoveVanished(FileTreeItem* item)
{
    QTreeWidgetItem* parent = item->parent();
    QTreeWidgetItem* selected = GetSelectedItem();
    bool selectionInside = false;
    for (QTreeWidgetItem* at = selected; at; at = at->parent()) {
        if (at == item) {
            selectionInside = true;
            break;
        }
    }
    ++m_nSelectionGuard;
    delete item;
    --m_nSelectionGuard;
    if (parent && parent->childCount() == 0) {
        SetIndicator(parent, false);
    }
    if (selectionInside && parent) {
        setCurrentItem(parent);
    } else if (selectionInside) {
        m_idxLastSelected = QPersistentModelIndex();
        emit SelChanged();
    }
}

void CFileTreeCtrl::DiscardChildren(QTreeWidgetItem* item)
{
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
}

void CFileTreeCtrl::OnItemExpanded(QTreeWidgetItem* qItem)
{
    FileTreeItem* item = FileTreeItem::From(qItem);
    if (m_bRebuilding || !item || item->childCount() > 0 || !HasIndicator(item) ||
        item->Info().m_nPendingFill) {
        return;
    }
    UpdatesOff updates(this);
    const QPersistentModelIndex index(indexFromItem(item));
    const FillResult result = FillItem(item, -1);
    if (result == FillResult::Filled && index.isValid() && item->childCount() == 0 && item != DesktopItem() &&
        item->Info().m_nPendingFill == 0) {
        SetIndicator(item, false);
        item->setExpanded(false);
    }
}

void CFileTreeCtrl::OnItemCollapsed(QTreeWidgetItem* qItem)
{
    FileTreeItem* item = FileTreeItem::From(qItem);
    if (m_bRebuilding || !item) {
        return;
    }
    AbandonBackgroundFill(item);
    if (item->childCount() == 0) {
        return;
    }
    // The children are read again at the next expand; a selection among them
    // moves to the collapsed item first.
    for (QTreeWidgetItem* at = GetSelectedItem(); at; at = at->parent()) {
        if (at->parent() == item) {
            setCurrentItem(item);
            break;
        }
    }
    UpdatesOff updates(this);
    DiscardChildren(item);
    SetIndicator(item, true);
}

void CFileTreeCtrl::OnSelectionChanged()
{
    if (m_bRebuilding || m_nSelectionGuard > 0) {
        return;
    }
    FileTreeItem* now = FileTreeItem::From(GetSelectedItem());
    FileTreeItem* previous = FileTreeItem::From(ItemOf(m_idxLastSelected));
    if (now == previous) {
        return;
    }
    if (now) {
        const CFileTreeCtrlItemInfo& info = now->Info();
        const bool special = info.m_nType == TREE_ITEM_DESKTOP || info.m_nType == TREE_ITEM_PROFILE ||
                             info.m_nType == TREE_ITEM_DOCUMENTS || info.m_nType == TREE_ITEM_COMPUTER ||
                             info.m_nType == TREE_ITEM_NETWORK || info.m_nType == TREE_ITEM_DRIVE;
        if (!special && !info.m_bSlow && !info.m_bUnusable && !info.m_strPath.isEmpty() &&
            !NameExists(info.m_strPath)) {
            RemoveVanished(now); // selects its parent
            return;
        }
    }
    if (previous) {
        ApplyImage(previous, false);
        if (!m_bSuppressHistory) {
            if (static_cast<int>(m_arrBack.size()) > m_nHistoryLimit) {
                m_arrBack.pop_front();
            }
            m_arrBack.push_back(KeyOf(previous));
        }
    }
    m_idxLastSelected = now ? QPersistentModelIndex(indexFromItem(now)) : QPersistentModelIndex();
    ApplyImage(now, true);
    emit SelChanged();
}

// ---------------------------------------------------------------------------
// Walking to a path, history

CFileTreeCtrl::HistoryEntry CFileTreeCtrl::KeyOf(QTreeWidgetItem* item) const
{
    const CFileTreeCtrlItemInfo* info = ItemInfo(item);
    if (!info || info->m_bUnusable) {
        return HistoryEntry();
    }
    return HistoryEntry{info->m_nType, info->m_strPath};
}

bool CFileTreeCtrl::EnsureFilled(FileTreeItem* item, int nBudgetMs)
{
    if (item->childCount() == 0 && HasIndicator(item)) {
        if (item->Info().m_bSlow) {
            // Read on a worker within the time left; the UI thread only waits.
            if (FillItem(item, std::max(0, nBudgetMs)) == FillResult::Gone) {
                return false;
            }
        } else {
            const QPersistentModelIndex index(indexFromItem(item));
            item->setExpanded(true); // fills it
            if (!index.isValid()) {
                return false;
            }
        }
    }
    if (item->childCount() > 0) {
        item->setExpanded(true);
    }
    return true;
}

FileTreeItem* CFileTreeCtrl::FindChildByName(QTreeWidgetItem* parent, const QString& strName, bool bExactOnly)
{
    // Names on Linux file systems differ by case: an exact match wins; a
    // match without regard to case only when there is no exact one.
    for (int i = 0; i < parent->childCount(); ++i) {
        FileTreeItem* child = FileTreeItem::From(parent->child(i));
        if (child && !child->Info().m_bUnusable && child->Info().m_strName == strName) {
            return child;
        }
    }
    if (bExactOnly) {
        return nullptr;
    }
    for (int i = 0; i < parent->childCount(); ++i) {
        FileTreeItem* child = FileTreeItem::From(parent->child(i));
        if (child && !child->Info().m_bUnusable &&
            child->Info().m_strName.compare(strName, Qt::CaseInsensitive) == 0) {
            return child;
        }
    }
    return nullptr;
}

FileTreeItem* CFileTreeCtrl::StartItemFor(const QString& strPath, QString* startPath, int nBudgetMs)
{
    if (FileTreeItem* root = FileTreeItem::From(DesktopItem()); root && root->childCount() == 0) {
        if (!EnsureFilled(root, nBudgetMs)) {
            return nullptr;
        }
    }
    // The special folder that holds the path most closely; the home folder
    // first among equals.
    FileTreeItem* best = nullptr;
    qsizetype bestLength = -1;
    for (QTreeWidgetItem* candidate : {ProfileItem(), DocumentsItem(), DesktopItem()}) {
        const CFileTreeCtrlItemInfo* info = ItemInfo(candidate);
        if (info && IsAtOrBelow(strPath, info->m_strPath) && info->m_strPath.size() > bestLength) {
            best = FileTreeItem::From(candidate);
            bestLength = info->m_strPath.size();
        }
    }
    if (best) {
        *startPath = best->Info().m_strPath;
        return best;
    }
    // Else the volume that holds it: below the Network for a network volume,
    // else below "Computer" (or wherever the drives are).
    QTreeWidgetItem* parent = nullptr;
    const MountEntry* mount = m_mounts.MountOf(strPath);
    if (mount && mount->bNetwork && NetworkItem()) {
        parent = NetworkItem();
    } else {
        parent = ComputerItem() ? ComputerItem() : RootParent();
    }
    if (FileTreeItem* container = FileTreeItem::From(parent)) {
        if (!EnsureFilled(container, nBudgetMs)) {
            return nullptr;
        }
    }
    for (int i = 0; i < parent->childCount(); ++i) {
        FileTreeItem* child = FileTreeItem::From(parent->child(i));
        if (!child ||
            (child->Info().m_nType != TREE_ITEM_DRIVE && child->Info().m_nType != TREE_ITEM_NETWORK)) {
            continue;
        }
        const QString& path = child->Info().m_strPath;
        if (IsAtOrBelow(strPath, path) && path.size() > bestLength) {
            best = child;
            bestLength = path.size();
        }
    }
    if (best) {
        *startPath = best->Info().m_strPath;
    }
    return best;
}

CFileTreeCtrl::WalkResult CFileTreeCtrl::WalkTo(const QString& strPath, int nBudgetMs)
{
    QElapsedTimer clock;
    clock.start();
    QString start;
    FileTreeItem* item = StartItemFor(strPath, &start, nBudgetMs);
    if (!item) {
        return WalkResult();
    }
    const QString rest = strPath.mid(start.size());
    const QStringList components = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // A clean path has no "." or ".." and a finite number of components, so
    // the walk ends; links along it are entered by name, once each.
    for (const QString& component : components) {
        const int left = std::max(0, nBudgetMs - static_cast<int>(clock.elapsed()));
        if (!EnsureFilled(item, left)) {
            return WalkResult();
        }
        FileTreeItem* child = FindChildByName(item, component, false);
        if (!child) {
            return WalkResult{item, false};
        }
        item = child;
    }
    return WalkResult{item, true};
}

bool CFileTreeCtrl::SelectPath(const QString& strPath, bool bExpand)
{
    if (strPath.isEmpty() || !QDir::isAbsolutePath(strPath)) {
        return false;
    }
    const QString path = QDir::cleanPath(strPath);
    UpdatesOff updates(this);
    const WalkResult walk = WalkTo(path, kSlowSelectMs);
    if (!walk.pItem) {
        return false;
    }
    setCurrentItem(walk.pItem);
    scrollToItem(walk.pItem);
    if (bExpand) {
        walk.pItem->setExpanded(true);
    }
    return walk.bComplete && GetSelectedItem() == walk.pItem;
}

FileTreeItem* CFileTreeCtrl::Resolve(const HistoryEntry& entry)
{
    if (FileTreeItem* root = FileTreeItem::From(DesktopItem()); root && root->childCount() == 0) {
        EnsureFilled(root, kSlowSelectMs);
    }
    switch (entry.nType) {
    case TREE_ITEM_DESKTOP:
        return FileTreeItem::From(DesktopItem());
    case TREE_ITEM_COMPUTER:
        return FileTreeItem::From(ComputerItem());
    case TREE_ITEM_NETWORK:
        if (entry.strPath.isEmpty()) {
            return FileTreeItem::From(NetworkItem());
        }
        break;
    case TREE_ITEM_UNTYPED:
        return nullptr;
    default:
        break;
    }
    if (entry.strPath.isEmpty()) {
        return nullptr;
    }
    // A folder deleted meanwhile is skipped, never selected.
    if (m_mounts.IsSlowPath(entry.strPath) ? !IsFolderWithin(entry.strPath, kSlowSelectMs)
                                           : !NameExists(entry.strPath)) {
        return nullptr;
    }
    const WalkResult walk = WalkTo(entry.strPath, kSlowSelectMs);
    return walk.bComplete ? walk.pItem : nullptr;
}

void CFileTreeCtrl::SelectQuietly(QTreeWidgetItem* item)
{
    m_bSuppressHistory = true;
    setCurrentItem(item);
    m_bSuppressHistory = false;
    scrollToItem(item);
}

bool CFileTreeCtrl::StepHistory(std::deque<HistoryEntry>& from, std::deque<HistoryEntry>& to)
{
    const HistoryEntry current = KeyOf(GetSelectedItem());
    while (!from.empty()) {
        const HistoryEntry entry = from.back();
        from.pop_back();
        if (entry.nType == TREE_ITEM_UNTYPED || entry == current) {
            continue;
        }
        FileTreeItem* target = Resolve(entry);
        if (!target || target == GetSelectedItem()) {
            continue;
        }
        SelectQuietly(target);
        if (GetSelectedItem() != target) {
            continue; // it went while being selected
        }
        if (current.nType != TREE_ITEM_UNTYPED) {
            to.push_back(current);
        }
        return true;
    }
    return false;
}

bool CFileTreeCtrl::GoBack()
{
    return StepHistory(m_arrBack, m_arrForward);
}

bool CFileTreeCtrl::GoForward()
{
    return StepHistory(m_arrForward, m_arrBack);
}

bool CFileTreeCtrl::GoUp()
{
    QTreeWidgetItem* selected = GetSelectedItem();
    if (!selected || !selected->parent()) {
        return false;
    }
    setCurrentItem(selected->parent());
    scrollToItem(selected->parent());
    return true;
}

void CFileTreeCtrl::RenamePathsBelow(QTreeWidgetItem* item, const QString& strOld, const QString& strNew)
{
    auto renamed = [&](const QString& path) {
        return IsAtOrBelow(path, strOld) ? strNew + path.mid(strOld.size()) : path;
    };
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* at = stack.back();
        stack.pop_back();
        for (int i = 0; i < at->childCount(); ++i) {
            if (FileTreeItem* child = FileTreeItem::From(at->child(i))) {
                if (!child->Info().m_strPath.isEmpty()) {
                    child->Info().m_strPath = renamed(child->Info().m_strPath);
                }
                stack.push_back(child);
            }
        }
    }
    for (std::deque<HistoryEntry>* stackOfEntries : {&m_arrBack, &m_arrForward}) {
        for (HistoryEntry& entry : *stackOfEntries) {
            entry.strPath = renamed(entry.strPath);
        }
    }
}

std::optional<QColor> CFileTreeCtrl::ItemTextColour(QTreeWidgetItem* pItem)
{
    FileTreeItem* item = FileTreeItem::From(pItem);
    if (!item || (!m_bShowCompressed && !m_bShowEncrypted)) {
        return std::nullopt;
    }
    CFileTreeCtrlItemInfo& info = item->Info();
    if (info.m_nType == TREE_ITEM_DRIVE || info.m_nType == TREE_ITEM_NETWORK || info.m_bSlow ||
        info.m_bUnusable || info.m_strPath.isEmpty()) {
        return std::nullopt;
    }
    if (info.m_nColourState == 0) {
        info.m_nColourState = static_cast<quint8>(0x80 | FileTreeListing::ColourAttribute(info.m_strPath));
    }
    if ((info.m_nColourState & 1) && m_bShowCompressed) {
        return m_crCompressed;
    }
    if ((info.m_nColourState & 2) && m_bShowEncrypted) {
        return m_crEncrypted;
    }
    return std::nullopt;
}
