// `vrmangr info`: the disc, its original chain and its playlists, as text or
// as JSON.
#include "info.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>

namespace tool {

bool ZoneMinutes(WORD zone, int* minutes) {
    // 0x1000 plus the offset from UTC in minutes, -12:00 to +14:00.
    const int m = static_cast<int>(zone) - 0x1000;
    if (m < -12 * 60 || m > 14 * 60) return false;
    *minutes = m;
    return true;
}

bool DiscInstant(const DWORD date[6], WORD zone, time_t* out) {
    if (date[0] == 0) return false;
    tm parts{};
    parts.tm_year = static_cast<int>(date[0]) - 1900;
    parts.tm_mon = static_cast<int>(date[1]) - 1;
    parts.tm_mday = static_cast<int>(date[2]);
    parts.tm_hour = static_cast<int>(date[3]);
    parts.tm_min = static_cast<int>(date[4]);
    parts.tm_sec = static_cast<int>(date[5]);
    int minutes = 0;
    *out = timegm(&parts);
    if (ZoneMinutes(zone, &minutes)) *out -= static_cast<time_t>(minutes) * 60;
    return true;
}

WORD DiscZone(void* handle) {
    VR_DISC_FACTS facts{};
    return fnVR_GetDiscFacts(handle, &facts) ? facts.wTimeZone : 0;
}

namespace {

// One video frame in 27 MHz ticks: 625/50 (a frame rate of 25000 in seg)
// at 25 frames/s, 525/60 at 30000/1001 frames/s.
Ticks TicksPerFrame(DWORD frameRate) { return frameRate == 25000 ? 1080000 : 900900; }

// The length of a segment or cell: its frames for movie cells, the
// library's duration for still pictures (which have a set still time).
Ticks Length(const seg& s) {
    if (s.dwCellType == 0 && s.dwFrameRate != 0) return Ticks{s.dwFrameNs} * TicksPerFrame(s.dwFrameRate);
    return Ticks{s.dwDuration} * 27000;
}

// The continuation parts of entry point ep (of the chain: playlist pl, or
// the original chain for 0), as the extraction follows them.
std::vector<seg> Continuation(void* h, int pl, int ep) {
    std::vector<seg> parts;
    const DWORD cells = pl ? fnVR_GetPLCellNsofEntryPt(h, pl, ep) : fnVR_GetOPGCCellNsofEntryPt(h, ep);
    if (cells < 2) return parts;
    std::vector<seg> records(cells);
    for (size_t i = 0; i + 1 < records.size(); ++i) records[i].pNext = &records[i + 1];
    if (!(pl ? fnVR_GetPLEntryPtInfo(h, pl, ep, &records[0], 1) : fnVR_GetOPGCEntryPtInfo(h, ep, &records[0], 1)))
        return parts;
    for (const seg* s = &records[0]; s->dwHasNext && s->pNext; s = s->pNext) {
        parts.push_back(*s->pNext);
        parts.back().pNext = nullptr;
    }
    return parts;
}

// Fills one cell: its own record, then its entry points, numbered from
// *epNo on and timed from the cell's start.
Cell WalkCell(int number, Ticks start, int* epNo, const std::function<int(seg*)>& cellQuery,
              const std::function<int(int, seg*)>& segmentQuery,
              const std::function<std::vector<seg>(int)>& continuation) {
    Cell cell;
    cell.number = number;
    cell.start = start;
    cellQuery(&cell.s);
    cell.duration = Length(cell.s);
    // A movie cell may begin before its first entry point (segment 0); a
    // still cell's first entry point is its first picture.
    Ticks offset = 0;
    seg before{};
    if (cell.s.dwCellType == 0 && segmentQuery(0, &before)) offset = Length(before);
    for (DWORD ep = 1; ep <= cell.s.dwEntryPtNs; ++ep) {
        Segment segment;
        segment.number = ++*epNo;
        segment.start = start + offset;
        segmentQuery(static_cast<int>(ep), &segment.s);
        segment.duration = Length(segment.s);
        if (ep == cell.s.dwEntryPtNs) segment.continuation = continuation(segment.number);
        offset += segment.duration;
        cell.entryPoints.push_back(segment);
    }
    return cell;
}

// The disc keeps wall-clock times of the zone its TM_ZONE names: shown
// with that zone's offset ("2019-10-30 22:32:07 +09:00", ISO 8601
// "2019-10-30T22:32:07+09:00"), or as they are where the zone is unknown.
std::string Date(const DVDPGCINFO& i, bool iso, WORD zone) {
    if (i.dwYear == 0) return "";
    char text[64];
    std::snprintf(text, sizeof text, iso ? "%04u-%02u-%02uT%02u:%02u:%02u" : "%04u-%02u-%02u %02u:%02u:%02u",
                  static_cast<unsigned>(i.dwYear), static_cast<unsigned>(i.dwMonth), static_cast<unsigned>(i.dwDay),
                  static_cast<unsigned>(i.dwHour), static_cast<unsigned>(i.dwMinute),
                  static_cast<unsigned>(i.dwSecond));
    int minutes = 0;
    if (!ZoneMinutes(zone, &minutes)) return std::string(text) + (iso ? "" : " (zone unknown)");
    const int a = minutes < 0 ? -minutes : minutes;
    char offset[16];
    std::snprintf(offset, sizeof offset, "%s%c%02d:%02d", iso ? "" : " ", minutes < 0 ? '-' : '+', a / 60, a % 60);
    return text + std::string(offset);
}

const char* ContentType(DWORD type) {
    switch (type) {
        case 0: return "movie";
        case 1: return "still";
        default: return "mixed";
    }
}

const char* CellType(const seg& s) { return s.dwCellType == 0 ? "movie" : "still"; }

const char* AudioCoding(const seg& s) {
    switch (s.dwAudioCoding) {
        case 0: return "AC-3";
        case 2: return s.dwAudioLayer == 2 ? "MPEG-1 audio layer II" : "MPEG-1 audio";
        case 3: return "MPEG-2 audio";
        case 4: return "LPCM";
        default: return "unknown";
    }
}

// How the channels are used: two independent channels (1+1) are dual mono;
// more than two, multichannel (AC-3 5.1 is 6 channels).
const char* AudioMode(const seg& s) {
    switch (s.dwAudioMode) {
        case 0: return s.dwChannels > 2 ? "multichannel" : "stereo";
        case 2: return "dual mono";
        case 3: return "mono";
        default: return "other";
    }
}

const char* TvSystem(const seg& s) { return s.dwFrameRate == 25000 ? "625/50" : "525/60"; }

std::string FrameRate(const seg& s) { return s.dwFrameRate == 25000 ? "25" : "29.97"; }

std::string TimeZone(WORD raw) {
    int minutes = 0;
    if (!ZoneMinutes(raw, &minutes)) {
        char text[32];
        std::snprintf(text, sizeof text, "unknown (0x%04X)", raw);
        return text;
    }
    const int a = minutes < 0 ? -minutes : minutes;
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
    return text;
}

// ---- JSON ----

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// A small writer: two-space indentation, one member per line, arrays of
// objects opened with Begin*, scalars with Member.
class Json {
public:
    void BeginObject(const char* key = nullptr) { Open(key, '{'); }
    void EndObject() { Close('}'); }
    void BeginArray(const char* key) { Open(key, '['); }
    void EndArray() { Close(']'); }
    void Member(const char* key, const std::string& value) { Raw(key, Quote(value)); }
    void Member(const char* key, const char* value) { Raw(key, Quote(value)); }
    void Member(const char* key, long long value) { Raw(key, std::to_string(value)); }
    void Null(const char* key) { Raw(key, "null"); }
    void Flag(const char* key, bool value) { Raw(key, value ? "true" : "false"); }
    void Finish() { std::fputs("\n", stdout); }

private:
    void Prefix(const char* key) {
        if (!m_first.empty()) {
            std::fputs(m_first.back() ? "\n" : ",\n", stdout);
            m_first.back() = false;
        }
        std::fputs(std::string(2 * m_first.size(), ' ').c_str(), stdout);
        if (key) std::printf("%s: ", Quote(key).c_str());
    }
    void Raw(const char* key, const std::string& value) {
        Prefix(key);
        std::fputs(value.c_str(), stdout);
    }
    void Open(const char* key, char bracket) {
        Prefix(key);
        std::fputc(bracket, stdout);
        m_first.push_back(true);
    }
    void Close(char bracket) {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty) std::printf("\n%s", std::string(2 * m_first.size(), ' ').c_str());
        std::fputc(bracket, stdout);
    }
    std::vector<bool> m_first;
};

long long Ms(Ticks t) { return (t + 13500) / 27000; }

void JsonStreams(Json& j, const seg& s) {
    j.BeginObject("video");
    j.Member("coding", s.dwMpegVersion == 2 ? "MPEG-2" : "MPEG-1");
    j.Member("width", s.dwWidth);
    j.Member("height", s.dwHeight);
    j.Member("aspect", s.dwWide ? "16:9" : "4:3");
    j.Member("frames_per_1000s", s.dwFrameRate);
    j.Member("tv_system", TvSystem(s));
    j.Member("bit_rate", s.dwVideoBitrate);
    j.EndObject();
    if (s.dwAST_Ns == 0) {
        j.Null("audio");
    } else {
        j.BeginObject("audio");
        j.Member("streams", s.dwAST_Ns);
        j.Member("coding", AudioCoding(s));
        j.Member("sample_rate", s.dwSampleRate);
        j.Member("channels", s.dwChannels);
        j.Member("mode", AudioMode(s));
        j.Member("bit_rate_kbit", s.dwAudioBitrate);
        j.EndObject();
    }
}

void JsonRange(Json& j, const seg& s) {
    j.Member("file", BaseName(s.szFileName));
    j.Member("start_byte", s.llStartPos);
    j.Member("end_byte", s.llEndPos);
}

void JsonCells(Json& j, const std::vector<Cell>& cells) {
    j.BeginArray("cells");
    for (const Cell& c : cells) {
        j.BeginObject();
        j.Member("number", c.number);
        j.Member("type", CellType(c.s));
        j.Member(c.s.dwCellType == 0 ? "vob" : "vog", c.s.dwSRPN);
        j.Member("start_ms", Ms(c.start));
        j.Member("duration_ms", Ms(c.duration));
        j.Member("frames", c.s.dwFrameNs);
        JsonRange(j, c.s);
        JsonStreams(j, c.s);
        j.BeginArray("entry_points");
        for (const Segment& e : c.entryPoints) {
            j.BeginObject();
            j.Member("number", e.number);
            j.Member("start_ms", Ms(e.start));
            j.Member("duration_ms", Ms(e.duration));
            j.Member("frames", e.s.dwFrameNs);
            JsonRange(j, e.s);
            j.BeginArray("continuation");
            for (size_t k = 0; k < e.continuation.size(); ++k) {
                j.BeginObject();
                j.Member("cell", c.number + static_cast<int>(k) + 1);
                JsonRange(j, e.continuation[k]);
                j.EndObject();
            }
            j.EndArray();
            j.EndObject();
        }
        j.EndArray();
        j.EndObject();
    }
    j.EndArray();
}

// What of the bytes [.., end) of the segment's stream file is not there: ""
// when all is, else a parenthesis that says where the file ends.
std::string MissingNote(const DiscInfo& d, const seg& s) {
    if (!s.szFileName[0]) return "";
    const long long size = BaseName(s.szFileName) == kStillVro ? d.stillBytes : d.movieBytes;
    if (size < 0) return " (missing: the file is not there)";
    if (size >= s.llEndPos) return "";
    return " (missing behind byte " + std::to_string(size) + ", where the file ends)";
}

void TextCells(const DiscInfo& d, const std::vector<Cell>& cells) {
    for (const Cell& c : cells) {
        std::printf("  Cell %d: %s %s %u, %s +%s", c.number, CellType(c.s), c.s.dwCellType == 0 ? "VOB" : "VOG",
                    static_cast<unsigned>(c.s.dwSRPN), FormatTime(c.start).c_str(), FormatTime(c.duration).c_str());
        if (c.s.dwCellType == 0) {
            std::printf(" (%s)", Count(c.s.dwFrameNs, "frame", "frames").c_str());
        } else {
            std::printf(" (%s)", Count(c.s.dwFrameNs, "picture", "pictures").c_str());
        }
        const std::string missing = MissingNote(d, c.s);
        std::printf(", %s bytes %" PRId64 "..%" PRId64 "%s\n", BaseName(c.s.szFileName).c_str(), c.s.llStartPos,
                    c.s.llEndPos, missing.c_str());
        // An MPEG-1 sequence header's bit_rate_value 0x3FFFF marks a
        // variable bit rate, not 104,857,200 bit/s.
        const bool variable = c.s.dwMpegVersion != 2 && c.s.dwVideoBitrate == 0x3FFFFu * 400;
        std::printf("    video: %s %ux%u %s, %s frames/s (%s), %s\n", c.s.dwMpegVersion == 2 ? "MPEG-2" : "MPEG-1",
                    static_cast<unsigned>(c.s.dwWidth), static_cast<unsigned>(c.s.dwHeight),
                    c.s.dwWide ? "16:9" : "4:3", FrameRate(c.s).c_str(), TvSystem(c.s),
                    variable ? "variable bit rate" : (std::to_string(c.s.dwVideoBitrate) + " bit/s").c_str());
        if (c.s.dwAST_Ns == 0) {
            std::printf("    audio: none\n");
        } else {
            std::printf("    audio: %s, %s, %u Hz, %s, %s, %u kbit/s\n",
                        Count(c.s.dwAST_Ns, "stream", "streams").c_str(), AudioCoding(c.s),
                        static_cast<unsigned>(c.s.dwSampleRate), Count(c.s.dwChannels, "channel", "channels").c_str(),
                        AudioMode(c.s), static_cast<unsigned>(c.s.dwAudioBitrate));
        }
        for (const Segment& e : c.entryPoints) {
            const auto note = [&d](const seg& s) { return !MissingNote(d, s).empty() ? " (missing)" : ""; };
            std::printf("    Entry point %d: %s +%s (%s), bytes %" PRId64 "..%" PRId64 "%s\n", e.number,
                        FormatTime(e.start).c_str(), FormatTime(e.duration).c_str(),
                        Count(e.s.dwFrameNs, c.s.dwCellType == 0 ? "frame" : "picture",
                              c.s.dwCellType == 0 ? "frames" : "pictures")
                            .c_str(),
                        e.s.llStartPos, e.s.llEndPos, note(e.s));
            for (size_t k = 0; k < e.continuation.size(); ++k) {
                std::printf("      runs on into cell %d, bytes %" PRId64 "..%" PRId64 "%s\n",
                            c.number + static_cast<int>(k) + 1, e.continuation[k].llStartPos,
                            e.continuation[k].llEndPos, note(e.continuation[k]));
            }
        }
    }
}

// `title "..."`, then `label "..."` when the label says something the
// title does not, then `item text "..."` when there is one; `no title` when
// there is no text.
// Control characters (a disc's text read in the wrong set has them) are
// shown as '?'.
std::string Titles(const std::string& label, const std::string& title, const std::string& item,
                   const std::string& itemData) {
    const auto printable = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            out += c < 0x20 || c == 0x7F || c1 ? '?' : text[i];
            if (c1) ++i;
        }
        return out;
    };
    std::string out = title.empty() ? "" : "title \"" + printable(title) + "\"";
    if (!label.empty() && label != title) {
        out += (out.empty() ? "" : ", ") + std::string("label \"") + printable(label) + "\"";
    }
    if (!item.empty()) out += (out.empty() ? "" : ", ") + std::string("item text \"") + printable(item) + "\"";
    if (!itemData.empty()) {
        out += (out.empty() ? "" : ", ") + std::string("maker data as item text (") +
               Count(static_cast<long long>(itemData.size() / 2), "byte", "bytes") + ")";
    }
    return out.empty() ? "no title" : out;
}

// The 128 bytes of a text field as lower-case hex.
std::string Hex(const char* bytes, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

// Whether decoded text reads as text: no byte the set lacks (U+FFFD), no
// control character (C0, DEL, C1).
bool ReadsAsText(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) return false;
        if (utf8.compare(i, 3, "\xEF\xBF\xBD") == 0) return false;
    }
    return true;
}

// An item text that does not read as text is a maker's binary record
// (some recorders keep theirs in the text data manager): shown as its
// bytes, not as text.
void ItemOrData(DWORD (*bytes)(void*, int, BYTE*, DWORD), void* h, int n, std::string* item, std::string* data) {
    std::string raw(bytes(h, n, nullptr, 0), '\0');
    if (raw.empty()) return;
    bytes(h, n, reinterpret_cast<BYTE*>(&raw[0]), static_cast<DWORD>(raw.size()));
    // A text ends at its first NUL, padded with NULs or spaces; a record
    // goes on behind one, or holds control bytes.
    std::string body = raw.substr(0, raw.find_last_not_of(std::string("\0 ", 2)) + 1);
    const bool binary = std::any_of(body.begin(), body.end(), [](char ch) {
        const unsigned char c = static_cast<unsigned char>(ch);
        return c < 0x20 || c == 0x7F;
    });
    if (!binary && ReadsAsText(*item)) return;
    *data = Hex(raw.data(), raw.size());
    item->clear();
}

// A text through one of the library's getters: its size first, then the
// text.
std::string GetText(DWORD (*get)(void*, int, char*, DWORD), void* h, int n) {
    const DWORD size = get(h, n, nullptr, 0);
    if (size < 2) return "";
    std::string text(size, '\0');
    if (get(h, n, &text[0], size) != size) return "";
    text.pop_back();
    return text;
}

}  // namespace

std::string FormatTime(Ticks t) {
    const long long ms = Ms(t < 0 ? 0 : t);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

namespace {

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

std::string PrimaryText(const char* text128) {
    const std::string raw(text128, strnlen(text128, 64));
    if (IsUtf8(raw)) return raw;
    // Anything else is read as Latin-1.
    std::string out;
    for (unsigned char c : raw) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string ProgramText(void* handle, int n, bool title) {
    return GetText(title ? fnVR_GetProgramTitle : fnVR_GetProgramLabel, handle, n);
}

std::string PlaylistText(void* handle, int n, bool title) {
    return GetText(title ? fnVR_GetPLTitle : fnVR_GetPLLabel, handle, n);
}

DiscInfo Describe(Disc& disc) {
    DiscInfo d = Describe(disc.Handle());
    d.movieBytes = disc.FileSize(kMovieVro);
    d.stillBytes = disc.FileSize(kStillVro);
    d.usedBytes = disc.UsedBytes();
    return d;
}

DiscInfo Describe(void* h) {
    DiscInfo d;

    VR_DISC_FACTS facts{};
    if (fnVR_GetDiscFacts(h, &facts)) {
        d.identifier = facts.szIdentifier;
        d.version = facts.wVersion;
        d.timeZone = facts.wTimeZone;
        d.stillTime = facts.cStillTime;
        d.characterSet = facts.cCharacterSet;
    }
    VR_CHARACTER_SET set{};
    if (fnVR_GetCharacterSet(h, &set)) {
        d.characterSetName = set.szName;
        d.characterSetKnown = set.cKnown != 0;
    }
    fnVR_GetProtection(h, 0, &d.protection);

    DVDPGCINFO counts{};
    fnVR_GetOPGCInfo(h, &d.original, 2);
    if (fnVR_GetOPGCInfo(h, &counts, 1)) d.originalCells = static_cast<int>(counts.dwCount);
    if (fnVR_GetOPGCInfo(h, &counts, 0)) d.originalEntryPoints = static_cast<int>(counts.dwCount);

    Ticks position = 0;
    int cellNo = 0;
    int epNo = 0;
    for (DWORD pg = 1; pg <= d.original.dwCount; ++pg) {
        const int p = static_cast<int>(pg);
        Program program;
        program.number = p;
        DVDPGINFO pi{};
        fnVR_GetOPGCPGInfo(h, p, &pi, 1);
        std::memcpy(&program.info, &pi, sizeof program.info);
        program.label = ProgramText(h, p, false);
        program.title = ProgramText(h, p, true);
        program.item = GetText(fnVR_GetProgramItemText, h, p);
        ItemOrData(fnVR_GetProgramItemBytes, h, p, &program.item, &program.itemData);
        VR_PROTECTION protection{};
        program.protectedContent = fnVR_GetProtection(h, p, &protection) && protection.cProtected;
        program.start = position;
        for (DWORD c = 1; c <= pi.dwCount; ++c) {
            const int cell = static_cast<int>(c);
            program.cells.push_back(WalkCell(
                ++cellNo, position, &epNo, [&](seg* s) { return fnVR_GetOPGCCellInfo(h, p, cell, s, 0, 0); },
                [&](int ep, seg* s) { return fnVR_GetOPGCEntryPtInfo(h, p, cell, ep, s, 0); },
                [&](int ep) { return Continuation(h, 0, ep); }));
            position += program.cells.back().duration;
        }
        program.duration = position - program.start;
        d.programs.push_back(program);
    }
    d.originalDuration = position;

    const int playlists = fnVR_GetPLCount(h);
    for (int pl = 1; pl <= playlists; ++pl) {
        Playlist list;
        list.number = pl;
        fnVR_GetPLInfo(h, pl, &list.info, 1);
        list.label = PlaylistText(h, pl, false);
        list.title = PlaylistText(h, pl, true);
        list.item = GetText(fnVR_GetPLItemText, h, pl);
        ItemOrData(fnVR_GetPLItemBytes, h, pl, &list.item, &list.itemData);
        Ticks at = 0;
        int plEp = 0;
        for (DWORD c = 1; c <= list.info.dwCount; ++c) {
            const int cell = static_cast<int>(c);
            list.cells.push_back(WalkCell(
                cell, at, &plEp, [&](seg* s) { return fnVR_GetPLCellInfo(h, pl, cell, s, 0, 0); },
                [&](int ep, seg* s) { return fnVR_GetPLEntryPtInfo(h, pl, cell, ep, s, 0); },
                [&](int ep) { return Continuation(h, pl, ep); }));
            at += list.cells.back().duration;
        }
        list.duration = at;
        d.playlists.push_back(list);
    }
    return d;
}

void PrintText(const DiscInfo& d, const std::string& dir) {
    std::printf("Disc %s\n", dir.c_str());
    std::printf("  identifier:   %s, version 0x%04X\n", d.identifier.c_str(), d.version);
    std::printf("  time zone:    %s\n", TimeZone(d.timeZone).c_str());
    std::printf("  still time:   %u s\n", d.stillTime);
    if (d.characterSetKnown) {
        std::printf("  texts:        %s (character set 0x%02X)\n", d.characterSetName.c_str(), d.characterSet);
    } else {
        std::printf("  texts:        character set 0x%02X, which vrmangr does not know: shown as ISO 8859-1\n",
                    d.characterSet);
    }
    std::printf("  stream files: %s %s, %s %s\n", kMovieVro,
                d.movieBytes < 0 ? "missing" : (std::to_string(d.movieBytes) + " bytes").c_str(), kStillVro,
                d.stillBytes < 0 ? "missing" : (std::to_string(d.stillBytes) + " bytes").c_str());
    if (d.mediumBytes) {
        const double share = 100.0 * static_cast<double>(d.usedBytes) / static_cast<double>(d.mediumBytes);
        std::printf("  medium:       %s of %s used (%.1f %%), %s free\n", HumanBytes(d.usedBytes).c_str(),
                    HumanBytes(d.mediumBytes).c_str(), share,
                    d.usedBytes < d.mediumBytes ? HumanBytes(d.mediumBytes - d.usedBytes).c_str() : "nothing");
    }
    if (d.protection.cProtected || d.protection.dwPrograms) {
        std::printf("  protection:   CPRM (CPSI 0x%04X, %s), %s protected\n", d.protection.wCPSI,
                    d.protection.cTitleKey ? "title key recorded" : "no title key",
                    Count(d.protection.dwPrograms, "program", "programs").c_str());
        std::printf(
            "                Protected recordings cannot be played without a licensed key; vrmangr keeps\n"
            "                and copies them as they are and does not decrypt them.\n");
    }
    std::printf("\nOriginal chain: %s, %s, %s, %s\n",
                Count(static_cast<long>(d.programs.size()), "program", "programs").c_str(),
                Count(d.originalCells, "cell", "cells").c_str(),
                Count(d.originalEntryPoints, "entry point", "entry points").c_str(),
                FormatTime(d.originalDuration).c_str());
    for (const Program& p : d.programs) {
        const std::string date = Date(p.info, false, d.timeZone);
        std::printf("\nProgram %d: %s%s, recorded %s, %s, %s +%s\n", p.number, ContentType(p.info.dwContentTy),
                    p.protectedContent ? ", protected (CPRM)" : "", date.empty() ? "unknown" : date.c_str(),
                    Titles(p.label, p.title, p.item, p.itemData).c_str(), FormatTime(p.start).c_str(),
                    FormatTime(p.duration).c_str());
        TextCells(d, p.cells);
    }
    std::printf("\nPlaylists: %zu\n", d.playlists.size());
    for (const Playlist& l : d.playlists) {
        const std::string date = Date(l.info, false, d.timeZone);
        std::printf("\nPlaylist %d: %s, %s, created %s, %s, %s\n", l.number,
                    Titles(l.label, l.title, l.item, l.itemData).c_str(), ContentType(l.info.dwContentTy),
                    date.empty() ? "unknown" : date.c_str(),
                    Count(static_cast<long>(l.cells.size()), "cell", "cells").c_str(), FormatTime(l.duration).c_str());
        TextCells(d, l.cells);
    }
}

void PrintJson(const DiscInfo& d) {
    Json j;
    j.BeginObject();
    j.Member("format", "vrmangr-info");
    j.Member("format_version", 1);
    j.BeginObject("disc");
    j.Member("identifier", d.identifier);
    j.Member("version", d.version);
    j.Member("time_zone", d.timeZone);
    j.Member("time_zone_text", TimeZone(d.timeZone));
    j.Member("still_time_s", d.stillTime);
    j.Member("character_set", d.characterSet);
    j.Member("character_set_name", d.characterSetName);
    j.Member("movie_stream_bytes", d.movieBytes);
    j.Member("still_stream_bytes", d.stillBytes);
    j.Member("used_bytes", static_cast<long long>(d.usedBytes));
    j.Member("medium_bytes", static_cast<long long>(d.mediumBytes));
    j.BeginObject("copy_protection");
    j.Flag("protected", d.protection.cProtected != 0);
    j.Member("cpsi", d.protection.wCPSI);
    j.Flag("title_key", d.protection.cTitleKey != 0);
    j.Member("protected_programs", d.protection.dwPrograms);
    j.EndObject();
    j.EndObject();
    j.BeginObject("original");
    j.Member("duration_ms", Ms(d.originalDuration));
    j.Member("cells", d.originalCells);
    j.Member("entry_points", d.originalEntryPoints);
    j.BeginArray("programs");
    for (const Program& p : d.programs) {
        j.BeginObject();
        j.Member("number", p.number);
        j.Member("type", ContentType(p.info.dwContentTy));
        const std::string date = Date(p.info, true, d.timeZone);
        if (date.empty()) {
            j.Null("recorded");
        } else {
            j.Member("recorded", date);
        }
        j.Member("text", PrimaryText(p.info.szPrmText));
        j.Member("label", p.label);
        j.Member("title", p.title);
        j.Member("item_text", p.item);
        j.Member("item_data_hex", p.itemData);
        j.Member("text_hex", Hex(p.info.szPrmText, sizeof p.info.szPrmText));
        j.Flag("protected", p.protectedContent);
        j.Member("start_ms", Ms(p.start));
        j.Member("duration_ms", Ms(p.duration));
        JsonCells(j, p.cells);
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    j.BeginArray("playlists");
    for (const Playlist& l : d.playlists) {
        j.BeginObject();
        j.Member("number", l.number);
        j.Member("type", ContentType(l.info.dwContentTy));
        const std::string date = Date(l.info, true, d.timeZone);
        if (date.empty()) {
            j.Null("created");
        } else {
            j.Member("created", date);
        }
        j.Member("text", PrimaryText(l.info.szPrmText));
        j.Member("label", l.label);
        j.Member("title", l.title);
        j.Member("item_text", l.item);
        j.Member("item_data_hex", l.itemData);
        j.Member("text_hex", Hex(l.info.szPrmText, sizeof l.info.szPrmText));
        j.Member("duration_ms", Ms(l.duration));
        JsonCells(j, l.cells);
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    j.Finish();
}

int RunInfo(const Args& args) {
    std::vector<std::string> rest, json, debug, maps, media;
    int status = kOk;
    uint64_t medium = 0;
    if (!ParseOptions(args,
                      {{"--json", nullptr, nullptr, &json},
                       {"--debug", nullptr, nullptr, &debug},
                       {"--map", nullptr, "a ddrescue map file", &maps},
                       {"--medium", nullptr, "a medium size", &media}},
                      &rest, &status) ||
        !ParseMediumOption(args, media, &medium, &status))
        return status;
    if (rest.size() != 1) return UsageError(args.command, "expects one disc (a directory, an image or a drive).");
    if (!json.empty() && !debug.empty()) return UsageError(args.command, "takes --json or --debug, not both.");
    Disc disc;
    if (!disc.Open(rest[0], Access::Read, maps.empty() ? "" : maps.back())) return kFailed;
    if (!debug.empty()) {
        // Every field of every record of the tables, by name.
        const DWORD size = fnVR_GetTableDump(disc.Handle(), nullptr, 0);
        std::string text(size, '\0');
        if (!size || fnVR_GetTableDump(disc.Handle(), &text[0], size) != size) {
            return Fail("the tables of " + rest[0] + " cannot be dumped."), kFailed;
        }
        std::fputs(text.c_str(), stdout);
        return kOk;
    }
    DiscInfo d = Describe(disc);
    // A drive's own size, unless --medium names one.
    const uint64_t device = BlockDeviceBytes(rest[0]);
    d.mediumBytes = media.empty() && device ? device : medium;
    if (!json.empty()) {
        PrintJson(d);
    } else {
        PrintText(d, rest[0]);
    }
    return kOk;
}

}  // namespace tool
