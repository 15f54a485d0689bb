// The output settings: start values, Config.ini load and save, the output
// summary text.
#include "Settings.h"

#include "FolderTree.h"
#include "HostHooks.h"
#include "IniFile.h"
#include "KnownFolders.h"
#include "TextFormat.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CSettings g_Settings;
QString g_strAppDataFolder;

namespace {

// False when Config.ini has no usable place (the folder could not be named,
// made, or the empty file could not be created): nothing is written then.
bool s_bConfigUsable = false;

const QString kOutput = QStringLiteral("OUTPUT");
const QString kMp3 = QStringLiteral("MP3");
const QString kUntitled = QStringLiteral("Untitled");

// One more character than a value may hold, so a value that was cut shows.
constexpr int kProbeChars = IniFile::kMaxValueChars + 1;

// An integer key: a value that is not a whole number or lies outside
// [low, high] gives the default.
int ReadRangedInt(const QString& section, const QString& key, int defaultValue, int low, int high)
{
    const QString text = IniFile::ReadString(section, key, QString(), ConfigFilePath());
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < low || value > high) {
        return defaultValue;
    }
    return static_cast<int>(value);
}

bool WasCut(const QString& value)
{
    return value.size() > IniFile::kMaxValueChars;
}

bool IsMissing(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

bool CreateEmptyFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    return ::close(fd) == 0;
}

QString WithTrailingSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

} // namespace

QString ConfigFilePath()
{
    return g_strAppDataFolder + QStringLiteral("/Config.ini");
}

QString DefaultOutputFolder()
{
    for (const QString& folder : {KnownFolders::MusicFolder(), KnownFolders::DesktopFolder()}) {
        if (!folder.isEmpty()) {
            return WithTrailingSlash(folder);
        }
    }
    return WithTrailingSlash(KnownFolders::HomeFolder());
}

QString SanitizeFileName(const QString& text)
{
    QString result = text;
    for (const QChar c : {u'/', u'"', u'<', u'>', u'|', u'*', u'?', u':'}) {
        result.replace(c, QLatin1Char('_'));
    }
    return result;
}

int LoadSettings()
{
    const QString path = ConfigFilePath();
    QFile probe(path);
    if (g_strAppDataFolder.isEmpty() || (!IsMissing(path) && !probe.open(QIODevice::ReadOnly))) {
        ShowHostMessage(QStringLiteral("An Error Occurred while loading settings!"), MessageIcon::Error);
        return 0;
    }
    probe.close();

    g_Settings.SameAsSrc = ReadRangedInt(kOutput, QStringLiteral("SameAsSrc"), 0, INT32_MIN, INT32_MAX);
    g_Settings.LameBits = static_cast<int16_t>(ReadRangedInt(kMp3, QStringLiteral("LameBits"), 11, 0, 16));
    g_Settings.LameChannel =
        static_cast<int16_t>(ReadRangedInt(kMp3, QStringLiteral("LameChannel"), 0, 0, 4));
    g_Settings.Freq = static_cast<int16_t>(ReadRangedInt(kMp3, QStringLiteral("Freq"), 0, 0, 9));

    // Paths from another system or cut at the buffer size are not used as paths.
    const QString defaultDir = DefaultOutputFolder();
    QString desDir = IniFile::ReadString(kOutput, QStringLiteral("DesDir"), defaultDir, path, kProbeChars);
    if (WasCut(desDir) || (!desDir.isEmpty() && !QDir::isAbsolutePath(desDir))) {
        desDir = defaultDir;
    }
    g_Settings.DesDir = desDir.isEmpty() ? desDir : WithTrailingSlash(desDir);

    QString lastDir = IniFile::ReadString(kOutput, QStringLiteral("LastDir"), QString(), path, kProbeChars);
    if (WasCut(lastDir) || !QDir::isAbsolutePath(lastDir)) {
        lastDir.clear();
    }
    g_Settings.LastDir = lastDir;

    QString name = IniFile::ReadString(kOutput, QStringLiteral("Name"), kUntitled, path, kProbeChars);
    name = WasCut(name) ? kUntitled : SanitizeFileName(name);
    g_Settings.Name = name.isEmpty() ? kUntitled : name;
    return 1;
}

int SaveSettings(const QString& lastDir)
{
    if (!s_bConfigUsable) {
        return 0;
    }
    // A folder name that would not read back as written is stored empty.
    g_Settings.LastDir = lastDir.trimmed() == lastDir && !lastDir.contains(QLatin1Char('\n')) &&
                                 !lastDir.contains(QLatin1Char('\r')) && !lastDir.contains(QChar(0))
                             ? lastDir
                             : QString();

    const QString path = ConfigFilePath();
    const struct
    {
        const QString& section;
        const char* key;
        QString value;
    } entries[] = {
        {kOutput, "SameAsSrc", FormatText("%d", g_Settings.SameAsSrc)},
        {kOutput, "DesDir", g_Settings.DesDir},
        {kOutput, "LastDir", g_Settings.LastDir},
        {kOutput, "Name", g_Settings.Name},
        {kMp3, "LameBits", FormatText("%d", g_Settings.LameBits)},
        {kMp3, "LameChannel", FormatText("%d", g_Settings.LameChannel)},
        {kMp3, "Freq", FormatText("%d", g_Settings.Freq)},
    };
    for (const auto& entry : entries) {
        if (!IniFile::WriteString(entry.section, QLatin1String(entry.key), entry.value, path)) {
            ShowHostMessage(QStringLiteral("An error occurred while saving settings!"), MessageIcon::Error);
            return 0;
        }
    }
    return 1;
}

void StartSettings()
{
    g_Settings.DesDir = DefaultOutputFolder();
    s_bConfigUsable = false;

    const QString appData = KnownFolders::AppDataFolder();
    if (appData.isEmpty()) {
        g_strAppDataFolder.clear();
        return;
    }
    g_strAppDataFolder = appData + QStringLiteral("/Tarnwick");
    if (!QFileInfo(g_strAppDataFolder).isDir() && !CreateFolderTree(g_strAppDataFolder)) {
        ShowHostMessage(FormatText("Fail to create folder %s !!", qUtf8Printable(g_strAppDataFolder)),
                        MessageIcon::None);
        return;
    }
    const QString path = ConfigFilePath();
    if (!IsMissing(path)) {
        s_bConfigUsable = true;
        LoadSettings();
    } else {
        s_bConfigUsable = CreateEmptyFile(path);
    }
}

int SelectedBitrate()
{
    const int index = g_Settings.LameBits;
    return index >= 0 && index < 17 ? k_aBitrateTable[index] : k_aBitrateTable[11];
}

int SelectedFrequency()
{
    const int index = g_Settings.Freq;
    return index >= 0 && index < 10 ? k_aFreqTable[index] : 0;
}

QString OutputSummaryText()
{
    QString text = QStringLiteral("MP3:  ");
    if (SelectedFrequency() == 0) {
        text += FormatText("CBR %3d kbps; Automatic Frequency;", SelectedBitrate());
    } else {
        text += FormatText("CBR %3d kbps; %5d Hz;", SelectedBitrate(), SelectedFrequency());
    }
    static const char* const kChannelTexts[] = {" Automatic Channel;", " Mono;", " Stereo;", " Joint Stereo;",
                                                " Dual Channel;"};
    if (g_Settings.LameChannel >= 0 && g_Settings.LameChannel <= 4) {
        text += QLatin1String(kChannelTexts[g_Settings.LameChannel]);
    }
    return QStringLiteral("  ") + text;
}
