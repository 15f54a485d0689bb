// The figures a join shows: percentages, the Done, Elapsed, ETA and Speed
// texts, and which of them change on a progress update.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// done x 100 / total in floating point, stored as single precision. A zero
// total gives 0 while the task runs and 100 once it has ended (bFinal).
float ComputePercent(uint64_t nDone, uint64_t nTotal, bool bFinal = false);
// At most 100; never negative, never NaN.
float ClampPercent(float fPercent);
// "%5.2lf%%" of p ("100.00%", " 5.25%").
QString DoneText(float fPercent);
// Whole seconds, truncated, as "%02d:%02d:%02d"; anything not a finite
// positive number shows as "00:00:00".
QString ClockText(double seconds);
// " %5.2fx" of speed.
QString SpeedText(double speed);
// audioSeconds / wallSeconds, or 0 when no wall time has passed.
double SpeedOf(double audioSeconds, double wallSeconds);
// Milliseconds from then to now on the wrapping 32-bit tick count.
inline uint32_t TickDiff(uint32_t now, uint32_t then)
{
    return now - then;
}
// Seconds from then to now on the tick count, in single precision.
inline float TickSeconds(uint32_t now, uint32_t then)
{
    return float(TickDiff(now, then)) / 1000.0f;
}
// The periodic progress update is due when more than 100 ms have passed.
inline bool ProgressUpdateDue(uint32_t now, uint32_t lastUpdate)
{
    return TickDiff(now, lastUpdate) > 100;
}

// What one progress update changes on screen.
struct ProgressView
{
    bool bShown = false;    // false: the run is over and the update is ignored
    float fTaskPercent = 0; // clamped
    float fRunPercent = 0;  // clamped
    QString strDone;        // Done field
    int nBar = 0;           // progress bar and taskbar value, 0..100
    bool bTimes = false;    // Elapsed, Speed (and ETA when bEta) change
    QString strElapsed;
    bool bEta = false;
    QString strEta;
    QString strSpeed;
};

// The run figures an update is shown with.
struct ProgressClock
{
    uint32_t dwNow = 0;
    uint32_t dwRunStart = 0;
    uint32_t dwTaskStart = 0;
    double fRunSeconds = 0; // seconds of audio encoded in the run
};

// Turns progress updates into texts. Done and the bar change on every update
// of a running join; Elapsed, ETA and Speed only on every tenth update counted
// by the counter (process-wide by default), and only when the current task
// has been joining for more than 0.1 s.
class ProgressDisplay
{
public:
    explicit ProgressDisplay(std::atomic<uint32_t>& counter = ProcessCounter()) : m_counter(counter) {}

    ProgressView Apply(float fTaskPercent, float fRunPercent, bool bRunning, const ProgressClock& clock);

    // The update counter that lives as long as the process.
    static std::atomic<uint32_t>& ProcessCounter();

private:
    std::atomic<uint32_t>& m_counter;
};
