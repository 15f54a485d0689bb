// Gallery page: the folder chooser as the options dialog opens it, with
// the current output folder selected.
#include "CFolderDialog.h"
#include "Gallery.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

static void FolderDialogPage(GalleryContext& ctx)
{
    QDir scratch(ctx.TempDir());
    scratch.mkpath(QStringLiteral("Music/Albums"));
    scratch.mkpath(QStringLiteral("Output"));
    const QString output = scratch.filePath(QStringLiteral("Output"));

    QWidget* window = ctx.NewWindow(QStringLiteral("Folder picker"), QSize(420, 64));
    auto* path = new QLabel(output, window);
    path->setGeometry(12, 20, 300, 24);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), window);
    browse->setGeometry(320, 20, 88, 24);
    QObject::connect(browse, &QPushButton::clicked, window, [window, path] {
        CFolderDialog dialog(QStringLiteral("Specify the Output Folder"), path->text(), window, 0x51);
        if (dialog.DoModal() == CFolderDialog::kChosen)
            path->setText(dialog.GetFolderPath());
    });
    ctx.Shoot(window, QStringLiteral("folderdialog-owner"));

    if (ctx.Screenshots()) {
        CFolderDialog dialog(QStringLiteral("Specify the Output Folder"), output, window, 0x51);
        QTimer::singleShot(0, window, [&ctx] {
            QWidget* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!chooser) {
                ctx.Fail(QStringLiteral("the folder chooser did not open"));
                return;
            }
            chooser->resize(560, 340);
            ctx.Shoot(chooser, QStringLiteral("folderdialog-chooser"));
            static_cast<QDialog*>(chooser)->reject();
        });
        if (dialog.DoModal() != CFolderDialog::kCancelled)
            ctx.Fail(QStringLiteral("the folder chooser did not cancel"));
    }
}
GALLERY_PAGE("folderdialog", FolderDialogPage);
