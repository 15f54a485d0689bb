// The application's icon cache, standing where the system's small-icon image
// list stands: the toolkit's file and folder icons, each looked up once per
// kind and then shared by index.
#pragma once

#include <QIcon>
#include <QString>

class CSystemImageList
{
public:
    // The kinds of icon the folder tree asks for.
    enum Kind
    {
        KIND_FOLDER,
        KIND_FOLDER_OPEN,
        KIND_DESKTOP,
        KIND_HOME,
        KIND_DOCUMENTS,
        KIND_COMPUTER,
        KIND_NETWORK,
        KIND_NETWORK_VOLUME,
        KIND_DRIVE_FIXED,
        KIND_DRIVE_REMOVABLE,
        KIND_DRIVE_OPTICAL,
        KIND_DRIVE_RAM,
        KIND_FILE,
        KIND_COUNT
    };

    // Attaches to the process-wide cache (UI thread only). The cache is
    // never destroyed while the process runs; instances are counted.
    CSystemImageList();
    ~CSystemImageList();
    CSystemImageList(const CSystemImageList&) = delete;
    CSystemImageList& operator=(const CSystemImageList&) = delete;

    static int InstanceCount();

    // The index of a kind's icon.
    int KindIndex(Kind kind) const;
    // The index of a file's icon, by the type its name suggests (the file is
    // not read); one look-up per extension.
    int FileIndex(const QString& fileName) const;
    // The index of the same icon with the "shared" overlay.
    int SharedIndex(int index) const;
    // The icon at index; a null icon for an index out of range.
    QIcon Icon(int index) const;
    int Count() const;
};
