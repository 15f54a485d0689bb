// Turning tag texts into the list's texts: the code-page rule for 8-bit
// texts and the track number split.
#pragma once

#include <QString>

#include <cstdint>

namespace TagLib {
class String;
}

// A tag text as the list shows it. bLatin1Encoded: the text was stored as
// 8-bit Latin-1 bytes (an ID3v1 field or an ID3v2 frame with Latin-1
// encoding); its bytes are then read in the system's 8-bit code page.
// Everything else is Unicode and converted as such.
QString TagTextToString(const TagLib::String& text, bool bLatin1Encoded);

// Sets nTrack and nTrackTotal from a track text such as "3/12" (low 8 bits of
// each number); without '/' the total is left as it is.
void SplitTrackText(const QString& text, uint8_t& nTrack, uint8_t& nTrackTotal);

// The leading decimal number of text after optional blanks and a sign, 0
// when there is none, saturated at the range of long as the C library does.
long LeadingNumber(const QString& text);
