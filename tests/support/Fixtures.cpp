// MP3 fixtures made at test time, decoding and analysis for comparisons.
#include "Fixtures.h"

#include "LameInfoFrame.h"

#include <QFile>
#include <QRegularExpression>

#include <lame/lame.h>
#include <mpg123.h>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <memory>

namespace {

constexpr double kPi = 3.14159265358979323846;

void SetError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

// A small PRNG with a fixed algorithm, so noise is the same everywhere.
class XorShift32
{
public:
    explicit XorShift32(uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
    // Uniform in [-1, 1).
    double Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<double>(m_state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t m_state;
};

// ---- Encoding -------------------------------------------------------------

void DiscardMessage(const char*, va_list) {}

struct LameDeleter
{
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

LamePtr CreateEncoder(const FixtureSpec& recipe)
{
    LamePtr flags(lame_init());
    if (!flags) {
        return nullptr;
    }
    lame_global_flags* f = flags.get();
    lame_set_errorf(f, DiscardMessage);
    lame_set_msgf(f, DiscardMessage);
    lame_set_debugf(f, DiscardMessage);
    lame_set_num_channels(f, recipe.channels);
    lame_set_in_samplerate(f, recipe.rate);
    lame_set_out_samplerate(f, recipe.rate);
    lame_set_mode(f, recipe.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(f, vbr_off);
    lame_set_brate(f, recipe.bitrate);
    lame_set_bWriteVbrTag(f, recipe.infoHeader ? 1 : 0);
    lame_set_findReplayGain(f, 0);
    lame_set_write_id3tag_automatic(f, 0);
    if (lame_init_params(f) < 0) {
        return nullptr;
    }
    return flags;
}

bool WriteAll(FILE* file, const unsigned char* data, int bytes)
{
    return bytes <= 0 || std::fwrite(data, 1, static_cast<size_t>(bytes), file) == static_cast<size_t>(bytes);
}

bool EncodeSignal(const QString& path, const FixtureSpec& recipe, QString* error)
{
    const LamePtr flags = CreateEncoder(recipe);
    if (!flags) {
        SetError(error, QStringLiteral("libmp3lame refuses %1 Hz, %2 channels, %3 kbit/s")
                            .arg(recipe.rate)
                            .arg(recipe.channels)
                            .arg(recipe.bitrate));
        return false;
    }
    const FilePtr file(std::fopen(QFile::encodeName(path).constData(), "w+b"));
    if (!file) {
        SetError(error, QStringLiteral("cannot create %1").arg(path));
        return false;
    }
    const std::vector<float> signal = GenerateSignal(recipe);
    const long long frames = recipe.Frames();
    constexpr int kChunk = 1152;
    std::vector<float> left(kChunk), right(kChunk);
    // libmp3lame writes no Info frame at low bit rates; this one stands in.
    LameEnc::LameInfoFrame ownInfo;
    ownInfo.Init(flags.get(), recipe.infoHeader);
    const std::size_t reserve = ownInfo.Reserve();
    std::vector<unsigned char> out(reserve + kChunk * 5 / 4 + 7200);
    const int room = static_cast<int>(out.size() - reserve);
    bool written = true;
    for (long long start = 0; start < frames && written; start += kChunk) {
        const int n = static_cast<int>(std::min<long long>(kChunk, frames - start));
        for (int i = 0; i < n; ++i) {
            left[i] = signal[(start + i) * recipe.channels];
            right[i] = recipe.channels == 2 ? signal[(start + i) * 2 + 1] : 0.0f;
        }
        const int bytes = lame_encode_buffer_ieee_float(flags.get(), left.data(),
                                                        recipe.channels == 2 ? right.data() : nullptr, n,
                                                        out.data() + reserve, room);
        if (bytes < 0) {
            SetError(error, QStringLiteral("libmp3lame failed (%1)").arg(bytes));
            return false;
        }
        written = WriteAll(file.get(), out.data(), static_cast<int>(ownInfo.Place(out.data(), bytes)));
    }
    if (written) {
        const int bytes = lame_encode_flush(flags.get(), out.data() + reserve, room);
        written = bytes >= 0 &&
                  WriteAll(file.get(), out.data(), static_cast<int>(ownInfo.Place(out.data(), bytes)));
    }
    if (!written || std::fflush(file.get()) != 0) {
        SetError(error, QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    if (ownInfo.Active()) {
        if (!ownInfo.Write(flags.get(), file.get())) {
            SetError(error, QStringLiteral("cannot write the Info header of %1").arg(path));
            return false;
        }
    } else if (recipe.infoHeader) {
        lame_mp3_tags_fid(flags.get(), file.get());
    }
    return true;
}

// ---- Tags -----------------------------------------------------------------

TagLib::String ToTag(const QString& text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

QString YearOf(const QString& date)
{
    const auto match = QRegularExpression(QStringLiteral("^\\d{4}")).match(date);
    return match.hasMatch() ? match.captured() : QString();
}

unsigned TrackNumberOf(const QString& track)
{
    return track.section(QLatin1Char('/'), 0, 0).trimmed().toUInt();
}

void SetId3v2Text(TagLib::ID3v2::Tag* tag, const char* id, const QString& value)
{
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id), TagLib::String::UTF8);
    frame->setText(ToTag(value));
    tag->removeFrames(TagLib::ByteVector(id));
    tag->addFrame(frame);
}

void FillId3v2(TagLib::ID3v2::Tag* tag, const FixtureSpec& s)
{
    const std::pair<const char*, const QString*> fields[] = {
        {"TPE1", &s.artist}, {"TPE2", &s.albumArtist}, {"TALB", &s.album}, {"TRCK", &s.track},
        {"TIT2", &s.title},  {"TCON", &s.genre},       {"TDRC", &s.date},
    };
    for (const auto& [id, value] : fields) {
        if (!value->isEmpty()) {
            SetId3v2Text(tag, id, *value);
        }
    }
    if (!s.comment.isEmpty()) {
        tag->setComment(ToTag(s.comment));
    }
}

void FillApe(TagLib::APE::Tag* tag, const FixtureSpec& s)
{
    const std::pair<const char*, QString> fields[] = {
        {"Artist", s.artist}, {"Album Artist", s.albumArtist},
        {"Album", s.album},   {"Track", s.track},
        {"Title", s.title},   {"Genre", s.genre},
        {"Year", s.date},     {"Comment", s.comment},
    };
    for (const auto& [key, value] : fields) {
        if (!value.isEmpty()) {
            tag->addValue(TagLib::String(key), ToTag(value), true);
        }
    }
}

void FillId3v1(TagLib::ID3v1::Tag* tag, const FixtureSpec& s)
{
    tag->setArtist(ToTag(s.artist));
    tag->setAlbum(ToTag(s.album));
    tag->setTitle(ToTag(s.title));
    tag->setGenre(ToTag(s.genre));
    tag->setComment(ToTag(s.comment));
    tag->setYear(YearOf(s.date).toUInt());
    tag->setTrack(TrackNumberOf(s.track));
}

bool WriteTags(const QString& path, const FixtureSpec& recipe, QString* error)
{
    if (!recipe.id3v2 && !recipe.ape && !recipe.id3v1) {
        return true;
    }
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid()) {
        SetError(error, QStringLiteral("TagLib cannot open %1").arg(path));
        return false;
    }
    int tags = TagLib::MPEG::File::NoTags;
    if (recipe.id3v2) {
        FillId3v2(file.ID3v2Tag(true), recipe);
        tags |= TagLib::MPEG::File::ID3v2;
    }
    if (recipe.ape) {
        FillApe(file.APETag(true), recipe);
        tags |= TagLib::MPEG::File::APE;
    }
    if (recipe.id3v1) {
        FillId3v1(file.ID3v1Tag(true), recipe);
        tags |= TagLib::MPEG::File::ID3v1;
    }
    if (!file.save(tags, TagLib::File::StripOthers, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate)) {
        SetError(error, QStringLiteral("TagLib cannot save the tags of %1").arg(path));
        return false;
    }
    return true;
}

// ---- Levels ---------------------------------------------------------------

template <typename Visit>
bool ForRange(const std::vector<float>& samples, int channels, long long firstFrame, long long frameCount,
              int channel, Visit visit)
{
    if (channels <= 0) {
        return false;
    }
    const long long frames = static_cast<long long>(samples.size()) / channels;
    const long long first = std::max(0LL, firstFrame);
    const long long end = frameCount < 0 ? frames : std::min(frames, first + frameCount);
    bool any = false;
    for (long long f = first; f < end; ++f) {
        for (int c = 0; c < channels; ++c) {
            if (channel < 0 || channel == c) {
                visit(samples[f * channels + c]);
                any = true;
            }
        }
    }
    return any;
}

double ToDb(double value)
{
    return value > 1e-10 ? 20.0 * std::log10(value) : -200.0;
}

} // namespace

// ---- FixtureSpec ------------------------------------------------------------

double FixtureSpec::EffectiveLevelDb() const
{
    if (levelDb) {
        return *levelDb;
    }
    return signal == Signal::QuietTone ? -50.0 : -6.0;
}

long long FixtureSpec::Frames() const
{
    return std::max(0LL, std::llround(rate * seconds));
}

std::vector<float> GenerateSignal(const FixtureSpec& recipe)
{
    const int channels = std::clamp(recipe.channels, 1, 2);
    const long long frames = recipe.Frames();
    std::vector<float> out(static_cast<size_t>(frames * channels), 0.0f);
    const double amplitude = std::pow(10.0, recipe.EffectiveLevelDb() / 20.0);
    const double rate = recipe.rate > 0 ? recipe.rate : 1;
    XorShift32 random(recipe.seed);
    const double sweepStart = 20.0;
    const double sweepEnd = std::min(20000.0, 0.45 * rate);
    const double duration = std::max(recipe.seconds, 1e-9);
    for (long long f = 0; f < frames; ++f) {
        const double t = f / rate;
        for (int c = 0; c < channels; ++c) {
            double value = 0;
            switch (recipe.signal) {
            case FixtureSpec::Signal::Sine:
            case FixtureSpec::Signal::QuietTone: {
                const double freq =
                    (c == 1 && recipe.rightFrequency > 0) ? recipe.rightFrequency : recipe.frequency;
                value = std::sin(2 * kPi * freq * t);
                break;
            }
            case FixtureSpec::Signal::Sweep: {
                // Phase of an exponential sweep: integral of f0 * k^(t/T).
                const double k = sweepEnd / sweepStart;
                value =
                    std::sin(2 * kPi * sweepStart * duration / std::log(k) * (std::pow(k, t / duration) - 1));
                break;
            }
            case FixtureSpec::Signal::Noise:
                value = random.Next();
                break;
            case FixtureSpec::Signal::Silence:
                value = 0;
                break;
            }
            out[f * channels + c] = static_cast<float>(amplitude * value);
        }
    }
    return out;
}

bool MakeMp3(const QString& path, const FixtureSpec& recipe, QString* error)
{
    if (recipe.channels != 1 && recipe.channels != 2) {
        SetError(error, QStringLiteral("channels must be 1 or 2"));
        return false;
    }
    if (recipe.seconds < 0 || recipe.bitrate <= 0) {
        SetError(error, QStringLiteral("seconds and bit rate must not be negative"));
        return false;
    }
    static const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if (std::find(std::begin(kRates), std::end(kRates), recipe.rate) == std::end(kRates)) {
        // libmp3lame would pick another output rate.
        SetError(error, QStringLiteral("%1 Hz is not an MPEG sample rate").arg(recipe.rate));
        return false;
    }
    return EncodeSignal(path, recipe, error) && WriteTags(path, recipe, error);
}

// ---- Decoding ---------------------------------------------------------------

DecodedAudio DecodeMp3(const QString& path)
{
    DecodedAudio audio;
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> handle(mpg123_new(nullptr, &err), mpg123_delete);
    if (!handle) {
        audio.error = QStringLiteral("mpg123_new failed (%1)").arg(err);
        return audio;
    }
    mpg123_handle* mh = handle.get();
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
    if (mpg123_open(mh, QFile::encodeName(path).constData()) != MPG123_OK) {
        audio.error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromUtf8(mpg123_strerror(mh)));
        return audio;
    }
    std::vector<unsigned char> buffer(65536);
    bool formatKnown = false;
    for (;;) {
        size_t done = 0;
        const int rc = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        if (rc == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            if (formatKnown && (rate != audio.rate || channels != audio.channels)) {
                audio.error = QStringLiteral("the format changes inside %1").arg(path);
                mpg123_close(mh);
                return audio;
            }
            formatKnown = true;
            audio.rate = rate;
            audio.channels = channels;
        }
        const auto* values = reinterpret_cast<const float*>(buffer.data());
        audio.samples.insert(audio.samples.end(), values, values + done / sizeof(float));
        if (rc == MPG123_DONE) {
            break;
        }
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            audio.error =
                QStringLiteral("decoding %1 failed: %2").arg(path, QString::fromUtf8(mpg123_strerror(mh)));
            mpg123_close(mh);
            return audio;
        }
    }
    mpg123_close(mh);
    if (!formatKnown) {
        audio.error = QStringLiteral("no MPEG audio in %1").arg(path);
        return audio;
    }
    audio.ok = true;
    return audio;
}

// ---- Analysis ---------------------------------------------------------------

double RmsDb(const std::vector<float>& samples, int channels, long long firstFrame, long long frameCount,
             int channel)
{
    double sum = 0;
    long long count = 0;
    const bool any = ForRange(samples, channels, firstFrame, frameCount, channel, [&](float v) {
        sum += static_cast<double>(v) * v;
        ++count;
    });
    return any ? ToDb(std::sqrt(sum / count)) : -200.0;
}

double PeakDb(const std::vector<float>& samples, int channels, long long firstFrame, long long frameCount,
              int channel)
{
    double peak = 0;
    ForRange(samples, channels, firstFrame, frameCount, channel,
             [&](float v) { peak = std::max(peak, static_cast<double>(std::fabs(v))); });
    return ToDb(peak);
}

long long FirstDifference(const std::vector<float>& a, const std::vector<float>& b, float tolerance)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) {
            return static_cast<long long>(i);
        }
    }
    return a.size() == b.size() ? -1 : static_cast<long long>(n);
}

// ---- Frame scan -------------------------------------------------------------

namespace {

struct FrameHeader
{
    int version = 0; // 1, 2, 25
    long rate = 0;
    int channels = 0;
    int kbps = 0;
    long long length = 0;
};

bool ParseHeader(const unsigned char* p, FrameHeader* h)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return false;
    }
    static const int kKbps1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kKbps2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const long kRates1[] = {44100, 48000, 32000};
    h->version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    const int divisor = h->version == 1 ? 1 : h->version == 2 ? 2 : 4;
    h->rate = kRates1[rateIndex] / divisor;
    h->kbps = h->version == 1 ? kKbps1[bitrateIndex] : kKbps2[bitrateIndex];
    h->channels = (p[3] >> 6) == 3 ? 1 : 2;
    const int padding = (p[2] >> 1) & 1;
    h->length = (h->version == 1 ? 144LL : 72LL) * h->kbps * 1000 / h->rate + padding;
    return true;
}

uint32_t BigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Reads the Info/Xing header (and LAME extension) of the first frame.
void ReadInfoHeader(const QByteArray& data, long long frameStart, const FrameHeader& h, Mp3Scan* scan)
{
    const int sideInfo = h.version == 1 ? (h.channels == 2 ? 32 : 17) : (h.channels == 2 ? 17 : 9);
    long long pos = frameStart + 4 + sideInfo;
    const long long frameEnd = frameStart + h.length;
    if (pos + 8 > frameEnd) {
        return;
    }
    const QByteArray id = data.mid(pos, 4);
    if (id != "Info" && id != "Xing") {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    scan->hasInfoHeader = true;
    scan->infoTagId = QString::fromLatin1(id);
    const uint32_t flags = BigEndian32(p + pos + 4);
    pos += 8;
    if ((flags & 1) && pos + 4 <= frameEnd) {
        scan->infoFrames = BigEndian32(p + pos);
        pos += 4;
    }
    if ((flags & 2) && pos + 4 <= frameEnd) {
        scan->infoBytes = BigEndian32(p + pos);
        pos += 4;
    }
    if (flags & 4) {
        pos += 100;
    }
    if (flags & 8) {
        pos += 4;
    }
    // LAME extension: 9 bytes encoder name, then delay and padding at +21.
    if (pos + 36 <= frameEnd && data.mid(pos, 4) == "LAME") {
        const unsigned char* d = p + pos + 21;
        scan->encoderDelay = (d[0] << 4) | (d[1] >> 4);
        scan->encoderPadding = ((d[1] & 0x0F) << 8) | d[2];
        const long long crcAt = pos + 34;
        const uint16_t stored = uint16_t(p[crcAt] << 8 | p[crcAt + 1]);
        scan->lameTagCrcOk =
            LameEnc::LameInfoFrame::Crc16(p + frameStart, static_cast<size_t>(crcAt - frameStart)) == stored;
    }
}

} // namespace

Mp3Scan ScanMp3(const QString& path)
{
    Mp3Scan scan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        scan.error = QStringLiteral("cannot open %1").arg(path);
        return scan;
    }
    const QByteArray data = file.readAll();
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const long long size = data.size();
    long long pos = 0;
    if (size >= 10 && data.startsWith("ID3")) {
        const long long body = (p[6] & 0x7F) << 21 | (p[7] & 0x7F) << 14 | (p[8] & 0x7F) << 7 | (p[9] & 0x7F);
        pos = 10 + body + ((p[5] & 0x10) ? 10 : 0);
        scan.id3v2Bytes = pos;
    }
    bool first = true;
    FrameHeader h;
    while (pos + 4 <= size && ParseHeader(p + pos, &h) && pos + h.length <= size) {
        if (first) {
            scan.mpegVersion = h.version;
            scan.rate = h.rate;
            scan.channels = h.channels;
            ReadInfoHeader(data, pos, h, &scan);
        } else if (h.rate != scan.rate || h.channels != scan.channels) {
            scan.error = QStringLiteral("the format changes at byte %1").arg(pos);
            return scan;
        }
        if (!first || !scan.hasInfoHeader) {
            scan.minKbps = scan.audioFrames == 0 ? h.kbps : std::min(scan.minKbps, h.kbps);
            scan.maxKbps = std::max(scan.maxKbps, h.kbps);
            ++scan.audioFrames;
        }
        first = false;
        scan.streamBytes += h.length;
        pos += h.length;
    }
    if (first) {
        scan.error = QStringLiteral("no MPEG Layer III frame in %1").arg(path);
        return scan;
    }
    scan.trailingBytes = size - pos;
    scan.ok = true;
    return scan;
}
