// The application's own messages as Qt events: one event type per message
// number, an owned payload, posting, and a blocking send from another thread.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>

// Message numbers of the system. 1125 has two meanings, told apart by the
// receiver (the progress window or the main window).
enum AppMessage : int
{
    WM_JOIN_PROGRESS = 1124,
    WM_JOIN_LOG = 1125,
    WM_APPEND_ROW = 1125,
    WM_FILES_DROPPED = 1126,
    WM_JOIN_DONE = 1129,
    WM_LIST_CHECKED = 0xA710,
    WM_LIST_SORTED = 0xA711,
    WM_LIST_CELL_EDITED = 0xA712,
};

inline QEvent::Type AppEventType(int message)
{
    return static_cast<QEvent::Type>(message);
}

// An application message with two plain parameters and an optional owned
// payload of type T. The payload dies with the event, so a receiver that
// ignores the message still frees it.
class AppEvent : public QEvent
{
public:
    AppEvent(int message, qintptr wParam = 0, qintptr lParam = 0)
        : QEvent(AppEventType(message)), m_wParam(wParam), m_lParam(lParam)
    {
    }
    int Message() const { return static_cast<int>(type()); }
    qintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

private:
    qintptr m_wParam;
    qintptr m_lParam;
};

template <typename T> class PayloadEvent : public AppEvent
{
public:
    PayloadEvent(int message, T payload, qintptr wParam = 0, qintptr lParam = 0)
        : AppEvent(message, wParam, lParam), m_payload(std::move(payload))
    {
    }
    T& Payload() { return m_payload; }
    const T& Payload() const { return m_payload; }

private:
    T m_payload;
};

// Posts the event to receiver's thread; the event queue owns it. A null
// receiver drops the event.
void PostAppEvent(QObject* receiver, AppEvent* event);

// Runs request on receiver's thread and waits for it. Returns true when it
// ran. The wait ends without effect (false) when shouldAbort() turns true
// (first asked once the request is queued, then every few milliseconds), when the receiver is destroyed, or
// when the request is dropped undelivered; a request whose sender gave up never runs later. Once the request
// has started, the sender waits for its end and gets true. Called on the receiver's own thread, the request
// runs at once. The receiver's thread must run an event loop, or shouldAbort must end the wait.
bool SendBlocking(QObject* receiver, std::function<void()> request, std::function<bool()> shouldAbort = {});
