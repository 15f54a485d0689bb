// MP3 fixtures made at test time (libmp3lame, tagged with TagLib), decoding of
// MP3 files for comparison (libmpg123) and small analysis helpers.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What MakeMp3 makes.
struct FixtureSpec
{
    enum class Signal
    {
        Sine,      // a tone at frequency
        Sweep,     // a logarithmic sweep from 20 Hz to 45 % of the rate (at most 20 kHz)
        Noise,     // white noise from a PRNG seeded with seed, independent per channel
        Silence,   // zeros
        QuietTone, // a tone at frequency, by default at -50 dBFS
    };

    int rate = 44100;
    int channels = 2; // 1 or 2
    double seconds = 1.0;
    Signal signal = Signal::Sine;
    double frequency = 440;
    double rightFrequency = 0; // two channels: tone of the right channel; 0 = as the left
    // Peak level in dBFS; unset: -6, or -50 for QuietTone.
    std::optional<double> levelDb;
    int bitrate = 128; // kbit/s, constant
    bool id3v2 = false, ape = false, id3v1 = false;
    // Tag fields, written to each tag asked for when not empty. track may be
    // "3" or "3/12"; date "2021" or "2021-05-04" (ID3v1 and APE get the year).
    QString artist, albumArtist, album, track, title, genre, date, comment;
    // Info header with encoder delay and padding, so a gapless decode gives
    // exactly Frames() sample frames.
    bool infoHeader = true;
    uint32_t seed = 1;

    double EffectiveLevelDb() const;
    // Sample frames of the signal: rate x seconds, rounded.
    long long Frames() const;
};

// The signal of a recipe, interleaved, full scale +-1.0. Deterministic.
std::vector<float> GenerateSignal(const FixtureSpec& recipe);

// Encodes the signal of recipe into path (constant bit rate, output rate = input
// rate) and adds the tags asked for. Same recipe, same bytes.
bool MakeMp3(const QString& path, const FixtureSpec& recipe, QString* error = nullptr);

// A decoded MP3 file.
struct DecodedAudio
{
    long rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, full scale +-1.0
    bool ok = false;
    QString error;

    long long Frames() const { return channels > 0 ? static_cast<long long>(samples.size()) / channels : 0; }
};

// Decodes a whole file with libmpg123 (float output, gapless, quiet). A change
// of rate or channels inside the file is an error.
DecodedAudio DecodeMp3(const QString& path);

// RMS level in dBFS (20 log10 of the RMS, so a full-scale sine is -3.01) of
// frameCount frames from firstFrame (-1: to the end) of interleaved samples,
// over one channel or all (channel -1). -200 for silence or an empty range.
double RmsDb(const std::vector<float>& samples, int channels, long long firstFrame = 0,
             long long frameCount = -1, int channel = -1);
// Peak level in dBFS over the same kind of range.
double PeakDb(const std::vector<float>& samples, int channels, long long firstFrame = 0,
              long long frameCount = -1, int channel = -1);
// Index of the first value where a and b differ by more than tolerance, or
// the shorter length when only the lengths differ; -1 when they match.
long long FirstDifference(const std::vector<float>& a, const std::vector<float>& b, float tolerance = 0.0f);

// The frame structure of an MP3 file (Layer III), read without decoding.
struct Mp3Scan
{
    bool ok = false;
    QString error;
    long long id3v2Bytes = 0; // ID3v2 tag at the start, header included
    int mpegVersion = 0;      // 1, 2, or 25 for MPEG 2.5
    long rate = 0;
    int channels = 0;
    int minKbps = 0, maxKbps = 0; // over the audio frames
    long long audioFrames = 0;    // frames after the Info frame
    long long streamBytes = 0;    // bytes of all frames, Info frame included
    long long trailingBytes = 0;  // bytes after the last frame (ID3v1, APE, junk)
    // Info/Xing header of the first frame.
    bool hasInfoHeader = false;
    QString infoTagId; // "Info" or "Xing"
    long long infoFrames = -1, infoBytes = -1;
    int encoderDelay = -1, encoderPadding = -1; // from the LAME extension
    bool lameTagCrcOk = false;                  // the LAME extension's CRC matches
};

Mp3Scan ScanMp3(const QString& path);
