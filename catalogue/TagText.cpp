// Tag texts for the list.
#include "TagText.h"

#include "CodePage.h"

#include <taglib/tstring.h>

#include <cstdlib>

QString TagTextToString(const TagLib::String& text, bool bLatin1Encoded)
{
    if (bLatin1Encoded && text.isLatin1()) {
        // The Latin-1 form gives back the stored bytes, which the user's
        // system wrote in its own 8-bit code page.
        const std::string bytes = text.to8Bit(false);
        return CodePage::ToUnicode(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    // Full Unicode, characters outside the BMP as surrogate pairs.
    const std::string utf8 = text.to8Bit(true);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

long LeadingNumber(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::strtol(bytes.constData(), nullptr, 10);
}

void SplitTrackText(const QString& text, uint8_t& nTrack, uint8_t& nTrackTotal)
{
    QString number = text;
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        nTrackTotal =
            static_cast<uint8_t>(static_cast<unsigned long>(LeadingNumber(text.mid(slash + 1))) & 0xFFu);
        number = text.left(slash);
    }
    nTrack = static_cast<uint8_t>(static_cast<unsigned long>(LeadingNumber(number)) & 0xFFu);
}
