// The numbers of one listed audio file, attached to its list row.
#pragma once

#include <cstdint>

struct CAudioFileInfo
{
    int32_t m_bUnusable = 0;   // nonzero: cannot be opened or decoded, or reports a zero figure
    uint8_t m_nTrack = 0;      // track number (low 8 bits of the parsed number)
    uint8_t m_nTrackTotal = 0; // tracks in the set (after '/'), 0 when absent
    uint32_t m_nSampleRate = 0;
    uint32_t m_nChannels = 0;
    int64_t m_nSamples = 0;   // interleaved sample values: frames x channels
    int32_t m_nBitrate = 0;   // kbit/s as the tag library reports it, 0 when none
    double m_dSizeMB = 0.0;   // bytes / 1,048,576
    double m_dDuration = 0.0; // seconds

    // m_nSamples (taken as unsigned) / (rate x channels); 0 when either is 0.
    static double DurationOf(int64_t samples, uint32_t sampleRate, uint32_t channels)
    {
        const double perSecond = static_cast<double>(sampleRate) * channels;
        return perSecond > 0 ? static_cast<double>(static_cast<uint64_t>(samples)) / perSecond : 0.0;
    }
};
