// Stand-ins for lame_enc.so in the failure tests. Built twice: without
// STUB_ENCODER_COMPLETE it lacks "beEncodeChunkFloatS16NI"; with it, it has
// every entry point and fails the one TARNWICK_STUB_FAIL names ("init",
// "chunk", "deinit"), encoding nothing otherwise.
#include "BladeEnc.h"

#include <cstdlib>
#include <cstring>

namespace {

bool FailAt(const char* step)
{
    const char* fail = std::getenv("TARNWICK_STUB_FAIL");
    return fail && std::strcmp(fail, step) == 0;
}

constexpr BeStream kHandle = 7;

} // namespace

extern "C" {

BE_EXPORT uint32_t beInitStream(const unsigned char*, uint32_t* samplesPerChunk, uint32_t* outputBufferBytes,
                                BeStream* stream)
{
    if (FailAt("init")) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *samplesPerChunk = 2304;
    *outputBufferBytes = 10080;
    *stream = kHandle;
    return BE_ERR_SUCCESSFUL;
}

#ifdef STUB_ENCODER_COMPLETE
BE_EXPORT uint32_t beEncodeChunkFloatS16NI(BeStream, uint32_t, const float*, const float*, unsigned char*,
                                           uint32_t* bytesWritten)
{
    *bytesWritten = 0;
    return FailAt("chunk") ? BE_ERR_ENCODE_FAILED : BE_ERR_SUCCESSFUL;
}
#endif

BE_EXPORT uint32_t beDeinitStream(BeStream, unsigned char*, uint32_t* bytesWritten)
{
    *bytesWritten = 0;
    return FailAt("deinit") ? BE_ERR_ENCODE_FAILED : BE_ERR_SUCCESSFUL;
}

BE_EXPORT uint32_t beCloseStream(BeStream)
{
    return BE_ERR_SUCCESSFUL;
}

BE_EXPORT void beWriteInfoTag(BeStream, const char*) {}

BE_EXPORT void beWriteVBRHeader(const char*) {}
}
