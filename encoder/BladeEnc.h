/* Interface of lame_enc.so, the MP3 encoder library that the join engine loads at
 * run time (dlopen with RTLD_NOW | RTLD_LOCAL, then dlsym of the entry points by
 * name). C-compatible: the configuration record is a byte layout, the entry points
 * have C linkage.
 *
 * Behaviour of the library behind this interface:
 * - The output sample rate is always the input rate (offset 12). The resample rate
 *   (offset 16) must be 0 or equal to it.
 * - Constant bit rate only. A bit rate that MPEG does not allow at the sample rate
 *   (e.g. 320 kbit/s at 22,050 Hz, where MPEG-2 stops at 160) is encoded at the
 *   nearest allowed one. Sample rates: 8,000 to 48,000 Hz, the nine MPEG rates.
 * - Mode 3 encodes one channel, every other mode two.
 * - The quality word (offset 92) is used when its high byte is 255 minus its low
 *   byte; otherwise the encoder's default quality applies. Preset, MPEG version and
 *   maximum bit rate are not used.
 * - No ReplayGain analysis, no decoding on the fly, no messages on the terminal.
 * - One chunk holds at most BE_SAMPLES_PER_FRAME samples per channel.
 * - With the Info header flag (offset 64) the first frame of the output is a
 *   placeholder that beWriteInfoTag / beWriteVBRHeader fill with the Info header
 *   (frame count, byte count, encoder delay and padding, for gapless playback).
 *   At bit rates whose frames are too small to hold it, the placeholder is a
 *   frame at a higher bit rate. Left unwritten it decodes as one silent frame.
 * - After beCloseStream a flushed stream is kept for its Info header until
 *   beWriteInfoTag (that handle) or beWriteVBRHeader (the most recently closed
 *   stream) writes it and frees the stream. A stream closed without a flush is
 *   freed at once.
 * - Every entry point is thread-safe and ignores a null or unknown handle
 *   (BE_ERR_INVALID_HANDLE where a code is returned). Handles are never reused,
 *   so a stale handle is never taken for a newer stream.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Stream handle; 0 is never a valid stream. */
typedef uint64_t BeStream;

/* Error codes of the entry points. */
#define BE_ERR_SUCCESSFUL 0x00000000u
#define BE_ERR_INVALID_FORMAT 0x00000001u            /* record kind, version or size wrong */
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002u /* a value or argument out of range */
#define BE_ERR_NO_MORE_HANDLES 0x00000003u           /* the encoder could not be created */
#define BE_ERR_INVALID_HANDLE 0x00000004u            /* null, unknown or closed stream */
#define BE_ERR_BUFFER_TOO_SMALL 0x00000005u          /* output did not fit the output buffer */
#define BE_ERR_ENCODE_FAILED 0x00000006u             /* encoder failure, or a chunk after the flush */

/* Configuration record: packed, little-endian, all bytes zero except the fields
 * that are set. Offsets and values of its fields: */
enum
{
    BE_CONFIG_SIZE = 331,
    BE_CONFIG_KIND_LAME = 256,
    BE_CONFIG_VERSION = 1,

    BE_OFS_KIND = 0,              /* int32: BE_CONFIG_KIND_LAME */
    BE_OFS_VERSION = 4,           /* int32: BE_CONFIG_VERSION */
    BE_OFS_SIZE = 8,              /* int32: BE_CONFIG_SIZE */
    BE_OFS_SAMPLE_RATE = 12,      /* int32: input (and output) rate in Hz */
    BE_OFS_RESAMPLE_RATE = 16,    /* int32: 0 */
    BE_OFS_MODE = 20,             /* int32: BE_MODE_* */
    BE_OFS_BITRATE = 24,          /* int32: kbit/s */
    BE_OFS_MAX_BITRATE = 28,      /* int32: 0 */
    BE_OFS_PRESET = 32,           /* int32: BE_PRESET_NONE */
    BE_OFS_MPEG_VERSION = 36,     /* int32: 1 */
    BE_OFS_WRITE_VBR_HEADER = 64, /* int32: 1 = leave room for and write the Info header */
    BE_OFS_ENABLE_VBR = 68,       /* int32: must be 0 (constant bit rate only) */
    BE_OFS_NO_RESERVOIR = 84,     /* int32: 1 = no bit reservoir */
    BE_OFS_QUALITY = 92,          /* int16: low byte quality 0..9, high byte 255 - quality */

    BE_MODE_STEREO = 0,
    BE_MODE_JSTEREO = 1,
    BE_MODE_DUALCHANNEL = 2,
    BE_MODE_MONO = 3,

    BE_PRESET_NONE = -1,

    /* Samples per channel in one chunk at most. */
    BE_SAMPLES_PER_FRAME = 1152
};

/* Little-endian fields of the record. */
static inline void BePutInt32(unsigned char* record, size_t offset, int32_t value)
{
    uint32_t v = (uint32_t)value;
    record[offset] = (unsigned char)(v & 0xFFu);
    record[offset + 1] = (unsigned char)((v >> 8) & 0xFFu);
    record[offset + 2] = (unsigned char)((v >> 16) & 0xFFu);
    record[offset + 3] = (unsigned char)((v >> 24) & 0xFFu);
}

static inline int32_t BeGetInt32(const unsigned char* record, size_t offset)
{
    uint32_t v = (uint32_t)record[offset] | ((uint32_t)record[offset + 1] << 8) |
                 ((uint32_t)record[offset + 2] << 16) | ((uint32_t)record[offset + 3] << 24);
    return (int32_t)v;
}

static inline void BePutInt16(unsigned char* record, size_t offset, uint16_t value)
{
    record[offset] = (unsigned char)(value & 0xFFu);
    record[offset + 1] = (unsigned char)((value >> 8) & 0xFFu);
}

static inline uint16_t BeGetInt16(const unsigned char* record, size_t offset)
{
    return (uint16_t)((unsigned)record[offset] | ((unsigned)record[offset + 1] << 8));
}

/* The quality word for quality 0 (best) .. 9 (fastest): 9 gives 0xF609. */
static inline uint16_t BeQualityWord(unsigned quality)
{
    return (uint16_t)(((255u - (quality & 0xFFu)) << 8) | (quality & 0xFFu));
}

/* Zeroes a record of BE_CONFIG_SIZE bytes and sets kind, version and size. */
static inline void BeClearConfig(unsigned char* record)
{
    memset(record, 0, BE_CONFIG_SIZE);
    BePutInt32(record, BE_OFS_KIND, BE_CONFIG_KIND_LAME);
    BePutInt32(record, BE_OFS_VERSION, BE_CONFIG_VERSION);
    BePutInt32(record, BE_OFS_SIZE, BE_CONFIG_SIZE);
}

/* File name of the library and names of its entry points. */
#define BE_LIBRARY_NAME "lame_enc.so"
#define BE_INIT_STREAM_NAME "beInitStream"
#define BE_ENCODE_CHUNK_NAME "beEncodeChunkFloatS16NI"
#define BE_DEINIT_STREAM_NAME "beDeinitStream"
#define BE_CLOSE_STREAM_NAME "beCloseStream"
#define BE_WRITE_INFO_TAG_NAME "beWriteInfoTag" /* optional */
#define BE_WRITE_VBR_HEADER_NAME "beWriteVBRHeader"

/* Opens a stream for the record. On success sets the number of interleaved
 * values one chunk takes (BE_SAMPLES_PER_FRAME x channels), the size the output
 * buffer must have (1.25 x that number + 7,200 bytes, rounded up) and the handle. */
typedef uint32_t (*BeInitStreamFn)(const unsigned char* config, uint32_t* samplesPerChunk,
                                   uint32_t* outputBufferBytes, BeStream* stream);
/* Encodes samplesPerChannel values of each channel, floats in 16-bit full scale
 * (+-32768.0); right is null for one channel. Writes up to the output buffer
 * size into output and sets bytesWritten. A count of 0 is allowed. */
typedef uint32_t (*BeEncodeChunkFloatS16NIFn)(BeStream stream, uint32_t samplesPerChannel, const float* left,
                                              const float* right, unsigned char* output,
                                              uint32_t* bytesWritten);
/* Flushes the last frames into output. A second flush returns no bytes. */
typedef uint32_t (*BeDeinitStreamFn)(BeStream stream, unsigned char* output, uint32_t* bytesWritten);
/* Ends the stream. */
typedef uint32_t (*BeCloseStreamFn)(BeStream stream);
/* Writes the Info header of the closed stream into the file at path (UTF-8
 * bytes), which must hold that stream's output, and frees the stream. */
typedef void (*BeWriteInfoTagFn)(BeStream stream, const char* path);
/* As beWriteInfoTag, for the most recently closed stream. */
typedef void (*BeWriteVBRHeaderFn)(const char* path);

#if defined(__GNUC__)
#define BE_EXPORT __attribute__((visibility("default")))
#else
#define BE_EXPORT
#endif

/* The entry points as the library defines them. The engine does not link
 * against them; it looks them up by the names above. */
BE_EXPORT uint32_t beInitStream(const unsigned char* config, uint32_t* samplesPerChunk,
                                uint32_t* outputBufferBytes, BeStream* stream);
BE_EXPORT uint32_t beEncodeChunkFloatS16NI(BeStream stream, uint32_t samplesPerChannel, const float* left,
                                           const float* right, unsigned char* output, uint32_t* bytesWritten);
BE_EXPORT uint32_t beDeinitStream(BeStream stream, unsigned char* output, uint32_t* bytesWritten);
BE_EXPORT uint32_t beCloseStream(BeStream stream);
BE_EXPORT void beWriteInfoTag(BeStream stream, const char* path);
BE_EXPORT void beWriteVBRHeader(const char* path);

#ifdef __cplusplus
}
#endif
