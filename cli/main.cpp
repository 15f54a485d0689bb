// tarnwick-join: joins MP3 files into one newly encoded MP3 from the command
// line, with the same engine and settings as the window application.
#include "FileListing.h"
#include "JoinConsole.h"
#include "JoinOptions.h"
#include "JoinSources.h"

#include "ConversionTask.h"
#include "HostHooks.h"
#include "JoinEvents.h"
#include "JoinLibraries.h"
#include "JoinRun.h"
#include "KnownFolders.h"
#include "Settings.h"
#include "StreamReader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t s_nStopSignal = 0;

void OnStopSignal(int signal)
{
    s_nStopSignal = signal;
}

void InstallStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The application's stored settings, read only: Config.ini is never created
// or written by the command line.
void ReadStoredSettings()
{
    g_Settings.DesDir = DefaultOutputFolder();
    const QString appData = KnownFolders::AppDataFolder();
    if (appData.isEmpty()) {
        return;
    }
    g_strAppDataFolder = appData + QStringLiteral("/Tarnwick");
    if (QFileInfo::exists(ConfigFilePath())) {
        LoadSettings();
    }
}

void ApplyOptions(const JoinOptions& options)
{
    if (options.lameBits) {
        g_Settings.LameBits = static_cast<int16_t>(*options.lameBits);
    }
    if (options.lameChannel) {
        g_Settings.LameChannel = static_cast<int16_t>(*options.lameChannel);
    }
    if (options.freq) {
        g_Settings.Freq = static_cast<int16_t>(*options.freq);
    }
    // A path given with --overwrite is used as it stands; otherwise an
    // existing file gets a numbered name, as with the output-folder setting.
    g_Settings.SameAsSrc = options.overwrite ? 1 : 0;
}

int RunJoin(const JoinOptions& options, const std::vector<CFileToBeJoin>& files)
{
    CConversionTask task = BuildTask(files, g_Settings.LameChannel, g_Settings.Freq);
    task.m_strOutputPath = QFileInfo(options.output).absoluteFilePath();

    auto run = std::make_shared<CJoinRun>();
    run->m_Settings = g_Settings;
    run->AddTask(task);
    JoinConsole console(options.quiet);
    run->SetReceiver(&console);
    g_pProgress = run.get();

    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&run]() {
        if (s_nStopSignal != 0 && run->IsRunning()) {
            run->Cancel();
        }
    });
    stopWatch.start(50);

    if (!run->Start()) {
        PrintKindLine(QStringLiteral("the join could not be started"), LOG_ERROR);
        return 1;
    }
    const int status = QCoreApplication::exec();
    run->DetachReceiver();
    run->WaitForThreads(-1);
    g_pProgress = nullptr;

    if (status != 0 || !console.Succeeded()) {
        return 1;
    }
    const QString written = console.Destination().isEmpty() ? task.m_strOutputPath : console.Destination();
    std::printf("%s\n", OutputSummaryLine(written).toUtf8().constData());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    JoinOptions options;
    QString error;
    if (!ParseJoinOptions(QCoreApplication::arguments().mid(1), options, error)) {
        std::fprintf(stderr, "tarnwick-join: %s\nTry 'tarnwick-join --help'.\n", error.toUtf8().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(JoinUsageText().toUtf8().constData(), stdout);
        return 0;
    }

    // Message boxes of the engine and the settings become error lines.
    SetMessageBoxHook([](const QString& text, MessageIcon icon) {
        PrintKindLine(text, icon == MessageIcon::Warning ? LOG_WARNING : LOG_ERROR);
        return kAnswerOk;
    });
    InstallStopSignals();
    ReadStoredSettings();
    ApplyOptions(options);
    if (!InitInfoDecoder() || !InitJoinDecoder()) {
        PrintKindLine(QStringLiteral("libmpg123 could not be started"), LOG_ERROR);
        return 1;
    }
    InitSoxOnce();

    if (options.list) {
        const int status = PrintFileList(options.inputs);
        ExitJoinDecoder();
        ExitInfoDecoder();
        return status;
    }

    std::vector<CFileToBeJoin> files;
    const bool usable = GatherSources(options.inputs, options.skipUnusable, files);
    const int status = usable ? RunJoin(options, files) : 1;
    ExitJoinDecoder();
    ExitInfoDecoder();
    return status;
}
