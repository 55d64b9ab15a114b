#include "stream/ps_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "stream/CVRO_DATA.h"
#include "stream/vro_common.h"

namespace vrm {

namespace {

constexpr size_t kPack = static_cast<size_t>(kSectorBytes);

bool IsStartCode(const BYTE* p, BYTE code) { return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == code; }

// Length of the pack header at p (start code included), 0 when p holds
// none. mpeg2 tells the kind.
size_t PackHeaderLength(const BYTE* p, size_t avail, bool* mpeg2) {
    if (avail < 12 || !IsStartCode(p, 0xBA)) return 0;
    if ((p[4] & 0xC0) == 0x40) {  // '01': MPEG-2, 14 bytes plus stuffing
        *mpeg2 = true;
        if (avail < 14) return 0;
        return 14 + (p[13] & 7);
    }
    if ((p[4] & 0xF0) == 0x20) {  // '0010': MPEG-1, 12 bytes
        *mpeg2 = false;
        return 12;
    }
    return 0;
}

// Where the packets behind a pack header end when nothing limits them to
// the pack: the offset of the first byte that does not continue them.
size_t PacketsEnd(const BYTE* p, size_t avail, size_t pos) {
    for (;;) {
        if (pos + 4 > avail || p[pos] != 0 || p[pos + 1] != 0 || p[pos + 2] != 1) return pos;
        const BYTE id = p[pos + 3];
        if (id == kStreamEnd) return pos + 4;
        if (id < kSystemHeader || pos + 6 > avail) return pos;
        pos += 6 + ((size_t(p[pos + 4]) << 8) | p[pos + 5]);
    }
}

int64_t Pts(const BYTE* b) {
    return (int64_t((b[0] >> 1) & 7) << 30) | (int64_t(b[1]) << 22) | (int64_t(b[2] >> 1) << 15) |
           (int64_t(b[3]) << 7) | int64_t(b[4] >> 1);
}

}  // namespace

bool ParsePesHeader(BYTE id, const BYTE* d, size_t size, PsPacket* out) {
    out->id = id;
    out->hasPts = false;
    // Streams without the PES header extension: the map, padding, private
    // stream 2 (navigation data), ECM/EMM, DSM-CC, H.222.1 type E, directory.
    if (id == 0xBC || id == kPaddingStream || id == kPrivateStream2 || id == 0xF0 || id == 0xF1 || id == 0xF2 ||
        id == 0xF8 || id == 0xFF) {
        out->data = d;
        out->size = size;
        return true;
    }
    size_t pos = 0;
    if (size >= 3 && (d[0] & 0xC0) == 0x80) {
        // MPEG-2: flags, PES_header_data_length, then the optional fields.
        const size_t headerEnd = 3 + size_t(d[2]);
        if (headerEnd > size) return false;
        if (d[1] & 0x80) {
            if (headerEnd < 8) return false;
            out->hasPts = true;
            out->pts = Pts(d + 3);
        }
        pos = headerEnd;
    } else {
        // MPEG-1: stuffing, the optional STD buffer size, then PTS, PTS and
        // DTS, or the byte 0x0F.
        while (pos < size && d[pos] == 0xFF && pos < 16) ++pos;
        if (pos < size && (d[pos] & 0xC0) == 0x40) pos += 2;
        if (pos >= size) return false;
        if ((d[pos] & 0xF0) == 0x20 || (d[pos] & 0xF0) == 0x30) {
            const size_t len = (d[pos] & 0xF0) == 0x20 ? 5 : 10;
            if (pos + len > size) return false;
            out->hasPts = true;
            out->pts = Pts(d + pos);
            pos += len;
        } else if (d[pos] == 0x0F) {
            pos += 1;
        } else {
            return false;
        }
    }
    out->data = d + pos;
    out->size = size - pos;
    return true;
}

bool PackReader::Open(const char* path, AnalysisError* error) {
    auto fail = [error](DWORD code, const std::string& reason) {
        error->code = code;
        error->reason = reason;
        return false;
    };
    if (!m_file.Open(path, File::Mode::ReadExisting)) return fail(VRO_ERR_SOURCE_OPEN, "cannot be opened for reading");
    const int64_t size = m_file.Size();
    if (size < 0) return fail(VRO_ERR_SOURCE_READ, "cannot be read");
    if (size == 0) return fail(VRO_ERR_NOT_PROGRAM_STREAM, "is empty");
    m_block.reset(new (std::nothrow) BYTE[m_blockBytes]);
    if (!m_block) return fail(VRO_ERR_OUT_OF_MEMORY, "cannot be analysed for lack of memory");

    // Look at the beginning: the first pack, and enough behind it to tell
    // the size of a pack that is not 2048 bytes long.
    const size_t head = static_cast<size_t>(std::min<int64_t>(size, int64_t(m_blockBytes)));
    if (m_file.ReadAt(0, m_block.get(), head) != int64_t(head)) return fail(VRO_ERR_SOURCE_READ, "cannot be read");
    const BYTE* p = m_block.get();
    if (head >= 4 && p[0] == 0x47 && (head <= 188 || p[188] == 0x47)) {
        return fail(VRO_ERR_NOT_PROGRAM_STREAM, "is an MPEG transport stream, not a program stream");
    }
    if (head >= 8 && std::memcmp(p + 4, "ftyp", 4) == 0) {
        return fail(VRO_ERR_NOT_PROGRAM_STREAM, "is an MPEG-4 file, not an MPEG program stream");
    }
    if (head >= 4 && IsStartCode(p, 0xB3)) {
        return fail(VRO_ERR_NOT_PROGRAM_STREAM, "is an MPEG video elementary stream, not a program stream");
    }
    if (head >= 4 && std::memcmp(p, "RIFF", 4) == 0) {
        return fail(VRO_ERR_NOT_PROGRAM_STREAM, "is a RIFF file, not an MPEG program stream");
    }
    bool mpeg2 = false;
    const size_t header = PackHeaderLength(p, head, &mpeg2);
    if (header == 0) return fail(VRO_ERR_NOT_PROGRAM_STREAM, "does not begin with an MPEG pack header");
    const size_t end = PacketsEnd(p, head, header);
    if (end != kPack) {
        bool dummy = false;
        // Packets that fill another pack size up to the next pack header or
        // the end of the file.
        if (end > header && (end == head || (end < head && PackHeaderLength(p + end, head - end, &dummy) != 0))) {
            return fail(VRO_ERR_PACK_SIZE,
                        "has packs of " + std::to_string(end) + " bytes, but only 2048-byte packs can be recorded");
        }
        if (head < kPack) return fail(VRO_ERR_TRUNCATED, "ends inside its first pack");
        return fail(VRO_ERR_BAD_STREAM, "has a malformed first pack");
    }
    // Whole packs, optionally followed by the program end code alone.
    const uint64_t rest = uint64_t(size) % kSectorBytes;
    if (rest != 0) {
        BYTE tail[4] = {0, 0, 0, 0};
        if (rest != 4 || m_file.ReadAt(uint64_t(size) - 4, tail, 4) != 4 || !IsStartCode(tail, kStreamEnd)) {
            return fail(VRO_ERR_TRUNCATED, "ends inside pack " + std::to_string(uint64_t(size) / kSectorBytes) +
                                               ": it is cut short or its packs are not 2048 bytes long");
        }
    }
    m_packs = uint64_t(size) / kSectorBytes;
    m_rangePacks = m_packs;
    m_blockFirst = 0;
    m_blockPacks = static_cast<size_t>(std::min<uint64_t>(m_packs, head / kPack));
    m_nextPack = 0;
    return true;
}

bool PackReader::OpenRange(const char* path, uint64_t first, uint64_t packs, AnalysisError* error) {
    error->code = VRO_ERR_SOURCE_OPEN;
    error->reason = "cannot be opened for reading";
    if (!m_file.Open(path, File::Mode::ReadExisting)) return false;
    const int64_t size = m_file.Size();
    error->code = VRO_ERR_SOURCE_READ;
    error->reason = "cannot be read";
    if (size < 0 || uint64_t(size) / kSectorBytes < first || uint64_t(size) / kSectorBytes - first < packs)
        return false;
    m_block.reset(new (std::nothrow) BYTE[m_blockBytes]);
    if (!m_block) {
        error->code = VRO_ERR_OUT_OF_MEMORY;
        error->reason = "cannot be analysed for lack of memory";
        return false;
    }
    error->code = 0;
    error->reason.clear();
    m_base = first;
    m_packs = m_rangePacks = packs;
    m_blockFirst = m_nextPack = 0;
    m_blockPacks = 0;
    m_ended = false;
    return true;
}

void PackReader::Seek(uint64_t index) {
    m_ended = false;
    m_packs = m_rangePacks;
    m_nextPack = std::min(index, m_packs);
}

bool PackReader::Fill(AnalysisError* error) {
    const uint64_t first = m_nextPack;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(m_packs - first, m_blockBytes / kPack));
    const size_t bytes = count * kPack;
    if (m_file.ReadAt((m_base + first) * kSectorBytes, m_block.get(), bytes) != int64_t(bytes)) {
        error->code = VRO_ERR_SOURCE_READ;
        error->reason = "could not be read at pack " + std::to_string(first);
        return false;
    }
    m_blockFirst = first;
    m_blockPacks = count;
    return true;
}

int PackReader::Next(PsPack* pack, AnalysisError* error) {
    if (m_ended || m_nextPack >= m_packs) return 0;
    if ((m_nextPack < m_blockFirst || m_nextPack >= m_blockFirst + m_blockPacks) && !Fill(error)) return -1;
    const uint64_t index = m_nextPack++;
    const BYTE* p = m_block.get() + size_t(index - m_blockFirst) * kPack;
    return ParsePack(p, index, pack, error) ? 1 : -1;
}

bool PackReader::ParsePack(const BYTE* p, uint64_t index, PsPack* pack, AnalysisError* error) {
    pack->index = index;
    pack->ended = false;
    pack->zeroed = false;
    pack->packets.clear();
    auto malformed = [&](const char* what) {
        error->code = VRO_ERR_BAD_STREAM;
        error->reason = std::string("has a malformed pack ") + std::to_string(index) + " (" + what + ")";
        return false;
    };
    bool mpeg2 = false;
    size_t pos = PackHeaderLength(p, kPack, &mpeg2);
    if (pos == 0) {
        if (IsStartCode(p, kStreamEnd)) {  // the program ends here
            pack->ended = true;
            m_ended = true;
            m_packs = index;
            return true;
        }
        pack->zeroed = std::all_of(p, p + kPack, [](BYTE b) { return b == 0; });
        return malformed(pack->zeroed ? "only zero bytes" : "no pack header");
    }
    pack->mpeg2 = mpeg2;
    // SCR base: MPEG-2 '01' then bits 32..30, 29..15, 14..0 between marker
    // bits; MPEG-1 '0010' then the same three parts.
    pack->scr = (int64_t((p[4] >> (mpeg2 ? 3 : 1)) & 7) << 30) |
                (mpeg2 ? (int64_t(p[4] & 3) << 28) | (int64_t(p[5]) << 20) | (int64_t(p[6] >> 3) << 15)
                       : (int64_t(p[5]) << 22) | (int64_t(p[6] >> 1) << 15)) |
                (mpeg2 ? (int64_t(p[6] & 3) << 13) | (int64_t(p[7]) << 5) | int64_t(p[8] >> 3)
                       : (int64_t(p[7]) << 7) | int64_t(p[8] >> 1));
    while (pos < kPack) {
        if (pos + 4 > kPack || p[pos] != 0 || p[pos + 1] != 0 || p[pos + 2] != 1) return malformed("stray bytes");
        const BYTE id = p[pos + 3];
        if (id == kStreamEnd) {
            pack->ended = true;
            m_ended = true;
            m_packs = index + 1;
            break;
        }
        if (id < kSystemHeader || pos + 6 > kPack) return malformed("not a packet");
        const size_t length = (size_t(p[pos + 4]) << 8) | p[pos + 5];
        if (pos + 6 + length > kPack) return malformed("a packet runs past the pack's end");
        if (id != kSystemHeader) {
            PsPacket packet;
            if (!ParsePesHeader(id, p + pos + 6, length, &packet)) return malformed("bad PES header");
            pack->packets.push_back(packet);
        }
        pos += 6 + length;
    }
    return true;
}

AnalysisProgress::AnalysisProgress(ProgressCallback cb, void* context, uint64_t totalSectors)
    : m_cb(cb), m_context(context), m_total(totalSectors) {
    // Every 1% and every 64 MB (32768 sectors), whichever comes first.
    m_step = std::max<uint64_t>(1, std::min<uint64_t>(totalSectors / 100, 32768));
}

bool AnalysisProgress::Report(uint64_t done) {
    done = std::min(done, m_total);
    m_next = (done / m_step + 1) * m_step;
    const DWORD total = static_cast<DWORD>(std::min<uint64_t>(m_total, kMaxSectors));
    return m_cb(m_context, VRO_PROGRESS_ANALYSE, static_cast<DWORD>(std::min<uint64_t>(done, total)), total, 1) != 0;
}

}  // namespace vrm
