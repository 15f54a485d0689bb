// A read-only TagLib stream over an open file descriptor, optionally hiding
// the first bytes of the file (a leading tag that must not be parsed).
#pragma once

#include <taglib/tiostream.h>

#include <QByteArray>

class TagStream : public TagLib::IOStream
{
public:
    // Reads fd (not owned, not closed) as if the file began at offset.
    TagStream(int fd, long offset, QByteArray name);

    TagLib::FileName name() const override { return m_name.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long = 0, unsigned long = 0) override {}
    void removeBlock(unsigned long = 0, unsigned long = 0) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_fd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return m_position; }
    long length() override { return m_length; }
    void truncate(long) override {}

private:
    int m_fd;
    long m_offset;
    long m_length = 0;
    long m_position = 0;
    QByteArray m_name;
};
