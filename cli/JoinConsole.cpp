// Printing a join run's messages on the terminal.
#include "JoinConsole.h"

#include "JoinEvents.h"
#include "JoinProgress.h"
#include "JoinRun.h"
#include "TickCount.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

void PrintKindLine(const QString& text, int kind)
{
    static const char* const kPrefixes[] = {"info: ", "warning: ", "error: "};
    const char* prefix = kind >= LOG_INFO && kind <= LOG_ERROR ? kPrefixes[kind] : "";
    std::fprintf(stderr, "%s%s\n", prefix, text.toUtf8().constData());
    std::fflush(stderr);
}

JoinConsole::JoinConsole(bool quiet, QObject* parent)
    : QObject(parent), m_bQuiet(quiet), m_bTerminal(::isatty(STDERR_FILENO) != 0), m_dwStart(GetTickCount())
{
}

void JoinConsole::customEvent(QEvent* event)
{
    switch (static_cast<int>(event->type())) {
    case WM_JOIN_LOG: {
        const auto* log = static_cast<JoinTextEvent*>(event);
        PrintLog(log->Payload(), static_cast<int>(log->WParam()));
        break;
    }
    case WM_JOIN_PROGRESS:
        ShowProgress(static_cast<JoinProgressEvent*>(event)->Payload().fRun);
        break;
    case WM_JOIN_SET_DESTINATION:
        m_strDestination = static_cast<JoinTextEvent*>(event)->Payload();
        break;
    case WM_JOIN_DONE:
        m_bDone = true;
        break;
    case WM_JOIN_RUN_ENDED:
        EndProgressLine();
        QCoreApplication::exit(m_bDone ? 0 : 1);
        break;
    default:
        break;
    }
}

void JoinConsole::PrintLog(const QString& text, int kind)
{
    if (m_bQuiet && kind == LOG_INFO) {
        return;
    }
    EndProgressLine();
    PrintKindLine(text, kind);
}

void JoinConsole::ShowProgress(float fRunPercent)
{
    if (m_bQuiet || !m_bTerminal) {
        return;
    }
    const float percent = ClampPercent(fRunPercent);
    const double elapsed = TickSeconds(GetTickCount(), m_dwStart);
    const double eta = percent > 0 ? (100.0 - percent) * elapsed / percent : 0.0;
    const double audio = g_pProgress ? g_pProgress->m_fRunSeconds.load(std::memory_order_relaxed) : 0.0;
    const QString line =
        QStringLiteral("\r%1  elapsed %2  ETA %3  speed%4")
            .arg(DoneText(percent), ClockText(elapsed), ClockText(eta), SpeedText(SpeedOf(audio, elapsed)));
    std::fprintf(stderr, "%s\033[K", line.toUtf8().constData());
    std::fflush(stderr);
    m_bProgressShown = true;
}

void JoinConsole::EndProgressLine()
{
    if (m_bProgressShown) {
        std::fputs("\n", stderr);
        m_bProgressShown = false;
    }
}
