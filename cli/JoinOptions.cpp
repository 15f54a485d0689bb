// Parsing of tarnwick-join's command line.
#include "JoinOptions.h"

#include "Settings.h"

namespace {

std::optional<int> IndexOf(const int* table, int size, int value)
{
    for (int i = 0; i < size; ++i) {
        if (table[i] == value) {
            return i;
        }
    }
    return std::nullopt;
}

QString RateList(const int* table, int first, int size)
{
    QStringList items;
    for (int i = first; i < size; ++i) {
        items << QString::number(table[i]);
    }
    return items.join(QStringLiteral(", "));
}

bool ParseBitrate(const QString& text, JoinOptions& options, QString& error)
{
    bool ok = false;
    const int kbps = text.toInt(&ok);
    const auto index = ok ? IndexOf(k_aBitrateTable, 17, kbps) : std::nullopt;
    if (!index) {
        error =
            QStringLiteral("bad bit rate '%1': use one of %2").arg(text, RateList(k_aBitrateTable, 0, 17));
        return false;
    }
    options.lameBits = *index;
    return true;
}

bool ParseChannels(const QString& text, JoinOptions& options, QString& error)
{
    static const char* const kNames[] = {"auto", "mono", "stereo", "joint", "dual"};
    for (int i = 0; i < 5; ++i) {
        if (text == QLatin1String(kNames[i])) {
            options.lameChannel = i;
            return true;
        }
    }
    error = QStringLiteral("bad channel mode '%1': use auto, mono, stereo, joint or dual").arg(text);
    return false;
}

bool ParseRate(const QString& text, JoinOptions& options, QString& error)
{
    if (text == QLatin1String("auto")) {
        options.freq = 0;
        return true;
    }
    bool ok = false;
    const int hz = text.toInt(&ok);
    const auto index = ok && hz > 0 ? IndexOf(k_aFreqTable, 10, hz) : std::nullopt;
    if (!index) {
        error = QStringLiteral("bad sample rate '%1': use auto or one of %2")
                    .arg(text, RateList(k_aFreqTable, 1, 10));
        return false;
    }
    options.freq = *index;
    return true;
}

} // namespace

bool ParseJoinOptions(const QStringList& args, JoinOptions& options, QString& error)
{
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            options.inputs << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" is the same as "--name value".
        QString inlineValue;
        bool hasInlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            const int eq = arg.indexOf(QLatin1Char('='));
            inlineValue = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasInlineValue = true;
        }
        const auto takeValue = [&](QString& value) {
            if (hasInlineValue) {
                value = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = QStringLiteral("option '%1' needs a value").arg(arg);
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto noValue = [&]() {
            if (hasInlineValue) {
                error = QStringLiteral("option '%1' takes no value").arg(arg);
                return false;
            }
            return true;
        };

        QString value;
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            if (!takeValue(value)) {
                return false;
            }
            if (value.isEmpty()) {
                error = QStringLiteral("option '%1' needs a file name").arg(arg);
                return false;
            }
            options.output = value;
        } else if (arg == QLatin1String("-b") || arg == QLatin1String("--bitrate")) {
            if (!takeValue(value) || !ParseBitrate(value, options, error)) {
                return false;
            }
        } else if (arg == QLatin1String("--channels")) {
            if (!takeValue(value) || !ParseChannels(value, options, error)) {
                return false;
            }
        } else if (arg == QLatin1String("--rate")) {
            if (!takeValue(value) || !ParseRate(value, options, error)) {
                return false;
            }
        } else if (arg == QLatin1String("--overwrite")) {
            options.overwrite = noValue();
        } else if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
            options.quiet = noValue();
        } else if (arg == QLatin1String("--skip-unusable")) {
            options.skipUnusable = noValue();
        } else if (arg == QLatin1String("--list")) {
            options.list = noValue();
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.help = noValue();
        } else {
            error = QStringLiteral("unknown option '%1'").arg(arg);
            return false;
        }
        if (!error.isEmpty()) {
            return false;
        }
    }
    if (options.help) {
        return true;
    }
    if (options.inputs.isEmpty()) {
        error = QStringLiteral("no input file given");
        return false;
    }
    if (!options.list && options.output.isEmpty()) {
        error = QStringLiteral("no output file given (-o OUTPUT.mp3)");
        return false;
    }
    return true;
}

QString JoinUsageText()
{
    return QStringLiteral("Usage: tarnwick-join [options] -o OUTPUT.mp3 INPUT.mp3...\n"
                          "Joins the input MP3 files, in the order given, into one newly encoded MP3 file.\n"
                          "\n"
                          "Options (those not given come from the application's Config.ini):\n"
                          "  -o, --output FILE      the joined file\n"
                          "  -b, --bitrate KBPS     8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160,\n"
                          "                         192, 224, 256 or 320\n"
                          "      --channels MODE    auto, mono, stereo, joint or dual\n"
                          "      --rate HZ          auto, 8000, 11025, 12000, 16000, 22050, 24000, 32000,\n"
                          "                         44100 or 48000\n"
                          "      --overwrite        replace an existing OUTPUT (otherwise a numbered name\n"
                          "                         such as \"OUTPUT (2).mp3\" is used)\n"
                          "      --skip-unusable    leave out inputs that cannot be read or decoded\n"
                          "      --list             print the file list's cells of each FILE, join nothing\n"
                          "  -q, --quiet            no info lines and no progress line\n"
                          "  -h, --help             this text\n"
                          "\n"
                          "On success the absolute path of the joined file, its duration, sample rate,\n"
                          "channels and bit rate are printed on one tab-separated line.\n"
                          "Exit status: 0 joined, 1 the join failed, 2 bad usage.\n");
}
