#include "stream/video_es.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vrm {

void VideoScanner::Found(BYTE code, uint64_t pack, bool hasBefore, uint64_t before, uint64_t offset, const BYTE* rest,
                         size_t restSize) {
    // Slice start codes are the most frequent by far and say nothing the
    // analysers use: a picture ends at the next picture, group, sequence
    // header or sequence end, never at a slice.
    if (code >= kSliceFirst && code <= kSliceLast) return;
    Pending p;
    p.sc.code = code;
    p.sc.pack = pack;
    p.sc.hasBefore = hasBefore;
    p.sc.packBefore = hasBefore ? before : pack;
    p.sc.offset = offset;
    p.sc.size = std::min<size_t>(restSize, sizeof p.sc.bytes);
    if (p.sc.size) std::memcpy(p.sc.bytes, rest, p.sc.size);
    p.need = sizeof p.sc.bytes - p.sc.size;
    m_found.push_back(p);
}

void VideoScanner::Feed(const BYTE* d, size_t n, uint64_t pack) {
    if (n == 0) return;
    // Start codes found earlier whose bytes continue here.
    for (auto it = m_found.rbegin(); it != m_found.rend() && it->need > 0; ++it) {
        const size_t take = std::min(it->need, n);
        std::memcpy(it->sc.bytes + it->sc.size, d, take);
        it->sc.size += take;
        it->need -= take;
    }
    // Start codes whose 00 00 01 begins in the bytes fed before: search the
    // seam of the last bytes and the first ones of this piece.
    BYTE seam[7];
    uint64_t seamPack[7];
    std::memcpy(seam, m_hist, m_histSize);
    std::copy(m_histPack, m_histPack + m_histSize, seamPack);
    const size_t head = std::min<size_t>(n, 3);
    std::memcpy(seam + m_histSize, d, head);
    std::fill(seamPack + m_histSize, seamPack + m_histSize + head, pack);
    const size_t seamSize = m_histSize + head;
    for (size_t k = m_histSize >= 3 ? m_histSize - 3 : 0; k < m_histSize; ++k) {
        if (k + 3 >= seamSize || seam[k] != 0 || seam[k + 1] != 0 || seam[k + 2] != 1) continue;
        const size_t codeAt = k + 3 - m_histSize;  // in d
        Found(seam[k + 3], seamPack[k], k > 0, k > 0 ? seamPack[k - 1] : 0, m_offset - (m_histSize - k), d + codeAt + 1,
              n - codeAt - 1);
    }
    // Start codes that lie wholly in this piece: 00 00 01 and the code byte.
    // Coded video holds few pairs of zero bytes, so the search looks for
    // those, sixteen positions at a time where the processor allows.
    const auto check = [&](size_t i) {
        if (d[i + 2] != 1) return;
        const bool hasBefore = i > 0 || m_histSize > 0;
        const uint64_t before = i > 0 ? pack : (m_histSize ? m_histPack[m_histSize - 1] : 0);
        Found(d[i + 3], pack, hasBefore, before, m_offset + i, d + i + 4, n - i - 4);
    };
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 17 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
        unsigned pairs =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero))));
        while (pairs) {
            const size_t at = i + static_cast<size_t>(__builtin_ctz(pairs));
            if (at + 3 < n) check(at);
            pairs &= pairs - 1;
        }
    }
#else
    // Elsewhere the C library finds the 01 bytes many bytes at a time.
    for (size_t p = 2; p + 1 < n;) {
        const void* hit = std::memchr(d + p, 1, n - 1 - p);
        if (!hit) break;
        p = static_cast<size_t>(static_cast<const BYTE*>(hit) - d);
        if (d[p - 1] == 0 && d[p - 2] == 0) check(p - 2);
        ++p;
    }
    i = n;
#endif
    for (; i + 3 < n; ++i)
        if (d[i] == 0 && d[i + 1] == 0) check(i);
    // Keep the last four bytes.
    if (n >= 4) {
        std::memcpy(m_hist, d + n - 4, 4);
        std::fill(m_histPack, m_histPack + 4, pack);
        m_histSize = 4;
    } else {
        for (size_t j = 0; j < n; ++j) {
            if (m_histSize == 4) {
                std::memmove(m_hist, m_hist + 1, 3);
                std::memmove(m_histPack, m_histPack + 1, 3 * sizeof(uint64_t));
                m_histSize = 3;
            }
            m_hist[m_histSize] = d[j];
            m_histPack[m_histSize++] = pack;
        }
    }
    m_offset += n;
}

bool VideoScanner::Next(VideoStartCode* out) {
    if (m_found.empty() || (m_found.front().need > 0 && !m_finished)) return false;
    *out = m_found.front().sc;
    m_found.pop_front();
    return true;
}

bool ParseSequenceHeaderFields(const BYTE* b, size_t size, SequenceHeader* out) {
    if (size < 7) return false;
    out->width = (DWORD(b[0]) << 4) | (b[1] >> 4);
    out->height = (DWORD(b[1] & 0x0F) << 8) | b[2];
    out->aspect = static_cast<BYTE>(b[3] >> 4);
    out->frameRateCode = static_cast<BYTE>(b[3] & 0x0F);
    out->bitRateValue = (DWORD(b[4]) << 10) | (DWORD(b[5]) << 2) | (b[6] >> 6);
    return true;
}

int ParseExtension(const BYTE* b, size_t size, SequenceExtension* seq, BYTE* structure) {
    if (size < 1) return 0;
    const int id = b[0] >> 4;
    if (id == 1 && size >= 6) {
        // profile_and_level (8), progressive_sequence, chroma_format (2),
        // horizontal_size_extension (2), vertical_size_extension (2),
        // bit_rate_extension (12), marker, vbv_buffer_size_extension (8),
        // low_delay, frame_rate_extension_n (2), frame_rate_extension_d (5).
        seq->widthExt = ((b[1] & 1u) << 1) | (b[2] >> 7);
        seq->heightExt = (b[2] >> 5) & 3u;
        seq->bitRateExt = ((b[2] & 0x1Fu) << 7) | (b[3] >> 1);
        seq->frameRateN = static_cast<BYTE>((b[5] >> 5) & 3);
        seq->frameRateD = static_cast<BYTE>(b[5] & 0x1F);
        return 1;
    }
    if (id == 8 && size >= 3) {
        // f_code[0][0..1], f_code[1][0..1] (4 bits each), intra_dc_precision
        // (2), picture_structure (2).
        *structure = static_cast<BYTE>(b[2] & 3);
        return 2;
    }
    return 0;
}

bool ParsePictureHeader(const BYTE* b, size_t size, BYTE* type, DWORD* temporalReference) {
    if (size < 2) return false;
    *temporalReference = (DWORD(b[0]) << 2) | (b[1] >> 6);
    *type = static_cast<BYTE>((b[1] >> 3) & 7);
    return true;
}

}  // namespace vrm
