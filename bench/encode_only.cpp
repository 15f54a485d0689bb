// tarnwick-bench-encode: the time lame_enc.so alone needs for a join's audio.
// Decodes every input into memory first, brings it to the output rate and
// channel count (linear interpolation; the encoder's time does not depend on
// the converter), then times only the encoder calls. Prints "SECONDS s".
#include "BladeEnc.h"

#include <mpg123.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Decoded
{
    long rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, 16-bit full scale
};

bool Decode(const char* path, Decoded& out)
{
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(h);
    for (long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L}) {
        mpg123_format(h, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
    if (mpg123_open(h, path) != MPG123_OK) {
        mpg123_delete(h);
        return false;
    }
    int encoding = 0;
    mpg123_getformat(h, &out.rate, &out.channels, &encoding);
    std::vector<unsigned char> block(mpg123_outblock(h));
    size_t done = 0;
    int r = MPG123_OK;
    while ((r = mpg123_read(h, block.data(), block.size(), &done)) == MPG123_OK || done > 0) {
        const float* f = reinterpret_cast<const float*>(block.data());
        for (size_t i = 0; i < done / sizeof(float); ++i) {
            out.samples.push_back(f[i] * 32768.0f);
        }
        if (r != MPG123_OK) {
            break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    return true;
}

// Appends the input, converted to rate and channels, as planar left/right.
void Convert(const Decoded& in, long rate, int channels, std::vector<float>& left, std::vector<float>& right)
{
    const size_t frames = in.samples.size() / in.channels;
    const double step = static_cast<double>(in.rate) / rate;
    const size_t outFrames = static_cast<size_t>(frames / step);
    for (size_t i = 0; i < outFrames; ++i) {
        const double pos = i * step;
        const size_t a = static_cast<size_t>(pos);
        const size_t b = a + 1 < frames ? a + 1 : a;
        const float t = static_cast<float>(pos - a);
        float l = in.samples[a * in.channels] * (1 - t) + in.samples[b * in.channels] * t;
        float r = l;
        if (in.channels > 1) {
            r = in.samples[a * in.channels + 1] * (1 - t) + in.samples[b * in.channels + 1] * t;
        }
        if (channels == 1) {
            left.push_back((l + r) / 2);
        } else {
            left.push_back(l);
            right.push_back(r);
        }
    }
}

std::string OwnFolder()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string path(buf, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1);
}

} // namespace

int main(int argc, char** argv)
{
    long rate = 44100;
    int channels = 2;
    int bitrate = 128;
    std::vector<const char*> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rate") && i + 1 < argc) {
            rate = std::atol(argv[++i]);
        } else if (!std::strcmp(argv[i], "--channels") && i + 1 < argc) {
            channels = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--bitrate") && i + 1 < argc) {
            bitrate = std::atoi(argv[++i]);
        } else {
            inputs.push_back(argv[i]);
        }
    }
    mpg123_init();
    std::vector<float> left, right;
    for (const char* path : inputs) {
        Decoded d;
        if (!Decode(path, d) || d.channels == 0) {
            std::fprintf(stderr, "cannot decode %s\n", path);
            return 1;
        }
        Convert(d, rate, channels, left, right);
    }

    void* lib = dlopen((OwnFolder() + BE_LIBRARY_NAME).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "cannot load %s: %s\n", BE_LIBRARY_NAME, dlerror());
        return 1;
    }
    auto init = reinterpret_cast<BeInitStreamFn>(dlsym(lib, BE_INIT_STREAM_NAME));
    auto encode = reinterpret_cast<BeEncodeChunkFloatS16NIFn>(dlsym(lib, BE_ENCODE_CHUNK_NAME));
    auto flush = reinterpret_cast<BeDeinitStreamFn>(dlsym(lib, BE_DEINIT_STREAM_NAME));
    auto close = reinterpret_cast<BeCloseStreamFn>(dlsym(lib, BE_CLOSE_STREAM_NAME));

    unsigned char config[BE_CONFIG_SIZE];
    BeClearConfig(config);
    BePutInt32(config, BE_OFS_SAMPLE_RATE, static_cast<int32_t>(rate));
    BePutInt32(config, BE_OFS_MODE, channels == 1 ? BE_MODE_MONO : BE_MODE_JSTEREO);
    BePutInt32(config, BE_OFS_BITRATE, bitrate);
    BePutInt32(config, BE_OFS_PRESET, BE_PRESET_NONE);
    BePutInt32(config, BE_OFS_MPEG_VERSION, 1);
    BePutInt32(config, BE_OFS_WRITE_VBR_HEADER, 1);
    BePutInt32(config, BE_OFS_NO_RESERVOIR, 1);
    BePutInt16(config, BE_OFS_QUALITY, BeQualityWord(9));

    const auto start = std::chrono::steady_clock::now();
    uint32_t chunk = 0, outBytes = 0;
    BeStream stream = 0;
    if (init(config, &chunk, &outBytes, &stream) != BE_ERR_SUCCESSFUL) {
        std::fprintf(stderr, "cannot open an encoder stream\n");
        return 1;
    }
    std::vector<unsigned char> out(outBytes);
    const uint32_t perChannel = chunk / channels;
    size_t total = 0;
    for (size_t pos = 0; pos < left.size(); pos += perChannel) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(perChannel, left.size() - pos));
        uint32_t written = 0;
        encode(stream, n, left.data() + pos, channels == 1 ? nullptr : right.data() + pos, out.data(),
               &written);
        total += written;
    }
    uint32_t written = 0;
    flush(stream, out.data(), &written);
    close(stream);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s (%zu bytes)\n", seconds, total + written);
    return 0;
}
