// A worker thread record: created with a start gate, released with Resume,
// waited for with a time limit. A thread is never killed: one that outlives
// its wait is left to finish on its own, and the record's shared state lives
// until it has.
#pragma once

#include <functional>
#include <memory>

class WorkerThread
{
public:
    // Starts the OS thread held at the gate; body runs after Resume().
    explicit WorkerThread(std::function<void()> body);
    // A thread never resumed is released without running its body. A thread
    // still running is detached, never killed.
    ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Resume();
    // Waits up to milliseconds (negative: without limit) for the body to end.
    // Returns whether it has ended.
    bool Wait(int milliseconds);
    bool HasEnded() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
