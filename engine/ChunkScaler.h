// The encode stage's input conversion: interleaved 32-bit values to the
// encoder's float buffers at 16-bit full scale.
#pragma once

#include <cstdint>

// 32-bit full scale to 16-bit full scale: 0x7F800000 becomes 32640.0.
constexpr float kToFloat16 = 1.0f / 65536.0f;

// Scales interleaved values into the encoder's float buffers (right null for
// one channel), run by run as the ring hands them over, so they are read once
// and never copied first. A frame may be cut between two runs: with two
// channels an even number of values taken so far means a left value is next.
class ChunkScaler
{
public:
    ChunkScaler(float* left, float* right) : m_pLeft(left), m_pRight(right) {}

    void operator()(const int* values, uint32_t count)
    {
        if (!m_pRight) {
            for (uint32_t i = 0; i < count; ++i) {
                m_pLeft[m_nDone + i] = float(values[i]) * kToFloat16;
            }
            m_nDone += count;
            return;
        }
        uint32_t i = 0;
        if (m_nDone % 2 != 0 && count > 0) {
            m_pRight[m_nDone / 2] = float(values[0]) * kToFloat16;
            i = 1;
        }
        const uint32_t first = (m_nDone + i) / 2;
        const uint32_t frames = (count - i) / 2;
        const int* pairs = values + i;
        for (uint32_t f = 0; f < frames; ++f) {
            m_pLeft[first + f] = float(pairs[2 * f]) * kToFloat16;
            m_pRight[first + f] = float(pairs[2 * f + 1]) * kToFloat16;
        }
        if ((count - i) % 2 != 0) {
            m_pLeft[first + frames] = float(pairs[2 * frames]) * kToFloat16;
        }
        m_nDone += count;
    }

private:
    float* m_pLeft;
    float* m_pRight;
    uint32_t m_nDone = 0;
};
