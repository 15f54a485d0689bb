// lame_enc.so through its entry points, loaded the way the join engine loads it;
// the results are decoded with libmpg123 and compared with what went in.
#include "BladeEnc.h"
#include "Fixtures.h"
#include "TestMain.h"

#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <dlfcn.h>
#include <thread>

namespace {

using Config = std::array<unsigned char, BE_CONFIG_SIZE>;

// The record as the engine fills it.
Config MakeConfig(int rate, int mode, int kbps)
{
    Config c;
    BeClearConfig(c.data());
    BePutInt32(c.data(), BE_OFS_SAMPLE_RATE, rate);
    BePutInt32(c.data(), BE_OFS_MODE, mode);
    BePutInt32(c.data(), BE_OFS_BITRATE, kbps);
    BePutInt32(c.data(), BE_OFS_PRESET, BE_PRESET_NONE);
    BePutInt32(c.data(), BE_OFS_MPEG_VERSION, 1);
    BePutInt32(c.data(), BE_OFS_WRITE_VBR_HEADER, 1);
    BePutInt32(c.data(), BE_OFS_NO_RESERVOIR, 1);
    BePutInt16(c.data(), BE_OFS_QUALITY, BeQualityWord(9));
    return c;
}

struct Library
{
    BeInitStreamFn init = nullptr;
    BeEncodeChunkFloatS16NIFn encode = nullptr;
    BeDeinitStreamFn deinit = nullptr;
    BeCloseStreamFn close = nullptr;
    BeWriteInfoTagFn writeInfoTag = nullptr;
    BeWriteVBRHeaderFn writeVbrHeader = nullptr;
};

enum class TagWriter
{
    InfoTag,   // beWriteInfoTag with the handle
    VbrHeader, // beWriteVBRHeader
    None,
};

struct EncodeResult
{
    uint32_t code = 0;
    QString failure; // empty when the file was made
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(data);
    }
}

FixtureSpec ToneSpec(int rate, int channels, double seconds, double frequency, double levelDb)
{
    FixtureSpec recipe;
    recipe.rate = rate;
    recipe.channels = channels;
    recipe.seconds = seconds;
    recipe.frequency = frequency;
    recipe.levelDb = levelDb;
    return recipe;
}

// RMS in dB of the middle of a signal, away from the edges.
double MiddleRmsDb(const std::vector<float>& samples, int channels, long rate)
{
    const long long frames = static_cast<long long>(samples.size()) / channels;
    const long long edge = rate / 10;
    return RmsDb(samples, channels, edge, frames - 2 * edge);
}

} // namespace

Q_DECLARE_METATYPE(TagWriter)

class TestLameEnc : public QObject
{
    Q_OBJECT

private:
    Library m_lib;
    QTemporaryDir m_dir;

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    // Encodes interleaved +-1.0 samples into path as the engine's encode stage
    // does: chunks of the reported size (a last short or empty one), floats in
    // 16-bit full scale, flush, close, then the Info header.
    EncodeResult Encode(const QString& path, const Config& config, const std::vector<float>& signal,
                        TagWriter writer = TagWriter::InfoTag) const;

private slots:
    void initTestCase();
    void reportsChunkAndBufferSizes();
    void encodesAtInputRate_data();
    void encodesAtInputRate();
    void quietToneKeepsLevel_data();
    void quietToneKeepsLevel();
    void infoHeader_data();
    void infoHeader();
    void refusesBadRecord_data();
    void refusesBadRecord();
    void refusesBadChunkArguments();
    void ignoresNullAndUnknownHandles();
    void closeWithoutFlushKeepsNothing();
    void parallelStreams();
};

EncodeResult TestLameEnc::Encode(const QString& path, const Config& config, const std::vector<float>& signal,
                                 TagWriter writer) const
{
    EncodeResult result;
    uint32_t chunk = 0;
    uint32_t outBytes = 0;
    BeStream stream = 0;
    result.code = m_lib.init(config.data(), &chunk, &outBytes, &stream);
    if (result.code != BE_ERR_SUCCESSFUL) {
        result.failure = QStringLiteral("beInitStream: %1").arg(result.code);
        return result;
    }
    const int channels = BeGetInt32(config.data(), BE_OFS_MODE) == BE_MODE_MONO ? 1 : 2;
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "w+b");
    if (!file) {
        m_lib.close(stream);
        result.failure = QStringLiteral("cannot create the file");
        return result;
    }
    std::vector<unsigned char> out(outBytes);
    std::vector<float> left(chunk), right(chunk / 2);
    size_t pos = 0;
    for (;;) {
        const size_t n = std::min<size_t>(chunk, signal.size() - pos);
        uint32_t frames = 0;
        if (channels == 1) {
            for (size_t i = 0; i < n; ++i) {
                left[i] = signal[pos + i] * 32768.0f;
            }
            frames = static_cast<uint32_t>(n);
        } else {
            frames = static_cast<uint32_t>(n / 2);
            for (uint32_t i = 0; i < frames; ++i) {
                left[i] = signal[pos + 2 * i] * 32768.0f;
                right[i] = signal[pos + 2 * i + 1] * 32768.0f;
            }
        }
        uint32_t bytes = 0;
        result.code = m_lib.encode(stream, frames, left.data(), channels == 2 ? right.data() : nullptr,
                                   out.data(), &bytes);
        if (result.code != BE_ERR_SUCCESSFUL) {
            result.failure = QStringLiteral("beEncodeChunkFloatS16NI: %1").arg(result.code);
            break;
        }
        if (bytes > outBytes) {
            result.failure = QStringLiteral("chunk wrote %1 bytes into %2").arg(bytes).arg(outBytes);
            break;
        }
        std::fwrite(out.data(), 1, bytes, file);
        pos += n;
        if (n < chunk) {
            break;
        }
    }
    if (result.failure.isEmpty()) {
        uint32_t bytes = 0;
        result.code = m_lib.deinit(stream, out.data(), &bytes);
        if (result.code != BE_ERR_SUCCESSFUL) {
            result.failure = QStringLiteral("beDeinitStream: %1").arg(result.code);
        }
        std::fwrite(out.data(), 1, bytes, file);
    }
    m_lib.close(stream);
    std::fclose(file);
    if (result.failure.isEmpty()) {
        if (writer == TagWriter::InfoTag) {
            m_lib.writeInfoTag(stream, QFile::encodeName(path).constData());
        } else if (writer == TagWriter::VbrHeader) {
            m_lib.writeVbrHeader(QFile::encodeName(path).constData());
        } else {
            m_lib.writeInfoTag(stream, nullptr); // releases the stream, writes nothing
        }
    }
    return result;
}

void TestLameEnc::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray path = QFile::encodeName(TestEnv::BinDir() + QStringLiteral("/" BE_LIBRARY_NAME));
    // Loaded like the engine does, and never unloaded.
    void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(handle, dlerror());
    m_lib.init = reinterpret_cast<BeInitStreamFn>(dlsym(handle, BE_INIT_STREAM_NAME));
    m_lib.encode = reinterpret_cast<BeEncodeChunkFloatS16NIFn>(dlsym(handle, BE_ENCODE_CHUNK_NAME));
    m_lib.deinit = reinterpret_cast<BeDeinitStreamFn>(dlsym(handle, BE_DEINIT_STREAM_NAME));
    m_lib.close = reinterpret_cast<BeCloseStreamFn>(dlsym(handle, BE_CLOSE_STREAM_NAME));
    m_lib.writeInfoTag = reinterpret_cast<BeWriteInfoTagFn>(dlsym(handle, BE_WRITE_INFO_TAG_NAME));
    m_lib.writeVbrHeader = reinterpret_cast<BeWriteVBRHeaderFn>(dlsym(handle, BE_WRITE_VBR_HEADER_NAME));
    QVERIFY(m_lib.init && m_lib.encode && m_lib.deinit && m_lib.close && m_lib.writeInfoTag &&
            m_lib.writeVbrHeader);
}

void TestLameEnc::reportsChunkAndBufferSizes()
{
    const struct
    {
        int mode;
        uint32_t chunk;
        uint32_t bytes;
    } cases[] = {{BE_MODE_JSTEREO, 2304, 10080}, {BE_MODE_MONO, 1152, 8640}};
    for (const auto& c : cases) {
        uint32_t chunk = 0;
        uint32_t bytes = 0;
        BeStream stream = 0;
        QCOMPARE(m_lib.init(MakeConfig(44100, c.mode, 128).data(), &chunk, &bytes, &stream),
                 BE_ERR_SUCCESSFUL);
        QVERIFY(stream != 0);
        QCOMPARE(chunk, c.chunk);
        QCOMPARE(bytes, c.bytes);
        QCOMPARE(m_lib.close(stream), BE_ERR_SUCCESSFUL);
    }
}

void TestLameEnc::encodesAtInputRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kbps");
    QTest::addColumn<int>("expectedKbps");
    QTest::addColumn<int>("channels");
    QTest::addColumn<long long>("frames");
    // libmp3lame alone would resample 44.1 kHz at 96 and 64 kbit/s.
    QTest::newRow("44100 joint 96") << 44100 << int(BE_MODE_JSTEREO) << 96 << 96 << 2 << 57330LL;
    QTest::newRow("44100 stereo 64") << 44100 << int(BE_MODE_STEREO) << 64 << 64 << 2 << 57330LL;
    QTest::newRow("22050 mono 32") << 22050 << int(BE_MODE_MONO) << 32 << 32 << 1 << 28665LL;
    QTest::newRow("48000 joint 320") << 48000 << int(BE_MODE_JSTEREO) << 320 << 320 << 2 << 62400LL;
    QTest::newRow("8000 mono 8") << 8000 << int(BE_MODE_MONO) << 8 << 8 << 1 << 10400LL;
    QTest::newRow("11025 dual 32") << 11025 << int(BE_MODE_DUALCHANNEL) << 32 << 32 << 2 << 14332LL;
    QTest::newRow("16000 mono 24") << 16000 << int(BE_MODE_MONO) << 24 << 24 << 1 << 20800LL;
    QTest::newRow("32000 joint 40") << 32000 << int(BE_MODE_JSTEREO) << 40 << 40 << 2 << 41600LL;
    // Bit rates MPEG does not allow at the rate: the nearest allowed one.
    QTest::newRow("22050 joint 320 -> 160") << 22050 << int(BE_MODE_JSTEREO) << 320 << 160 << 2 << 28665LL;
    QTest::newRow("44100 stereo 8 -> 32") << 44100 << int(BE_MODE_STEREO) << 8 << 32 << 2 << 57330LL;
    QTest::newRow("8000 mono 320 -> 64") << 8000 << int(BE_MODE_MONO) << 320 << 64 << 1 << 10400LL;
    // The input ends on a chunk boundary: an empty last chunk, then the flush.
    QTest::newRow("24000 joint 64, whole chunks")
        << 24000 << int(BE_MODE_JSTEREO) << 64 << 64 << 2 << 11520LL;
    QTest::newRow("44100 mono 128, whole chunks") << 44100 << int(BE_MODE_MONO) << 128 << 128 << 1 << 4608LL;
}

void TestLameEnc::encodesAtInputRate()
{
    QFETCH(int, rate);
    QFETCH(int, mode);
    QFETCH(int, kbps);
    QFETCH(int, expectedKbps);
    QFETCH(int, channels);
    QFETCH(long long, frames);
    FixtureSpec recipe = ToneSpec(rate, channels, double(frames) / rate, 1000, -6);
    recipe.rightFrequency = 600;
    const std::vector<float> signal = GenerateSignal(recipe);
    QCOMPARE(static_cast<long long>(signal.size()), frames * channels);
    const QString path = PathOf(QStringLiteral("rate.mp3"));
    const EncodeResult result = Encode(path, MakeConfig(rate, mode, kbps), signal);
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));

    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY2(audio.ok, qPrintable(audio.error));
    QCOMPARE(audio.rate, long(rate));
    QCOMPARE(audio.channels, channels);
    QCOMPARE(audio.Frames(), frames);

    const Mp3Scan scan = ScanMp3(path);
    QVERIFY2(scan.ok, qPrintable(scan.error));
    QCOMPARE(scan.rate, long(rate));
    QCOMPARE(scan.minKbps, expectedKbps);
    QCOMPARE(scan.maxKbps, expectedKbps);
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoTagId, QStringLiteral("Info"));
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    QCOMPARE(scan.infoBytes, scan.streamBytes);
    QVERIFY(scan.lameTagCrcOk);
    QCOMPARE(scan.trailingBytes, 0LL);

    // Each channel keeps its tone's level.
    for (int c = 0; c < channels; ++c) {
        const long long edge = rate / 10;
        const double in = RmsDb(signal, channels, edge, frames - 2 * edge, c);
        const double outDb = RmsDb(audio.samples, channels, edge, frames - 2 * edge, c);
        QVERIFY2(std::fabs(in - outDb) < 1.0,
                 qPrintable(QStringLiteral("channel %1: %2 dB became %3 dB").arg(c).arg(in).arg(outDb)));
    }
}

void TestLameEnc::quietToneKeepsLevel_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kbps");
    QTest::addColumn<double>("frequency");
    QTest::newRow("44100 joint 128") << 44100 << int(BE_MODE_JSTEREO) << 128 << 1000.0;
    QTest::newRow("48000 joint 320") << 48000 << int(BE_MODE_JSTEREO) << 320 << 3000.0;
    QTest::newRow("22050 mono 32") << 22050 << int(BE_MODE_MONO) << 32 << 1000.0;
    QTest::newRow("8000 mono 16") << 8000 << int(BE_MODE_MONO) << 16 << 440.0;
}

void TestLameEnc::quietToneKeepsLevel()
{
    QFETCH(int, rate);
    QFETCH(int, mode);
    QFETCH(int, kbps);
    QFETCH(double, frequency);
    const int channels = mode == BE_MODE_MONO ? 1 : 2;
    FixtureSpec recipe = ToneSpec(rate, channels, 1.5, frequency, -50);
    recipe.signal = FixtureSpec::Signal::QuietTone;
    const std::vector<float> signal = GenerateSignal(recipe);
    const QString path = PathOf(QStringLiteral("quiet.mp3"));
    const EncodeResult result = Encode(path, MakeConfig(rate, mode, kbps), signal);
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY2(audio.ok, qPrintable(audio.error));
    QCOMPARE(audio.Frames(), recipe.Frames());
    const double in = MiddleRmsDb(signal, channels, rate);
    const double out = MiddleRmsDb(audio.samples, channels, rate);
    QVERIFY2(std::fabs(in - out) < 1.0, qPrintable(QStringLiteral("%1 dB became %2 dB").arg(in).arg(out)));
}

void TestLameEnc::infoHeader_data()
{
    QTest::addColumn<bool>("headerFlag");
    QTest::addColumn<int>("kbps");
    QTest::addColumn<TagWriter>("writer");
    QTest::addColumn<bool>("exact");
    QTest::newRow("beWriteInfoTag") << true << 128 << TagWriter::InfoTag << true;
    QTest::newRow("beWriteVBRHeader") << true << 128 << TagWriter::VbrHeader << true;
    QTest::newRow("beWriteVBRHeader, low bit rate") << true << 32 << TagWriter::VbrHeader << true;
    QTest::newRow("placeholder never filled") << true << 128 << TagWriter::None << false;
    QTest::newRow("placeholder never filled, low bit rate") << true << 32 << TagWriter::None << false;
    QTest::newRow("no header asked for") << false << 128 << TagWriter::InfoTag << false;
}

void TestLameEnc::infoHeader()
{
    QFETCH(bool, headerFlag);
    QFETCH(int, kbps);
    QFETCH(TagWriter, writer);
    QFETCH(bool, exact);
    Config config = MakeConfig(44100, BE_MODE_JSTEREO, kbps);
    BePutInt32(config.data(), BE_OFS_WRITE_VBR_HEADER, headerFlag ? 1 : 0);
    const FixtureSpec recipe = ToneSpec(44100, 2, 0.8, 440, -6);
    // The path handed over in UTF-8 bytes.
    const QString path = PathOf(QStringLiteral("Grüße – ♫ info.mp3"));
    const EncodeResult result = Encode(path, config, GenerateSignal(recipe), writer);
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));

    const Mp3Scan scan = ScanMp3(path);
    QVERIFY2(scan.ok, qPrintable(scan.error));
    QCOMPARE(scan.hasInfoHeader, exact);
    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY2(audio.ok, qPrintable(audio.error));
    if (exact) {
        QCOMPARE(audio.Frames(), recipe.Frames());
        QCOMPARE(scan.infoFrames, scan.audioFrames);
        QVERIFY(scan.lameTagCrcOk);
    } else {
        // Encoder delay and padding (and a silent placeholder frame) stay in.
        QVERIFY(audio.Frames() > recipe.Frames() + 1000);
    }
}

void TestLameEnc::refusesBadRecord_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("value");
    QTest::addColumn<uint>("code");
    const uint badFormat = BE_ERR_INVALID_FORMAT;
    const uint badValue = BE_ERR_INVALID_FORMAT_PARAMETERS;
    QTest::newRow("kind 0") << int(BE_OFS_KIND) << 0 << badFormat;
    QTest::newRow("version 2") << int(BE_OFS_VERSION) << 2 << badFormat;
    QTest::newRow("size 330") << int(BE_OFS_SIZE) << 330 << badFormat;
    QTest::newRow("rate 96000") << int(BE_OFS_SAMPLE_RATE) << 96000 << badValue;
    QTest::newRow("rate 44101") << int(BE_OFS_SAMPLE_RATE) << 44101 << badValue;
    QTest::newRow("rate 0") << int(BE_OFS_SAMPLE_RATE) << 0 << badValue;
    QTest::newRow("resample to 48000") << int(BE_OFS_RESAMPLE_RATE) << 48000 << badValue;
    QTest::newRow("mode 4") << int(BE_OFS_MODE) << 4 << badValue;
    QTest::newRow("mode -1") << int(BE_OFS_MODE) << -1 << badValue;
    QTest::newRow("bit rate 0") << int(BE_OFS_BITRATE) << 0 << badValue;
    QTest::newRow("bit rate -128") << int(BE_OFS_BITRATE) << -128 << badValue;
    QTest::newRow("VBR on") << int(BE_OFS_ENABLE_VBR) << 1 << badValue;
}

void TestLameEnc::refusesBadRecord()
{
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(uint, code);
    Config config = MakeConfig(44100, BE_MODE_JSTEREO, 128);
    BePutInt32(config.data(), offset, value);
    uint32_t chunk = 7;
    uint32_t bytes = 7;
    BeStream stream = 99;
    QCOMPARE(m_lib.init(config.data(), &chunk, &bytes, &stream), code);
    QCOMPARE(stream, BeStream(0));
}

void TestLameEnc::refusesBadChunkArguments()
{
    uint32_t chunk = 0;
    uint32_t outBytes = 0;
    BeStream stream = 0;
    const Config config = MakeConfig(44100, BE_MODE_JSTEREO, 128);
    QCOMPARE(m_lib.init(nullptr, &chunk, &outBytes, &stream), BE_ERR_INVALID_FORMAT);
    QCOMPARE(m_lib.init(config.data(), nullptr, &outBytes, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.init(config.data(), &chunk, nullptr, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.init(config.data(), &chunk, &outBytes, nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.init(config.data(), &chunk, &outBytes, &stream), BE_ERR_SUCCESSFUL);

    std::vector<float> left(chunk, 1000.0f), right(chunk, -1000.0f);
    std::vector<unsigned char> out(outBytes);
    uint32_t bytes = 99;
    QCOMPARE(m_lib.encode(stream, 1153, left.data(), right.data(), out.data(), &bytes),
             BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(bytes, 0u);
    QCOMPARE(m_lib.encode(stream, 1152, left.data(), nullptr, out.data(), &bytes),
             BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.encode(stream, 1152, nullptr, right.data(), out.data(), &bytes),
             BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.encode(stream, 1152, left.data(), right.data(), nullptr, &bytes),
             BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.encode(stream, 1152, left.data(), right.data(), out.data(), nullptr),
             BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.encode(stream, 0, nullptr, nullptr, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    QCOMPARE(bytes, 0u);
    QCOMPARE(m_lib.encode(stream, 1152, left.data(), right.data(), out.data(), &bytes), BE_ERR_SUCCESSFUL);

    QCOMPARE(m_lib.deinit(stream, nullptr, &bytes), BE_ERR_INVALID_FORMAT_PARAMETERS);
    QCOMPARE(m_lib.deinit(stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    QVERIFY(bytes > 0);
    // After the flush: no more chunks, a second flush gives nothing.
    QCOMPARE(m_lib.encode(stream, 1152, left.data(), right.data(), out.data(), &bytes), BE_ERR_ENCODE_FAILED);
    QCOMPARE(m_lib.deinit(stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    QCOMPARE(bytes, 0u);
    QCOMPARE(m_lib.close(stream), BE_ERR_SUCCESSFUL);
    QCOMPARE(m_lib.close(stream), BE_ERR_INVALID_HANDLE);
    m_lib.writeInfoTag(stream, nullptr); // releases the closed stream
}

void TestLameEnc::ignoresNullAndUnknownHandles()
{
    // A file that no call below may change.
    const QString path = PathOf(QStringLiteral("untouched.mp3"));
    FixtureSpec recipe = ToneSpec(44100, 2, 0.3, 440, -6);
    QVERIFY(Encode(path, MakeConfig(44100, BE_MODE_JSTEREO, 128), GenerateSignal(recipe), TagWriter::None)
                .failure.isEmpty());
    const QByteArray before = ReadAll(path);

    // A stream that has been closed and released, and one closed and tagged.
    uint32_t chunk = 0;
    uint32_t outBytes = 0;
    BeStream released = 0;
    QCOMPARE(m_lib.init(MakeConfig(44100, BE_MODE_MONO, 64).data(), &chunk, &outBytes, &released),
             BE_ERR_SUCCESSFUL);
    QCOMPARE(m_lib.close(released), BE_ERR_SUCCESSFUL);
    const QString taggedPath = PathOf(QStringLiteral("tagged.mp3"));
    QVERIFY(Encode(taggedPath, MakeConfig(44100, BE_MODE_MONO, 64),
                   GenerateSignal(ToneSpec(44100, 1, 0.2, 440, -6)))
                .failure.isEmpty());

    std::vector<float> samples(2304, 0.0f);
    std::vector<unsigned char> out(10080);
    const QByteArray name = QFile::encodeName(path);
    const BeStream unknown[] = {0, 0xDEADBEEF, released, ~BeStream(0)};
    for (const BeStream handle : unknown) {
        uint32_t bytes = 99;
        QCOMPARE(m_lib.encode(handle, 1152, samples.data(), samples.data(), out.data(), &bytes),
                 BE_ERR_INVALID_HANDLE);
        QCOMPARE(bytes, 0u);
        bytes = 99;
        QCOMPARE(m_lib.deinit(handle, out.data(), &bytes), BE_ERR_INVALID_HANDLE);
        QCOMPARE(bytes, 0u);
        QCOMPARE(m_lib.close(handle), BE_ERR_INVALID_HANDLE);
        m_lib.writeInfoTag(handle, name.constData());
        m_lib.writeInfoTag(handle, nullptr);
    }
    // Nothing is waiting for its header: these change nothing either.
    m_lib.writeVbrHeader(name.constData());
    m_lib.writeVbrHeader(nullptr);
    QCOMPARE(ReadAll(path), before);
}

void TestLameEnc::closeWithoutFlushKeepsNothing()
{
    // The engine closes without a flush when a chunk fails. Such a stream is
    // not kept for a header, so beWriteVBRHeader afterwards finds nothing.
    const QString path = PathOf(QStringLiteral("plain.bin"));
    const QByteArray bytes(4096, 'x');
    WriteAll(path, bytes);
    uint32_t chunk = 0;
    uint32_t outBytes = 0;
    BeStream stream = 0;
    QCOMPARE(m_lib.init(MakeConfig(48000, BE_MODE_JSTEREO, 192).data(), &chunk, &outBytes, &stream),
             BE_ERR_SUCCESSFUL);
    std::vector<float> samples(chunk, 100.0f);
    std::vector<unsigned char> out(outBytes);
    uint32_t written = 0;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(m_lib.encode(stream, chunk / 2, samples.data(), samples.data(), out.data(), &written),
                 BE_ERR_SUCCESSFUL);
    }
    QCOMPARE(m_lib.close(stream), BE_ERR_SUCCESSFUL);
    m_lib.writeVbrHeader(QFile::encodeName(path).constData());
    m_lib.writeInfoTag(stream, QFile::encodeName(path).constData());
    QCOMPARE(ReadAll(path), bytes);
}

void TestLameEnc::parallelStreams()
{
    // Streams on several threads at once are independent of each other.
    const FixtureSpec recipe = ToneSpec(32000, 2, 1.0, 700, -10);
    const std::vector<float> signal = GenerateSignal(recipe);
    const Config config = MakeConfig(32000, BE_MODE_JSTEREO, 96);
    constexpr int kThreads = 3;
    std::array<EncodeResult, kThreads> results;
    std::array<QString, kThreads> paths;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        paths[i] = PathOf(QStringLiteral("parallel-%1.mp3").arg(i));
        threads.emplace_back([&, i] { results[i] = Encode(paths[i], config, signal); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const QByteArray first = ReadAll(paths[0]);
    for (int i = 0; i < kThreads; ++i) {
        QVERIFY2(results[i].failure.isEmpty(), qPrintable(results[i].failure));
        QCOMPARE(ReadAll(paths[i]), first);
    }
    const DecodedAudio audio = DecodeMp3(paths[0]);
    QVERIFY(audio.ok);
    QCOMPARE(audio.Frames(), recipe.Frames());
}

TARNWICK_TEST_MAIN(TestLameEnc)
#include "tst_lameenc.moc"
