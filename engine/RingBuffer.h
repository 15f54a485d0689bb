// A fixed-capacity circular buffer through which the stages of a join hand
// samples to each other without locks: one writer thread, N reader threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

// RingBuffer<T, N>: T is the element type, N the number of reader cursors.
// One slot always stays empty, so at most capacity - 1 values are held.
// Neither side blocks: a writer asks Free() and waits outside, a reader asks
// Used() and waits outside. Each cursor is stored only by its owner, with
// release ordering after the copy, and loaded by the other side with acquire
// ordering before its copy, so a count once seen stays valid.
template <typename T, int N> class RingBuffer
{
    static_assert(N >= 1, "a ring needs at least one reader");

public:
    // The slots are left uninitialised: only written slots are ever read, and
    // a large ring's pages are then touched by its first writes instead of
    // all at once here (megabytes of page faults when a join starts).
    explicit RingBuffer(uint32_t nCapacity)
        : m_pData(new T[std::max<uint32_t>(nCapacity, 1)]), m_nWrite(0),
          m_nCapacity(std::max<uint32_t>(nCapacity, 1))
    {
        for (auto& cursor : m_nRead) {
            cursor.store(0, std::memory_order_relaxed);
        }
    }
    virtual ~RingBuffer() { delete[] m_pData; }

    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    uint32_t Capacity() const { return m_nCapacity; }

    // Number of values reader r can take.
    uint32_t Used(int r = 0) const
    {
        const uint32_t w = m_nWrite.load(std::memory_order_acquire);
        const uint32_t rd = m_nRead[r].load(std::memory_order_acquire);
        if (w > rd) {
            return w - rd;
        }
        return (m_nCapacity - rd + w) % m_nCapacity;
    }

    // Number of values the writer can put; only reader 0 limits the writer.
    uint32_t Free() const
    {
        const uint32_t w = m_nWrite.load(std::memory_order_acquire);
        const uint32_t rd = m_nRead[0].load(std::memory_order_acquire);
        return static_cast<uint32_t>((uint64_t(rd) + m_nCapacity - w - 1) % m_nCapacity);
    }

    // Copies up to n values in; returns how many.
    uint32_t Write(const T* src, uint32_t n)
    {
        n = std::min(n, Free());
        if (n == 0) {
            return 0;
        }
        const uint32_t w = m_nWrite.load(std::memory_order_relaxed);
        const uint32_t tail = m_nCapacity - w;
        if (tail >= n) {
            std::memcpy(m_pData + w, src, n * sizeof(T));
        } else {
            std::memcpy(m_pData + w, src, tail * sizeof(T));
            std::memcpy(m_pData, src + tail, (n - tail) * sizeof(T));
        }
        m_nWrite.store(static_cast<uint32_t>((uint64_t(w) + n) % m_nCapacity), std::memory_order_release);
        return n;
    }

    // Copies up to n values out for reader r; the rest of the n requested
    // slots of dst are set to zero. Returns how many real values were copied.
    uint32_t Read(T* dst, uint32_t n, int r = 0)
    {
        const uint32_t avail = Used(r);
        if (n > avail) {
            std::fill(dst + avail, dst + n, T());
            n = avail;
        }
        if (n == 0) {
            return 0;
        }
        const uint32_t rd = m_nRead[r].load(std::memory_order_relaxed);
        const uint32_t tail = m_nCapacity - rd;
        if (tail >= n) {
            std::memcpy(dst, m_pData + rd, n * sizeof(T));
        } else {
            std::memcpy(dst, m_pData + rd, tail * sizeof(T));
            std::memcpy(dst + tail, m_pData, (n - tail) * sizeof(T));
        }
        m_nRead[r].store(static_cast<uint32_t>((uint64_t(rd) + n) % m_nCapacity), std::memory_order_release);
        return n;
    }

    // Hands up to n of reader r's values to use(const T* values, uint32_t
    // count) where they lie, in order: one run, or two when they wrap. The
    // slots go back to the writer only after use returns. Returns how many
    // values were handed over.
    template <typename Use> uint32_t ReadInPlace(uint32_t n, int r, Use&& use)
    {
        n = std::min(n, Used(r));
        if (n == 0) {
            return 0;
        }
        const uint32_t rd = m_nRead[r].load(std::memory_order_relaxed);
        const uint32_t tail = m_nCapacity - rd;
        use(static_cast<const T*>(m_pData + rd), std::min(n, tail));
        if (tail < n) {
            use(static_cast<const T*>(m_pData), n - tail);
        }
        m_nRead[r].store(static_cast<uint32_t>((uint64_t(rd) + n) % m_nCapacity), std::memory_order_release);
        return n;
    }

    // Empties the buffer. Only while no stage uses it.
    void Reset()
    {
        m_nWrite.store(0, std::memory_order_release);
        for (auto& cursor : m_nRead) {
            cursor.store(0, std::memory_order_release);
        }
    }

    // For tests: places every cursor at slot (the buffer is then empty).
    void SetCursorsForTest(uint32_t slot)
    {
        m_nWrite.store(slot % m_nCapacity, std::memory_order_release);
        for (auto& cursor : m_nRead) {
            cursor.store(slot % m_nCapacity, std::memory_order_release);
        }
    }
    uint32_t WriteCursor() const { return m_nWrite.load(std::memory_order_acquire); }
    uint32_t ReadCursor(int r = 0) const { return m_nRead[r].load(std::memory_order_acquire); }

private:
    T* m_pData;
    std::atomic<uint32_t> m_nWrite;
    std::atomic<uint32_t> m_nRead[N];
    uint32_t m_nCapacity;
};
