// Texts of the management file in the disc's character set, decoded to
// UTF-8 and encoded from it. The set is named by a CHRS code: VMGI_MAT's
// for the primary texts of programs and playlists, TXTDT_MG's for its item
// texts. Codes met on discs: 0x00 ASCII, 0x11 ISO 8859-1, 0x12 Shift-JIS
// (read and written as its common superset, code page 932, where 0x5C and
// 0x7E stay '\' and '~').
//
// The 128-byte primary text PRM_TXTI is two 64-byte halves: recorders keep
// a short ASCII label in the first and the title in the second, each in
// the disc's set, NUL-terminated unless it fills its half, the rest zeros
// or spaces.
//
// Conversion goes through the C library's iconv; each call opens and closes
// its own conversion, so nothing is shared between calls or threads.
#ifndef VRMANGR_IO_TEXTCODEC_H
#define VRMANGR_IO_TEXTCODEC_H

#include <cstddef>
#include <string>

#include "platform/types.h"

namespace vrm {

enum : BYTE { kChrsAscii = 0x00, kChrsLatin1 = 0x11, kChrsShiftJis = 0x12 };

// "ASCII", "ISO 8859-1" or "Shift-JIS"; nullptr for a code this library
// does not know.
const char* CharacterSetName(BYTE chrs);

struct DecodedText {
    std::string utf8;  // trailing spaces and NULs trimmed; empty for none
    bool unknownSet = false;  // CHRS names no known set: the bytes were read as ISO 8859-1
    bool replaced = false;  // bytes that are no character of the set became U+FFFD
};

// Decodes a text field of `size` bytes (a 64-byte half, an item text): up
// to its first NUL, or all of it when it has none. Never fails: a byte that
// starts no character of the set, or a character cut off by the field's
// end, becomes U+FFFD.
DecodedText DecodeText(BYTE chrs, const BYTE* bytes, size_t size);

// Encodes UTF-8 text into the set, at most maxBytes bytes (the field's NUL
// not counted). False, with one sentence in *why, for text that is not
// UTF-8, holds a control character, has a character the set lacks or is
// longer than maxBytes in the set, and for a set this library does not know.
bool EncodeText(BYTE chrs, const std::string& utf8, size_t maxBytes, std::string* out, std::string* why);

// A readable ASCII label for a title of UTF-8 text, at most maxBytes bytes:
// accented Latin letters lose their accents, full-width forms become their
// ASCII letters, typographic quotes and dashes plain ones, anything else
// '?'. Empty when not one ASCII letter or digit would remain (a title in
// Japanese script, say): then the half holds no label at all.
std::string AsciiLabel(const std::string& utf8, size_t maxBytes);

// ---- PRM_TXTI ----

constexpr size_t kPrimaryTextSize = 128;
constexpr size_t kPrimaryTextHalf = 64;

struct PrimaryText {
    DecodedText label;  // the first half
    DecodedText title;  // the second half
};

PrimaryText DecodePrimaryText(BYTE chrs, const BYTE block[kPrimaryTextSize]);

// The block recorders write for a title: the title in the set in the
// second half, AsciiLabel of it in the first, zeros elsewhere. An empty
// title gives 128 zeros. False, with *why and block untouched, when
// EncodeText refuses the title (at most 63 bytes in the set).
bool EncodePrimaryText(BYTE chrs, const std::string& title, BYTE block[kPrimaryTextSize], std::string* why);

}  // namespace vrm

#endif
