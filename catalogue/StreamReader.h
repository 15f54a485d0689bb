// The stream half of the information reader: a file's sample rate, channel
// count and length as libmpg123 reports them, without decoding the file.
#pragma once

#include "AudioFileInfo.h"

#include <QString>

struct mpg123_handle_struct;

// The libmpg123 handle of the information reader, created by the host at
// start (InitInfoDecoder) and deleted at the end (ExitInfoDecoder).
extern mpg123_handle_struct* g_hInfoDecoder;
bool InitInfoDecoder();
void ExitInfoDecoder();

enum class StreamOpenResult
{
    Ok,          // the stream figures are in the record
    NotReadable, // missing, not a regular file, or no access: unusable without a message
    Trouble,     // libmpg123 could not open the stream or read its format: unusable, message text given
};

// Opens path once (read-only, non-blocking, regular files only) and reads
// the stream's rate, channels and length into info (m_nSampleRate,
// m_nChannels, m_nSamples, m_dDuration). Sets m_bUnusable when the file
// cannot be read, libmpg123 fails, the length is unknown (negative), or any
// figure is 0. On Trouble, troubleText holds "Trouble with mpg123: %s".
// durationKnown tells whether the duration counts toward the list total.
StreamOpenResult ReadStreamFigures(mpg123_handle_struct* handle, const QString& path, CAudioFileInfo& info,
                                   QString* troubleText = nullptr, bool* durationKnown = nullptr);

// Opens path read-only and non-blocking for the readers: -1 when it cannot be
// opened or is not a regular file. The descriptor is in blocking mode again.
int OpenRegularFile(const QString& path);

// As ReadStreamFigures, on a descriptor from OpenRegularFile (left open).
StreamOpenResult ReadStreamFiguresFromFd(mpg123_handle_struct* handle, int fd, CAudioFileInfo& info,
                                         QString* troubleText = nullptr, bool* durationKnown = nullptr);
