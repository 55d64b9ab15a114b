// The video format of a program stream as the analysers learn it: the first
// sequence header and the sequence extension behind it, checked against
// what a recording can hold, and the presentation times of its pictures.
#ifndef VRMANGR_STREAM_VIDEO_FORMAT_H
#define VRMANGR_STREAM_VIDEO_FORMAT_H

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "stream/analysis.h"
#include "stream/audio_es.h"
#include "stream/video_es.h"

namespace vrm {

// The picture sizes the movie and still attributes can express: 720, 704,
// 544, 480 or 352 by the full height of the TV system (576 lines at 25
// frames/s, 480 at 29.97), and 352 by half of it.
bool RecordableSize(DWORD width, DWORD height, bool is625);

class VideoFormat {
public:
    // Takes every start code of the video stream in order. false (with
    // *error) on a frame rate a recording cannot carry, or when a later
    // sequence header changes the picture size or the frame rate.
    bool OnStartCode(const VideoStartCode& sc, AnalysisError* error);
    // The end of the stream: an MPEG-1 stream may end right behind its
    // first sequence header.
    void Finish();
    // The first sequence header and whether an extension follows it are
    // known.
    bool Known() const { return m_haveSequence && m_mpeg2Known; }
    bool HaveSequence() const { return m_haveSequence; }
    DWORD FrameRate() const;  // frames per 1000 s: 25000 or 29970
    int64_t FrameTicks() const;  // one frame in 90 kHz ticks
    // Writes frame rate, size, aspect ratio code, MPEG-2 flag and bit rate.
    void Fill(VR_MPEGFILE_INFO* info) const;

private:
    bool m_haveSequence = false;
    bool m_mpeg2Known = false;
    bool m_mpeg2 = false;
    bool m_waitExtension = false;  // the start code behind the first sequence header is next
    SequenceHeader m_seq;
    SequenceExtension m_ext;
};

// The aspect ratio code a recording keeps (2 for 4:3, 3 for 16:9, 4 for
// 2.21:1) for a sequence header's aspect_ratio_information. MPEG-1 codes a
// pixel shape, MPEG-2 code 1 square pixels: both become 2 or 3 by the
// display shape they give.
BYTE RecordedAspectRatio(bool mpeg2, BYTE code, DWORD width, DWORD height);

// Writes the audio fields of a record; a null format clears them.
void FillAudio(VR_MPEGFILE_INFO* info, const AudioFormat* format);

// Gives pictures their presentation times: a PTS of a video PES packet
// belongs to the first picture whose start code begins in that packet; the
// pictures of a group without one get theirs from a picture of the same
// group through their temporal references. Times are unwrapped past the
// 33-bit wrap.
class PictureClock {
public:
    // The length of one frame in 90 kHz ticks; set before the first picture.
    void SetFrame(int64_t frameTicks) { m_frame = frameTicks; }
    // A video PES packet with a PTS whose payload is [begin, end) of the
    // elementary stream.
    void OnPacket(uint64_t begin, uint64_t end, int64_t pts);
    // A group of pictures begins (GOP or sequence header).
    void OnGroup();
    // A picture header at elementary stream offset `offset`.
    void OnPicture(uint64_t offset, DWORD temporalReference);
    // Earliest presentation time and the time behind the last picture (one
    // frame after it), 90 kHz; false when no picture had a time.
    bool Range(int64_t* first, int64_t* end) const;
    // The picture just given to OnPicture is the first whose time lies more
    // than a second before a time seen earlier: the clock started again, as
    // where two recordings were joined. `back` is how far, 90 kHz.
    bool JumpedBack(int64_t* back) const {
        *back = m_back;
        return m_jumpedNow;
    }

private:
    struct Stamp {
        uint64_t begin, end;
        int64_t pts;
    };
    void Seen(int64_t time);
    int64_t Unwrap(int64_t pts);

    int64_t m_frame = 3600;
    std::deque<Stamp> m_stamps;
    std::vector<DWORD> m_waiting;  // temporal references of the group without a time yet
    bool m_haveBase = false;
    int64_t m_base = 0;  // time of temporal reference 0 in the current group
    bool m_haveTime = false;
    int64_t m_min = 0, m_max = 0;
    bool m_haveLast = false;
    int64_t m_lastRaw = 0, m_lastUnwrapped = 0;
    bool m_jumped = false, m_jumpedNow = false;
    int64_t m_back = 0;
};

}  // namespace vrm

#endif
