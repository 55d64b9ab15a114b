// Writes small MPEG program streams in code for the analyser tests: pack
// headers (MPEG-1 or MPEG-2), system headers, PES packets with PTS, video
// sequence/GOP/picture headers, audio frames (MPEG audio, AC-3, LPCM),
// navigation packs and padding. Every pack is exactly 2048 bytes unless a
// test asks for another size.
#ifndef VRMANGR_TESTS_PROGRAM_STREAM_H
#define VRMANGR_TESTS_PROGRAM_STREAM_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ps {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) Append(out, p);
    return out;
}
inline Bytes StartCode(uint8_t code) { return Bytes{0, 0, 1, code}; }

// Appends fields most significant bit first (only the low `bits` bits of
// each value).
struct BitWriter {
    Bytes bytes;
    int used = 8;  // bits used in the last byte
    BitWriter& Put(uint64_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used == 8) {
                bytes.push_back(0);
                used = 0;
            }
            if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> used);
            ++used;
        }
        return *this;
    }
};

// ---- Video elementary stream -------------------------------------------

struct VideoParams {
    unsigned width = 720, height = 576;
    unsigned aspect = 2;  // aspect_ratio_information
    unsigned rateCode = 3;  // 3: 25, 4: 29.97 frames/s
    bool mpeg2 = true;
    unsigned bitRate400 = 20000;  // bit_rate in units of 400 bit/s (18 + 12 bits)
    unsigned frameRateN = 0, frameRateD = 0;  // MPEG-2 frame rate extension
};

// vbv_buffer_size 508, not constrained, no quantiser matrices.
inline Bytes SequenceHeader(const VideoParams& v) {
    BitWriter w;
    w.Put(0x1B3, 32).Put(v.width, 12).Put(v.height, 12).Put(v.aspect, 4).Put(v.rateCode, 4);
    return w.Put(v.bitRate400, 18).Put(1, 1).Put(508, 10).Put(0, 3).bytes;
}

// Main profile at main level, 4:2:0, the upper bits of size and bit rate.
inline Bytes SequenceExtension(const VideoParams& v) {
    BitWriter w{StartCode(0xB5)};
    w.Put(1, 4).Put(0x48, 8).Put(0, 1).Put(1, 2).Put(v.width >> 12, 2).Put(v.height >> 12, 2);
    return w.Put(v.bitRate400 >> 18, 12).Put(1, 1).Put(0, 9).Put(v.frameRateN, 2).Put(v.frameRateD, 5).bytes;
}

// Sequence header plus, for MPEG-2, its extension.
inline Bytes SequenceHeaders(const VideoParams& v) {
    return v.mpeg2 ? Cat({SequenceHeader(v), SequenceExtension(v)}) : SequenceHeader(v);
}

inline Bytes GroupHeader(bool closed = true) {
    return Cat({StartCode(0xB8), Bytes{0x00, 0x08, uint8_t(closed ? 0x40 : 0x00), 0x00}});
}

enum PictureType { I = 1, P = 2, B = 3 };

inline Bytes PictureHeader(unsigned tref, unsigned type) {
    return Cat({StartCode(0x00), Bytes{uint8_t(tref >> 2), uint8_t(((tref & 3) << 6) | (type << 3)), 0xFF, 0xF8}});
}

// picture_structure: 1 top field, 2 bottom field, 3 frame.
inline Bytes PictureCodingExtension(unsigned structure) {
    return Cat({StartCode(0xB5), Bytes{0x8F, 0xFF, uint8_t(0xF0 | structure), 0x80, 0x80}});
}

// A coded picture of exactly `size` bytes: picture header, the coding
// extension (MPEG-2) and slice data without start code emulation.
inline Bytes Picture(unsigned type, unsigned tref, size_t size, bool mpeg2 = true, unsigned structure = 3) {
    Bytes b = PictureHeader(tref, type);
    if (mpeg2) Append(b, PictureCodingExtension(structure));
    Append(b, StartCode(0x01));
    while (b.size() < size) b.push_back(0x55);
    return b;
}

// ---- Audio -------------------------------------------------------------

// One MPEG-1 layer II frame (1152 samples). mode: 0 stereo .. 3 mono.
inline Bytes Mp2Frame(unsigned kbps = 224, unsigned sampleRate = 48000, unsigned mode = 0, bool mpeg1 = true,
                      unsigned layer = 2) {
    static const unsigned kRates[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static const unsigned kLsfRates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    unsigned index = 1;
    for (unsigned i = 1; i < 15; ++i) {
        if ((mpeg1 ? kRates[i] : kLsfRates[i]) == kbps) index = i;
    }
    const unsigned base = mpeg1 ? sampleRate : sampleRate * 2;
    const unsigned sr = base == 44100 ? 0 : base == 48000 ? 1 : 2;
    const unsigned layerBits = 4 - layer;
    Bytes b{0xFF, uint8_t(0xF0 | (mpeg1 ? 8 : 0) | (layerBits << 1) | 1), uint8_t((index << 4) | (sr << 2)),
            uint8_t(mode << 6)};
    const size_t length = 144000 * size_t(kbps) / sampleRate;
    b.resize(length, 0x00);
    return b;
}

// One AC-3 frame (1536 samples) at 48 kHz. acmod: 0 1+1, 1 mono, 2 stereo,
// 3 to 7 more channels; lfe: a low-frequency effects channel. The mix levels
// in front of lfeon are 01 each, so that a reader that miscounts them sees a
// different lfeon.
inline Bytes Ac3Frame(unsigned kbps = 192, unsigned acmod = 2, bool lfe = false) {
    static const unsigned kRates[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                      192, 224, 256, 320, 384, 448, 512, 576, 640};
    unsigned code = 0;
    for (unsigned i = 0; i < 19; ++i) {
        if (kRates[i] == kbps) code = i * 2;
    }
    unsigned bsi = acmod << 13, at = 3;  // bits 15..0 of bytes 6 and 7
    for (bool present : {(acmod & 1) && acmod != 1, (acmod & 4) != 0, acmod == 2}) {
        if (present) bsi |= 1u << (15 - (at += 2) + 1);
    }
    if (lfe) bsi |= 1u << (15 - at);
    Bytes b{0x0B, 0x77, 0x00, 0x00, uint8_t(code), uint8_t(8 << 3), uint8_t(bsi >> 8), uint8_t(bsi & 0xFF)};
    b.resize(size_t(kbps) * 4, 0x00);  // 2 * kbps 16-bit words at 48 kHz
    return b;
}

// Private stream 1 payloads: substream number, frame headers starting in the
// packet, first access unit pointer; LPCM adds its 3-byte format header.
inline Bytes Ac3Payload(uint8_t sub, unsigned frames, const Bytes& data) {
    return Cat({Bytes{sub, uint8_t(frames), 0x00, 0x01}, data});
}
// bits 16/20/24, rate 48000/96000, channels 1..8; `bytes` of sample data.
inline Bytes LpcmPayload(uint8_t sub, size_t bytes, unsigned bits = 16, unsigned rate = 48000, unsigned channels = 2) {
    const unsigned quant = (bits - 16) / 4;
    Bytes b{sub, 1, 0x00, 0x04, 0x00, uint8_t((quant << 6) | ((rate == 96000 ? 1 : 0) << 4) | (channels - 1)), 0x80};
    b.resize(b.size() + bytes, 0x00);
    return b;
}

// ---- Packs ---------------------------------------------------------------

// A PES packet (or a packet without PES header extension for the padding
// stream and private stream 2) as the muxer writes it.
struct Packet {
    uint8_t id = 0;
    Bytes payload;
    bool hasPts = false;
    int64_t pts = 0;
};

class Muxer {
public:
    explicit Muxer(bool mpeg2 = true, size_t packSize = 2048) : m_mpeg2(mpeg2), m_packSize(packSize) {}

    size_t PackHeaderSize() const { return m_mpeg2 ? 14 : 12; }
    // Bytes a PES header takes (with a PTS or without).
    size_t PesHeaderSize(bool pts) const { return m_mpeg2 ? (pts ? 14 : 9) : (pts ? 11 : 7); }
    // Video payload of a pack with one PES packet.
    size_t VideoCapacity(bool pts) const { return m_packSize - PackHeaderSize() - PesHeaderSize(pts); }

    // A pack of the given packets, filled up with padding (or PES stuffing
    // when fewer than 6 bytes are left). systemHeader adds one in front.
    void Pack(std::vector<Packet> packets, bool systemHeader = false) {
        Bytes pack = PackHeader();
        if (systemHeader) Append(pack, SystemHeader());
        size_t used = pack.size();
        for (const Packet& p : packets) used += Encode(p, 0).size();
        size_t left = m_packSize - used;
        size_t stuffing = 0;
        if (left > 0 && left < 6) {
            stuffing = left;
            left = 0;
        }
        for (size_t i = 0; i < packets.size(); ++i) Append(pack, Encode(packets[i], i == 0 ? stuffing : 0));
        if (left > 0) {
            Bytes pad = StartCode(0xBE);
            pad.push_back(uint8_t((left - 6) >> 8));
            pad.push_back(uint8_t(left - 6));
            pad.resize(left, 0xFF);
            Append(pack, pad);
        }
        Append(m_out, pack);
        m_scr += 1200;
    }

    // A navigation pack as DVD encoders write it: system header, then two
    // private stream 2 packets (presentation and search information).
    void NavPack() {
        FlushVideo();
        Packet pci{0xBF, Bytes(980, 0x00)};
        Packet dsi{0xBF, Bytes(1018, 0x00)};
        dsi.payload[0] = 0x01;
        Pack({pci, dsi}, true);
    }

    // Where a piece of video landed: the packs holding its first and last
    // byte (known once it is written).
    struct Unit {
        size_t firstPack = 0, lastPack = 0;
    };

    // Queues video elementary stream bytes; when pts >= 0 the PES packet
    // holding their first byte carries it. Returns the piece's number.
    size_t Video(const Bytes& es, int64_t pts = -1) {
        if (pts >= 0) m_marks.push_back({m_pending.size(), pts});
        m_queued.push_back({m_pending.size(), m_pending.size() + es.size(), m_units.size()});
        m_units.push_back({});
        Append(m_pending, es);
        return m_units.size() - 1;
    }
    const Unit& UnitAt(size_t i) {
        FlushVideo();
        return m_units.at(i);
    }
    // Writes the queued video in packs of one PES packet each; the last
    // pack is padded.
    void FlushVideo() {
        size_t at = 0, mark = 0;
        while (at < m_pending.size()) {
            Packet p{0xE0, {}};
            // A PES packet carries the PTS of the piece it begins with and
            // ends before the next piece with a PTS, so each time stamp
            // belongs to the first picture of its packet.
            size_t n = VideoCapacity(false);
            if (mark < m_marks.size() && m_marks[mark].offset == at) {
                p.hasPts = true;
                p.pts = m_marks[mark].pts;
                n = VideoCapacity(true);
                ++mark;
            }
            if (mark < m_marks.size()) n = std::min(n, m_marks[mark].offset - at);
            n = std::min(n, m_pending.size() - at);
            p.payload.assign(m_pending.begin() + long(at), m_pending.begin() + long(at + n));
            const size_t packIndex = Packs();
            for (const Queued& q : m_queued) {
                if (q.begin >= at && q.begin < at + n) m_units[q.unit].firstPack = packIndex;
                if (q.end > at && q.end <= at + n) m_units[q.unit].lastPack = packIndex;
            }
            Pack({p});
            at += n;
        }
        m_pending.clear();
        m_marks.clear();
        m_queued.clear();
    }

    // One pack of audio: stream id 0xC0.. with MPEG audio frames, or 0xBD
    // with an AC-3 / LPCM payload.
    void Audio(uint8_t id, const Bytes& payload, int64_t pts = -1) {
        FlushVideo();
        Packet p{id, payload, pts >= 0, pts < 0 ? 0 : pts};
        Pack({p});
    }

    void Padding() { Pack({}); }
    // The program end code behind the last pack.
    void End() {
        FlushVideo();
        Append(m_out, StartCode(0xB9));
    }
    Bytes& Out() {
        FlushVideo();
        return m_out;
    }
    size_t Packs() const { return m_out.size() / m_packSize; }

private:
    struct Mark {
        size_t offset;
        int64_t pts;
    };
    struct Queued {
        size_t begin, end, unit;
    };

    // MPEG-2: '01', SCR and its extension (0), mux rate, no stuffing.
    // MPEG-1: '0010', SCR, mux rate.
    Bytes PackHeader() const {
        BitWriter w{StartCode(0xBA)};
        w.Put(m_mpeg2 ? 1 : 2, m_mpeg2 ? 2 : 4).Put(m_scr >> 30, 3).Put(1, 1).Put(m_scr >> 15, 15).Put(1, 1);
        w.Put(m_scr, 15).Put(1, 1);
        if (!m_mpeg2) return w.Put(1, 1).Put(2520, 22).Put(1, 1).bytes;
        return w.Put(0, 9).Put(1, 1).Put(25200, 22).Put(3, 2).Put(0x1F, 5).Put(0, 3).bytes;
    }
    static Bytes SystemHeader() {
        // rate bound, audio/video bounds, flags, then four stream entries.
        return Bytes{0,    0,    1,    0xBB, 0,    18,   0x80, 0xC4, 0xE1, 0x04, 0xE1, 0xFF,
                     0xB9, 0xE0, 0xE8, 0xB8, 0xC0, 0x20, 0xBD, 0xE0, 0x3A, 0xBF, 0xE0, 0x02};
    }
    static void PutPts(Bytes& b, unsigned prefix, int64_t pts) {
        BitWriter w;
        w.Put(prefix, 4).Put(uint64_t(pts) >> 30, 3).Put(1, 1).Put(uint64_t(pts) >> 15, 15).Put(1, 1);
        Append(b, w.Put(uint64_t(pts), 15).Put(1, 1).bytes);
    }
    Bytes Encode(const Packet& p, size_t stuffing) const {
        Bytes body;
        if (p.id == 0xBE || p.id == 0xBF) {
            body = p.payload;
        } else if (m_mpeg2) {
            body.push_back(0x81);
            body.push_back(p.hasPts ? 0x80 : 0x00);
            body.push_back(uint8_t((p.hasPts ? 5 : 0) + stuffing));
            if (p.hasPts) PutPts(body, 2, p.pts);
            body.insert(body.end(), stuffing, 0xFF);
            Append(body, p.payload);
        } else {
            body.insert(body.end(), stuffing, 0xFF);
            if (p.hasPts) {
                PutPts(body, 2, p.pts);
            } else {
                body.push_back(0x0F);
            }
            Append(body, p.payload);
        }
        Bytes out = StartCode(p.id);
        out.push_back(uint8_t(body.size() >> 8));
        out.push_back(uint8_t(body.size()));
        Append(out, body);
        return out;
    }

    bool m_mpeg2;
    size_t m_packSize;
    Bytes m_out;
    uint64_t m_scr = 0;
    Bytes m_pending;
    std::vector<Mark> m_marks;
    std::vector<Queued> m_queued;
    std::vector<Unit> m_units;
};

}  // namespace ps

#endif
