// The application profile over QSettings in its native format
// (~/.config/Veltrane Corporation/Tarnwick.conf).
#include "AppProfile.h"

#include <QCoreApplication>
#include <QSettings>
#include <QVariant>

#include <limits>
#include <mutex>

namespace AppProfile {
namespace {

// Every call opens the profile by name, so it does not depend on the names
// set on the core application. Calls are serialised: the profile is small and
// rarely used, and QSettings reaches the C library's time-zone state, which
// the thread checker cannot see to be locked.
std::mutex s_mutex;

QString Organisation()
{
    return QString::fromLatin1(kOrganisation);
}

QString Application()
{
    return QString::fromLatin1(kApplication);
}

// "splt\init_v103" + "VertSplitPos" -> "splt/init_v103/VertSplitPos";
// the unnamed value of a section is "Default".
QString ValuePath(const QString& section, const QString& key)
{
    QString path = section;
    path.replace(u'\\', u'/');
    while (path.endsWith(u'/')) {
        path.chop(1);
    }
    const QString name = key.isEmpty() ? QStringLiteral("Default") : key;
    return path.isEmpty() ? name : path + u'/' + name;
}

// Stores the value and syncs at once. When the profile cannot be written, the
// value held before is put back, so the store stays as the file has it.
bool WriteValue(const QString& section, const QString& key, const QVariant& value)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organisation(), Application());
    if (!settings.isWritable()) {
        return false;
    }
    const QString path = ValuePath(section, key);
    const QVariant previous = settings.value(path);
    settings.setValue(path, value);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        return true;
    }
    if (previous.isValid()) {
        settings.setValue(path, previous);
    } else {
        settings.remove(path);
    }
    return false;
}

} // namespace

void Init()
{
    QCoreApplication::setOrganizationName(Organisation());
    QCoreApplication::setApplicationName(Application());
}

int ReadInt(const QString& section, const QString& key, int defaultValue)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organisation(), Application());
    const QVariant value = settings.value(ValuePath(section, key));
    // A byte block is not an integer, nor is text that is not a whole number.
    if (!value.isValid() || value.typeId() == QMetaType::QByteArray) {
        return defaultValue;
    }
    // Text read from the file is parsed as an int itself: QVariant would cut
    // a number too large for an int and call it a success.
    bool ok = false;
    const qlonglong result = value.typeId() == QMetaType::QString ? value.toString().trimmed().toLongLong(&ok)
                                                                  : value.toLongLong(&ok);
    if (!ok || result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max()) {
        return defaultValue;
    }
    return static_cast<int>(result);
}

QByteArray ReadBinary(const QString& section, const QString& key)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organisation(), Application());
    const QVariant value = settings.value(ValuePath(section, key));
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

bool HasValue(const QString& section, const QString& key)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organisation(), Application());
    return settings.contains(ValuePath(section, key));
}

bool WriteInt(const QString& section, const QString& key, int value)
{
    return WriteValue(section, key, QVariant(value));
}

bool WriteBinary(const QString& section, const QString& key, const QByteArray& value)
{
    return WriteValue(section, key, QVariant(value));
}

} // namespace AppProfile
