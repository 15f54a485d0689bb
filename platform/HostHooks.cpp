// The process-wide message-box hook and its default, which prints to stderr.
#include "HostHooks.h"

#include <QByteArray>
#include <cstdio>
#include <memory>
#include <mutex>

namespace {

std::mutex g_hookMutex;
std::shared_ptr<const MessageBoxHook> g_pHook;

int PrintHostMessage(const QString& text, MessageIcon icon)
{
    QByteArray line;
    if (icon == MessageIcon::Error)
        line = "error: ";
    else if (icon == MessageIcon::Warning)
        line = "warning: ";
    line += text.toLocal8Bit();
    line += '\n';
    // One write per line, so lines from several threads never interleave.
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    return kAnswerOk;
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    std::shared_ptr<const MessageBoxHook> installed;
    if (hook)
        installed = std::make_shared<const MessageBoxHook>(std::move(hook));
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_pHook.swap(installed);
    // The old hook is released outside the lock (when installed goes away),
    // so a caller still inside it keeps its own reference.
}

int ShowHostMessage(const QString& text, MessageIcon icon)
{
    std::shared_ptr<const MessageBoxHook> hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_pHook;
    }
    // Called without the lock: a hook may block for a long time (a message
    // box) or install another hook.
    if (hook)
        return (*hook)(text, icon);
    return PrintHostMessage(text, icon);
}
