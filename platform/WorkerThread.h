// A worker thread record: created with a start gate, released with Resume,
// waited for with a time limit. A thread is never killed: one that outlives
// its wait is left to finish on its own, and the record's shared state lives
// until it has.
#pragma once

#include <functional>
#include <memory>
#include <thread>

class WorkerThread
{
public:
    // Starts the OS thread held at the gate; body runs after Resume().
    explicit WorkerThread(std::function<void()> body);
    // A thread never resumed is released without running its body and
    // joined. An ended thread is joined. A thread still running is detached,
    // never killed; it keeps the shared state (and body) alive until it ends.
    ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Opens the gate; the body starts. Further calls do nothing.
    void Resume();
    // Waits up to milliseconds (negative: without limit) for the body to end.
    // Returns whether it has ended. A thread never resumed does not end, so a
    // wait without limit on it never returns.
    bool Wait(int milliseconds);
    bool HasEnded() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};
