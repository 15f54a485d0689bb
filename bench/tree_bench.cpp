// tarnwick-bench-tree: the folder tree expanding a folder of COUNT (10,000)
// subfolders that each hold one subfolder, icons included, inside a private
// home folder on the offscreen platform. Prints `name value unit` lines:
// the file system's own time for the has-children walk, the expand (first
// and the median of further runs), a refresh that opens it again, a walk to
// one subfolder, and the collapse.
#include "CFileTreeCtrl.h"
#include "TestMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

void Print(const char* name, double value, const char* unit)
{
    std::printf("%s %s %s\n", name, QString::number(value, 'f', 4).toLatin1().constData(), unit);
}

double Seconds(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// What the file system alone needs: open each subfolder and read its first
// entries, as the has-children test does.
double HasChildrenWalk(const QString& folder, int count)
{
    const int parent = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QString::asprintf("f%05d", i).toLatin1();
        const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr) {
            while (const dirent* entry = ::readdir(dir)) {
                if (entry->d_name[0] != '.') {
                    break;
                }
            }
            ::closedir(dir);
        }
    }
    const double seconds = Seconds(clock);
    ::close(parent);
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnv::Isolate();
    int status = 0;
    {
        QApplication app(argc, argv);
        const int count = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 10000;
        const QString big = QDir::homePath() + QStringLiteral("/big");
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i) {
            QDir().mkpath(big + QString::asprintf("/f%05d/sub", i));
        }
        Print("setup_create_folders", Seconds(clock), "s");
        Print("fs_has_children_walk", HasChildrenWalk(big, count), "s");

        CFileTreeCtrl tree;
        tree.resize(400, 800);
        tree.show();
        tree.SetFileHideMask(0);
        tree.SetShowFiles(false);
        tree.SetSystemImageList();
        if (!tree.SelectPath(big, false)) {
            std::fprintf(stderr, "cannot select %s\n", qPrintable(big));
            return 1;
        }
        QTreeWidgetItem* item = tree.GetSelectedItem();
        auto expandOnce = [&] {
            QElapsedTimer timer;
            timer.start();
            item->setExpanded(true);
            QCoreApplication::processEvents(); // lay out and paint
            return Seconds(timer);
        };
        const double first = expandOnce();
        if (item->childCount() != count) {
            std::fprintf(stderr, "expanded %d items, expected %d\n", item->childCount(), count);
            status = 1;
        }
        Print("expand_10000_subfolders_first", first, "s");
        std::vector<double> runs;
        double collapse = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            item->setExpanded(false);
            QCoreApplication::processEvents();
            collapse = std::max(collapse, Seconds(timer));
            runs.push_back(expandOnce());
        }
        std::sort(runs.begin(), runs.end());
        Print("expand_10000_subfolders_median", runs[runs.size() / 2], "s");
        Print("expand_10000_subfolders_worst", runs.back(), "s");
        Print("collapse_10000_subfolders_worst", collapse, "s");

        clock.restart();
        tree.Refresh();
        QCoreApplication::processEvents();
        Print("refresh_with_10000_open", Seconds(clock), "s");

        clock.restart();
        const bool reached = tree.SelectPath(big + QString::asprintf("/f%05d/sub", count / 2), false);
        Print("select_path_in_10000", Seconds(clock), "s");
        if (!reached) {
            status = 1;
        }
        std::printf("icons_cached %d icons\n", CSystemImageList().Count());
    }
    TestEnv::Cleanup();
    return status;
}
