// The Info header for constant bit rates too low to hold it.
//
// libmp3lame writes its Info frame (frame count, byte count, encoder delay and
// padding, which gapless decoders need) at the stream's own bit rate, and
// leaves it out when a frame at that bit rate is too small to hold it: below
// 64 kbit/s for MPEG-1 stereo, 48 kbit/s for MPEG-2, 24 kbit/s for MPEG-2.5,
// for example. For those streams this class puts a placeholder frame at a
// higher bit rate in front of the encoder's first output and later fills it
// with the same Info header libmp3lame would write. Header-only, so the test
// fixture maker can use it as well.
#pragma once

#include <lame/lame.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace LameEnc {

class LameInfoFrame
{
public:
    // Size of the Info header after the side information.
    static constexpr int kInfoBytes = 156;

    // CRC-16 as the Info header uses it (polynomial 0x8005, reflected, start 0).
    static uint16_t Crc16(const unsigned char* data, std::size_t size, uint16_t crc = 0)
    {
        for (std::size_t i = 0; i < size; ++i) {
            crc ^= data[i];
            for (int bit = 0; bit < 8; ++bit) {
                crc =
                    (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
            }
        }
        return crc;
    }

    // Call after lame_init_params. Makes this frame active when an Info header
    // is wanted and libmp3lame will not write one itself.
    void Init(const lame_global_flags* flags, bool infoHeaderWanted)
    {
        *this = LameInfoFrame();
        m_rate = lame_get_out_samplerate(flags);
        m_channels = lame_get_mode(flags) == MONO ? 1 : 2;
        m_mpeg1 = m_rate >= 32000;
        const int versionBits = m_mpeg1 ? 3 : m_rate >= 16000 ? 2 : 0;
        const int rateIndex = (m_rate == 48000 || m_rate == 24000 || m_rate == 12000)  ? 1
                              : (m_rate == 32000 || m_rate == 16000 || m_rate == 8000) ? 2
                                                                                       : 0;
        const MPEG_mode mode = lame_get_mode(flags);
        const int modeBits = mode == MONO ? 3 : mode == STEREO ? 0 : mode == DUAL_CHANNEL ? 2 : 1;
        m_header[1] = static_cast<unsigned char>(0xE0 | (versionBits << 3) | 0x02 | 0x01);
        m_header[3] = static_cast<unsigned char>(modeBits << 6);
        const int kbps = lame_get_brate(flags);
        if (!infoHeaderWanted || m_rate <= 0 || FrameBytes(kbps) >= HeaderBytes()) {
            return;
        }
        // The smallest bit rate whose frame holds the header.
        static const int kKbps1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        static const int kKbps2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
        const int* table = m_mpeg1 ? kKbps1 : kKbps2;
        for (int i = 0; i < 14; ++i) {
            if (FrameBytes(table[i]) >= HeaderBytes()) {
                m_bitrateIndex = i + 1;
                m_header[2] = static_cast<unsigned char>((m_bitrateIndex << 4) | (rateIndex << 2));
                m_frame.assign(static_cast<std::size_t>(FrameBytes(table[i])), 0);
                return;
            }
        }
    }

    bool Active() const { return !m_frame.empty(); }
    // Bytes to leave free in front of the encoder's output.
    std::size_t Reserve() const { return m_frame.size(); }

    // The encoder wrote bytes of output at buffer + Reserve(). Moves them to
    // the buffer's start, with the placeholder in front of the first output;
    // returns the bytes now in the buffer.
    std::size_t Place(unsigned char* buffer, std::size_t bytes)
    {
        if (!Active() || bytes == 0) {
            return bytes;
        }
        const std::size_t reserve = Reserve();
        m_musicCrc = Crc16(buffer + reserve, bytes, m_musicCrc);
        m_musicBytes += bytes;
        if (m_placed) {
            std::memmove(buffer, buffer + reserve, bytes);
            return bytes;
        }
        // The placeholder copies the header of the encoder's first frame.
        if (bytes >= 4 && buffer[reserve] == 0xFF) {
            m_header[1] = buffer[reserve + 1] | 0x01;                             // no CRC
            m_header[3] = static_cast<unsigned char>(buffer[reserve + 3] & 0xCF); // no mode extension
            m_header[2] = static_cast<unsigned char>((m_bitrateIndex << 4) | (buffer[reserve + 2] & 0x0C));
        }
        std::memcpy(m_frame.data(), m_header, 4);
        std::memcpy(buffer, m_frame.data(), reserve);
        m_placed = true;
        return reserve + bytes;
    }

    // After the flush: fills the placeholder at the start of file (after an
    // ID3v2 tag) with the Info header. Writes nothing unless the bytes there
    // are this placeholder.
    bool Write(const lame_global_flags* flags, FILE* file)
    {
        if (!Active() || !m_placed || !file) {
            return false;
        }
        const long start = Id3v2Size(file);
        std::vector<unsigned char> onDisk(m_frame.size());
        if (start < 0 || std::fseek(file, start, SEEK_SET) != 0 ||
            std::fread(onDisk.data(), 1, onDisk.size(), file) != onDisk.size() || onDisk != m_frame) {
            return false;
        }
        Fill(flags);
        return std::fseek(file, start, SEEK_SET) == 0 &&
               std::fwrite(m_frame.data(), 1, m_frame.size(), file) == m_frame.size() &&
               std::fflush(file) == 0;
    }

private:
    int SideInfoBytes() const { return m_mpeg1 ? (m_channels == 2 ? 32 : 17) : (m_channels == 2 ? 17 : 9); }
    int HeaderBytes() const { return 4 + SideInfoBytes() + kInfoBytes; }
    int FrameBytes(int kbps) const { return (m_mpeg1 ? 144 : 72) * kbps * 1000 / m_rate; }

    static void Put32(unsigned char* p, uint32_t v)
    {
        p[0] = static_cast<unsigned char>(v >> 24);
        p[1] = static_cast<unsigned char>(v >> 16);
        p[2] = static_cast<unsigned char>(v >> 8);
        p[3] = static_cast<unsigned char>(v);
    }

    // Size of an ID3v2 tag at the start of the file, 0 without one, -1 on a
    // read error.
    static long Id3v2Size(FILE* file)
    {
        unsigned char h[10];
        if (std::fseek(file, 0, SEEK_SET) != 0) {
            return -1;
        }
        if (std::fread(h, 1, 10, file) != 10 || std::memcmp(h, "ID3", 3) != 0) {
            return 0;
        }
        const long body = (long(h[6] & 0x7F) << 21) | (long(h[7] & 0x7F) << 14) | (long(h[8] & 0x7F) << 7) |
                          long(h[9] & 0x7F);
        return 10 + body + ((h[5] & 0x10) ? 10 : 0);
    }

    // The Info header and its LAME extension, as libmp3lame lays them out.
    void Fill(const lame_global_flags* flags)
    {
        unsigned char* p = m_frame.data() + 4 + SideInfoBytes();
        const uint32_t frames = static_cast<uint32_t>(std::max(0, lame_get_frameNum(flags)));
        const uint32_t bytes = static_cast<uint32_t>(m_frame.size() + m_musicBytes);
        std::memcpy(p, "Info", 4);
        Put32(p + 4, 0x0F); // frames, bytes, table of contents, quality
        Put32(p + 8, frames);
        Put32(p + 12, bytes);
        for (int i = 0; i < 100; ++i) {
            p[16 + i] = static_cast<unsigned char>(i * 256 / 100); // constant bit rate
        }
        Put32(p + 116,
              static_cast<uint32_t>(std::max(0, 100 - 10 * lame_get_VBR_q(flags) - lame_get_quality(flags))));
        char version[10] = "LAME     ";
        std::memcpy(version + 4, get_lame_short_version(),
                    std::min<std::size_t>(5, std::strlen(get_lame_short_version())));
        std::memcpy(p + 120, version, 9);
        p[129] = 0x01; // revision 0, constant bit rate
        p[130] = static_cast<unsigned char>(std::min(255, (lame_get_lowpassfreq(flags) + 50) / 100));
        p[139] = static_cast<unsigned char>(lame_get_ATHtype(flags) & 0x0F);
        p[140] = static_cast<unsigned char>(std::min(255, lame_get_brate(flags)));
        const int delay = std::clamp(lame_get_encoder_delay(flags), 0, 4095);
        const int padding = std::clamp(lame_get_encoder_padding(flags), 0, 4095);
        p[141] = static_cast<unsigned char>(delay >> 4);
        p[142] = static_cast<unsigned char>(((delay & 0x0F) << 4) | (padding >> 8));
        p[143] = static_cast<unsigned char>(padding & 0xFF);
        const int sourceRate = m_rate <= 32000 ? 0 : m_rate <= 44100 ? 1 : 2;
        const MPEG_mode mode = lame_get_mode(flags);
        const int stereoMode = mode == MONO ? 0 : mode == STEREO ? 1 : mode == DUAL_CHANNEL ? 2 : 3;
        p[144] = static_cast<unsigned char>((sourceRate << 6) | (stereoMode << 2));
        Put32(p + 148, bytes);
        p[152] = static_cast<unsigned char>(m_musicCrc >> 8);
        p[153] = static_cast<unsigned char>(m_musicCrc & 0xFF);
        const uint16_t tagCrc = Crc16(m_frame.data(), static_cast<std::size_t>(p + 154 - m_frame.data()));
        p[154] = static_cast<unsigned char>(tagCrc >> 8);
        p[155] = static_cast<unsigned char>(tagCrc & 0xFF);
    }

    int m_rate = 0;
    int m_channels = 2;
    bool m_mpeg1 = true;
    int m_bitrateIndex = 0;
    bool m_placed = false;
    unsigned char m_header[4] = {0xFF, 0xFB, 0x00, 0x00}; // set by Init, refined by Place
    std::vector<unsigned char> m_frame;
    uint16_t m_musicCrc = 0;
    std::size_t m_musicBytes = 0;
};

} // namespace LameEnc
