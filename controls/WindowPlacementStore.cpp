// Saving and restoring window placements in the application profile.
#include "WindowPlacementStore.h"

#include "AppProfile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtEndian>

namespace {

constexpr int kFieldCount = WindowPlacement::kSize / 4;

// The largest window side the store applies; X11 cannot go beyond it.
constexpr int kMaxWindowSide = 32767;

QRect PrimaryScreenGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

// A rectangle of the given size centred on the primary screen, as the
// default placement computes it.
EdgeRect CentreOnPrimary(int w, int h)
{
    const QRect screen = PrimaryScreenGeometry();
    const int sw = screen.width();
    const int sh = screen.height();
    return {screen.x() + (sw - w) / 2, screen.y() + (sh - h) / 2, screen.x() + (sw + w) / 2,
            screen.y() + (sh + h) / 2};
}

bool OnSomeScreen(const EdgeRect& rc)
{
    const QRect rect = rc.ToQRect();
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(rect))
            return true;
    }
    return false;
}

} // namespace

QByteArray WindowPlacement::ToBytes() const
{
    const qint32 fields[kFieldCount] = {length,       flags,          showCmd,        minX,
                                        minY,         maxX,           maxY,           rcNormal.left,
                                        rcNormal.top, rcNormal.right, rcNormal.bottom};
    QByteArray bytes(kSize, '\0');
    for (int i = 0; i < kFieldCount; ++i)
        qToLittleEndian<qint32>(fields[i], bytes.data() + 4 * i);
    return bytes;
}

std::optional<WindowPlacement> WindowPlacement::FromBytes(const QByteArray& bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    qint32 fields[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i)
        fields[i] = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
    WindowPlacement wp;
    wp.length = fields[0];
    wp.flags = fields[1];
    wp.showCmd = fields[2];
    wp.minX = fields[3];
    wp.minY = fields[4];
    wp.maxX = fields[5];
    wp.maxY = fields[6];
    wp.rcNormal = {fields[7], fields[8], fields[9], fields[10]};
    return wp;
}

int WindowPlacement::NormalisedShowCmd(int showCmd)
{
    switch (showCmd) {
    case SW_SHOWMAXIMIZED:
        return SW_SHOWMAXIMIZED;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        return SW_SHOWMINIMIZED;
    default:
        return SW_SHOWNORMAL;
    }
}

namespace {
std::optional<bool> s_positionsKnown;
} // namespace

bool WindowPlacementStore::PositionsKnown()
{
    if (s_positionsKnown)
        return *s_positionsKnown;
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void WindowPlacementStore::OverridePositionsKnown(std::optional<bool> known)
{
    s_positionsKnown = known;
}

void WindowPlacementStore::NoteWindowState(int oldState, int newState)
{
    if (newState & Qt::WindowMinimized) {
        if (!(oldState & Qt::WindowMinimized))
            m_bRestoreMaximised = (oldState & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0;
        if (newState & Qt::WindowMaximized)
            m_bRestoreMaximised = true;
    } else {
        m_bRestoreMaximised = false;
    }
}

std::optional<WindowPlacement> WindowPlacementStore::ReadWindow(const QWidget* window) const
{
    if (!window || !window->isWindow())
        return std::nullopt;
    // Start from the record last read or written, so the bytes this platform
    // cannot report (minimised and maximised positions, and the position
    // itself where windows cannot be placed) stay as they were.
    WindowPlacement placement = m_bHaveRecord ? wp : WindowPlacement();
    placement.length = WindowPlacement::kSize;
    placement.flags = 0;
    const Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized) {
        placement.showCmd = SW_SHOWMINIMIZED;
        if (m_bRestoreMaximised || (state & Qt::WindowMaximized))
            placement.flags |= WPF_RESTORETOMAXIMIZED;
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        placement.showCmd = SW_SHOWMAXIMIZED;
    } else {
        placement.showCmd = SW_SHOWNORMAL;
    }
    const QRect normal = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    if (PositionsKnown() || !m_bHaveRecord) {
        placement.rcNormal = EdgeRect::FromQRect(normal);
    } else {
        placement.rcNormal.right = placement.rcNormal.left + normal.width();
        placement.rcNormal.bottom = placement.rcNormal.top + normal.height();
    }
    return placement;
}

void WindowPlacementStore::ApplyToWindow(QWidget* window, const WindowPlacement& placement)
{
    // The normal rectangle is set while the window is in the normal state,
    // so it becomes the one it restores to.
    if (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        window->setWindowState(window->windowState() &
                               ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    const QRect rect = placement.rcNormal.ToQRect();
    if (PositionsKnown())
        window->setGeometry(rect);
    else
        window->resize(rect.size());

    Qt::WindowStates state = window->windowState() & Qt::WindowActive;
    switch (WindowPlacement::NormalisedShowCmd(placement.showCmd)) {
    case SW_SHOWMAXIMIZED:
        state |= Qt::WindowMaximized;
        break;
    case SW_SHOWMINIMIZED:
        state |= Qt::WindowMinimized;
        if (placement.flags & WPF_RESTORETOMAXIMIZED)
            state |= Qt::WindowMaximized;
        break;
    default:
        break;
    }
    window->setWindowState(state);
}

EdgeRect WindowPlacementStore::BringIntoView(const EdgeRect& rc) const
{
    if (rc.IsEmpty())
        return wpDefault.rcNormal;
    // A hand-edited size larger than any screen layout is cut down.
    EdgeRect result = rc;
    if (result.Width() > kMaxWindowSide)
        result.right = result.left + kMaxWindowSide;
    if (result.Height() > kMaxWindowSide)
        result.bottom = result.top + kMaxWindowSide;
    if (!PositionsKnown() || OnSomeScreen(result))
        return result;
    // Stored for a screen no longer attached: centred on the primary
    // screen, no larger than it.
    const QRect screen = PrimaryScreenGeometry();
    const int w = screen.isValid() ? std::min(result.Width(), screen.width()) : result.Width();
    const int h = screen.isValid() ? std::min(result.Height(), screen.height()) : result.Height();
    return CentreOnPrimary(w, h);
}

bool WindowPlacementStore::SavePlacement(QWidget* window, const QString& identifier, const QString& section)
{
    const std::optional<WindowPlacement> placement = ReadWindow(window);
    if (!placement)
        return false;
    wp = *placement;
    m_bHaveRecord = true;
    bool ok = AppProfile::WriteBinary(section, identifier, wp.ToBytes());
    // The override is shared by every window; it is written back only as it
    // was read, never invented.
    if (!bFirstLoad)
        ok = AppProfile::WriteInt(section, QString(), nShowOverride) && ok;
    return ok;
}

bool WindowPlacementStore::LoadPlacement(QWidget* window, const QString& identifier, const QString& section)
{
    if (bFirstLoad) {
        const std::optional<WindowPlacement> current = ReadWindow(window);
        if (!current)
            return false;
        wpDefault = *current;
        wpDefault.rcNormal = CentreOnPrimary(current->rcNormal.Width(), current->rcNormal.Height());
        nShowOverride = AppProfile::ReadInt(section, QString(), 0);
        bFirstLoad = false;
    }

    const std::optional<WindowPlacement> stored =
        WindowPlacement::FromBytes(AppProfile::ReadBinary(section, identifier));
    if (!stored) {
        wp = wpDefault;
        return false;
    }
    wp = *stored;
    m_bHaveRecord = true;
    wp.length = WindowPlacement::kSize;
    const int showCmd = WindowPlacement::NormalisedShowCmd(wp.showCmd);
    switch (nShowOverride) {
    case 1:
        wp.showCmd = showCmd;
        break;
    case 2:
        wp.showCmd = SW_SHOWNORMAL;
        break;
    case 3:
        wp.showCmd = SW_SHOWMAXIMIZED;
        break;
    case 4:
        wp.showCmd = SW_SHOWMINIMIZED;
        break;
    default:
        // A window closed while minimised comes back as it was before.
        if (showCmd == SW_SHOWMINIMIZED)
            wp.showCmd = (wp.flags & WPF_RESTORETOMAXIMIZED) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        else
            wp.showCmd = showCmd;
        break;
    }
    wp.rcNormal = BringIntoView(wp.rcNormal);
    ApplyToWindow(window, wp);
    return true;
}
