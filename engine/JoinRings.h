// The two sample rings of a join: decoded values and converted values.
#pragma once

#include "RingBuffer.h"

#include <cstdint>

// Slots of each ring (4 MiB of 32-bit values).
inline constexpr uint32_t kJoinRingSlots = 1048576;

// Written by the decode stage, read by the conversion or the encode stage.
extern RingBuffer<int, 1>* g_pDecodeRing;
// Written by the conversion stage, read by the encode stage.
extern RingBuffer<int, 1>* g_pConvertRing;

// Creates both rings when they do not exist yet; the host calls it at start
// (on the UI thread, before any run).
void CreateJoinRings();
// Destroys both rings; only when no run has a thread left.
void DestroyJoinRings();
