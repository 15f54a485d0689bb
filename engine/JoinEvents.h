// The messages a join sends to the window that shows it: progress, log
// lines, the end of the run, and the window texts the task thread sets.
#pragma once

#include "AppEvents.h"

#include <QString>

// Kinds of log lines (wParam of WM_JOIN_LOG).
enum JoinLogKind : int
{
    LOG_INFO = 0,
    LOG_WARNING = 1,
    LOG_ERROR = 2,
};

// The engine's own messages to the window, beside WM_JOIN_PROGRESS (1124),
// WM_JOIN_LOG (1125) and WM_JOIN_DONE (1129) of AppEvents.h.
enum JoinEngineMessage : int
{
    WM_JOIN_SET_TITLE = 1130,       // JoinTextEvent: the window title
    WM_JOIN_SET_SOURCE = 1131,      // JoinTextEvent: the Source field
    WM_JOIN_SET_DESTINATION = 1132, // JoinTextEvent: the Destination field
    WM_JOIN_START_TIMER = 1133,     // AppEvent: start timer 1; wParam = period in ms
    WM_JOIN_RUN_ENDED = 1134,       // AppEvent: the task thread has ended (success or not)
};

// Payload of WM_JOIN_PROGRESS: the task and run percentages.
struct JoinPercents
{
    float fTask = 0.0f;
    float fRun = 0.0f;
};

using JoinProgressEvent = PayloadEvent<JoinPercents>; // WM_JOIN_PROGRESS
using JoinTextEvent = PayloadEvent<QString>;          // WM_JOIN_LOG (wParam = kind) and the text messages
