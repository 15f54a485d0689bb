// Gallery page: the splitter with both panes, during an outline drag, and
// with the first pane hidden.
#include "CSSplitter.h"
#include "Gallery.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons)
{
    const QPointF local(pos);
    const QPointF global(widget->mapToGlobal(pos));
    QMouseEvent event(type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QTreeWidget* MakeTree()
{
    auto* tree = new QTreeWidget;
    tree->setHeaderHidden(true);
    auto* music = new QTreeWidgetItem(tree, {QStringLiteral("Music")});
    new QTreeWidgetItem(music, {QStringLiteral("Albums")});
    new QTreeWidgetItem(music, {QStringLiteral("Live")});
    new QTreeWidgetItem(tree, {QStringLiteral("Desktop")});
    tree->expandAll();
    return tree;
}

QTreeWidget* MakeList()
{
    auto* list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Duration")});
    list->addTopLevelItem(new QTreeWidgetItem(
        {QStringLiteral("01 - Opening.mp3"), QStringLiteral("4.05 MB"), QStringLiteral("00:02:57")}));
    list->addTopLevelItem(new QTreeWidgetItem(
        {QStringLiteral("02 - Interlude.mp3"), QStringLiteral("3.12 MB"), QStringLiteral("00:02:16")}));
    return list;
}

} // namespace

static void SplitterPage(GalleryContext& ctx)
{
    QWidget* window = ctx.NewWindow(QStringLiteral("Splitter"), QSize(520, 280));
    auto* splitter = new CSSplitter;
    splitter->Create(CSSplitter::kStyleChild | CSSplitter::kStyleVisible | CSSplitter::kStyleVertical, window,
                     MakeTree(), MakeList(), 103, QRect(0, 0, 520, 250), 100, 150);
    auto* toggle = new QPushButton(QStringLiteral("Show/Hide Tree"), window);
    toggle->setGeometry(4, 254, 120, 22);
    QObject::connect(toggle, &QPushButton::clicked, splitter, [splitter] {
        if (splitter->IsFirstPaneShown())
            splitter->HideFirstPane();
        else
            splitter->ShowFirstPane();
    });
    ctx.Shoot(window, QStringLiteral("splitter-both"));

    if (ctx.Screenshots()) {
        // An outline drag half-way, then cancelled with Esc.
        SendMouse(splitter, QEvent::MouseButtonPress, QPoint(201, 100), Qt::LeftButton);
        SendMouse(splitter, QEvent::MouseMove, QPoint(300, 100), Qt::LeftButton);
        ctx.Shoot(window, QStringLiteral("splitter-dragging"));
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(splitter, &esc);
        SendMouse(splitter, QEvent::MouseButtonRelease, QPoint(300, 100), Qt::NoButton);
    }

    splitter->HideFirstPane();
    ctx.Shoot(window, QStringLiteral("splitter-hidden"));
    splitter->ShowFirstPane();
}
GALLERY_PAGE("splitter", SplitterPage);
