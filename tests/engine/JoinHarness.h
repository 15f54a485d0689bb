// Helpers of the join tests: a receiver that collects what a run sends, MP3
// fixtures turned into task files, and running a task to its end.
#pragma once

#include "ConversionTask.h"
#include "EncoderLibrary.h"
#include "Fixtures.h"
#include "JoinRun.h"
#include "TestMain.h"

#include <QDir>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct LogLine
{
    int kind = 0;
    QString text;
};

// Collects the messages of a run on the test's main thread.
class JoinCollector : public QObject
{
public:
    std::vector<LogLine> logs;
    std::vector<JoinPercents> progress;
    QStringList titles, sources, destinations;
    int doneCount = 0;
    bool ended = false;
    bool timerStarted = false;
    int progressAfterDone = 0;

    QStringList Texts() const
    {
        QStringList texts;
        for (const LogLine& line : logs) {
            texts << line.text;
        }
        return texts;
    }
    bool HasLine(const QString& text, int kind) const
    {
        for (const LogLine& line : logs) {
            if (line.text == text && line.kind == kind) {
                return true;
            }
        }
        return false;
    }
    int CountKind(int kind) const
    {
        int count = 0;
        for (const LogLine& line : logs) {
            count += line.kind == kind ? 1 : 0;
        }
        return count;
    }

protected:
    bool event(QEvent* e) override
    {
        switch (int(e->type())) {
        case WM_JOIN_LOG: {
            auto* log = static_cast<JoinTextEvent*>(e);
            logs.push_back({int(log->WParam()), log->Payload()});
            return true;
        }
        case WM_JOIN_PROGRESS:
            progress.push_back(static_cast<JoinProgressEvent*>(e)->Payload());
            progressAfterDone += doneCount > 0 ? 1 : 0;
            return true;
        case WM_JOIN_DONE:
            ++doneCount;
            return true;
        case WM_JOIN_SET_TITLE:
            titles << static_cast<JoinTextEvent*>(e)->Payload();
            return true;
        case WM_JOIN_SET_SOURCE:
            sources << static_cast<JoinTextEvent*>(e)->Payload();
            return true;
        case WM_JOIN_SET_DESTINATION:
            destinations << static_cast<JoinTextEvent*>(e)->Payload();
            return true;
        case WM_JOIN_START_TIMER:
            timerStarted = true;
            return true;
        case WM_JOIN_RUN_ENDED:
            ended = true;
            return true;
        default:
            return QObject::event(e);
        }
    }
};

// Message boxes shown by runs, recorded instead of shown.
struct MessageBoxRecorder
{
    std::mutex mutex;
    std::vector<std::pair<QString, MessageIcon>> boxes;

    MessageBoxRecorder()
    {
        SetMessageBoxHook([this](const QString& text, MessageIcon icon) {
            std::lock_guard<std::mutex> lock(mutex);
            boxes.emplace_back(text, icon);
            return kAnswerOk;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHook({}); }
    std::vector<std::pair<QString, MessageIcon>> Boxes()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return boxes;
    }
};

// Processes events until done() or the time limit; whether done() held.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 300000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(2);
    }
    QCoreApplication::processEvents();
    return true;
}

// Makes an MP3 fixture and describes it as a task file (gapless: the file
// decodes to exactly Frames() frames).
inline CFileToBeJoin MakeSource(const QString& path, const FixtureSpec& recipe)
{
    QString error;
    if (!MakeMp3(path, recipe, &error)) {
        qWarning("fixture %s: %s", qPrintable(path), qPrintable(error));
    }
    return CFileToBeJoin{path, uint32_t(recipe.rate), uint32_t(recipe.channels),
                         uint64_t(recipe.Frames()) * uint64_t(recipe.channels)};
}

inline FixtureSpec Recipe(int rate, int channels, double seconds, double frequency = 440.0)
{
    FixtureSpec recipe;
    recipe.rate = rate;
    recipe.channels = channels;
    recipe.seconds = seconds;
    recipe.frequency = frequency;
    return recipe;
}

// The encoder library of the build.
inline QString BuiltEncoderFolder()
{
    return TestEnv::BinDir();
}

// A run with its collector; Run() starts it and waits for every thread.
struct JoinRunner
{
    std::shared_ptr<CJoinRun> run = std::make_shared<CJoinRun>();
    JoinCollector collector;

    JoinRunner()
    {
        run->m_Settings = CSettings();
        run->m_Settings.SameAsSrc = 1; // the output path is used as given
        run->SetReceiver(&collector);
    }
    ~JoinRunner()
    {
        run->RequestStop();
        run->DetachReceiver();
        WaitUntil([this] { return run->AllThreadsEnded(); }, 60000);
    }

    void Add(const std::vector<CFileToBeJoin>& files, const QString& output, int channelMode = 0,
             int freqIndex = 0)
    {
        CConversionTask task = BuildTask(files, channelMode, freqIndex);
        task.m_strOutputPath = output;
        run->AddTask(task);
    }
    bool Start()
    {
        SetEncoderFolder(BuiltEncoderFolder());
        return run->Start();
    }
    // Waits until the task thread posted its end and every thread ended.
    bool Finish(int timeoutMs = 300000)
    {
        return WaitUntil([this] { return collector.ended && run->AllThreadsEnded(); }, timeoutMs);
    }
    bool Run() { return Start() && Finish(); }
    bool Ok() const
    {
        return collector.doneCount == 1 &&
               collector.HasLine(QStringLiteral("Joining status: OK."), LOG_INFO) &&
               collector.CountKind(LOG_ERROR) == 0;
    }
};

// The decoded frames of a list of fixtures.
inline long long SumFrames(const std::vector<FixtureSpec>& recipes)
{
    long long frames = 0;
    for (const FixtureSpec& recipe : recipes) {
        frames += recipe.Frames();
    }
    return frames;
}
