// Millisecond tick count and sleeping.
#pragma once

#include <cstdint>

// Milliseconds from a steady clock, as a 32-bit count that wraps after about
// 49.7 days. Differences must be taken in 32-bit unsigned arithmetic.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);
