// The encoder streams of lame_enc.so and their registry.
#include "StreamRegistry.h"

namespace LameEnc {

EncoderStream::~EncoderStream()
{
    if (flags) {
        lame_close(flags);
    }
}

StreamRegistry& StreamRegistry::Instance()
{
    static StreamRegistry registry;
    return registry;
}

BeStream StreamRegistry::Add(StreamPtr stream)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const BeStream handle = m_nextHandle++;
    m_open.emplace(handle, std::move(stream));
    return handle;
}

StreamPtr StreamRegistry::FindOpen(BeStream handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_open.find(handle);
    return it == m_open.end() ? nullptr : it->second;
}

bool StreamRegistry::Close(BeStream handle)
{
    StreamPtr stream;
    StreamPtr evicted; // freed outside the lock
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_open.find(handle);
        if (it == m_open.end()) {
            return false;
        }
        stream = std::move(it->second);
        m_open.erase(it);
    }
    bool keep = false;
    {
        std::lock_guard<std::mutex> streamLock(stream->mutex);
        keep = stream->flushed && stream->writeInfoTag && !stream->tagWritten;
    }
    if (!keep) {
        return true;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed.size() >= kMaxClosed) {
        evicted = std::move(m_closed.front().second);
        m_closed.pop_front();
    }
    m_closed.emplace_back(handle, std::move(stream));
    return true;
}

StreamPtr StreamRegistry::TakeClosed(BeStream handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_closed.begin(); it != m_closed.end(); ++it) {
        if (it->first == handle) {
            StreamPtr stream = std::move(it->second);
            m_closed.erase(it);
            return stream;
        }
    }
    return nullptr;
}

StreamPtr StreamRegistry::TakeMostRecentClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed.empty()) {
        return nullptr;
    }
    StreamPtr stream = std::move(m_closed.back().second);
    m_closed.pop_back();
    return stream;
}

} // namespace LameEnc
