// Walking the frames of a leading ID3v2 tag the way the tag library will,
// measuring what each compressed frame would inflate to.
#include "Id3v2Guard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<unsigned char>;

uint32_t BigEndian(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// A syncsafe number; one with a high bit set is read as a plain number, as
// the tag library does for tags from writers that got this wrong.
uint32_t SyncSafe(const unsigned char* p)
{
    if ((p[0] | p[1] | p[2] | p[3]) & 0x80) {
        return BigEndian(p);
    }
    return (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | uint32_t(p[3]);
}

// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
Bytes Resynchronise(const Bytes& data)
{
    Bytes out;
    out.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

bool IsFrameId(const Bytes& data, size_t pos)
{
    if (pos + 4 > data.size()) {
        return false;
    }
    return std::all_of(data.begin() + long(pos), data.begin() + long(pos) + 4,
                       [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// True when inflating data would give more than limit bytes. Nothing is kept.
bool InflatesBeyond(const unsigned char* data, size_t size, uint64_t limit)
{
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = uInt(size);
    std::vector<unsigned char> scratch(64 * 1024);
    uint64_t total = 0;
    int result = Z_OK;
    while (result == Z_OK && total <= limit) {
        z.next_out = scratch.data();
        z.avail_out = uInt(scratch.size());
        result = inflate(&z, Z_NO_FLUSH);
        total += scratch.size() - z.avail_out;
        if (result == Z_BUF_ERROR && z.avail_in == 0) {
            break;
        }
    }
    inflateEnd(&z);
    return total > limit;
}

bool ReadAt(int fd, long offset, size_t size, Bytes& out)
{
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, off_t(offset + long(done)));
        if (n <= 0) {
            break;
        }
        done += size_t(n);
    }
    out.resize(done);
    return done == size;
}

} // namespace

Id3v2Probe ProbeId3v2(int fd)
{
    Id3v2Probe probe;
    Bytes header;
    if (!ReadAt(fd, 0, 10, header) || std::memcmp(header.data(), "ID3", 3) != 0 || header[3] == 0xFF ||
        header[4] == 0xFF) {
        return probe;
    }
    probe.bPresent = true;
    probe.nMajorVersion = header[3];
    const uint32_t bodyBytes = SyncSafe(header.data() + 6);
    const bool footer = probe.nMajorVersion >= 4 && (header[5] & 0x10);
    probe.nTagBytes = 10 + long(bodyBytes) + (footer ? 10 : 0);
    if (probe.nMajorVersion < 3) {
        return probe; // ID3v2.2 frames carry no compression
    }
    const bool v4 = probe.nMajorVersion >= 4;

    struct stat st;
    const long fileBytes = ::fstat(fd, &st) == 0 ? long(st.st_size) : 0;
    Bytes body;
    ReadAt(fd, 10, size_t(std::clamp<long>(long(bodyBytes), 0, std::max<long>(0, fileBytes - 10))), body);
    if (!v4 && (header[5] & 0x80)) {
        body = Resynchronise(body); // tag-wide unsynchronisation of ID3v2.3
    }

    size_t pos = 0;
    if ((header[5] & 0x40) && body.size() >= 4) {
        pos += SyncSafe(body.data()); // extended header
    }
    while (body.size() >= 10 && pos < body.size() - 10) {
        if (body[pos] == 0) {
            break; // padding
        }
        uint32_t size = v4 ? SyncSafe(&body[pos + 4]) : BigEndian(&body[pos + 4]);
        if (v4 && size > 127 && !IsFrameId(body, pos + 10 + size)) {
            // Some writers store plain sizes in ID3v2.4 tags.
            const uint32_t plain = BigEndian(&body[pos + 4]);
            if (IsFrameId(body, pos + 10 + plain)) {
                size = plain;
            }
        }
        const unsigned char format = body[pos + 9];
        const bool compressed = v4 ? (format & 0x08) : (format & 0x80);
        const bool encrypted = v4 ? (format & 0x04) : (format & 0x40);
        const bool lengthField = v4 ? (format & 0x01) : compressed;
        const size_t remaining = body.size() - pos;
        const bool v3WithShortId = !v4 && body[pos + 3] == 0;
        if (size <= (lengthField ? 4u : 0u) || size > remaining ||
            (!IsFrameId(body, pos) && !v3WithShortId)) {
            break; // the tag library stops reading frames here too
        }
        if (compressed && !encrypted) {
            const size_t offset = pos + 10 + (lengthField ? 4 : 0);
            Bytes payload(body.begin() + long(offset), body.begin() + long(pos + 10 + size));
            if (v4 && (format & 0x02)) {
                payload = Resynchronise(payload);
            }
            const uint64_t limit =
                std::min<uint64_t>(uint64_t(kMaxFrameBytes), uint64_t(size) * kMaxInflation);
            if (InflatesBeyond(payload.data(), payload.size(), limit)) {
                probe.bUnsafe = true;
                return probe;
            }
        }
        pos += 10 + size;
    }
    return probe;
}
