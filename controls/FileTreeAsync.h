// Work the folder tree hands to worker threads: listing folders on slow
// volumes (network, FUSE, automount, removable) and any disk step that must
// not hold up the UI thread there. Results come back as events; a wait is
// always bounded, and a worker that outlives it is left to finish on its own
// with its result dropped.
#pragma once

#include "FileTreeListing.h"
#include "MountTable.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class WorkerThread;

// Posted to the receiver when a folder listing started with Start is done.
class FolderListedEvent : public QEvent
{
public:
    static QEvent::Type EventType();
    FolderListedEvent(quint64 request, FolderListing listing)
        : QEvent(EventType()), m_nRequest(request), m_listing(std::move(listing))
    {
    }
    quint64 Request() const { return m_nRequest; }
    FolderListing& Listing() { return m_listing; }

private:
    quint64 m_nRequest;
    FolderListing m_listing;
};

class FileTreeAsync
{
public:
    // Results go to receiver (on its thread) as FolderListedEvent.
    explicit FileTreeAsync(QObject* receiver);
    // Detaches the receiver first: a listing still running finishes on its
    // own and its result is dropped.
    ~FileTreeAsync();
    FileTreeAsync(const FileTreeAsync&) = delete;
    FileTreeAsync& operator=(const FileTreeAsync&) = delete;

    // Lists folder on a worker (no has-children tests; every subfolder counts
    // as having children). Returns the request number (never 0).
    quint64 Start(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts);

    // Lists folder on a worker and waits up to milliseconds; empty when the
    // worker did not answer in time.
    static std::optional<FolderListing> ListWithin(const QString& folder, const FileTreeFilter& filter,
                                                   const MountTable& mounts, int milliseconds);
    // Runs body on a worker and waits up to milliseconds; false when it did
    // not end in time. body must own what it touches (its captures outlive
    // the wait when it is late).
    static bool RunWithin(int milliseconds, std::function<void()> body);

private:
    struct Channel;
    std::shared_ptr<Channel> m_pChannel;
    std::vector<std::unique_ptr<WorkerThread>> m_arrThreads;
    quint64 m_nNextRequest = 1;
};
