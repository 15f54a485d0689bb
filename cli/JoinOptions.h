// Command-line options of tarnwick-join.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct JoinOptions
{
    std::optional<int> lameBits;    // index into the bit-rate table
    std::optional<int> lameChannel; // 0 auto, 1 mono, 2 stereo, 3 joint, 4 dual
    std::optional<int> freq;        // index into the rate table, 0 = auto
    bool overwrite = false;
    bool quiet = false;
    bool skipUnusable = false;
    bool help = false;
    bool list = false; // print the list cells of the inputs, join nothing
    QString output;
    QStringList inputs;
};

// Parses the arguments after the program name. On a usage error returns
// false and sets error to a message that names the bad argument.
bool ParseJoinOptions(const QStringList& args, JoinOptions& options, QString& error);

QString JoinUsageText();
