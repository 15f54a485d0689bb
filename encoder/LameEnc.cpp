// Entry points of lame_enc.so: a BladeEnc-style MP3 encoder interface over
// libmp3lame (see BladeEnc.h for the behaviour).
#include "BladeEnc.h"
#include "StreamRegistry.h"

#include <cstdarg>
#include <cstdio>
#include <new>

using LameEnc::EncoderStream;
using LameEnc::StreamPtr;
using LameEnc::StreamRegistry;

namespace {

// Keeps the encoder's messages off the terminal of the host program.
void DiscardMessage(const char*, va_list) {}

bool IsMpegRate(int32_t rate)
{
    switch (rate) {
    case 8000:
    case 11025:
    case 12000:
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
        return true;
    default:
        return false;
    }
}

// What the record asks for.
struct StreamSettings
{
    int32_t rate = 0;
    int channels = 2;
    MPEG_mode mode = JOINT_STEREO;
    int32_t kbps = 0;
    int quality = -1; // -1: the encoder's default
    bool writeInfoTag = false;
    bool noReservoir = false;
};

uint32_t ReadSettings(const unsigned char* config, StreamSettings* settings)
{
    if (BeGetInt32(config, BE_OFS_KIND) != BE_CONFIG_KIND_LAME ||
        BeGetInt32(config, BE_OFS_VERSION) != BE_CONFIG_VERSION ||
        BeGetInt32(config, BE_OFS_SIZE) != BE_CONFIG_SIZE) {
        return BE_ERR_INVALID_FORMAT;
    }
    settings->rate = BeGetInt32(config, BE_OFS_SAMPLE_RATE);
    const int32_t resample = BeGetInt32(config, BE_OFS_RESAMPLE_RATE);
    if (!IsMpegRate(settings->rate) || (resample != 0 && resample != settings->rate)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    switch (BeGetInt32(config, BE_OFS_MODE)) {
    case BE_MODE_STEREO:
        settings->mode = STEREO;
        break;
    case BE_MODE_JSTEREO:
        settings->mode = JOINT_STEREO;
        break;
    case BE_MODE_DUALCHANNEL:
        settings->mode = DUAL_CHANNEL;
        break;
    case BE_MODE_MONO:
        settings->mode = MONO;
        settings->channels = 1;
        break;
    default:
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    settings->kbps = BeGetInt32(config, BE_OFS_BITRATE);
    if (settings->kbps <= 0 || settings->kbps > 640 || BeGetInt32(config, BE_OFS_ENABLE_VBR) != 0) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const uint16_t qualityWord = BeGetInt16(config, BE_OFS_QUALITY);
    const unsigned low = qualityWord & 0xFFu;
    if ((qualityWord >> 8) == 255u - low && low <= 9) {
        settings->quality = static_cast<int>(low);
    }
    settings->writeInfoTag = BeGetInt32(config, BE_OFS_WRITE_VBR_HEADER) != 0;
    settings->noReservoir = BeGetInt32(config, BE_OFS_NO_RESERVOIR) != 0;
    return BE_ERR_SUCCESSFUL;
}

// Creates and configures the encoder; null when libmp3lame refuses.
lame_global_flags* CreateEncoder(const StreamSettings& s)
{
    lame_global_flags* flags = lame_init();
    if (!flags) {
        return nullptr;
    }
    lame_set_errorf(flags, DiscardMessage);
    lame_set_msgf(flags, DiscardMessage);
    lame_set_debugf(flags, DiscardMessage);
    lame_set_num_channels(flags, s.channels);
    lame_set_in_samplerate(flags, s.rate);
    // Without this libmp3lame picks its own output rate for low bit rates
    // (44.1 kHz at 96 kbit/s would come out at 32 kHz).
    lame_set_out_samplerate(flags, s.rate);
    lame_set_mode(flags, s.mode);
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, s.kbps);
    if (s.quality >= 0) {
        lame_set_quality(flags, s.quality);
    }
    lame_set_bWriteVbrTag(flags, s.writeInfoTag ? 1 : 0);
    lame_set_disable_reservoir(flags, s.noReservoir ? 1 : 0);
    lame_set_findReplayGain(flags, 0);
    lame_set_decode_on_the_fly(flags, 0);
    lame_set_write_id3tag_automatic(flags, 0);
    if (lame_init_params(flags) < 0) {
        lame_close(flags);
        return nullptr;
    }
    return flags;
}

uint32_t InitStream(const unsigned char* config, uint32_t* samplesPerChunk, uint32_t* outputBufferBytes,
                    BeStream* handle)
{
    if (handle) {
        *handle = 0;
    }
    if (!config) {
        return BE_ERR_INVALID_FORMAT;
    }
    if (!samplesPerChunk || !outputBufferBytes || !handle) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    StreamSettings settings;
    if (const uint32_t code = ReadSettings(config, &settings)) {
        return code;
    }
    auto stream = std::make_shared<EncoderStream>();
    stream->flags = CreateEncoder(settings);
    if (!stream->flags) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    stream->ownInfo.Init(stream->flags, settings.writeInfoTag);
    stream->channels = settings.channels;
    stream->writeInfoTag = settings.writeInfoTag;
    stream->samplesPerChunk = BE_SAMPLES_PER_FRAME * static_cast<uint32_t>(settings.channels);
    // Worst case of one call: 1.25 x samples + 7,200 bytes.
    stream->outputBytes = (stream->samplesPerChunk * 5 + 3) / 4 + 7200;
    *samplesPerChunk = stream->samplesPerChunk;
    *outputBufferBytes = stream->outputBytes;
    *handle = StreamRegistry::Instance().Add(std::move(stream));
    return BE_ERR_SUCCESSFUL;
}

uint32_t CodeOfEncoderResult(int result)
{
    return result == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_ENCODE_FAILED;
}

uint32_t EncodeChunk(BeStream handle, uint32_t samplesPerChannel, const float* left, const float* right,
                     unsigned char* output, uint32_t* bytesWritten)
{
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    const StreamPtr stream = StreamRegistry::Instance().FindOpen(handle);
    if (!stream) {
        return BE_ERR_INVALID_HANDLE;
    }
    std::lock_guard<std::mutex> lock(stream->mutex);
    if (!output || !bytesWritten || samplesPerChannel > BE_SAMPLES_PER_FRAME) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    if (stream->flushed) {
        return BE_ERR_ENCODE_FAILED;
    }
    if (samplesPerChannel == 0) {
        return BE_ERR_SUCCESSFUL;
    }
    if (!left || (stream->channels == 2 && !right)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // Room for the placeholder Info frame in front of the first output.
    const std::size_t reserve = stream->ownInfo.Reserve();
    const int result = lame_encode_buffer_float(stream->flags, left, stream->channels == 2 ? right : nullptr,
                                                static_cast<int>(samplesPerChannel), output + reserve,
                                                static_cast<int>(stream->outputBytes - reserve));
    if (result < 0) {
        return CodeOfEncoderResult(result);
    }
    *bytesWritten = static_cast<uint32_t>(stream->ownInfo.Place(output, static_cast<std::size_t>(result)));
    return BE_ERR_SUCCESSFUL;
}

uint32_t Flush(BeStream handle, unsigned char* output, uint32_t* bytesWritten)
{
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    const StreamPtr stream = StreamRegistry::Instance().FindOpen(handle);
    if (!stream) {
        return BE_ERR_INVALID_HANDLE;
    }
    std::lock_guard<std::mutex> lock(stream->mutex);
    if (!output || !bytesWritten) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    if (stream->flushed) {
        return BE_ERR_SUCCESSFUL;
    }
    const std::size_t reserve = stream->ownInfo.Reserve();
    const int result =
        lame_encode_flush(stream->flags, output + reserve, static_cast<int>(stream->outputBytes - reserve));
    if (result < 0) {
        return CodeOfEncoderResult(result);
    }
    stream->flushed = true;
    *bytesWritten = static_cast<uint32_t>(stream->ownInfo.Place(output, static_cast<std::size_t>(result)));
    return BE_ERR_SUCCESSFUL;
}

// Rewrites the placeholder frame at the start of the file with the Info header.
void WriteTag(EncoderStream& stream, const char* path)
{
    std::lock_guard<std::mutex> lock(stream.mutex);
    if (!path || !stream.flushed || !stream.writeInfoTag || stream.tagWritten) {
        return;
    }
    stream.tagWritten = true;
    FILE* file = std::fopen(path, "rb+");
    if (!file) {
        return;
    }
    if (stream.ownInfo.Active()) {
        stream.ownInfo.Write(stream.flags, file);
    } else {
        lame_mp3_tags_fid(stream.flags, file);
    }
    std::fclose(file);
}

} // namespace

// No exception ever leaves an entry point: allocation failures become codes.

extern "C" BE_EXPORT uint32_t beInitStream(const unsigned char* config, uint32_t* samplesPerChunk,
                                           uint32_t* outputBufferBytes, BeStream* stream)
{
    try {
        return InitStream(config, samplesPerChunk, outputBufferBytes, stream);
    } catch (...) {
        return BE_ERR_NO_MORE_HANDLES;
    }
}

extern "C" BE_EXPORT uint32_t beEncodeChunkFloatS16NI(BeStream stream, uint32_t samplesPerChannel,
                                                      const float* left, const float* right,
                                                      unsigned char* output, uint32_t* bytesWritten)
{
    try {
        return EncodeChunk(stream, samplesPerChannel, left, right, output, bytesWritten);
    } catch (...) {
        return BE_ERR_ENCODE_FAILED;
    }
}

extern "C" BE_EXPORT uint32_t beDeinitStream(BeStream stream, unsigned char* output, uint32_t* bytesWritten)
{
    try {
        return Flush(stream, output, bytesWritten);
    } catch (...) {
        return BE_ERR_ENCODE_FAILED;
    }
}

extern "C" BE_EXPORT uint32_t beCloseStream(BeStream stream)
{
    try {
        return StreamRegistry::Instance().Close(stream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
    } catch (...) {
        return BE_ERR_ENCODE_FAILED;
    }
}

extern "C" BE_EXPORT void beWriteInfoTag(BeStream stream, const char* path)
{
    try {
        if (const StreamPtr closed = StreamRegistry::Instance().TakeClosed(stream)) {
            WriteTag(*closed, path);
        } else if (const StreamPtr open = StreamRegistry::Instance().FindOpen(stream)) {
            // Flushed but not yet closed: write now, the close frees it.
            WriteTag(*open, path);
        }
    } catch (...) {
    }
}

extern "C" BE_EXPORT void beWriteVBRHeader(const char* path)
{
    try {
        if (const StreamPtr closed = StreamRegistry::Instance().TakeMostRecentClosed()) {
            WriteTag(*closed, path);
        }
    } catch (...) {
    }
}
