// Hooks through which layers without widgets reach the user. The window
// installs versions that show message boxes on the UI thread; the command
// line installs versions that print error lines. Without a hook the text is
// printed to stderr.
#pragma once

#include <QString>
#include <functional>

enum class MessageIcon
{
    None,
    Error,
    Warning,
    Information,
    Question
};

// The answer codes of a message box, as the window toolkit gives them.
inline constexpr int kAnswerOk = 1;

using MessageBoxHook = std::function<int(const QString& text, MessageIcon icon)>;

// Installs the hook (an empty function restores the default). Call on the UI
// thread before any worker starts.
void SetMessageBoxHook(MessageBoxHook hook);
// Shows text with icon through the installed hook and returns its answer.
// Callable from any thread; the hook decides how to reach the user.
int ShowHostMessage(const QString& text, MessageIcon icon);
