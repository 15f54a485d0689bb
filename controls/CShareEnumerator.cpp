// Reading Samba user shares.
#include "CShareEnumerator.h"

#include <QDir>
#include <QFile>

CShareEnumerator::CShareEnumerator(const QString& folder) : m_strFolder(folder)
{
    Enumerate();
}

void CShareEnumerator::Enumerate()
{
    m_arrShares.clear();
    const QDir dir(m_strFolder);
    if (m_strFolder.isEmpty() || !dir.exists()) {
        return;
    }
    for (const QString& fileName : dir.entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        QFile file(dir.filePath(fileName));
        if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
            continue;
        }
        Share share;
        share.strName = fileName;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QByteArray line = raw.trimmed();
            const qsizetype equals = line.indexOf('=');
            if (line.startsWith('#') || equals <= 0) {
                continue;
            }
            const QByteArray key = line.left(equals).trimmed();
            const QString value = QString::fromUtf8(line.mid(equals + 1).trimmed());
            if (key == "path") {
                share.strPath = value;
            } else if (key == "comment") {
                share.strComment = value;
            } else if (key == "sharename") {
                share.strName = value;
            }
        }
        if (!share.strPath.isEmpty() && QDir::isAbsolutePath(share.strPath)) {
            share.strPath = QDir::cleanPath(share.strPath);
            m_arrShares.push_back(share);
        }
    }
}

bool CShareEnumerator::IsShared(const QString& path) const
{
    if (path.isEmpty()) {
        return false;
    }
    const QString clean = QDir::cleanPath(path);
    for (const Share& share : m_arrShares) {
        if ((share.nType == 0 || share.nType == 1) && share.strPath == clean) {
            return true;
        }
    }
    return false;
}
