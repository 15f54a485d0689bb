// tarnwick-mkfixture: makes one MP3 test file from the command line.
// Exit status: 0 made, 1 the file could not be made, 2 bad command line.
#include "Fixtures.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

void PrintError(const QString& text)
{
    std::fprintf(stderr, "tarnwick-mkfixture: %s\n", text.toLocal8Bit().constData());
}

bool ParseSignal(const QString& name, FixtureSpec::Signal* signal)
{
    static const std::pair<const char*, FixtureSpec::Signal> kNames[] = {
        {"sine", FixtureSpec::Signal::Sine},       {"sweep", FixtureSpec::Signal::Sweep},
        {"noise", FixtureSpec::Signal::Noise},     {"silence", FixtureSpec::Signal::Silence},
        {"quiet", FixtureSpec::Signal::QuietTone},
    };
    for (const auto& [text, value] : kNames) {
        if (name == QLatin1String(text)) {
            *signal = value;
            return true;
        }
    }
    return false;
}

struct NumberOption
{
    const char* name;
    bool isInteger;
    double* real;
    int* integer;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-mkfixture"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes an MP3 test file (constant bit rate, Info header)."));
    parser.addHelpOption();
    const auto valueOption = [&](const char* name, const char* description, const char* valueName) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description),
                                            QString::fromLatin1(valueName)));
    };
    const auto flagOption = [&](const char* name, const char* description) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description)));
    };
    valueOption("rate", "Sample rate in Hz (44100).", "hz");
    valueOption("channels", "1 or 2 (2).", "n");
    valueOption("seconds", "Length in seconds (1).", "s");
    valueOption("signal", "sine, sweep, noise, silence or quiet (sine).", "kind");
    valueOption("freq", "Tone frequency in Hz (440).", "hz");
    valueOption("level", "Peak level in dBFS (-6; quiet: -50).", "db");
    valueOption("bitrate", "Bit rate in kbit/s (128).", "kbps");
    valueOption("seed", "Seed of the noise (1).", "n");
    flagOption("id3v2", "Write an ID3v2.4 tag.");
    flagOption("ape", "Write an APE tag.");
    flagOption("id3v1", "Write an ID3v1 tag.");
    flagOption("no-info", "Leave out the Info header.");
    valueOption("artist", "Artist.", "text");
    valueOption("album-artist", "Album artist.", "text");
    valueOption("album", "Album.", "text");
    valueOption("track", "Track, e.g. 3 or 3/12.", "text");
    valueOption("title", "Title.", "text");
    valueOption("genre", "Genre.", "text");
    valueOption("date", "Date, e.g. 2021 or 2021-05-04.", "text");
    valueOption("comment", "Comment.", "text");
    parser.addPositionalArgument(QStringLiteral("OUT.mp3"), QStringLiteral("The file to write."));

    if (!parser.parse(QCoreApplication::arguments())) {
        PrintError(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        PrintError(QStringLiteral("exactly one output file expected"));
        return 2;
    }

    FixtureSpec recipe;
    double seed = recipe.seed;
    double level = 0;
    const NumberOption numbers[] = {
        {"rate", true, nullptr, &recipe.rate},
        {"channels", true, nullptr, &recipe.channels},
        {"seconds", false, &recipe.seconds, nullptr},
        {"freq", false, &recipe.frequency, nullptr},
        {"level", false, &level, nullptr},
        {"bitrate", true, nullptr, &recipe.bitrate},
        {"seed", false, &seed, nullptr},
    };
    for (const NumberOption& option : numbers) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name)) {
            continue;
        }
        bool ok = false;
        const QString text = parser.value(name);
        if (option.isInteger) {
            *option.integer = text.toInt(&ok);
        } else {
            *option.real = text.toDouble(&ok);
        }
        if (!ok) {
            PrintError(QStringLiteral("--%1: not a number: %2").arg(name, text));
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("level"))) {
        recipe.levelDb = level;
    }
    if (seed < 0 || seed > 4294967295.0 || seed != static_cast<double>(static_cast<uint32_t>(seed))) {
        PrintError(QStringLiteral("--seed: not a 32-bit unsigned number"));
        return 2;
    }
    recipe.seed = static_cast<uint32_t>(seed);
    static const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if (std::find(std::begin(kRates), std::end(kRates), recipe.rate) == std::end(kRates)) {
        PrintError(QStringLiteral("--rate: not an MPEG sample rate: %1").arg(recipe.rate));
        return 2;
    }
    if ((recipe.channels != 1 && recipe.channels != 2) || recipe.seconds < 0 || recipe.bitrate <= 0) {
        PrintError(QStringLiteral("--channels must be 1 or 2, --seconds and --bitrate not negative"));
        return 2;
    }
    if (parser.isSet(QStringLiteral("signal")) &&
        !ParseSignal(parser.value(QStringLiteral("signal")), &recipe.signal)) {
        PrintError(QStringLiteral("--signal: unknown kind: %1").arg(parser.value(QStringLiteral("signal"))));
        return 2;
    }
    recipe.id3v2 = parser.isSet(QStringLiteral("id3v2"));
    recipe.ape = parser.isSet(QStringLiteral("ape"));
    recipe.id3v1 = parser.isSet(QStringLiteral("id3v1"));
    recipe.infoHeader = !parser.isSet(QStringLiteral("no-info"));
    const std::pair<const char*, QString*> texts[] = {
        {"artist", &recipe.artist}, {"album-artist", &recipe.albumArtist},
        {"album", &recipe.album},   {"track", &recipe.track},
        {"title", &recipe.title},   {"genre", &recipe.genre},
        {"date", &recipe.date},     {"comment", &recipe.comment},
    };
    for (const auto& [name, field] : texts) {
        *field = parser.value(QString::fromLatin1(name));
    }

    QString error;
    if (!MakeMp3(positional.front(), recipe, &error)) {
        PrintError(error);
        return 1;
    }
    return 0;
}
