// tarnwick-bench-reader: reading many listed files. Encodes one 180 s file,
// copies it COUNT times, gives each copy its own ID3v2 and ID3v1 tags, then
// reads every copy as the list does (page cache warm) and prints
// `name value unit` lines.
#include "Fixtures.h"
#include "InformationReader.h"
#include "StreamReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStorageInfo>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tarnwick-bench-reader FOLDER [COUNT]\n");
        return 2;
    }
    const QString folder = args[1];
    const int count = args.size() > 2 ? args[2].toInt() : 2000;
    QDir().mkpath(folder);

    FixtureSpec recipe;
    recipe.seconds = 180;
    recipe.signal = FixtureSpec::Signal::Sweep;
    const QString master = QDir(folder).filePath(QStringLiteral("master.mp3"));
    if (!QFile::exists(master) && !MakeMp3(master, recipe)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(master));
        return 1;
    }
    const qint64 needed = QFileInfo(master).size() * (count + 1);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << QDir(folder).filePath(QString::asprintf("%04d Copy.mp3", i));
    }
    if (!QFile::exists(paths.last())) {
        if (QStorageInfo(folder).bytesAvailable() < needed) {
            std::fprintf(stderr, "not enough free disk in %s: %lld MiB needed\n", qPrintable(folder),
                         needed / (1024 * 1024));
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            QFile::remove(paths[i]);
            QFile::copy(master, paths[i]);
            TagLib::MPEG::File file(QFile::encodeName(paths[i]).constData(), false);
            TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(true);
            TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(true);
            for (TagLib::Tag* tag : {static_cast<TagLib::Tag*>(v2), static_cast<TagLib::Tag*>(v1)}) {
                tag->setArtist(TagLib::String("Artist ") + TagLib::String::number(i % 40));
                tag->setAlbum(TagLib::String("Album ") + TagLib::String::number(i % 100));
                tag->setTitle(TagLib::String("Title number ") + TagLib::String::number(i));
                tag->setTrack(static_cast<unsigned>(i % 20 + 1));
                tag->setYear(static_cast<unsigned>(1970 + i % 50));
                tag->setGenre("Rock");
            }
            file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2);
        }
    }

    InitInfoDecoder();
    // Warm the page cache, then time the reads.
    for (const QString& path : paths) {
        ReadFoundFile(g_hInfoDecoder, FoundFileOf(path));
    }
    QElapsedTimer timer;
    timer.start();
    int usable = 0;
    for (const QString& path : paths) {
        usable += ReadFoundFile(g_hInfoDecoder, FoundFileOf(path)).info.m_bUnusable ? 0 : 1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("reader.files %d count\n", count);
    std::printf("reader.usable %d count\n", usable);
    std::printf("reader.read_all %.3f s\n", seconds);
    std::printf("reader.per_file %.3f ms\n", seconds * 1000.0 / count);
    ExitInfoDecoder();
    return usable == count ? 0 : 1;
}
