// The gallery's page registry, page context and main().
#include "Gallery.h"

#include "AppProfile.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPixmap>
#include <QSet>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

QList<GalleryPageEntry>& GalleryPages()
{
    static QList<GalleryPageEntry> pages;
    return pages;
}

GalleryRegistrar::GalleryRegistrar(const char* name, GalleryPageFunction function)
{
    GalleryPages().append({QString::fromUtf8(name), function});
}

namespace {

QSet<QString>& ShotNames()
{
    static QSet<QString> names;
    return names;
}

void PrintLine(const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

} // namespace

GalleryContext::GalleryContext(const QString& page, bool screenshots, const QString& outputDir,
                               const QString& homeDir)
    : m_strPage(page), m_bScreenshots(screenshots), m_strOutputDir(outputDir), m_strHomeDir(homeDir)
{
}

GalleryContext::~GalleryContext()
{
    CloseWindows();
    delete m_pTempDir;
}

QWidget* GalleryContext::NewWindow(const QString& title, const QSize& size)
{
    auto* window = new QWidget;
    window->setWindowTitle(title);
    window->resize(size);
    Adopt(window);
    return window;
}

void GalleryContext::Adopt(QWidget* window)
{
    if (window && !m_windows.contains(window))
        m_windows.append(window);
}

void GalleryContext::Settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void GalleryContext::Shoot(QWidget* widget, const QString& name)
{
    if (!m_bScreenshots || !widget)
        return;
    if (ShotNames().contains(name)) {
        Fail(QStringLiteral("screenshot name used twice: ") + name);
        return;
    }
    ShotNames().insert(name);
    QWidget* window = widget->window();
    if (!window->isVisible())
        window->show();
    Settle();
    const QString file = QDir(m_strOutputDir).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(file, "PNG")) {
        Fail(QStringLiteral("cannot write ") + file);
        return;
    }
    m_shots << file;
}

void GalleryContext::Hover(QWidget* widget, const QPoint& pos)
{
    const QPointF local(pos);
    const QPointF global(widget->mapToGlobal(pos));
    QEnterEvent enter(local, local, global);
    QApplication::sendEvent(widget, &enter);
    QMouseEvent move(QEvent::MouseMove, local, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void GalleryContext::Leave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

QString GalleryContext::TempDir()
{
    if (!m_pTempDir)
        m_pTempDir = new QTemporaryDir(QDir(m_strHomeDir).filePath(QStringLiteral("page-XXXXXX")));
    return m_pTempDir->path();
}

void GalleryContext::Fail(const QString& message)
{
    m_bFailed = true;
    PrintLine(m_strPage + QStringLiteral(": ") + message);
}

void GalleryContext::ShowWindows()
{
    for (const QPointer<QWidget>& window : std::as_const(m_windows)) {
        if (window)
            window->show();
    }
}

void GalleryContext::CloseWindows()
{
    const QList<QPointer<QWidget>> windows = std::exchange(m_windows, {});
    for (const QPointer<QWidget>& window : windows) {
        if (window) {
            window->hide();
            delete window.data();
        }
    }
}

namespace {

struct Options
{
    bool screenshots = false;
    QString outputDir;
    QStringList pages;
    bool list = false;
    bool ok = true;
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--screenshot") && i + 1 < argc) {
            options.screenshots = true;
            options.outputDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--page") && i + 1 < argc) {
            options.pages << QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--list")) {
            options.list = true;
        } else {
            options.ok = false;
        }
    }
    return options;
}

void SetEnv(const char* name, const QString& value)
{
    qputenv(name, QFile::encodeName(value));
}

// A private home, so the gallery never reads or writes the user's profile.
// The runtime folder stays the user's in interactive mode: the display
// connection lives there.
std::unique_ptr<QTemporaryDir> IsolateHome(bool screenshots)
{
    auto home =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarnwick-gallery-XXXXXX"));
    if (!home->isValid())
        return nullptr;
    QDir dir(home->path());
    for (const char* sub : {".config", ".local/share", ".cache", "run"})
        dir.mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetEnv("HOME", home->path());
    SetEnv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral(".config")));
    SetEnv("XDG_DATA_HOME", dir.filePath(QStringLiteral(".local/share")));
    SetEnv("XDG_CACHE_HOME", dir.filePath(QStringLiteral(".cache")));
    if (screenshots)
        SetEnv("XDG_RUNTIME_DIR", dir.filePath(QStringLiteral("run")));
    return home;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    if (!options.ok) {
        PrintLine(QStringLiteral("usage: tarnwick-gallery [--screenshot DIR] [--page NAME]... [--list]"));
        return 2;
    }
    QList<GalleryPageEntry> pages = GalleryPages();
    std::sort(pages.begin(), pages.end(),
              [](const GalleryPageEntry& a, const GalleryPageEntry& b) { return a.name < b.name; });
    if (options.list) {
        for (const GalleryPageEntry& page : pages)
            std::printf("%s\n", page.name.toUtf8().constData());
        return 0;
    }
    if (!options.pages.isEmpty()) {
        pages.erase(
            std::remove_if(pages.begin(), pages.end(),
                           [&](const GalleryPageEntry& page) { return !options.pages.contains(page.name); }),
            pages.end());
    }
    if (pages.isEmpty()) {
        PrintLine(QStringLiteral("tarnwick-gallery: no such page"));
        return 1;
    }

    if (options.screenshots)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QTemporaryDir> home = IsolateHome(options.screenshots);
    if (!home) {
        PrintLine(QStringLiteral("tarnwick-gallery: cannot create a temporary home"));
        return 1;
    }

    QApplication app(argc, argv);
    AppProfile::Init();
    if (options.screenshots) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(9);
        QApplication::setFont(font);
        if (!QDir().mkpath(options.outputDir)) {
            PrintLine(QStringLiteral("tarnwick-gallery: cannot create ") + options.outputDir);
            return 1;
        }
    }

    bool failed = false;
    std::vector<std::unique_ptr<GalleryContext>> contexts;
    for (const GalleryPageEntry& page : std::as_const(pages)) {
        auto context = std::make_unique<GalleryContext>(page.name, options.screenshots,
                                                        QDir(options.outputDir).absolutePath(), home->path());
        page.function(*context);
        failed = failed || context->Failed();
        if (options.screenshots) {
            for (const QString& shot : context->Shots())
                std::printf("%s\n", shot.toUtf8().constData());
            context->CloseWindows();
        } else {
            context->ShowWindows();
            contexts.push_back(std::move(context));
        }
    }
    if (options.screenshots)
        return failed ? 1 : 0;
    const int status = app.exec();
    contexts.clear();
    return failed ? 1 : status;
}
