// The folders this computer shares: Samba user shares, as `net usershare`
// keeps them (one small file per share in /var/lib/samba/usershares).
#pragma once

#include <QString>
#include <vector>

class CShareEnumerator
{
public:
    struct Share
    {
        QString strName;
        int nType = 0; // 0 a folder (disk) share, 1 a printer queue
        QString strPath;
        QString strComment;
    };

    // Reads the shares from folder (the Samba user-share folder by default).
    explicit CShareEnumerator(const QString& folder = QStringLiteral("/var/lib/samba/usershares"));

    // Reads the shares again; no folder, no shares.
    void Enumerate();
    // True when some folder or printer share has exactly this path (file
    // names are case-sensitive here).
    bool IsShared(const QString& path) const;
    const std::vector<Share>& Shares() const { return m_arrShares; }

private:
    QString m_strFolder;
    std::vector<Share> m_arrShares;
};
