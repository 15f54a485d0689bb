// Millisecond tick count and sleeping over the steady clock.
#include "TickCount.h"

#include <chrono>
#include <thread>

uint32_t GetTickCount()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    // The count is taken modulo 2^32, so it wraps the way callers expect.
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Sleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
