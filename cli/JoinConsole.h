// The command line's side of a join run: receives the run's messages on the
// main thread and prints them (log lines to stderr with their kind, a progress
// line redrawn in place on a terminal).
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class CJoinRun;

class JoinConsole : public QObject
{
public:
    explicit JoinConsole(bool quiet, QObject* parent = nullptr);

    // The run ended with WM_JOIN_DONE.
    bool Succeeded() const { return m_bDone; }
    // The output path the run reported (a numbered name when the given one existed).
    QString Destination() const { return m_strDestination; }

protected:
    void customEvent(QEvent* event) override;

private:
    void PrintLog(const QString& text, int kind);
    void ShowProgress(float fRunPercent);
    void EndProgressLine();

    bool m_bQuiet;
    bool m_bTerminal;
    bool m_bProgressShown = false;
    bool m_bDone = false;
    uint32_t m_dwStart;
    QString m_strDestination;
};

// Prints one line to stderr with a kind prefix ("info:", "warning:", "error:").
void PrintKindLine(const QString& text, int kind);
