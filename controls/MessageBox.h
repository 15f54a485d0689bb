// The application's message boxes: the icons, buttons and answer codes of
// the system, the application name as caption where a box has none of its
// own, and a "next answer" seam so tests run without a person.
#pragma once

#include "HostHooks.h"

#include <QString>
#include <functional>

class QWidget;

class MessageBox
{
public:
    // Button sets, numbered as the window toolkit numbers them.
    enum Buttons
    {
        Ok = 0,
        OkCancel = 1,
        YesNoCancel = 3,
        YesNo = 4,
    };

    // Answer codes.
    static constexpr int kOk = kAnswerOk; // 1
    static constexpr int kCancel = 2;
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    // Shows text modally over parent (null: the active window) and returns
    // the answer. An empty caption means the application name. UI thread
    // only; workers go through ShowHostMessage and the installed hook.
    static int Show(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::None,
                    Buttons buttons = Ok, const QString& caption = QString());

    // The caption of boxes without one of their own: "Tarnwick".
    static QString ApplicationCaption();

    // Test seam: each call queues one answer; the next box is not shown and
    // returns the first queued answer instead. The box is still recorded.
    static void SetNextAnswer(int answer);
    // Drops answers still queued.
    static void ClearNextAnswers();
    static int PendingAnswers();

    // The last box asked for (shown or answered from the queue) and how many
    // were asked for since the start.
    static QString LastText();
    static QString LastCaption();
    static MessageIcon LastIcon();
    static Buttons LastButtons();
    static int ShownCount();
};

// Installs the host hook through which layers without widgets show boxes:
// on the UI thread the box is shown at once; from another thread the call is
// marshalled onto the UI thread and the worker waits for the answer. While
// waiting, shouldAbort (when given) is asked every few milliseconds; when it
// turns true, or the application goes away before the box was shown, the
// worker gets 0 and the box never appears. A thread the UI thread waits for
// must be given a shouldAbort that ends that wait.
void InstallWidgetMessageBoxHook(std::function<bool()> shouldAbort = {});
