// tarnwick-gallery: a developer tool that shows each of the application's
// controls in a small window, or, with --screenshot DIR, writes PNGs of
// them in typical states on the offscreen platform and exits.
//
// Adding a page
// -------------
// Every .cpp file in tests/gallery/ is built into the gallery, so a page is
// one new file and nothing else changes:
//
//     #include "Gallery.h"
//     #include "CSSplitter.h"
//
//     static void SplitterPage(GalleryContext& ctx)
//     {
//         QWidget* window = ctx.NewWindow(QStringLiteral("Splitter"), QSize(460, 260));
//         auto* splitter = new CSSplitter;
//         splitter->Create(0x50000001, window, new QTreeWidget, new QTreeWidget, 103,
//                          window->rect(), 100, 150);
//         ctx.Shoot(window, QStringLiteral("splitter-both"));    // DIR/splitter-both.png
//         splitter->HideFirstPane();
//         ctx.Shoot(window, QStringLiteral("splitter-hidden"));  // DIR/splitter-hidden.png
//     }
//     GALLERY_PAGE("splitter", SplitterPage);
//
// The page function builds its widgets and takes its pictures through the
// context. Pages run one after the other in the order of their names.
//
// The context
// -----------
// - NewWindow(title, size): a top-level window owned by the gallery; build
//   the control inside it. Adopt(widget) hands over a top-level window the
//   page made itself (a dialog). In screenshot mode a page's windows are
//   closed and deleted when the page returns, so destructors that save to
//   the profile run inside the temporary home.
// - Shoot(widget, name): in screenshot mode shows the widget's window if it
//   is hidden, lets pending events run (layouts, paints) and writes the
//   widget as DIR/name.png; names must be unique. In interactive mode it
//   does nothing, and the windows stay up in the state the page left them.
// - Hover(widget, pos) / Leave(widget): sends the mouse events of a pointer
//   over the widget at pos (widget coordinates), or of one leaving it.
// - Settle(): lets pending events run.
// - Screenshots(), OutputDir(), HomeDir(), TempDir(): the mode, the PNG
//   folder, the temporary home, and a scratch folder of the page's own
//   (empty at the page's start) for fixture files.
// - Fail(message): marks the run failed (exit status 1) with a message.
//
// Environment
// -----------
// HOME and the XDG folders point into a temporary folder made before the
// application starts (the application profile and Config.ini start empty);
// in screenshot mode the platform is "offscreen", the style Fusion and the
// font DejaVu Sans 9 pt, so pictures look the same on every machine.
//
// Command line: tarnwick-gallery [--screenshot DIR] [--page NAME]... [--list]
#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;
class QTemporaryDir;

class GalleryContext
{
public:
    GalleryContext(const QString& page, bool screenshots, const QString& outputDir, const QString& homeDir);
    ~GalleryContext();
    GalleryContext(const GalleryContext&) = delete;
    GalleryContext& operator=(const GalleryContext&) = delete;

    QWidget* NewWindow(const QString& title, const QSize& size);
    void Adopt(QWidget* window);

    void Shoot(QWidget* widget, const QString& name);
    void Hover(QWidget* widget, const QPoint& pos);
    void Leave(QWidget* widget);
    void Settle();

    bool Screenshots() const { return m_bScreenshots; }
    QString OutputDir() const { return m_strOutputDir; }
    QString HomeDir() const { return m_strHomeDir; }
    QString TempDir();
    QString Page() const { return m_strPage; }

    void Fail(const QString& message);
    bool Failed() const { return m_bFailed; }
    const QStringList& Shots() const { return m_shots; }

    // Shows the windows (interactive mode) or deletes them (screenshot mode).
    void ShowWindows();
    void CloseWindows();

private:
    QString m_strPage;
    bool m_bScreenshots = false;
    QString m_strOutputDir;
    QString m_strHomeDir;
    QTemporaryDir* m_pTempDir = nullptr;
    QList<QPointer<QWidget>> m_windows;
    QStringList m_shots;
    bool m_bFailed = false;
};

using GalleryPageFunction = void (*)(GalleryContext&);

struct GalleryPageEntry
{
    QString name;
    GalleryPageFunction function = nullptr;
};

// The registered pages, in the order of registration.
QList<GalleryPageEntry>& GalleryPages();

struct GalleryRegistrar
{
    GalleryRegistrar(const char* name, GalleryPageFunction function);
};

#define GALLERY_PAGE(name, function) static const GalleryRegistrar galleryRegistrar_##function(name, function)
