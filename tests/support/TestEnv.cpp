// The isolated environment every test executable runs in.
#include "TestMain.h"

#include <QDir>
#include <cstdlib>

namespace {
QString g_home;

void SetEnv(const char* name, const QString& value)
{
    qputenv(name, QFile::encodeName(value));
}
} // namespace

namespace TestEnv {

QString Isolate()
{
    QByteArray pattern = QDir::tempPath().toUtf8() + "/tarnwick-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        qFatal("cannot create a temporary home folder");
    }
    g_home = QFile::decodeName(pattern);
    QDir home(g_home);
    for (const char* sub : {".config", ".local/share", ".cache", "run"}) {
        home.mkpath(QString::fromLatin1(sub));
    }
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetEnv("HOME", g_home);
    SetEnv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")));
    SetEnv("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")));
    SetEnv("XDG_CACHE_HOME", home.filePath(QStringLiteral(".cache")));
    SetEnv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return g_home;
}

void Cleanup()
{
    if (!g_home.isEmpty() && qEnvironmentVariableIsEmpty("TARNWICK_KEEP_TEST_HOME")) {
        QDir(g_home).removeRecursively();
    }
}

QString BinDir()
{
    const QString fromEnv = qEnvironmentVariable("TARNWICK_BIN_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(TARNWICK_BUILD_BIN_DIR) : fromEnv;
}

QString CorpusDir()
{
    QString dir = qEnvironmentVariable("TARNWICK_CORPUS_DIR");
    if (dir.isEmpty()) {
        dir = QStringLiteral(TARNWICK_CORPUS_DEFAULT);
    }
    return QDir(dir).exists() ? QDir(dir).absolutePath() : QString();
}

} // namespace TestEnv
