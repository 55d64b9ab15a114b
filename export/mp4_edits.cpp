// The movie box (moov) is read whole, its track boxes rebuilt with new edit
// boxes (edts/elst) and durations, and written back where it was; the media
// data in front of it does not move, so the chunk offsets stay valid.
#include "export/mp4_edits.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vrexport {
namespace {

typedef std::vector<uint8_t> Bytes;

uint64_t Load(const uint8_t* p, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

void Store(uint8_t* p, int n, uint64_t v) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

void Append(Bytes* out, int n, uint64_t v) {
    out->resize(out->size() + static_cast<size_t>(n));
    Store(out->data() + out->size() - n, n, v);
}

// A box inside a buffer: [at, at + size), its content from at + header.
struct Box {
    char type[5] = "";
    size_t at = 0, size = 0, header = 8;
};

// The boxes that fill [from, to) of b; false when they do not.
bool Children(const Bytes& b, size_t from, size_t to, std::vector<Box>* out) {
    out->clear();
    while (from < to) {
        if (to - from < 8) return false;
        Box box;
        box.at = from;
        uint64_t size = Load(&b[from], 4);
        std::memcpy(box.type, &b[from + 4], 4);
        if (size == 1) {
            if (to - from < 16) return false;
            size = Load(&b[from + 8], 8);
            box.header = 16;
        } else if (size == 0) {
            size = to - from;
        }
        if (size < box.header || size > to - from) return false;
        box.size = static_cast<size_t>(size);
        out->push_back(box);
        from += box.size;
    }
    return true;
}

const Box* Find(const std::vector<Box>& boxes, const char* type) {
    for (const Box& b : boxes) {
        if (std::memcmp(b.type, type, 4) == 0) return &b;
    }
    return nullptr;
}

// The timescale and the duration field of a full box whose version 0 holds
// them as 32-bit numbers at `at0` (timescale, then duration) and version 1
// at `at1` (32-bit timescale, 64-bit duration); tkhd has no timescale.
struct TimeField {
    size_t timescale = 0;  // offset in the buffer, 0 for none
    size_t duration = 0;
    int width = 4;
};

TimeField Times(const Bytes& b, const Box& box, size_t at0, size_t at1, bool hasTimescale) {
    TimeField f;
    const size_t content = box.at + box.header;
    const bool v1 = b[content] == 1;
    const size_t at = content + (v1 ? at1 : at0);
    if (at + (hasTimescale ? 4 : 0) + (v1 ? 8 : 4) > box.at + box.size) return f;
    f.timescale = hasTimescale ? at : 0;
    f.duration = at + (hasTimescale ? 4 : 0);
    f.width = v1 ? 8 : 4;
    return f;
}

// Rounded a × to / from, for non-negative a.
int64_t Rescale(int64_t a, int64_t to, int64_t from) {
    return static_cast<int64_t>((static_cast<__int128>(a) * to + from / 2) / from);
}

// An edit box holding one edit per cell: segment durations in the movie's
// timescale (cumulated, so that rounding does not drift), media times in
// the track's.
Bytes EditBox(const std::vector<Edit>& edits, int64_t movieScale, int64_t mediaScale) {
    std::vector<std::pair<uint64_t, int64_t>> entries;
    int64_t sum = 0, last = INT64_MIN;  // 90 kHz: where the last edit ends in the media
    bool wide = false;
    // Appends an edit of `length` (90 kHz) from mediaTime, or an empty one
    // (mediaTime < 0: the track has nothing to show then).
    const auto add = [&](int64_t mediaTime, int64_t length) {
        const int64_t from = Rescale(sum, movieScale, 90000);
        sum += length;
        const uint64_t duration = static_cast<uint64_t>(Rescale(sum, movieScale, 90000) - from);
        if (duration == 0) return;
        // A cell that goes on where the one before ended in the media
        // continues its edit: fewer edits, fewer joins for players.
        if (!entries.empty() && last == mediaTime) {
            entries.back().first += duration;
            if (mediaTime >= 0) last += length;
            return;
        }
        last = mediaTime < 0 ? -1 : mediaTime + length;
        entries.emplace_back(duration, mediaTime < 0 ? -1 : Rescale(mediaTime, mediaScale, 90000));
    };
    for (const Edit& e : edits) {
        // A track that starts after the cell's first frame (audio behind
        // the first picture) begins with an empty edit, the only kind whose
        // media time may be negative (-1).
        int64_t media = e.mediaTime, length = e.duration;
        if (media < 0) {
            const int64_t empty = std::min(-media, length);
            add(-1, empty);
            media = 0;
            length -= empty;
        }
        if (length > 0) add(media, length);
    }
    // The last edit is never an empty one.
    while (!entries.empty() && entries.back().second < 0) entries.pop_back();
    for (const auto& e : entries) wide = wide || e.first > 0xFFFFFFFFu || e.second > 0x7FFFFFFF;
    Bytes elst;
    Append(&elst, 4, 0);
    elst.insert(elst.end(), {'e', 'l', 's', 't'});
    Append(&elst, 4, wide ? 0x01000000u : 0);
    Append(&elst, 4, entries.size());
    for (const auto& e : entries) {
        Append(&elst, wide ? 8 : 4, e.first);
        Append(&elst, wide ? 8 : 4, static_cast<uint64_t>(e.second));
        Append(&elst, 4, 0x00010000);  // media rate 1.0
    }
    Store(elst.data(), 4, elst.size());
    Bytes edts;
    Append(&edts, 4, 8 + elst.size());
    edts.insert(edts.end(), {'e', 'd', 't', 's'});
    edts.insert(edts.end(), elst.begin(), elst.end());
    return edts;
}

bool ReadAll(int fd, uint64_t at, size_t n, uint8_t* out) {
    while (n > 0) {
        const ssize_t got = pread(fd, out, n, static_cast<off_t>(at));
        if (got <= 0) return false;
        out += got;
        at += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, uint64_t at, const Bytes& b) {
    size_t done = 0;
    while (done < b.size()) {
        const ssize_t n = pwrite(fd, b.data() + done, b.size() - done, static_cast<off_t>(at + done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Finds the movie box among the file's top-level boxes: it must be the
// last. False with the reason when the boxes do not fill the file or the
// movie box is not at its end.
bool FindMovieBox(int fd, uint64_t end, uint64_t* moovAt, uint64_t* moovSize, std::string* error) {
    uint64_t at = 0;
    while (at < end) {
        uint8_t head[16];
        if (end - at < 8 || !ReadAll(fd, at, 8, head))
            return *error = "cannot be finished: its boxes do not fill it.", false;
        uint64_t size = Load(head, 4);
        if (size == 1) {
            if (!ReadAll(fd, at + 8, 8, head + 8)) return *error = "cannot be read back to finish it.", false;
            size = Load(head + 8, 8);
        } else if (size == 0) {
            size = end - at;
        }
        if (size < 8 || size > end - at) return *error = "cannot be finished: its boxes do not fill it.", false;
        if (std::memcmp(head + 4, "moov", 4) == 0) {
            *moovAt = at;
            *moovSize = size;
        }
        at += size;
    }
    if (*moovSize == 0 || *moovAt + *moovSize != end || *moovSize > (uint64_t(1) << 31))
        return *error = "cannot be finished: its movie box is not at its end.", false;
    return true;
}

// The edits for the top-level box (its bytes whole; a track's boxes go to
// parts, its media box's to media), by the track's handler; null for a box
// that is no track or a track without edits.
const TrackEdits* EditsOf(const Box& box, const Bytes& whole, const std::vector<TrackEdits>& tracks,
                          std::vector<Box>* parts, std::vector<Box>* media) {
    const TrackEdits* edits = nullptr;
    if (std::memcmp(box.type, "trak", 4) != 0 || !Children(whole, 8, whole.size(), parts)) return nullptr;
    const Box* mdia = Find(*parts, "mdia");
    if (!mdia || !Children(whole, mdia->at + 8, mdia->at + mdia->size, media)) return nullptr;
    const Box* hdlr = Find(*media, "hdlr");
    for (const TrackEdits& t : tracks) {
        if (hdlr && hdlr->size >= 20 && std::memcmp(&whole[hdlr->at + 16], t.handler, 4) == 0) edits = &t;
    }
    return edits;
}

// The track box whole again, with the edited length in its header, the new
// edit box, then its other boxes as they were. False with the reason when
// its headers do not parse.
bool EditTrack(const Bytes& whole, const std::vector<Box>& parts, const std::vector<Box>& media,
               const TrackEdits& edits, int64_t movieScale, Bytes* trak, std::string* error) {
    const Box* mdhd = Find(media, "mdhd");
    const Box* tkhd = Find(parts, "tkhd");
    const TimeField track = mdhd ? Times(whole, *mdhd, 12, 20, true) : TimeField{};
    const TimeField head = tkhd ? Times(whole, *tkhd, 20, 28, false) : TimeField{};
    if (!track.timescale || !head.duration)
        return *error = "cannot be finished: its track headers do not parse.", false;
    const int64_t mediaScale = static_cast<int64_t>(Load(&whole[track.timescale], 4));
    if (mediaScale <= 0) return *error = "cannot be finished: a track has no timescale.", false;
    int64_t length = 0;
    for (const Edit& e : edits.edits) length += e.duration;
    trak->assign(whole.begin(), whole.begin() + 8);
    Bytes tkhdBytes(whole.begin() + static_cast<long>(tkhd->at),
                    whole.begin() + static_cast<long>(tkhd->at + tkhd->size));
    Store(tkhdBytes.data() + (head.duration - tkhd->at), head.width,
          static_cast<uint64_t>(Rescale(length, movieScale, 90000)));
    trak->insert(trak->end(), tkhdBytes.begin(), tkhdBytes.end());
    const Bytes edts = EditBox(edits.edits, movieScale, mediaScale);
    trak->insert(trak->end(), edts.begin(), edts.end());
    for (const Box& p : parts) {
        if (&p == tkhd || std::memcmp(p.type, "edts", 4) == 0) continue;
        trak->insert(trak->end(), whole.begin() + static_cast<long>(p.at),
                     whole.begin() + static_cast<long>(p.at + p.size));
    }
    Store(trak->data(), 4, trak->size());
    return true;
}

}  // namespace

bool RewriteEdits(int fd, const std::vector<TrackEdits>& tracks, std::string* error) {
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) return *error = "cannot be read back to finish it.", false;
    uint64_t moovAt = 0, moovSize = 0;
    if (!FindMovieBox(fd, static_cast<uint64_t>(end), &moovAt, &moovSize, error)) return false;
    Bytes moov(static_cast<size_t>(moovSize));
    if (!ReadAll(fd, moovAt, moov.size(), moov.data())) return *error = "cannot be read back to finish it.", false;

    std::vector<Box> top;
    if (moov.size() < 8 || Load(moov.data(), 4) == 1 || !Children(moov, 8, moov.size(), &top))
        return *error = "cannot be finished: its movie box does not parse.", false;
    const Box* mvhd = Find(top, "mvhd");
    if (!mvhd) return *error = "cannot be finished: it has no movie header.", false;
    const TimeField movie = Times(moov, *mvhd, 12, 20, true);
    if (!movie.timescale) return *error = "cannot be finished: its movie header is cut short.", false;
    const int64_t movieScale = static_cast<int64_t>(Load(&moov[movie.timescale], 4));
    if (movieScale <= 0) return *error = "cannot be finished: its movie header has no timescale.", false;

    // The movie's length: that of its longest edited track.
    int64_t total = 0;
    for (const TrackEdits& t : tracks) {
        int64_t length = 0;
        for (const Edit& e : t.edits) length += e.duration;
        total = std::max(total, length);
    }
    Store(&moov[movie.duration], movie.width, static_cast<uint64_t>(Rescale(total, movieScale, 90000)));
    Bytes out(moov.begin(), moov.begin() + 8);
    for (const Box& box : top) {
        const Bytes whole(moov.begin() + static_cast<long>(box.at),
                          moov.begin() + static_cast<long>(box.at + box.size));
        std::vector<Box> parts, media;
        const TrackEdits* edits = EditsOf(box, whole, tracks, &parts, &media);
        if (!edits) {
            out.insert(out.end(), whole.begin(), whole.end());
            continue;
        }
        Bytes trak;
        if (!EditTrack(whole, parts, media, *edits, movieScale, &trak, error)) return false;
        out.insert(out.end(), trak.begin(), trak.end());
    }
    Store(out.data(), 4, out.size());
    if (!WriteAll(fd, moovAt, out) || ftruncate(fd, static_cast<off_t>(moovAt + out.size())) != 0)
        return *error = "could not be written.", false;
    return true;
}

}  // namespace vrexport
