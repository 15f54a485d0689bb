// Gallery page: the folder tree under the temporary home, walked to a
// folder three levels below the home folder.
#include "CFileTreeCtrl.h"
#include "Gallery.h"

#include <QDir>
#include <QVBoxLayout>

static void FileTreePage(GalleryContext& ctx)
{
    const QString home = ctx.HomeDir();
    for (const char* folder :
         {"Desktop/Projects", "Music/Albums/Northern Lights/Disc 1", "Music/Albums/Harbour", "Music/Live",
          "Music/Podcasts", "Documents/Letters", "Downloads"}) {
        QDir(home).mkpath(QString::fromLatin1(folder));
    }
    QWidget* window = ctx.NewWindow(QStringLiteral("Folder tree"), QSize(320, 440));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tree = new CFileTreeCtrl(window);
    layout->addWidget(tree);
    // As the main window sets it up.
    tree->SetFileHideMask(0);
    tree->SetShowFiles(false);
    tree->SetAllowRename(true);
    tree->SetAllowDelete(true);
    tree->SetAllowCreateFolder(true);
    tree->SetSystemImageList();
    const QString target = home + QStringLiteral("/Music/Albums/Northern Lights");
    if (!tree->SelectPath(target, true)) {
        ctx.Fail(QStringLiteral("the folder tree did not reach %1").arg(target));
    }
    if (tree->GetSelectedPath() != target) {
        ctx.Fail(QStringLiteral("the folder tree selected %1").arg(tree->GetSelectedPath()));
    }
    ctx.Shoot(window, QStringLiteral("filetree-selected"));
}
GALLERY_PAGE("filetree", FileTreePage);
