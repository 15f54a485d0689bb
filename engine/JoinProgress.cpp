// The figures a join shows.
#include "JoinProgress.h"

#include <cmath>
#include <limits>

float ComputePercent(uint64_t nDone, uint64_t nTotal, bool bFinal)
{
    if (nTotal == 0) {
        return bFinal ? 100.0f : 0.0f;
    }
    return static_cast<float>(double(nDone) * 100.0 / double(nTotal));
}

float ClampPercent(float fPercent)
{
    if (!(fPercent >= 0.0f)) {
        return 0.0f;
    }
    return fPercent > 100.0f ? 100.0f : fPercent;
}

QString DoneText(float fPercent)
{
    return QString::asprintf("%5.2lf%%", double(ClampPercent(fPercent)));
}

QString ClockText(double seconds)
{
    long long whole = 0;
    if (std::isfinite(seconds) && seconds > 0.0) {
        // Far beyond any join; keeps the hours within int.
        whole = static_cast<long long>(std::min(seconds, 3600.0 * 1000000.0));
    }
    const int hours = int(whole / 3600);
    const int minutes = int(whole % 3600 / 60);
    const int secs = int(whole % 60);
    return QString::asprintf("%02d:%02d:%02d", hours, minutes, secs);
}

QString SpeedText(double speed)
{
    if (!std::isfinite(speed) || speed < 0.0) {
        speed = 0.0;
    }
    return QString::asprintf(" %5.2fx", speed);
}

double SpeedOf(double audioSeconds, double wallSeconds)
{
    if (!(wallSeconds > 0.0) || !std::isfinite(audioSeconds)) {
        return 0.0;
    }
    return audioSeconds / wallSeconds;
}

std::atomic<uint32_t>& ProgressDisplay::ProcessCounter()
{
    static std::atomic<uint32_t> counter{0};
    return counter;
}

ProgressView ProgressDisplay::Apply(float fTaskPercent, float fRunPercent, bool bRunning,
                                    const ProgressClock& clock)
{
    ProgressView view;
    if (!bRunning) {
        return view;
    }
    view.bShown = true;
    view.fTaskPercent = ClampPercent(fTaskPercent);
    view.fRunPercent = ClampPercent(fRunPercent);
    const float p = view.fRunPercent;
    view.strDone = DoneText(p);
    view.nBar = int(p);

    const uint32_t count = m_counter.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count % 10 != 0 || !(TickSeconds(clock.dwNow, clock.dwTaskStart) > 0.1f)) {
        return view;
    }
    view.bTimes = true;
    const float elapsed = TickSeconds(clock.dwNow, clock.dwRunStart);
    view.strElapsed = ClockText(elapsed);
    if (p > 0.0f) {
        view.bEta = true;
        view.strEta = ClockText(double(100.0f - p) * double(elapsed) / double(p));
    }
    view.strSpeed = SpeedText(SpeedOf(clock.fRunSeconds, elapsed));
    return view;
}
