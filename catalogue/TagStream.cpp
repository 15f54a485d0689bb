// Read-only TagLib stream over a descriptor.
#include "TagStream.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

TagStream::TagStream(int fd, long offset, QByteArray name)
    : m_fd(fd), m_offset(offset), m_name(std::move(name))
{
    struct stat st;
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0) {
        m_length = std::max<long>(0, static_cast<long>(st.st_size) - m_offset);
    }
}

TagLib::ByteVector TagStream::readBlock(unsigned long length)
{
    const long available = std::max<long>(0, m_length - m_position);
    const long wanted =
        std::min<long>(static_cast<long>(std::min<unsigned long>(length, 1UL << 30)), available);
    if (wanted <= 0) {
        return TagLib::ByteVector();
    }
    TagLib::ByteVector data(static_cast<unsigned int>(wanted), 0);
    long done = 0;
    while (done < wanted) {
        const ssize_t n = ::pread(m_fd, data.data() + done, static_cast<size_t>(wanted - done),
                                  static_cast<off_t>(m_offset + m_position + done));
        if (n <= 0) {
            break;
        }
        done += n;
    }
    m_position += done;
    data.resize(static_cast<unsigned int>(done));
    return data;
}

void TagStream::seek(long offset, Position p)
{
    long base = 0;
    if (p == Current) {
        base = m_position;
    } else if (p == End) {
        base = m_length;
    }
    m_position = std::max<long>(0, base + offset);
}
