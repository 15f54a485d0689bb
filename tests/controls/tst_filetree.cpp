// The folder tree on a real folder tree inside the private test home: lazy
// filling, filters and order, vanished folders, history, walking to a path,
// the folder commands, expand all, colours, slow volumes and odd names.
#include "CFileTreeCtrl.h"
#include "MessageBox.h"
#include "MountTable.h"
#include "TestGuiMain.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QUrl>
#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ShowsExpander(const QTreeWidgetItem* item)
{
    return item->childCount() > 0 || item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

QStringList ChildNames(const QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) {
        names << CFileTreeCtrl::ItemInfo(item->child(i))->m_strName;
    }
    return names;
}

QTreeWidgetItem* ChildNamed(const QTreeWidgetItem* item, const QString& name)
{
    for (int i = 0; i < item->childCount(); ++i) {
        if (CFileTreeCtrl::ItemInfo(item->child(i))->m_strName == name) {
            return item->child(i);
        }
    }
    return nullptr;
}

void WriteFile(const QString& path, const QByteArray& content = "x")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestFileTree : public QObject
{
    Q_OBJECT

private:
    QString m_strHome;
    QString m_strCase; // a fresh folder per test inside the home folder
    std::unique_ptr<CFileTreeCtrl> m_pTree;
    QString m_strMountInfo;

    QString P(const QString& relative) const { return m_strCase + QLatin1Char('/') + relative; }

    void MakeDirs(const QStringList& relatives)
    {
        for (const QString& relative : relatives) {
            QVERIFY(QDir().mkpath(P(relative)));
        }
    }

    // The tree as the main window sets it up.
    void MakeTree()
    {
        m_pTree = std::make_unique<CFileTreeCtrl>();
        m_pTree->resize(400, 600);
        m_pTree->show();
        m_pTree->SetFileHideMask(0);
        m_pTree->SetShowFiles(false);
        m_pTree->SetAllowRename(true);
        m_pTree->SetAllowDelete(true);
        m_pTree->SetAllowCreateFolder(true);
        m_pTree->SetSystemImageList();
    }

    // Selects path and returns its item (the whole path must be reached).
    QTreeWidgetItem* Select(const QString& path)
    {
        if (!m_pTree->SelectPath(path, false)) {
            return nullptr;
        }
        return m_pTree->GetSelectedItem();
    }

    // A mount table of this process plus the given lines, read by the tree.
    void FakeMounts(const QStringList& extraLines)
    {
        QFile real(QStringLiteral("/proc/self/mountinfo"));
        QVERIFY(real.open(QIODevice::ReadOnly));
        QByteArray text = real.readAll();
        for (const QString& line : extraLines) {
            text += QFile::encodeName(line) + '\n';
        }
        m_strMountInfo = m_strHome + QStringLiteral("/mountinfo.txt");
        WriteFile(m_strMountInfo, text);
        MountTable::SetSourceForTesting(m_strMountInfo);
    }

    QLineEdit* Editor() const
    {
        for (QLineEdit* editor : m_pTree->findChildren<QLineEdit*>()) {
            if (editor->isVisible()) {
                return editor;
            }
        }
        return nullptr;
    }

    // Types text into the open label editor and ends the edit with Enter.
    void CommitEdit(const QString& text)
    {
        QLineEdit* editor = Editor();
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!Editor());
        QCoreApplication::processEvents(); // the rename runs once the editor is gone
    }

private slots:
    void initTestCase()
    {
        m_strHome = QDir::homePath();
        QVERIFY(QDir().mkpath(m_strHome + QStringLiteral("/Desktop")));
    }

    void init()
    {
        m_strCase = m_strHome + QStringLiteral("/case");
        QDir(m_strCase).removeRecursively();
        QVERIFY(QDir().mkpath(m_strCase));
        MessageBox::ClearNextAnswers();
        MakeTree();
    }

    void cleanup()
    {
        m_pTree.reset();
        MountTable::SetSourceForTesting(QString());
        MessageBox::ClearNextAnswers();
    }

    void lazyFillOnExpand()
    {
        MakeDirs({QStringLiteral("a/a1"), QStringLiteral("empty"), QStringLiteral("dotonly/.hidden")});
        WriteFile(P(QStringLiteral("fileonly.txt")));
        QVERIFY(QDir().mkpath(P(QStringLiteral("filesinside"))));
        WriteFile(P(QStringLiteral("filesinside/song.mp3")));
        m_pTree->Refresh();
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        QCOMPARE(folder->childCount(), 0); // not read before it is opened
        QVERIFY(ShowsExpander(folder));
        folder->setExpanded(true);
        QCOMPARE(ChildNames(folder), (QStringList{"a", "dotonly", "empty", "filesinside"}));
        // The has-children test looks at what would be shown: folders only.
        QVERIFY(ShowsExpander(ChildNamed(folder, "a")));
        QVERIFY(!ShowsExpander(ChildNamed(folder, "empty")));
        QVERIFY(!ShowsExpander(ChildNamed(folder, "dotonly")));
        QVERIFY(!ShowsExpander(ChildNamed(folder, "filesinside")));
        QCOMPARE(ChildNamed(folder, "a")->childCount(), 0);

        // Collapsing discards the children; the next expand reads the disk again.
        MakeDirs({QStringLiteral("later")});
        folder->setExpanded(false);
        QCOMPARE(folder->childCount(), 0);
        QVERIFY(ShowsExpander(folder));
        folder->setExpanded(true);
        QVERIFY(ChildNames(folder).contains("later"));

        // A folder whose subfolders all went loses its expand button on expand.
        QTreeWidgetItem* a = ChildNamed(folder, "a");
        QVERIFY(QDir(P("a/a1")).removeRecursively());
        a->setExpanded(true);
        QCOMPARE(a->childCount(), 0);
        QVERIFY(!ShowsExpander(a));
        QVERIFY(!a->isExpanded());
    }

    void filtersAndOrder_data()
    {
        QTest::addColumn<bool>("showFiles");
        QTest::addColumn<quint32>("fileMask");
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QStringList>("expected");
        const quint32 standard = kDefaultHideMask;
        QTest::newRow("folders only")
            << false << 0u << QStringList{"*.*"} << QStringList{"Alpha", "beta", "Gamma"};
        QTest::newRow("files after folders, hidden files shown with mask 0")
            << true << 0u << QStringList{"*.*"}
            << QStringList{"Alpha", "beta", "Gamma", ".dot.mp3", "b.txt", "C.MP3", "noext"};
        QTest::newRow("default mask hides dot files, *.* matches a name without a dot")
            << true << standard << QStringList{"*.*"}
            << QStringList{"Alpha", "beta", "Gamma", "b.txt", "C.MP3", "noext"};
        QTest::newRow("extension pattern ignores case")
            << true << standard << QStringList{"*.mp3"} << QStringList{"Alpha", "beta", "Gamma", "C.MP3"};
        QTest::newRow("two patterns list a file once")
            << true << standard << QStringList{"*.txt", "*.*"}
            << QStringList{"Alpha", "beta", "Gamma", "b.txt", "C.MP3", "noext"};
        QTest::newRow("question mark")
            << true << standard << QStringList{"?.txt"} << QStringList{"Alpha", "beta", "Gamma", "b.txt"};
    }

    void filtersAndOrder()
    {
        QFETCH(bool, showFiles);
        QFETCH(quint32, fileMask);
        QFETCH(QStringList, patterns);
        QFETCH(QStringList, expected);
        MakeDirs({QStringLiteral("Gamma"), QStringLiteral("Alpha"), QStringLiteral("beta"),
                  QStringLiteral(".hidden")});
        for (const char* name : {"noext", "b.txt", "C.MP3", ".dot.mp3"}) {
            WriteFile(P(QString::fromLatin1(name)));
        }
        m_pTree->SetFilePatterns(patterns);
        m_pTree->SetFileHideMask(fileMask); // refreshes
        m_pTree->SetShowFiles(showFiles);   // refreshes
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        folder->setExpanded(true);
        QCOMPARE(ChildNames(folder), expected);
        for (int i = 0; i < folder->childCount(); ++i) {
            QCOMPARE(CFileTreeCtrl::ItemInfo(folder->child(i))->m_nType,
                     quint8(i < 3 ? TREE_ITEM_FOLDER : TREE_ITEM_FILE));
        }
    }

    void rootLayout()
    {
        QVERIFY(QDir().mkpath(m_strHome + QStringLiteral("/Desktop/zeta")));
        QVERIFY(QDir().mkpath(m_strHome + QStringLiteral("/Desktop/Alpha")));
        m_pTree->Refresh();
        QTreeWidgetItem* root = m_pTree->DesktopItem();
        QVERIFY(root);
        QCOMPARE(m_pTree->topLevelItemCount(), 1);
        QCOMPARE(CFileTreeCtrl::ItemInfo(root)->m_strPath, m_strHome + QStringLiteral("/Desktop"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->child(0), m_pTree->ProfileItem());
        QCOMPARE(root->child(1), m_pTree->ComputerItem());
        QCOMPARE(root->child(2), m_pTree->NetworkItem());
        QCOMPARE(ChildNames(root).mid(3), (QStringList{"Alpha", "zeta"}));
        QCOMPARE(CFileTreeCtrl::ItemInfo(m_pTree->ProfileItem())->m_strPath, m_strHome);
        // "Computer" holds "/" and never the kernel's pseudo file systems.
        QTreeWidgetItem* computer = m_pTree->ComputerItem();
        computer->setExpanded(true);
        const QStringList drives = ChildNames(computer);
        QVERIFY(drives.contains("/"));
        for (const QString& drive : drives) {
            QVERIFY2(!drive.startsWith("/proc") && !drive.startsWith("/sys") && !drive.startsWith("/dev"),
                     qPrintable(drive));
            QCOMPARE(CFileTreeCtrl::ItemInfo(computer->child(drives.indexOf(drive)))->m_nType,
                     quint8(TREE_ITEM_DRIVE));
        }
        QVERIFY(QDir(m_strHome + QStringLiteral("/Desktop")).removeRecursively());
        QVERIFY(QDir().mkpath(m_strHome + QStringLiteral("/Desktop")));
    }

    void vanishedFolders()
    {
        MakeDirs({QStringLiteral("only/gone"), QStringLiteral("two/x/inner"), QStringLiteral("two/y")});
        m_pTree->Refresh();
        QTreeWidgetItem* only = Select(P("only"));
        QVERIFY(only);
        only->setExpanded(true);
        QTreeWidgetItem* gone = ChildNamed(only, "gone");
        QVERIFY(gone);
        QVERIFY(QDir(P("only/gone")).removeRecursively());
        // Selecting it removes it; its parent, now childless, is selected.
        m_pTree->setCurrentItem(gone);
        QCOMPARE(only->childCount(), 0);
        QVERIFY(!ShowsExpander(only));
        QCOMPARE(m_pTree->GetSelectedPath(), P("only"));

        // Expanding a folder that went removes it as well.
        QTreeWidgetItem* two = Select(P("two"));
        QVERIFY(two);
        two->setExpanded(true);
        QTreeWidgetItem* x = ChildNamed(two, "x");
        QVERIFY(QDir(P("two/x")).removeRecursively());
        QDir().mkpath(P("two/y/z"));
        QTreeWidgetItem* y = ChildNamed(two, "y");
        x->setExpanded(true);
        QCOMPARE(ChildNames(two), QStringList{"y"});
        QVERIFY(ShowsExpander(two)); // y is still there
        QCOMPARE(ChildNamed(two, "y"), y);
    }

    void historyKeepsTwentyOneBackSteps()
    {
        QStringList names;
        for (int i = 0; i < 26; ++i) {
            names << QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        }
        MakeDirs(names);
        m_pTree->Refresh();
        QVERIFY(Select(P(names[0])));
        const int before = m_pTree->BackCount();
        for (int i = 1; i <= 25; ++i) { // 25 selection changes
            QVERIFY(Select(P(names[i])));
        }
        QVERIFY(before <= 21);
        QCOMPARE(m_pTree->BackCount(), 21);
        for (int step = 0; step < 21; ++step) {
            QVERIFY2(m_pTree->GoBack(), qPrintable(QString::number(step)));
        }
        QVERIFY(!m_pTree->CanGoBack());
        QVERIFY(!m_pTree->GoBack());
        QCOMPARE(m_pTree->GetSelectedPath(), P(names[4]));
        QCOMPARE(m_pTree->ForwardCount(), 21);
        QVERIFY(m_pTree->GoForward());
        QCOMPARE(m_pTree->GetSelectedPath(), P(names[5]));
        QCOMPARE(m_pTree->BackCount(), 1);
    }

    void historySkipsDeletedFolders()
    {
        MakeDirs({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        m_pTree->Refresh();
        QVERIFY(Select(P("a")));
        QVERIFY(Select(P("b")));
        QVERIFY(Select(P("c")));
        QVERIFY(QDir(P("b")).removeRecursively());
        QVERIFY(m_pTree->GoBack());
        QCOMPARE(m_pTree->GetSelectedPath(), P("a"));
        // Entries survive a refresh: they hold paths, not items.
        m_pTree->Refresh();
        QCOMPARE(m_pTree->GetSelectedPath(), P("a"));
        QVERIFY(m_pTree->GoForward());
        QCOMPARE(m_pTree->GetSelectedPath(), P("c"));
    }

    void selectPath_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("complete");
        QTest::newRow("exact case wins") << QStringList{"Music/x", "music/y"} << "music/y"
                                         << "music/y" << true;
        QTest::newRow("other case when no exact name") << QStringList{"Music/Rock"} << "music/rock/"
                                                       << "Music/Rock" << true;
        QTest::newRow("stops at the deepest folder found") << QStringList{"a/b"} << "a/missing/c"
                                                           << "a" << false;
        QTest::newRow("through a link") << QStringList{"real/inner"} << "link/inner"
                                        << "link/inner" << true;
    }

    void selectPath()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, path);
        QFETCH(QString, selected);
        QFETCH(bool, complete);
        MakeDirs(folders);
        QVERIFY(QFile::link(P("real"), P("link")));
        m_pTree->Refresh();
        QCOMPARE(m_pTree->SelectPath(P(path), false), complete);
        QCOMPARE(m_pTree->GetSelectedPath(), P(selected));
        // Walked from the home item.
        QTreeWidgetItem* top = m_pTree->GetSelectedItem();
        while (top->parent() && top != m_pTree->ProfileItem()) {
            top = top->parent();
        }
        QCOMPARE(top, m_pTree->ProfileItem());
    }

    void selectPathOutsideHomeGoesThroughComputer()
    {
        const QString outside = QFileInfo(m_strHome).path(); // the temporary folder holding the home
        m_pTree->Refresh();
        QVERIFY(m_pTree->SelectPath(outside, true));
        QCOMPARE(m_pTree->GetSelectedPath(), outside);
        QVERIFY(m_pTree->GetSelectedItem()->isExpanded());
        QTreeWidgetItem* at = m_pTree->GetSelectedItem();
        while (at->parent() && at->parent() != m_pTree->ComputerItem()) {
            at = at->parent();
        }
        QCOMPARE(at->parent(), m_pTree->ComputerItem());
        QCOMPARE(CFileTreeCtrl::ItemInfo(at)->m_nType, quint8(TREE_ITEM_DRIVE));
    }

    void createFolderTwiceThenName()
    {
        m_pTree->Refresh();
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        QVERIFY(m_pTree->CreateFolder(folder));
        QVERIFY(QFileInfo(P("New Folder")).isDir());
        QCOMPARE(m_pTree->GetSelectedPath(), P("New Folder"));
        QVERIFY(Editor()); // the user can type the name at once
        QTest::keyClick(Editor(), Qt::Key_Escape);
        QTRY_VERIFY(!Editor());

        QVERIFY(m_pTree->CreateFolder(folder));
        QVERIFY(QFileInfo(P("New Folder (2)")).isDir());
        QCOMPARE(m_pTree->GetSelectedPath(), P("New Folder (2)"));
        QCOMPARE(ChildNames(folder), (QStringList{"New Folder", "New Folder (2)"}));
        CommitEdit(QStringLiteral("Named"));
        QVERIFY(QFileInfo(P("Named")).isDir());
        QVERIFY(!QFileInfo::exists(P("New Folder (2)")));
        QCOMPARE(m_pTree->GetSelectedItem()->text(0), QStringLiteral("Named"));
        QCOMPARE(m_pTree->GetSelectedPath(), P("Named"));
    }

    void proposedNameSkipsTakenNames()
    {
        QVERIFY(QFile::link(P("nowhere"), P("New Folder"))); // a dangling link still takes the name
        WriteFile(P(QStringLiteral("New Folder (2)")));
        m_pTree->Refresh();
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        QVERIFY(m_pTree->CreateFolder(folder));
        QVERIFY(QFileInfo(P("New Folder (3)")).isDir());
        QCOMPARE(m_pTree->GetSelectedPath(), P("New Folder (3)"));
        QVERIFY(QFileInfo(P("New Folder")).isSymLink());
    }

    void createFolderRefusesBadNames()
    {
        m_pTree->Refresh();
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        const int shown = MessageBox::ShownCount();
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QVERIFY(!m_pTree->CreateFolder(folder, QStringLiteral("../escape")));
        QCOMPARE(MessageBox::ShownCount(), shown + 1);
        QVERIFY(!QFileInfo::exists(m_strHome + QStringLiteral("/escape")));
        QVERIFY(!m_pTree->CreateFolder(m_pTree->ComputerItem()));
        QVERIFY(!m_pTree->CreateFolder(m_pTree->NetworkItem()));
    }

    void renameRefusedKeepsLabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("an existing folder") << "taken";
        QTest::newRow("an existing empty folder") << "emptytaken";
        QTest::newRow("an existing file") << "file.txt";
        QTest::newRow("a slash") << "a/b";
        QTest::newRow("empty") << "";
        QTest::newRow("dot") << ".";
        QTest::newRow("dot dot") << "..";
    }

    void renameRefusedKeepsLabel()
    {
        QFETCH(QString, text);
        MakeDirs({QStringLiteral("mine/inner"), QStringLiteral("taken"), QStringLiteral("emptytaken")});
        WriteFile(P(QStringLiteral("taken/keep.txt")), "kept");
        WriteFile(P(QStringLiteral("file.txt")), "kept");
        m_pTree->Refresh();
        QTreeWidgetItem* mine = Select(P("mine"));
        QVERIFY(mine);
        const int shown = MessageBox::ShownCount();
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QVERIFY(m_pTree->RenameItem(mine));
        CommitEdit(text);
        QCOMPARE(MessageBox::ShownCount(), shown + 1);
        QCOMPARE(mine->text(0), QStringLiteral("mine"));
        QCOMPARE(CFileTreeCtrl::ItemInfo(mine)->m_strPath, P("mine"));
        QVERIFY(QFileInfo(P("mine/inner")).isDir());
        QVERIFY(QFileInfo(P("emptytaken")).isDir());
        QFile kept(P("taken/keep.txt"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));
        QCOMPARE(QFileInfo(P("file.txt")).size(), 4);
    }

    void renameUpdatesPathsBelow()
    {
        MakeDirs({QStringLiteral("old/sub/deeper")});
        m_pTree->Refresh();
        QTreeWidgetItem* old = Select(P("old"));
        QVERIFY(old);
        old->setExpanded(true);
        QTreeWidgetItem* sub = ChildNamed(old, "sub");
        QVERIFY(m_pTree->RenameItem(old));
        CommitEdit(QStringLiteral("new"));
        QCOMPARE(CFileTreeCtrl::ItemInfo(old)->m_strPath, P("new"));
        QCOMPARE(CFileTreeCtrl::ItemInfo(sub)->m_strPath, P("new/sub"));
        m_pTree->setCurrentItem(sub); // still exists under its new path
        QCOMPARE(m_pTree->GetSelectedPath(), P("new/sub"));
    }

    void mountedVolumesAreNotRenamedOrDeleted()
    {
        MakeDirs({QStringLiteral("holder/volume/data")});
        FakeMounts(
            {QStringLiteral("9999 1 8:99 / %1 rw,relatime - ext4 /dev/sdz1 rw").arg(P("holder/volume"))});
        m_pTree->Refresh();
        QTreeWidgetItem* holder = Select(P("holder"));
        QVERIFY(holder);
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QVERIFY(!m_pTree->RenameItem(holder));
        QVERIFY(MessageBox::LastText().contains("mounted volume"));
        for (const Qt::KeyboardModifiers modifiers :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            MessageBox::SetNextAnswer(MessageBox::kOk);
            MessageBox::SetNextAnswer(MessageBox::kYes);
            QVERIFY(!m_pTree->RemoveFromDisk(holder, modifiers));
            QVERIFY(MessageBox::LastText().contains("mounted volume"));
            MessageBox::ClearNextAnswers();
        }
        QVERIFY(QFileInfo(P("holder/volume/data")).isDir());
    }

    void removeFromDisk_data()
    {
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<bool>("inTrash");
        QTest::newRow("Del moves to the trash") << false << 0 << true << true;
        QTest::newRow("Shift+Del confirmed deletes for good")
            << true << int(MessageBox::kYes) << true << false;
        QTest::newRow("Shift+Del declined keeps it") << true << int(MessageBox::kNo) << false << false;
    }

    void removeFromDisk()
    {
        QFETCH(bool, shift);
        QFETCH(int, answer);
        QFETCH(bool, gone);
        QFETCH(bool, inTrash);
        MakeDirs({QStringLiteral("a"), QStringLiteral("victim/inside"), QStringLiteral("z")});
        const QString trashed = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                    .filePath(QStringLiteral("Trash/files/victim"));
        QDir(trashed).removeRecursively();
        m_pTree->Refresh();
        QVERIFY(Select(P("victim")));
        const int shown = MessageBox::ShownCount();
        if (answer != 0) {
            MessageBox::SetNextAnswer(answer);
        }
        QTest::keyClick(m_pTree.get(), Qt::Key_Delete, shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(MessageBox::ShownCount(), shown + (shift ? 1 : 0)); // only the permanent delete asks
        QCOMPARE(!QFileInfo::exists(P("victim")), gone);
        QCOMPARE(QFileInfo(trashed + QStringLiteral("/inside")).isDir(), inTrash);
        QFile info(QFileInfo(trashed).path() + QStringLiteral("/../info/victim.trashinfo"));
        QCOMPARE(info.exists(), inTrash);
        if (inTrash) {
            QVERIFY(info.open(QIODevice::ReadOnly));
            QVERIFY(
                info.readAll().startsWith("[Trash Info]\nPath=" + QUrl::toPercentEncoding(P("victim"), "/")));
            info.close();
            info.remove();
        }
        // The previous sibling is selected next.
        QCOMPARE(m_pTree->GetSelectedPath(), gone ? P("a") : P("victim"));
        QDir(trashed).removeRecursively();
    }

    void failedTrashDeletesNothing()
    {
        MakeDirs({QStringLiteral("kept/inside")});
        // A trash that cannot be made: a file where its folder would be.
        const QString trash =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
        QDir(trash).removeRecursively();
        WriteFile(trash);
        m_pTree->Refresh();
        QTreeWidgetItem* kept = Select(P("kept"));
        QVERIFY(kept);
        MessageBox::SetNextAnswer(MessageBox::kOk);
        const bool removed = m_pTree->RemoveFromDisk(kept, Qt::NoModifier);
        QFile::remove(trash);
        QVERIFY(!removed);
        QVERIFY(MessageBox::LastText().contains("trash"));
        QVERIFY(QFileInfo(P("kept/inside")).isDir());
        QCOMPARE(m_pTree->GetSelectedPath(), P("kept"));
    }

    void permanentDeleteRemovesLinksNotTargets()
    {
        MakeDirs({QStringLiteral("victim/sub"), QStringLiteral("outside")});
        WriteFile(P(QStringLiteral("outside/precious.txt")));
        QVERIFY(QFile::link(P("outside"), P("victim/sub/link")));
        QVERIFY(QFile::link(P("outside/precious.txt"), P("victim/filelink")));
        m_pTree->Refresh();
        QTreeWidgetItem* victim = Select(P("victim"));
        QVERIFY(victim);
        MessageBox::SetNextAnswer(MessageBox::kYes);
        QVERIFY(m_pTree->RemoveFromDisk(victim, Qt::ShiftModifier));
        QVERIFY(!QFileInfo::exists(P("victim")));
        QVERIFY(QFileInfo(P("outside/precious.txt")).isFile());
    }

    void expandAllStopsAtLinkLoops()
    {
        MakeDirs({QStringLiteral("top/a/b/c"), QStringLiteral("top/d")});
        QVERIFY(QFile::link(P("top"), P("top/a/b/loop")));
        m_pTree->Refresh();
        QTreeWidgetItem* top = Select(P("top"));
        QVERIFY(top);
        QVERIFY(m_pTree->ExpandAll(top));
        QTreeWidgetItem* a = ChildNamed(top, "a");
        QTreeWidgetItem* b = ChildNamed(a, "b");
        QVERIFY(top->isExpanded() && a->isExpanded() && b->isExpanded());
        QTreeWidgetItem* loop = ChildNamed(b, "loop");
        QVERIFY(loop);
        QVERIFY(!loop->isExpanded()); // the folder it leads to was entered already
        QCOMPARE(loop->childCount(), 0);
    }

    void expandAllStopsOnEscape()
    {
        QStringList folders;
        for (int i = 0; i < 200; ++i) {
            folders << QStringLiteral("wide/f%1/g").arg(i);
        }
        MakeDirs(folders);
        m_pTree->Refresh();
        QTreeWidgetItem* wide = Select(P("wide"));
        QVERIFY(wide);
        QCoreApplication::postEvent(m_pTree.get(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QVERIFY(!m_pTree->ExpandAll(wide));
        int expanded = 0;
        for (int i = 0; i < wide->childCount(); ++i) {
            expanded += wide->child(i)->isExpanded() ? 1 : 0;
        }
        QVERIFY2(expanded < 200, qPrintable(QString::number(expanded)));
        // Input reaches the tree again afterwards.
        QVERIFY(m_pTree->ExpandAll(wide));
    }

    void compressedFoldersInColour()
    {
        MakeDirs({QStringLiteral("packed"), QStringLiteral("plain")});
        const int fd = ::open(QFile::encodeName(P("packed")).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        int flags = 0;
        const bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_COMPR_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        ::close(fd);
        struct statx stx;
        if (!set || ::statx(AT_FDCWD, QFile::encodeName(P("packed")).constData(), 0, 0, &stx) != 0 ||
            !(stx.stx_attributes_mask & STATX_ATTR_COMPRESSED) ||
            !(stx.stx_attributes & STATX_ATTR_COMPRESSED)) {
            QSKIP("the test file system does not mark folders as compressed");
        }
        m_pTree->Refresh();
        QTreeWidgetItem* packed = Select(P("packed"));
        QTreeWidgetItem* plain = Select(P("plain"));
        QVERIFY(packed && plain);
        QCOMPARE(m_pTree->ItemTextColour(packed), std::optional<QColor>(QColor(0, 0, 255)));
        QCOMPARE(m_pTree->ItemTextColour(plain), std::nullopt);
        m_pTree->SetCompressedColour(QColor(0, 0, 255), false);
        QCOMPARE(m_pTree->ItemTextColour(packed), std::nullopt);
        // Drive roots are never coloured.
        m_pTree->ComputerItem()->setExpanded(true);
        QCOMPARE(m_pTree->ItemTextColour(m_pTree->ComputerItem()->child(0)), std::nullopt);
    }

    void slowVolumesAreReadOnAWorker()
    {
        MakeDirs({QStringLiteral("nfs/shared/deep"), QStringLiteral("disc")});
        FakeMounts({QStringLiteral("9998 1 0:999 / %1 rw,relatime - nfs4 server:/export rw").arg(P("nfs")),
                    QStringLiteral("9997 1 11:0 / %1 ro,relatime - iso9660 /dev/sr0 ro").arg(P("disc"))});
        m_pTree->Refresh();
        QTreeWidgetItem* folder = Select(m_strCase);
        QVERIFY(folder);
        folder->setExpanded(true);
        QTreeWidgetItem* nfs = ChildNamed(folder, "nfs");
        QVERIFY(nfs);
        QVERIFY(CFileTreeCtrl::ItemInfo(nfs)->m_bSlow);
        QVERIFY(ShowsExpander(nfs));
        nfs->setExpanded(true);
        QCOMPARE(nfs->childCount(), 0); // not read on the UI thread
        QTRY_COMPARE(ChildNames(nfs), QStringList{"shared"});
        QVERIFY(CFileTreeCtrl::ItemInfo(nfs->child(0))->m_bSlow);
        QVERIFY(ShowsExpander(nfs->child(0))); // set without a test

        // An empty disc keeps its expand button until it was read, then loses it.
        QTreeWidgetItem* disc = ChildNamed(folder, "disc");
        QVERIFY(disc && ShowsExpander(disc));
        disc->setExpanded(true);
        QTRY_VERIFY(!ShowsExpander(disc));
        QVERIFY(!disc->isExpanded());

        // The Network lists the volume by its remote name, at its mount point.
        QTreeWidgetItem* network = m_pTree->NetworkItem();
        network->setExpanded(true);
        QTreeWidgetItem* share = ChildNamed(network, "server:/export");
        QVERIFY(share);
        QCOMPARE(CFileTreeCtrl::ItemInfo(share)->m_strPath, P("nfs"));
        QVERIFY(CFileTreeCtrl::ItemInfo(share)->m_pNetResource);

        // Walking to a path inside reads each slow level within a time limit.
        folder->setExpanded(false);
        QVERIFY(m_pTree->SelectPath(P("nfs/shared/deep"), false));
        QCOMPARE(m_pTree->GetSelectedPath(), P("nfs/shared/deep"));
        QVERIFY(CFileTreeCtrl::IsFolderWithin(P("nfs/shared"), 2000));
    }

    void namesThatAreNotUtf8()
    {
        const QByteArray folder = QFile::encodeName(m_strCase);
        QVERIFY(::mkdir((folder + "/bad\xff").constData(), 0755) == 0);
        QVERIFY(::mkdir((folder + "/bad\xef\xbf\xbd").constData(), 0755) == 0); // "bad" + U+FFFD, valid
        QVERIFY(::mkdir((folder + "/bad\xef\xbf\xbd/inner").constData(), 0755) == 0);
        m_pTree->Refresh();
        QTreeWidgetItem* item = Select(m_strCase);
        QVERIFY(item);
        item->setExpanded(true);
        QCOMPARE(item->childCount(), 2);
        const QString replacement = QStringLiteral("bad") + QChar(0xFFFD);
        QVERIFY(m_pTree->SelectPath(m_strCase + QLatin1Char('/') + replacement + QStringLiteral("/inner"),
                                    false));
        QCOMPARE(m_pTree->GetSelectedPath(),
                 m_strCase + QLatin1Char('/') + replacement + QStringLiteral("/inner"));
        QTreeWidgetItem* unusable = nullptr;
        for (int i = 0; i < item->childCount(); ++i) {
            if (CFileTreeCtrl::ItemInfo(item->child(i))->m_bUnusable) {
                unusable = item->child(i);
            }
        }
        QVERIFY(unusable);
        QVERIFY(CFileTreeCtrl::ItemInfo(unusable)->m_strPath.isEmpty());
        m_pTree->setCurrentItem(unusable);
        QVERIFY(m_pTree->GetSelectedItem() != unusable);
        QVERIFY(!m_pTree->RenameItem(unusable));
        QVERIFY(!m_pTree->RemoveFromDisk(unusable, Qt::NoModifier));
        QVERIFY(!m_pTree->CreateFolder(unusable));
        QVERIFY(QFileInfo::exists(QFile::decodeName(folder + "/bad\xef\xbf\xbd")));
    }

    void refreshKeepsSelectionAndExpansion()
    {
        MakeDirs({QStringLiteral("a/a1/a2"), QStringLiteral("b/b1")});
        m_pTree->Refresh();
        QTreeWidgetItem* b = Select(P("b"));
        QVERIFY(b);
        b->setExpanded(true);
        QVERIFY(Select(P("a/a1")));
        m_pTree->GetSelectedItem()->setExpanded(true);
        const int back = m_pTree->BackCount();
        m_pTree->Refresh();
        QCOMPARE(m_pTree->GetSelectedPath(), P("a/a1"));
        QVERIFY(m_pTree->GetSelectedItem()->isExpanded());
        QCOMPARE(ChildNames(m_pTree->GetSelectedItem()), QStringList{"a2"});
        QVERIFY(m_pTree->GetSelectedItem()->parent()->parent()->isExpanded());
        QTreeWidgetItem* bAgain = ChildNamed(m_pTree->GetSelectedItem()->parent()->parent(), "b");
        QVERIFY(bAgain && bAgain->isExpanded());
        QCOMPARE(m_pTree->BackCount(), back);
    }

    void keysAndRightClick()
    {
        MakeDirs({QStringLiteral("p/q")});
        m_pTree->Refresh();
        QVERIFY(Select(P("p/q")));
        QTest::keyClick(m_pTree.get(), Qt::Key_Backspace);
        QCOMPARE(m_pTree->GetSelectedPath(), P("p"));
        QTest::keyClick(m_pTree.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(m_pTree->GetSelectedPath(), P("p/q"));
        QTest::keyClick(m_pTree.get(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(m_pTree->GetSelectedPath(), P("p"));
        QTest::keyClick(m_pTree.get(), Qt::Key_F2);
        QVERIFY(Editor());
        QTest::keyClick(Editor(), Qt::Key_Escape);
        QTRY_VERIFY(!Editor());
        QCOMPARE(m_pTree->GetSelectedItem()->text(0), QStringLiteral("p"));

        QSignalSpy rightClicks(m_pTree.get(), &CFileTreeCtrl::RightClicked);
        QTest::keyClick(m_pTree.get(), Qt::Key_F10, Qt::ShiftModifier);
        QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                       m_pTree->viewport()->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(m_pTree->viewport(), &fromKeyboard);
        QCOMPARE(rightClicks.count(), 0);
        QTreeWidgetItem* q = ChildNamed(m_pTree->GetSelectedItem(), "q");
        QVERIFY(q);
        const QPoint at = m_pTree->visualItemRect(q).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, m_pTree->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(m_pTree->viewport(), &click);
        QCOMPARE(rightClicks.count(), 1);
        QCOMPARE(m_pTree->GetSelectedPath(), P("p/q"));
    }

    void selectedPathFromAWorker()
    {
        MakeDirs({QStringLiteral("chosen")});
        m_pTree->Refresh();
        QVERIFY(Select(P("chosen")));
        std::atomic<bool> done{false};
        QString seen;
        std::thread worker([&] {
            seen = m_pTree->GetSelectedPath();
            done.store(true, std::memory_order_release);
        });
        QTRY_VERIFY(done.load(std::memory_order_acquire));
        worker.join();
        QCOMPARE(seen, P("chosen"));
    }
};

TARNWICK_TEST_GUI_MAIN(TestFileTree)
#include "tst_filetree.moc"
