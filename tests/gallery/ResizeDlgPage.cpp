// Gallery page: a resizable dialog with anchored controls, at its initial
// size and enlarged.
#include "CResizeDlg.h"
#include "Gallery.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

static void ResizeDlgPage(GalleryContext& ctx)
{
    auto* dlg = new CResizeDlg;
    dlg->setWindowTitle(QStringLiteral("Resizable dialog"));
    dlg->resize(360, 220);
    auto* list = new QListWidget(dlg);
    list->setGeometry(8, 8, 344, 160);
    list->addItems({QStringLiteral("01 - Opening.mp3"), QStringLiteral("02 - Interlude.mp3"),
                    QStringLiteral("03 - Finale.mp3")});
    auto* ok = new QPushButton(QStringLiteral("Join"), dlg);
    ok->setGeometry(196, 174, 75, 24);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dlg);
    cancel->setGeometry(277, 174, 75, 24);
    auto* status = new QLabel(QStringLiteral(" 3 files, 12.40 MB, 00:08:31"), dlg);
    status->setFrameShape(QFrame::StyledPanel);
    status->setGeometry(0, 202, 360, 18);
    dlg->InitResizing();
    // The list stretches both ways, the buttons move with the bottom-right
    // corner, the status line stretches in width and moves down.
    dlg->AddAnchor(list, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH);
    dlg->AddAnchor(ok, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE);
    dlg->AddAnchor(cancel, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE);
    dlg->AddAnchor(status, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_MOVE);
    ctx.Adopt(dlg);

    ctx.Shoot(dlg, QStringLiteral("resizedlg-small"));
    dlg->resize(520, 320);
    ctx.Shoot(dlg, QStringLiteral("resizedlg-large"));
}
GALLERY_PAGE("resizedlg", ResizeDlgPage);
