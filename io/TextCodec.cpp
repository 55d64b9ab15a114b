#include "io/TextCodec.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vrm {
namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The iconv name of a known set; nullptr for another code.
const char* IconvName(BYTE chrs) {
    switch (chrs) {
        case kChrsAscii: return "ASCII";
        case kChrsLatin1: return "ISO-8859-1";
        case kChrsShiftJis: return "CP932";
        default: return nullptr;
    }
}

// One iconv conversion, closed when it goes out of scope.
class Conversion {
public:
    Conversion(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Conversion() {
        if (Ok()) iconv_close(m_cd);
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    // False when the C library offers no such conversion.
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Converts as much of [*in, *in + *inLeft) as fits into out; both
    // advance. 0 when all input was taken, else the errno iconv gave
    // (E2BIG: out is full; EILSEQ: *in starts no character; EINVAL: the
    // input ends inside one).
    int Step(const char** in, size_t* inLeft, char** out, size_t* outLeft) {
        char* src = const_cast<char*>(*in);  // iconv does not write its input
        const size_t r = iconv(m_cd, &src, inLeft, out, outLeft);
        const int error = r == static_cast<size_t>(-1) ? errno : 0;
        *in = src;
        return error;
    }
    // Back to the initial shift state after an error.
    void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code point of the UTF-8 character at text[*i], advancing *i past it;
// false (and *i unchanged) for a byte sequence that is not one: a stray
// continuation byte, a cut sequence, an overlong form, a surrogate, beyond
// U+10FFFF.
bool NextCodePoint(const std::string& text, size_t* i, uint32_t* cp) {
    const size_t at = *i;
    const unsigned char c = static_cast<unsigned char>(text[at]);
    size_t extra;
    uint32_t v, min;
    if (c < 0x80) {
        extra = 0, v = c, min = 0;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1, v = c & 0x1Fu, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, v = c & 0x0Fu, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, v = c & 0x07u, min = 0x10000;
    } else {
        return false;
    }
    if (text.size() - at <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
        const unsigned char t = static_cast<unsigned char>(text[at + k]);
        if ((t & 0xC0) != 0x80) return false;
        v = (v << 6) | (t & 0x3Fu);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    *i = at + extra + 1;
    *cp = v;
    return true;
}

// ISO 8859-1 bytes are the code points U+0000..U+00FF.
std::string FromLatin1(const BYTE* bytes, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) AppendUtf8(out, bytes[i]);
    return out;
}

// Decodes through iconv; each byte that starts no character of the set
// becomes U+FFFD and decoding goes on behind it.
std::string Decode(Conversion& cv, const BYTE* bytes, size_t n, bool* replaced) {
    std::string out;
    const char* in = reinterpret_cast<const char*>(bytes);
    size_t left = n;
    while (left > 0) {
        char chunk[256];
        char* o = chunk;
        size_t room = sizeof chunk;
        const int error = cv.Step(&in, &left, &o, &room);
        out.append(chunk, static_cast<size_t>(o - chunk));
        if (error == 0 || error == E2BIG) continue;
        out += kReplacement;
        *replaced = true;
        if (error != EILSEQ) break;  // EINVAL: the field ends inside a character
        ++in;
        --left;
        cv.Reset();
    }
    return out;
}

// Without the C library's conversion for the set: ASCII as it is, every
// other byte U+FFFD.
std::string AsciiOnly(const BYTE* bytes, size_t n, bool* replaced) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (bytes[i] < 0x80) {
            out += static_cast<char>(bytes[i]);
        } else {
            out += kReplacement;
            *replaced = true;
        }
    }
    return out;
}

std::string Hex2(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

std::string CodePointName(uint32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

// ASCII base letters of U+0100..U+017F (Latin Extended-A), '?' where a
// letter has none of one character.
const char kLatinExtendedA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUu"
    "UuUuWwYyYZzZzZzs";
static_assert(sizeof kLatinExtendedA - 1 == 0x80, "one letter per code point of U+0100..U+017F");

// The ASCII letters of U+00C0..U+00FF.
const char* const kLatin1Letters[0x40] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",  // U+00C0
    "D", "N", "O", "O", "O", "O", "O",  "x", "O", "U", "U", "U", "U", "Y", "TH", "ss",  // U+00D0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",  // U+00E0
    "d", "n", "o", "o", "o", "o", "o",  "?", "o", "u", "u", "u", "u", "y", "th", "y",  // U+00F0
};

// The ASCII a label shows for one code point.
std::string Transliterate(uint32_t cp) {
    if (cp >= 0x20 && cp < 0x7F) return std::string(1, static_cast<char>(cp));
    if (cp >= 0xC0 && cp <= 0xFF) return kLatin1Letters[cp - 0xC0];
    if (cp >= 0x100 && cp <= 0x17F) {
        switch (cp) {
            case 0x132: return "IJ";
            case 0x133: return "ij";
            case 0x152: return "OE";
            case 0x153: return "oe";
            default: return std::string(1, kLatinExtendedA[cp - 0x100]);
        }
    }
    if (cp >= 0xFF01 && cp <= 0xFF5E) return std::string(1, static_cast<char>(cp - 0xFEE0));  // full-width forms
    switch (cp) {
        case 0xA0:
        case 0x3000: return " ";
        case 0xAB:
        case 0xBB:
        case 0x201C:
        case 0x201D: return "\"";
        case 0x2018:
        case 0x2019: return "'";
        case 0x2010:
        case 0x2013:
        case 0x2014: return "-";
        case 0x2026: return "...";
        default: return "?";
    }
}

}  // namespace

const char* CharacterSetName(BYTE chrs) {
    switch (chrs) {
        case kChrsAscii: return "ASCII";
        case kChrsLatin1: return "ISO 8859-1";
        case kChrsShiftJis: return "Shift-JIS";
        default: return nullptr;
    }
}

DecodedText DecodeText(BYTE chrs, const BYTE* bytes, size_t size) {
    DecodedText text;
    if (!bytes) return text;
    const size_t n = static_cast<size_t>(std::find(bytes, bytes + size, BYTE{0}) - bytes);
    const char* name = IconvName(chrs);
    if (!name) {
        text.unknownSet = true;
        text.utf8 = FromLatin1(bytes, n);
    } else if (chrs == kChrsLatin1) {
        text.utf8 = FromLatin1(bytes, n);
    } else {
        Conversion cv("UTF-8", name);
        text.utf8 = cv.Ok() ? Decode(cv, bytes, n, &text.replaced) : AsciiOnly(bytes, n, &text.replaced);
    }
    while (!text.utf8.empty() && text.utf8.back() == ' ') text.utf8.pop_back();
    return text;
}

bool EncodeText(BYTE chrs, const std::string& utf8, size_t maxBytes, std::string* out, std::string* why) {
    const char* set = CharacterSetName(chrs);
    if (!set) {
        *why = "The disc's texts are in a character set this library does not know (CHRS " + Hex2(chrs) +
               "), so no text can be written in it.";
        return false;
    }
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        if (!NextCodePoint(utf8, &i, &cp)) {
            *why = "The text is not valid UTF-8 (at byte " + std::to_string(i) + ").";
            return false;
        }
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            *why = "The text holds a control character (" + CodePointName(cp) + "), which a title cannot hold.";
            return false;
        }
    }
    std::string encoded;
    Conversion cv(IconvName(chrs), "UTF-8");
    if (!cv.Ok()) {
        *why = std::string("This system cannot convert text to ") + set + ", the disc's character set.";
        return false;
    }
    const char* in = utf8.data();
    size_t left = utf8.size();
    while (left > 0) {
        char chunk[256];
        char* o = chunk;
        size_t room = sizeof chunk;
        const int error = cv.Step(&in, &left, &o, &room);
        encoded.append(chunk, static_cast<size_t>(o - chunk));
        if (error == 0 || error == E2BIG) continue;
        // The character iconv stopped at (the text is valid UTF-8, so one
        // starts there).
        size_t at = static_cast<size_t>(in - utf8.data()), next = at;
        uint32_t cp = 0;
        if (error == EILSEQ && NextCodePoint(utf8, &next, &cp)) {
            *why = "'" + utf8.substr(at, next - at) + "' (" + CodePointName(cp) + ") cannot be written in " + set +
                   ", the disc's character set.";
        } else {
            *why = std::string("The text cannot be written in ") + set + ", the disc's character set.";
        }
        return false;
    }
    if (encoded.size() > maxBytes) {
        *why = "The text takes " + std::to_string(encoded.size()) + " bytes in " + set + "; at most " +
               std::to_string(maxBytes) + " fit.";
        return false;
    }
    *out = std::move(encoded);
    return true;
}

std::string AsciiLabel(const std::string& utf8, size_t maxBytes) {
    std::string label;
    bool readable = false;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        std::string ascii = "?";
        if (NextCodePoint(utf8, &i, &cp)) {
            ascii = Transliterate(cp);
        } else {
            ++i;  // a byte that is no UTF-8
        }
        if (label.size() + ascii.size() > maxBytes) break;
        for (char c : ascii) readable = readable || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        label += ascii;
    }
    while (!label.empty() && label.back() == ' ') label.pop_back();
    return readable ? label : std::string();
}

PrimaryText DecodePrimaryText(BYTE chrs, const BYTE block[kPrimaryTextSize]) {
    PrimaryText text;
    if (!block) return text;
    text.label = DecodeText(chrs, block, kPrimaryTextHalf);
    text.title = DecodeText(chrs, block + kPrimaryTextHalf, kPrimaryTextHalf);
    return text;
}

bool EncodePrimaryText(BYTE chrs, const std::string& title, BYTE block[kPrimaryTextSize], std::string* why) {
    std::string encoded;
    if (!block) return *why = "No text block was given.", false;
    if (!EncodeText(chrs, title, kPrimaryTextHalf - 1, &encoded, why)) return false;
    const std::string label = AsciiLabel(title, kPrimaryTextHalf - 1);
    std::memset(block, 0, kPrimaryTextSize);
    std::memcpy(block, label.data(), label.size());
    std::memcpy(block + kPrimaryTextHalf, encoded.data(), encoded.size());
    return true;
}

}  // namespace vrm
