// The window placement record (44 bytes, little-endian int32 fields) and its
// store in the application profile: saved under a window's identifier in the
// section "Position", together with the section's show override.
#pragma once

#include "EdgeRect.h"

#include <QByteArray>
#include <QString>
#include <optional>

class QWidget;

// Show commands and flags of the record.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_FORCEMINIMIZE = 11;
inline constexpr int WPF_RESTORETOMAXIMIZED = 0x2;

struct WindowPlacement
{
    static constexpr int kSize = 44;

    int length = kSize;
    int flags = 0;
    int showCmd = SW_SHOWNORMAL;
    int minX = -1;
    int minY = -1;
    int maxX = -1;
    int maxY = -1;
    // The window's client rectangle when it is neither minimised nor
    // maximised, in screen coordinates.
    EdgeRect rcNormal;

    QByteArray ToBytes() const;
    // Empty unless bytes is exactly kSize long.
    static std::optional<WindowPlacement> FromBytes(const QByteArray& bytes);

    // The show command brought to one of normal, minimised or maximised:
    // 3 is maximised; 2, 6, 7 and 11 are minimised; anything else (hidden
    // included) is normal.
    static int NormalisedShowCmd(int showCmd);
};

class WindowPlacementStore
{
public:
    static QString DefaultSection() { return QStringLiteral("Position"); }

    // Reads window's placement and writes it as the binary value named
    // identifier in section, then the show override as the section's
    // unnamed value (only once LoadPlacement has read it). True when every
    // write succeeded.
    bool SavePlacement(QWidget* window, const QString& identifier, const QString& section = DefaultSection());
    // Applies the placement stored under identifier to window (geometry and
    // state; the window is not shown). False, with the window untouched,
    // when none is stored or the stored value is not a placement record.
    bool LoadPlacement(QWidget* window, const QString& identifier, const QString& section = DefaultSection());

    // The dialog reports its state changes, so a window minimised from the
    // maximised state is known to restore to maximised.
    void NoteWindowState(int oldState, int newState);

    // Reads the placement of a top-level window; empty for a child widget.
    std::optional<WindowPlacement> ReadWindow(const QWidget* window) const;
    // Applies a placement: the normal rectangle (only its size where the
    // platform cannot place windows), then the state.
    static void ApplyToWindow(QWidget* window, const WindowPlacement& placement);
    // False where the platform neither reports nor sets window positions
    // (Wayland).
    static bool PositionsKnown();
    // Test seam: answers PositionsKnown() with known instead of asking the
    // platform; an empty value asks the platform again.
    static void OverridePositionsKnown(std::optional<bool> known);

    int nShowOverride = 0;
    WindowPlacement wp;
    WindowPlacement wpDefault;
    bool bFirstLoad = true;

private:
    // A stored rectangle that is empty, inverted or off every screen is
    // replaced or brought onto the primary screen.
    EdgeRect BringIntoView(const EdgeRect& rc) const;

    bool m_bRestoreMaximised = false;
    // The record read or written last holds the position bytes that are kept
    // where positions are unknown.
    bool m_bHaveRecord = false;
};
