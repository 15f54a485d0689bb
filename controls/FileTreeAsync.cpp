// Worker threads of the folder tree.
#include "FileTreeAsync.h"

#include "WorkerThread.h"

#include <QCoreApplication>
#include <algorithm>
#include <mutex>

// The receiver as the workers see it: cleared under the lock before the
// receiver goes, so no worker posts to an object that is being destroyed.
struct FileTreeAsync::Channel
{
    std::mutex mutex;
    QObject* pReceiver = nullptr;

    void Post(QEvent* event)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (pReceiver) {
            QCoreApplication::postEvent(pReceiver, event);
        } else {
            delete event;
        }
    }
};

QEvent::Type FolderListedEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

FileTreeAsync::FileTreeAsync(QObject* receiver) : m_pChannel(std::make_shared<Channel>())
{
    m_pChannel->pReceiver = receiver;
    FolderListedEvent::EventType(); // registered on the UI thread, before any worker asks
}

FileTreeAsync::~FileTreeAsync()
{
    {
        std::lock_guard<std::mutex> lock(m_pChannel->mutex);
        m_pChannel->pReceiver = nullptr;
    }
    // Each record joins an ended thread and leaves a running one to finish.
    m_arrThreads.clear();
}

quint64 FileTreeAsync::Start(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts)
{
    m_arrThreads.erase(std::remove_if(m_arrThreads.begin(), m_arrThreads.end(),
                                      [](const std::unique_ptr<WorkerThread>& t) { return t->HasEnded(); }),
                       m_arrThreads.end());
    const quint64 request = m_nNextRequest++;
    auto thread = std::make_unique<WorkerThread>([channel = m_pChannel, request, folder, filter, mounts] {
        FolderListing listing = FileTreeListing::ListFolder(folder, filter, mounts, false, true);
        channel->Post(new FolderListedEvent(request, std::move(listing)));
    });
    thread->Resume();
    m_arrThreads.push_back(std::move(thread));
    return request;
}

std::optional<FolderListing> FileTreeAsync::ListWithin(const QString& folder, const FileTreeFilter& filter,
                                                       const MountTable& mounts, int milliseconds)
{
    auto result = std::make_shared<FolderListing>();
    const bool done = RunWithin(milliseconds, [result, folder, filter, mounts] {
        *result = FileTreeListing::ListFolder(folder, filter, mounts, false, true);
    });
    if (!done) {
        return std::nullopt;
    }
    return std::move(*result);
}

bool FileTreeAsync::RunWithin(int milliseconds, std::function<void()> body)
{
    WorkerThread thread(std::move(body));
    thread.Resume();
    // The record's destructor joins the thread when it ended and leaves it
    // running otherwise.
    return thread.Wait(std::max(0, milliseconds));
}
