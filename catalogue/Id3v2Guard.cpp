// Walking the frame headers of a leading ID3v2 tag.
#include "Id3v2Guard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

uint32_t SyncSafe(const unsigned char* p)
{
    return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) | (uint32_t(p[2] & 0x7F) << 7) |
           uint32_t(p[3] & 0x7F);
}

uint32_t BigEndian(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool TooLarge(uint64_t stated, uint64_t stored)
{
    return stated > uint64_t(kMaxFrameBytes) || stated > stored * uint64_t(kMaxInflation);
}

} // namespace

Id3v2Probe ProbeId3v2(int fd)
{
    Id3v2Probe probe;
    unsigned char header[10];
    if (::pread(fd, header, sizeof header, 0) != ssize_t(sizeof header) ||
        std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF) {
        return probe;
    }
    probe.bPresent = true;
    probe.nMajorVersion = header[3];
    const uint32_t bodyBytes = SyncSafe(header + 6);
    const bool footer = probe.nMajorVersion >= 4 && (header[5] & 0x10);
    probe.nTagBytes = 10 + long(bodyBytes) + (footer ? 10 : 0);
    if (probe.nMajorVersion < 3) {
        return probe; // ID3v2.2 frames carry no compression of their own
    }

    struct stat st;
    const long fileBytes = ::fstat(fd, &st) == 0 ? long(st.st_size) : 0;
    const long bodyEnd = std::min<long>(10 + long(bodyBytes), fileBytes);
    long pos = 10;
    if (header[5] & 0x40) { // extended header
        unsigned char ext[4];
        if (::pread(fd, ext, 4, pos) != 4) {
            return probe;
        }
        const uint32_t extBytes = probe.nMajorVersion >= 4 ? SyncSafe(ext) : BigEndian(ext) + 4;
        pos += long(extBytes);
    }
    while (pos + 10 <= bodyEnd) {
        unsigned char frame[14];
        const ssize_t got = ::pread(fd, frame, sizeof frame, pos);
        if (got < 10 || frame[0] == 0) {
            break; // padding or the end
        }
        const uint32_t size = probe.nMajorVersion >= 4 ? SyncSafe(frame + 4) : BigEndian(frame + 4);
        const bool compressed = probe.nMajorVersion >= 4 ? (frame[9] & 0x08) : (frame[9] & 0x80);
        const bool hasDataLength = probe.nMajorVersion >= 4 ? (frame[9] & 0x01) : compressed;
        if (size > uint32_t(kMaxFrameBytes)) {
            probe.bUnsafe = true;
            return probe;
        }
        if (compressed) {
            // The inflated size follows the header (ID3v2.4: the data length
            // indicator, syncsafe; ID3v2.3: four plain bytes).
            uint64_t inflated = 0;
            if (hasDataLength && got >= 14) {
                inflated = probe.nMajorVersion >= 4 ? SyncSafe(frame + 10) : BigEndian(frame + 10);
            }
            if (!hasDataLength || TooLarge(inflated, size)) {
                probe.bUnsafe = true;
                return probe;
            }
        }
        pos += 10 + long(size);
    }
    return probe;
}
