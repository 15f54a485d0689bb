// The inputs of a command-line join: each checked with the list's stream
// reader, and the summary line of the joined file.
#pragma once

#include "ConversionTask.h"

#include <QString>
#include <QStringList>

#include <vector>

// Reads every input's rate, channels and length. An input that cannot be
// read or decoded is named in an error line and makes the result false, or,
// with skipUnusable, is named in a warning line and left out.
bool GatherSources(const QStringList& inputs, bool skipUnusable, std::vector<CFileToBeJoin>& files);

// "PATH<TAB>DURATION s<TAB>RATE Hz<TAB>CHANNELS<TAB>BITRATE kbps" of a written file.
QString OutputSummaryLine(const QString& path);
