// The "ANSI code page" of 8-bit tag texts and its conversions through iconv.
#include "CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <mutex>
#include <optional>

namespace CodePage {
namespace {

const QByteArray kFallback("WINDOWS-1252");

std::mutex s_mutex;
std::optional<QByteArray> s_name; // guarded by s_mutex

// One iconv descriptor, closed when it goes out of scope.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsValid()) {
            ::iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

bool IsKnown(const QByteArray& name)
{
    return Converter("UTF-8", name.constData()).IsValid();
}

// "UTF-8", "utf8", "ANSI_X3.4-1968", "US-ASCII": locales whose text is not
// in a code page of its own.
bool IsUnicodeOrAscii(const QByteArray& codeset)
{
    QByteArray plain;
    for (const char c : codeset) {
        if (c != '-' && c != '_' && c != '.') {
            plain += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return plain.isEmpty() || plain == "UTF8" || plain == "ASCII" || plain == "USASCII" ||
           plain == "ANSIX341968" || plain == "ANSIX341986" || plain == "646" || plain == "ISO646US";
}

QByteArray ChooseName()
{
    const QByteArray fromEnv = qgetenv("TARNWICK_CODEPAGE").trimmed();
    if (!fromEnv.isEmpty()) {
        return IsKnown(fromEnv) ? fromEnv : kFallback;
    }
    const QByteArray codeset(::nl_langinfo(CODESET));
    if (IsUnicodeOrAscii(codeset) || !IsKnown(codeset)) {
        return kFallback;
    }
    return codeset;
}

// Runs iconv over the whole input. onInvalid is called at a byte sequence that
// does not convert and returns how many input bytes to skip; incomplete
// input at the end is reported through onCut. Output is appended to out.
template <typename OnInvalid, typename OnCut>
void Convert(iconv_t cd, const QByteArray& input, QByteArray& out, OnInvalid onInvalid, OnCut onCut)
{
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (result != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        if (errno == EILSEQ) {
            const size_t skip = std::min(onInvalid(out, in, inLeft), inLeft);
            in += skip;
            inLeft -= skip;
            continue;
        }
        // EINVAL: a character cut at the end of the input (or an error
        // iconv does not name): stop here.
        onCut(out);
        break;
    }
    // The shift back to the initial state of a stateful encoding.
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
}

// Length of the UTF-8 sequence starting with lead.
size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

} // namespace

QByteArray Name()
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_name) {
        s_name = ChooseName();
    }
    return *s_name;
}

void Reset()
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_name.reset();
}

QString ToUnicode(const QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        return QString();
    }
    const QByteArray name = Name();
    Converter converter("UTF-8", name.constData());
    if (!converter.IsValid()) {
        return QString::fromLatin1(bytes); // not reached: the name was checked
    }
    static const QByteArray kReplacement("\xEF\xBF\xBD"); // U+FFFD in UTF-8
    QByteArray utf8;
    utf8.reserve(bytes.size() * 2);
    Convert(
        converter.Handle(), bytes, utf8,
        [](QByteArray& out, const char*, size_t) {
            out += kReplacement;
            return size_t(1);
        },
        [](QByteArray& out) { out += kReplacement; });
    return QString::fromUtf8(utf8);
}

QByteArray FromUnicode(const QString& text)
{
    if (text.isEmpty()) {
        return QByteArray();
    }
    const QByteArray name = Name();
    Converter converter(name.constData(), "UTF-8");
    const QByteArray utf8 = text.toUtf8();
    if (!converter.IsValid()) {
        return utf8; // not reached: the name was checked
    }
    QByteArray result;
    result.reserve(utf8.size());
    Convert(
        converter.Handle(), utf8, result,
        [](QByteArray& out, const char* at, size_t) {
            out += '?';
            return Utf8Length(static_cast<unsigned char>(*at));
        },
        [](QByteArray& out) { out += '?'; });
    return result;
}

} // namespace CodePage
