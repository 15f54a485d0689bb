// tarnwick-bench-load: loading the files of a folder into the file list as
// the window does: a loader thread reads each file and appends its row on
// the UI thread. Run tarnwick-bench-reader on the folder first (it makes the
// files). Prints `name value unit` lines.
#include "CReportCtrl.h"
#include "FoundFileAdder.h"
#include "ReportLayoutBlocks.h"
#include "StreamReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarnwick-bench-load FOLDER\n");
        return 2;
    }
    QStringList paths;
    for (const QFileInfo& info :
         QDir(QString::fromLocal8Bit(argv[1]))
             .entryInfoList({QStringLiteral("* Copy.mp3")}, QDir::Files, QDir::Name)) {
        paths << info.absoluteFilePath();
    }
    InitInfoDecoder();
    CReportCtrl list;
    list.Create(nullptr, 1);
    list.InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
    list.resize(1200, 700);
    list.show();
    CFileListTotals totals;

    QElapsedTimer timer;
    timer.start();
    std::atomic<bool> done{false};
    std::thread loader([&] {
        CReportCtrl::WorkerRun run([] { return false; });
        int iconCache = -1;
        for (const QString& path : std::as_const(paths)) {
            AddFoundFile(list, totals, FoundFileOf(path), iconCache);
        }
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    loader.join();
    list.ShowPendingRows();
    QCoreApplication::processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("load.files %d count\n", list.GetItemCount());
    std::printf("load.into_list %.3f s\n", seconds);
    std::printf("load.per_file %.3f ms\n", seconds * 1000.0 / std::max<qsizetype>(1, paths.size()));
    ExitInfoDecoder();
    return list.GetItemCount() == paths.size() ? 0 : 1;
}
