// A look at a file's leading ID3v2 tag before the tag library parses it: its
// version and size, and whether a compressed frame would inflate to an
// unreasonable size (the library sets no bound of its own).
#pragma once

struct Id3v2Probe
{
    bool bPresent = false;
    int nMajorVersion = 0;
    long nTagBytes = 0;   // header, frames, padding and footer
    bool bUnsafe = false; // a frame would inflate to too much: skip the tag's fields
};

// A compressed frame that inflates to more than this, or to more than
// kMaxInflation times its stored size, makes the tag unsafe.
inline constexpr long kMaxFrameBytes = 64L * 1024 * 1024;
inline constexpr long kMaxInflation = 64;

// Reads the tag at the start of fd (with pread; the descriptor's offset is
// not used) and walks its frames as the tag library will, inflating each
// compressed frame into a scratch buffer only to measure it.
Id3v2Probe ProbeId3v2(int fd);
