// The worker thread record over std::thread.
#include "WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>

// Shared by the record and the thread; whichever lets go last frees it, so a
// detached thread never touches freed memory.
struct WorkerThread::State
{
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false; // the gate is open
    bool runBody = false;  // the gate was opened by Resume, not by the destructor
    bool ended = false;    // the body has returned (or was skipped)
    std::function<void()> body;
};

namespace {

void RunBody(const std::function<void()>& body)
{
    try {
        if (body)
            body();
    } catch (const std::exception& e) {
        // An exception must not take the whole process down from a thread.
        std::fprintf(stderr, "error: worker thread ended by an exception: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "error: worker thread ended by an exception\n");
    }
}

} // namespace

WorkerThread::WorkerThread(std::function<void()> body) : m_state(std::make_shared<State>())
{
    m_state->body = std::move(body);
    m_thread = std::thread([state = m_state] {
        bool run = false;
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->changed.wait(lock, [&] { return state->released; });
            run = state->runBody;
        }
        if (run)
            RunBody(state->body);
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->ended = true;
        }
        state->changed.notify_all();
    });
}

WorkerThread::~WorkerThread()
{
    bool join = false;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!m_state->released) {
            // Never resumed: let the thread pass the gate without the body.
            m_state->released = true;
            m_state->runBody = false;
            join = true;
        } else {
            join = m_state->ended;
        }
    }
    m_state->changed.notify_all();
    if (join)
        m_thread.join();
    else
        m_thread.detach();
}

void WorkerThread::Resume()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->released)
            return;
        m_state->released = true;
        m_state->runBody = true;
    }
    m_state->changed.notify_all();
}

bool WorkerThread::Wait(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    auto ended = [this] { return m_state->ended; };
    if (milliseconds < 0) {
        m_state->changed.wait(lock, ended);
        return true;
    }
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ended);
}

bool WorkerThread::HasEnded() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->ended;
}
