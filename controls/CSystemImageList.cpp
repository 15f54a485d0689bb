// The process-wide icon cache.
#include "CSystemImageList.h"

#include <QFileIconProvider>
#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <vector>

namespace {

struct IconCache
{
    std::vector<QIcon> arrIcons;
    int aKindIndex[CSystemImageList::KIND_COUNT];
    QHash<QString, int> mapBySuffix;
    QHash<int, int> mapShared;
    int nInstances = 0;
    bool bFilled = false;
};

IconCache& Cache()
{
    static IconCache cache;
    return cache;
}

int Add(IconCache& cache, const QIcon& icon)
{
    cache.arrIcons.push_back(icon);
    return static_cast<int>(cache.arrIcons.size()) - 1;
}

QIcon Themed(const char* name, const QIcon& fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

void FillKinds(IconCache& cache)
{
    QFileIconProvider provider;
    const QIcon folder = provider.icon(QFileIconProvider::Folder);
    const QIcon drive = provider.icon(QFileIconProvider::Drive);
    const QIcon network = provider.icon(QFileIconProvider::Network);
    const QIcon table[CSystemImageList::KIND_COUNT] = {
        Themed("folder", folder),
        Themed("folder-open", Themed("folder", folder)),
        Themed("user-desktop", provider.icon(QFileIconProvider::Desktop)),
        Themed("user-home", folder),
        Themed("folder-documents", folder),
        Themed("computer", provider.icon(QFileIconProvider::Computer)),
        Themed("network-workgroup", network),
        Themed("folder-remote", network),
        Themed("drive-harddisk", drive),
        Themed("drive-removable-media", drive),
        Themed("media-optical", drive),
        Themed("drive-harddisk", drive),
        Themed("text-x-generic", provider.icon(QFileIconProvider::File)),
    };
    for (int kind = 0; kind < CSystemImageList::KIND_COUNT; ++kind) {
        cache.aKindIndex[kind] = Add(cache, table[kind]);
    }
    cache.bFilled = true;
}

// The icon with a small "shared" emblem in its lower left corner.
QIcon WithSharedEmblem(const QIcon& base)
{
    const QIcon emblem = QIcon::fromTheme(QStringLiteral("emblem-shared"));
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap = base.pixmap(size, size);
        if (pixmap.isNull()) {
            continue;
        }
        QPainter painter(&pixmap);
        const int badge = qMax(8, size / 2);
        const QRect corner(0, size - badge, badge, badge);
        if (!emblem.isNull()) {
            emblem.paint(&painter, corner);
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(Qt::white, 1));
            painter.setBrush(QColor(40, 110, 200));
            painter.drawEllipse(corner.adjusted(1, 1, -1, -1));
        }
        painter.end();
        result.addPixmap(pixmap);
    }
    return result.isNull() ? base : result;
}

} // namespace

CSystemImageList::CSystemImageList()
{
    IconCache& cache = Cache();
    ++cache.nInstances;
    if (!cache.bFilled) {
        FillKinds(cache);
    }
}

CSystemImageList::~CSystemImageList()
{
    --Cache().nInstances;
}

int CSystemImageList::InstanceCount()
{
    return Cache().nInstances;
}

int CSystemImageList::KindIndex(Kind kind) const
{
    return kind >= 0 && kind < KIND_COUNT ? Cache().aKindIndex[kind] : -1;
}

int CSystemImageList::FileIndex(const QString& fileName) const
{
    IconCache& cache = Cache();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot > 0 ? fileName.mid(dot + 1).toLower() : QString();
    const auto found = cache.mapBySuffix.constFind(suffix);
    if (found != cache.mapBySuffix.cend()) {
        return found.value();
    }
    int index = cache.aKindIndex[KIND_FILE];
    if (!suffix.isEmpty()) {
        static const QMimeDatabase database;
        const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        if (type.isValid() && !type.isDefault()) {
            const QIcon generic = QIcon::fromTheme(type.genericIconName(), Icon(index));
            index = Add(cache, QIcon::fromTheme(type.iconName(), generic));
        }
    }
    cache.mapBySuffix.insert(suffix, index);
    return index;
}

int CSystemImageList::SharedIndex(int index) const
{
    IconCache& cache = Cache();
    if (index < 0 || index >= Count()) {
        return index;
    }
    const auto found = cache.mapShared.constFind(index);
    if (found != cache.mapShared.cend()) {
        return found.value();
    }
    const int shared = Add(cache, WithSharedEmblem(cache.arrIcons[static_cast<size_t>(index)]));
    cache.mapShared.insert(index, shared);
    return shared;
}

QIcon CSystemImageList::Icon(int index) const
{
    const IconCache& cache = Cache();
    return index >= 0 && index < Count() ? cache.arrIcons[static_cast<size_t>(index)] : QIcon();
}

int CSystemImageList::Count() const
{
    return static_cast<int>(Cache().arrIcons.size());
}
