// The encoder streams of lame_enc.so: one libmp3lame encoder each, and the
// registry that maps handles to them.
#pragma once

#include "BladeEnc.h"
#include "LameInfoFrame.h"

#include <lame/lame.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace LameEnc {

// One encoder. Calls on it hold its mutex; the registry hands out shared
// pointers, so a stream is freed only when no call uses it any more.
struct EncoderStream
{
    EncoderStream() = default;
    EncoderStream(const EncoderStream&) = delete;
    EncoderStream& operator=(const EncoderStream&) = delete;
    ~EncoderStream();

    std::mutex mutex;
    lame_global_flags* flags = nullptr;
    int channels = 2;
    uint32_t samplesPerChunk = 0;
    uint32_t outputBytes = 0;
    bool writeInfoTag = false;
    bool flushed = false;
    bool tagWritten = false;
    // Our own Info frame where libmp3lame writes none (low bit rates).
    LameInfoFrame ownInfo;
};

using StreamPtr = std::shared_ptr<EncoderStream>;

// Live streams by handle, and the closed streams that still wait for their
// Info header. Thread-safe.
class StreamRegistry
{
public:
    // Closed streams kept for their Info header at most; the oldest goes first.
    static constexpr std::size_t kMaxClosed = 16;

    static StreamRegistry& Instance();

    // Registers a new stream and returns its handle (never 0, never reused).
    BeStream Add(StreamPtr stream);
    // The open stream of a handle, or null.
    StreamPtr FindOpen(BeStream handle);
    // Ends an open stream. A flushed stream whose Info header is still to be
    // written is kept as the most recently closed one; others are dropped.
    // False for an unknown handle.
    bool Close(BeStream handle);
    // Removes and returns the closed stream of a handle, or null.
    StreamPtr TakeClosed(BeStream handle);
    // Removes and returns the most recently closed stream, or null.
    StreamPtr TakeMostRecentClosed();

private:
    StreamRegistry() = default;

    std::mutex m_mutex;
    BeStream m_nextHandle = 1;
    std::map<BeStream, StreamPtr> m_open;
    std::deque<std::pair<BeStream, StreamPtr>> m_closed; // oldest first
};

} // namespace LameEnc
