// The two sample rings of a join.
#include "JoinRings.h"

RingBuffer<int, 1>* g_pDecodeRing = nullptr;
RingBuffer<int, 1>* g_pConvertRing = nullptr;

void CreateJoinRings()
{
    if (!g_pDecodeRing) {
        g_pDecodeRing = new RingBuffer<int, 1>(kJoinRingSlots);
    }
    if (!g_pConvertRing) {
        g_pConvertRing = new RingBuffer<int, 1>(kJoinRingSlots);
    }
}

void DestroyJoinRings()
{
    delete g_pDecodeRing;
    g_pDecodeRing = nullptr;
    delete g_pConvertRing;
    g_pConvertRing = nullptr;
}
