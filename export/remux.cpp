// Remultiplexing through libavformat: one demuxer ("mpeg") per cell over an
// AVIOContext that reads only the cell's byte range of its stream file, one
// muxer writing into the caller's descriptor through another.
#include "export/remux.h"

#include "export/audio_transcode.h"
#include "export/av_ptr.h"
#include "export/cell_decode.h"
#include "export/mp4_edits.h"
#include "export/mpeg_frames.h"
#include "export/video_transcode.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace vrexport {
namespace {

const AVRational kMpegClock{1, 90000};
constexpr int kBufferBytes = 1 << 16;

// ---- Reading: a cell's byte range ----

struct RangeReader {
    int fd = -1;
    const Cell* cell = nullptr;
    const decltype(Plan::read)* read = nullptr;  // the plan's, when it reads the files itself
    int64_t start = 0, end = 0, pos = 0;  // pos from start
    uint64_t* done = nullptr;  // bytes read over all cells, for progress
    const ProgressFn* progress = nullptr;
    uint64_t total = 0;
    bool cancelled = false;
    bool failed = false;
};

int ReadRange(void* opaque, uint8_t* buf, int size) {
    auto* r = static_cast<RangeReader*>(opaque);
    if (*r->progress && !(*r->progress)(*r->done, r->total)) {
        r->cancelled = true;
        return AVERROR_EXIT;
    }
    const int64_t left = r->end - r->start - r->pos;
    if (left <= 0) return AVERROR_EOF;
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, size));
    const int64_t at = r->start + r->pos;
    const int64_t got = r->read ? (*r->read)(r->cell->file, static_cast<uint64_t>(at), buf, want)
                                : pread(r->fd, buf, want, static_cast<off_t>(at));
    if (got < 0) {
        r->failed = true;
        return r->read ? AVERROR(EIO) : AVERROR(errno);
    }
    if (got == 0) return AVERROR_EOF;
    r->pos += got;
    *r->done += static_cast<uint64_t>(got);
    return static_cast<int>(got);
}

int64_t SeekRange(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<RangeReader*>(opaque);
    const int64_t size = r->end - r->start;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: break;
        case SEEK_CUR: offset += r->pos; break;
        case SEEK_END: offset += size; break;
        default: return -1;
    }
    if (offset < 0 || offset > size) return -1;
    r->pos = offset;
    return offset;
}

// ---- Writing: the caller's descriptor ----

struct Writer {
    int fd = -1;
    const ProgressFn* progress = nullptr;
    const uint64_t* done = nullptr;
    uint64_t total = 0;
};

int WriteFd(void* opaque, const uint8_t* buf, int size) {
    const auto* w = static_cast<const Writer*>(opaque);
    int left = size;
    while (left > 0) {
        const ssize_t n = write(w->fd, buf, static_cast<size_t>(left));
        // A signal (Ctrl-C while a pipe's reader waits) ends a blocked write
        // with EINTR, or short: the progress callback says whether to go on.
        if (n < 0 && errno != EINTR) return AVERROR(errno);
        if (n <= 0 || n < left) {
            if (*w->progress && !(*w->progress)(*w->done, w->total)) return AVERROR_EXIT;
        }
        if (n <= 0) continue;
        buf += n;
        left -= static_cast<int>(n);
    }
    return size;
}

int64_t SeekFd(void* opaque, int64_t offset, int whence) {
    const int fd = static_cast<const Writer*>(opaque)->fd;
    if (whence == AVSEEK_SIZE) {
        const off_t here = lseek(fd, 0, SEEK_CUR);
        const off_t size = lseek(fd, 0, SEEK_END);
        lseek(fd, here, SEEK_SET);
        return size;
    }
    return lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
}

struct IoFree {
    void operator()(AVIOContext* io) const {
        if (!io) return;
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
typedef std::unique_ptr<AVIOContext, IoFree> IoPtr;

IoPtr MakeIo(void* opaque, bool write, int (*read)(void*, uint8_t*, int), int (*writeFn)(void*, const uint8_t*, int),
             int64_t (*seek)(void*, int64_t, int)) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer) return nullptr;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    AVIOContext* io = avio_alloc_context(buffer, kBufferBytes, write ? 1 : 0, opaque, read, writeFn, seek);
#else
    AVIOContext* io = avio_alloc_context(buffer, kBufferBytes, write ? 1 : 0, opaque, read,
                                         reinterpret_cast<int (*)(void*, uint8_t*, int)>(writeFn), seek);
#endif
    if (!io) av_free(buffer);
    return IoPtr(io);
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

const char* MuxerName(Container c) {
    switch (c) {
        case Container::kMkv: return "matroska";
        case Container::kMp4: return "mp4";
        case Container::kDvdVideo: return "dvd";
        default: return "vob";
    }
}

// Whether the container holds the coding (as this module writes it).
bool Holds(Container c, AVCodecID id) {
    if (c == Container::kMp4) return id != AV_CODEC_ID_PCM_DVD && id != AV_CODEC_ID_PCM_S16BE;
    return true;
}

struct InputFree {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};

// One cell opened for demuxing: the video stream and the first audio stream.
struct CellInput {
    CellInput() = default;
    CellInput(const CellInput&) = delete;
    CellInput& operator=(const CellInput&) = delete;
    ~CellInput() {
        fmt.reset();
        if (reader.fd >= 0) close(reader.fd);
    }
    RangeReader reader;
    IoPtr io;
    std::unique_ptr<AVFormatContext, InputFree> fmt;
    int video = -1, audio = -1;
};

bool OpenCell(const Cell& cell, const Plan& plan, CellInput* in, std::string* error) {
    in->reader.cell = &cell;
    if (plan.read) {
        in->reader.read = &plan.read;
    } else {
        in->reader.fd = open(cell.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (in->reader.fd < 0) return *error = cell.file + " cannot be read: " + std::strerror(errno) + ".", false;
    }
    in->reader.start = cell.start;
    in->reader.end = cell.end;
    in->io = MakeIo(&in->reader, false, ReadRange, nullptr, SeekRange);
    AVFormatContext* fmt = avformat_alloc_context();
    if (!in->io || !fmt) return *error = "out of memory.", false;
    fmt->pb = in->io.get();
    // Frames of an MPEG stream carry a presentation time only where a
    // packet starts with them; the demuxer derives the others from the
    // order of the frames (reference frames are shown at the next
    // reference frame's decoding time).
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_GENPTS;
    const AVInputFormat* mpeg = av_find_input_format("mpeg");
    int rc = avformat_open_input(&fmt, nullptr, mpeg, nullptr);
    if (rc < 0)
        return *error = cell.file + " holds no MPEG program stream where the disc says: " + AvError(rc) + ".", false;
    in->fmt.reset(fmt);
    rc = avformat_find_stream_info(fmt, nullptr);
    // Cancelled while the streams were being identified: the callers say so
    // (the streams found so far may lack the video).
    if (in->reader.cancelled) return false;
    if (rc < 0) return *error = cell.file + ": the streams of a cell cannot be identified: " + AvError(rc) + ".", false;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && in->video < 0) in->video = static_cast<int>(i);
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && in->audio < 0 && par->codec_id != AV_CODEC_ID_NONE)
            in->audio = static_cast<int>(i);
    }
    if (in->video < 0) return *error = cell.file + ": a cell holds no video stream.", false;
    return true;
}

// 16:9 or 4:3 as a sample aspect ratio for a picture of width x height.
AVRational SampleAspect(int num, int den, int width, int height) {
    AVRational sar{};
    av_reduce(&sar.num, &sar.den, static_cast<int64_t>(num) * height, static_cast<int64_t>(den) * width, 1 << 20);
    return sar;
}

}  // namespace

const char* ContainerName(Container c) {
    switch (c) {
        case Container::kMkv: return "MKV";
        case Container::kMp4: return "MP4";
        case Container::kDvdVideo: return "DVD-Video";
        default: return "MPEG-PS";
    }
}

namespace {

// Packets held back at a cell's start (freed with it).
class Held {
public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { Clear(); }
    bool Add(const AVPacket* p) {
        AVPacket* copy = av_packet_clone(p);
        if (copy) packets.push_back(copy);
        return copy != nullptr;
    }
    void Clear() {
        for (AVPacket*& p : packets) av_packet_free(&p);
        packets.clear();
    }
    std::vector<AVPacket*> packets;
};

// One export: the output, its streams, and where the cells went.
class Exporter {
public:
    Exporter(const Plan& plan, int fd, const ProgressFn& progress, std::string* error)
        : m_plan(plan), m_fd(fd), m_progress(progress), m_error(*error), m_mp4(plan.container == Container::kMp4) {}

    Result Run() {
        for (const Cell& c : m_plan.cells) m_total += static_cast<uint64_t>(c.end - c.start);
        Result r = Begin();
        for (size_t k = 0; r == Result::kDone && k < m_plan.cells.size(); ++k) r = ExportCell(k);
        return r == Result::kDone ? Finish() : r;
    }

private:
    Result Fail(const std::string& sentence, Result r = Result::kFailed) {
        m_error = sentence;
        return r;
    }
    Result WriteFailed(int rc) { return Fail("could not be written: " + AvError(rc) + ".", Result::kWriteFailed); }

    // The output context, its I/O, title, date and chapters.
    Result Begin() {
        AVFormatContext* out = nullptr;
        if (avformat_alloc_output_context2(&out, nullptr, MuxerName(m_plan.container), nullptr) < 0 || !out)
            return Fail(std::string("libavformat offers no ") + ContainerName(m_plan.container) + " muxer.");
        m_out.reset(out);
        // MP4 keeps the frames around each cell, hidden by its edits, which
        // an encoder would show.
        if (m_plan.videoWidth > 0 && m_mp4) return Fail("MP4's video is not encoded anew; export to MKV instead.");
        m_writer.fd = m_fd;
        m_writer.progress = &m_progress;
        m_writer.done = &m_done;
        m_writer.total = m_total;
        m_outIo = MakeIo(&m_writer, true, nullptr, WriteFd, SeekFd);
        m_packet.reset(av_packet_alloc());
        if (!m_outIo || !m_packet) return Fail("out of memory.");
        out->pb = m_outIo.get();
        // A pipe or device: the muxer writes what needs no going back.
        if (lseek(m_fd, 0, SEEK_CUR) < 0) out->pb->seekable = 0;
        out->flags |= AVFMT_FLAG_CUSTOM_IO;
        if (!m_plan.title.empty()) av_dict_set(&out->metadata, "title", m_plan.title.c_str(), 0);
        if (!m_plan.creationTime.empty()) av_dict_set(&out->metadata, "creation_time", m_plan.creationTime.c_str(), 0);
        return AddChapters();
    }

    // Chapters, in the muxer's own array (freed with the context).
    Result AddChapters() {
        AVFormatContext* out = m_out.get();
        const std::vector<Chapter>& chapters = m_plan.chapters;
        if (IsProgramStream(m_plan.container) || chapters.empty()) return Result::kDone;
        out->chapters = static_cast<AVChapter**>(av_calloc(chapters.size(), sizeof(AVChapter*)));
        if (!out->chapters) return Fail("out of memory.");
        const int64_t length = OutputDuration(m_plan);
        for (size_t i = 0; i < chapters.size(); ++i) {
            auto* ch = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
            if (!ch) return Fail("out of memory.");
            out->chapters[out->nb_chapters++] = ch;
            ch->id = static_cast<decltype(ch->id)>(i + 1);
            ch->time_base = kMpegClock;
            ch->start = CellStart(m_plan, chapters[i].cell) + chapters[i].offset;
            ch->end =
                i + 1 < chapters.size() ? CellStart(m_plan, chapters[i + 1].cell) + chapters[i + 1].offset : length;
            av_dict_set(&ch->metadata, "title", chapters[i].name.c_str(), 0);
        }
        return Result::kDone;
    }

    // The output's video stream: the first cell's coding, or MPEG-2 at the
    // plan's picture size, encoded here.
    Result StartVideo(const CellInput& in) {
        const AVStream* src = in.fmt->streams[in.video];
        const AVCodecParameters* vpar = src->codecpar;
        AVStream* v = avformat_new_stream(m_out.get(), nullptr);
        if (!v) return Fail("out of memory.");
        v->time_base = kMpegClock;
        m_outVideo = v->index;
        m_videoCodec = vpar->codec_id;
        if (m_plan.videoWidth > 0) {
            VideoTranscoder::Settings s;
            s.width = m_plan.videoWidth;
            s.height = m_plan.videoHeight;
            const AVRational rate = src->avg_frame_rate.num > 0 ? src->avg_frame_rate : src->r_frame_rate;
            s.rate = rate.num > 0 && av_q2d(rate) < 27 ? AVRational{25, 1} : AVRational{30000, 1001};
            if (m_plan.aspectNum > 0) s.aspect = AVRational{m_plan.aspectNum, m_plan.aspectDen};
            // Fields stay fields where the picture keeps its height.
            s.interlaced = vpar->codec_id == AV_CODEC_ID_MPEG2VIDEO && vpar->height == s.height &&
                           vpar->field_order != AV_FIELD_PROGRESSIVE;
            for (const Chapter& ch : m_plan.chapters) s.gopStarts.push_back(CellStart(m_plan, ch.cell) + ch.offset);
            std::sort(s.gopStarts.begin(), s.gopStarts.end());
            m_video.reset(new VideoTranscoder);
            return m_video->Open(s, v->codecpar, &m_error) ? Result::kDone : Result::kFailed;
        }
        if (avcodec_parameters_copy(v->codecpar, vpar) < 0) return Fail("out of memory.");
        v->codecpar->codec_tag = 0;
        if (m_plan.aspectNum > 0 && !IsProgramStream(m_plan.container)) {
            const AVRational sar = SampleAspect(m_plan.aspectNum, m_plan.aspectDen, vpar->width, vpar->height);
            v->sample_aspect_ratio = sar;
            v->codecpar->sample_aspect_ratio = sar;
        }
        return Result::kDone;
    }

    // The output's streams, from the first cell's; the header.
    Result StartOutput(const CellInput& in) {
        AVFormatContext* out = m_out.get();
        const AVCodecParameters* apar = in.audio >= 0 ? in.fmt->streams[in.audio]->codecpar : nullptr;
        const Result video = StartVideo(in);
        if (video != Result::kDone) return video;
        if (m_plan.audio != AudioOut::kCopy) {
            AVStream* a = avformat_new_stream(out, nullptr);
            if (!a) return Fail("out of memory.");
            m_transcoder.reset(new AudioTranscoder);
            const AVCodecID codec = m_plan.audio == AudioOut::kAc3 ? AV_CODEC_ID_AC3 : AV_CODEC_ID_AAC;
            if (!m_transcoder->Open(codec, m_plan.audioChannels, a->codecpar, &m_error)) return Result::kFailed;
            a->time_base = kMpegClock;
            m_outAudio = a->index;
        } else if (apar) {
            m_audioCodec = apar->codec_id;
            if (!Holds(m_plan.container, apar->codec_id)) {
                return Fail(std::string(ContainerName(m_plan.container)) + " cannot hold " +
                            avcodec_get_name(apar->codec_id) + " audio; export to MKV (or MPEG-PS) instead.");
            }
            AVStream* a = avformat_new_stream(out, nullptr);
            if (!a || avcodec_parameters_copy(a->codecpar, apar) < 0) return Fail("out of memory.");
            a->codecpar->codec_tag = 0;
            a->time_base = kMpegClock;
            m_outAudio = a->index;
            // DVD LPCM outside a program stream: its samples, decoded, as
            // little-endian PCM of the same depth (the containers know no
            // LPCM headers).
            if (apar->codec_id == AV_CODEC_ID_PCM_DVD && !IsProgramStream(m_plan.container)) {
                const Result r = OpenLpcm(apar, a->codecpar);
                if (r != Result::kDone) return r;
            }
        }
        // Negative time stamps of the MP4 lead frames go into its edit list;
        // in the others the output starts at 0 as laid out.
        if (m_plan.container == Container::kMkv) out->avoid_negative_ts = 0;
        const int rc = avformat_write_header(out, nullptr);
        if (rc < 0) return Fail("the output cannot be started: " + AvError(rc) + ".");
        return Result::kDone;
    }

    Result OpenLpcm(const AVCodecParameters* in, AVCodecParameters* out) {
        m_lpcm = OpenDecoder(in);
        m_frame.reset(av_frame_alloc());
        if (!m_lpcm || !m_frame) return Fail("the LPCM audio cannot be decoded with this FFmpeg.");
        const int bits = in->bits_per_coded_sample;
        out->codec_id = bits > 16 ? AV_CODEC_ID_PCM_S24LE : AV_CODEC_ID_PCM_S16LE;
        out->bits_per_coded_sample = bits > 16 ? 24 : 16;
        out->block_align = out->ch_layout.nb_channels * out->bits_per_coded_sample / 8;
        out->bit_rate = static_cast<int64_t>(out->block_align) * out->sample_rate * 8;
        return Result::kDone;
    }

    Result ExportCell(size_t k) {
        const Cell& cell = m_plan.cells[k];
        CellInput in;
        in.reader.done = &m_done;
        in.reader.total = m_total;
        in.reader.progress = &m_progress;
        if (!OpenCell(cell, m_plan, &in, &m_error)) return in.reader.cancelled ? Result::kCancelled : Result::kFailed;
        if (in.reader.cancelled) return Result::kCancelled;
        if (!m_started) {
            const Result r = StartOutput(in);
            if (r != Result::kDone) return r;
            m_started = true;
        } else {
            const Result r = SameCoding(in, k);
            if (r != Result::kDone) return r;
        }
        m_in = &in;
        m_cellEnd = m_position + cell.lead + cell.duration;
        m_videoEnd = m_cellEnd;
        m_base = AV_NOPTS_VALUE;
        m_forwardGone = false;
        const AVStream* vst = in.fmt->streams[in.video];
        const AVRational rate = vst->avg_frame_rate.num > 0 ? vst->avg_frame_rate : vst->r_frame_rate;
        m_frame90 = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kMpegClock) : 3600;
        if (m_lpcm) avcodec_flush_buffers(m_lpcm.get());
        if (m_transcoder) {
            const AVCodecParameters* apar = in.audio >= 0 ? in.fmt->streams[in.audio]->codecpar : nullptr;
            m_audioCodec = apar ? apar->codec_id : AV_CODEC_ID_NONE;  // for the partial-frame check
            if (!m_transcoder->StartCell(apar, AudioWriter(), &m_error)) return Result::kWriteFailed;
        }
        if (m_video && !m_video->StartCell(vst->codecpar, VideoWriter(), &m_error)) return Result::kFailed;
        const Result r = CopyPackets(cell);
        m_in = nullptr;
        if (r != Result::kDone) return r;
        m_cellFirstFrames.push_back(m_position + cell.lead);
        m_position = m_mp4 ? m_videoEnd : m_cellEnd;
        return Result::kDone;
    }

    Result SameCoding(const CellInput& in, size_t k) {
        const AVCodecParameters* vpar = in.fmt->streams[in.video]->codecpar;
        const AVCodecParameters* apar = in.audio >= 0 ? in.fmt->streams[in.audio]->codecpar : nullptr;
        const AVCodecID audio = apar ? apar->codec_id : AV_CODEC_ID_NONE;
        if (vpar->codec_id == m_videoCodec && (m_transcoder || audio == m_audioCodec)) return Result::kDone;
        const auto name = [](AVCodecID id) {
            return std::string(id == AV_CODEC_ID_NONE ? "none" : avcodec_get_name(id));
        };
        const bool video = vpar->codec_id != m_videoCodec;
        return Fail("cell " + std::to_string(k + 1) + "'s " + (video ? "video" : "audio") + " is " +
                    name(video ? vpar->codec_id : audio) + " where the first cell's is " +
                    name(video ? m_videoCodec : m_audioCodec) + "; one file holds one coding.");
    }

    // Reads the cell's packets and writes those that belong to it. Its
    // first GOP is held back until it is whole: its lowest presentation
    // time is the VOBU's first frame, which `position` stands for, and its
    // pictures without a reference are known only then.
    Result CopyPackets(const Cell& cell) {
        Held held;
        int keyframes = 0;
        AVPacket* pkt = m_packet.get();
        for (;;) {
            const int rc = av_read_frame(m_in->fmt.get(), pkt);
            const bool ended = rc < 0;
            if (ended) {
                if (m_in->reader.cancelled) return Result::kCancelled;
                // Past the range's end, or a pack the demuxer cannot parse
                // there: what was read stands. A failed read is an error.
                if (m_in->reader.failed) return Fail(cell.file + " could not be read: " + AvError(rc) + ".");
            } else if (pkt->stream_index != m_in->video && pkt->stream_index != m_in->audio) {
                av_packet_unref(pkt);
                continue;
            }
            if (!ended && m_base == AV_NOPTS_VALUE) {
                if (pkt->stream_index == m_in->video && (pkt->flags & AV_PKT_FLAG_KEY)) ++keyframes;
                if (keyframes < 2) {
                    const bool kept = held.Add(pkt);
                    av_packet_unref(pkt);
                    if (!kept) return Fail("out of memory.");
                    continue;
                }
            }
            if (m_base == AV_NOPTS_VALUE) {
                const Result r = ReleaseFirstGop(cell, held);
                if (r != Result::kDone) return r;
            }
            if (ended) break;
            const int w = Emit(pkt);
            av_packet_unref(pkt);
            if (w < 0) return WriteFailed(w);
        }
        return Result::kDone;
    }

    // The held first GOP: its base time, its pictures without a reference
    // left out (the others renumbered in display order, the GOP marked
    // closed), then written.
    Result ReleaseFirstGop(const Cell& cell, Held& held) {
        const AVStream* vst = m_in->fmt->streams[m_in->video];
        std::vector<Picture> pictures;
        std::vector<size_t> videoAt;  // index into held of each picture
        for (size_t i = 0; i < held.packets.size(); ++i) {
            const AVPacket* p = held.packets[i];
            if (p->stream_index != m_in->video) continue;
            if (p->pts != AV_NOPTS_VALUE) {
                const int64_t t = av_rescale_q(p->pts, vst->time_base, kMpegClock);
                if (m_base == AV_NOPTS_VALUE || t < m_base) m_base = t;
            }
            pictures.push_back(InspectPicture(p->data, static_cast<size_t>(p->size)));
            videoAt.push_back(i);
        }
        if (m_base == AV_NOPTS_VALUE) return Fail(cell.file + ": a cell's video carries no time stamps.");
        const std::vector<bool> drop = PicturesWithoutReference(pictures);
        const int dropped = static_cast<int>(std::count(drop.begin(), drop.end(), true));
        std::vector<bool> keep(held.packets.size(), true);
        for (size_t i = 0; i < pictures.size(); ++i) {
            AVPacket* p = held.packets[videoAt[i]];
            if (drop[i]) {
                keep[videoAt[i]] = false;
            } else if (dropped > 0 && av_packet_make_writable(p) >= 0) {
                SetTemporalReference(p->data, pictures[i], pictures[i].temporalReference - dropped);
                CloseGop(p->data, pictures[i]);
            }
        }
        for (size_t i = 0; i < held.packets.size(); ++i) {
            const int w = keep[i] ? Emit(held.packets[i]) : 0;
            if (w < 0) return WriteFailed(w);
        }
        held.Clear();
        return Result::kDone;
    }

    // Writes one packet of the cell at its output time, or leaves it out:
    // frames behind the cell's last one belong to the next cell's time
    // (MP4 keeps them, hidden, for decoding; elsewhere B-pictures that
    // would refer to such a frame go too); audio before the cell's first
    // VOBU belongs to the previous cell, and a partial audio frame at the
    // cell's end is none. <0 is a write error.
    int Emit(AVPacket* p) {
        const bool isVideo = p->stream_index == m_in->video;
        const AVStream* src = m_in->fmt->streams[p->stream_index];
        int64_t pts = p->pts == AV_NOPTS_VALUE ? p->dts : p->pts;
        if (pts == AV_NOPTS_VALUE) return 0;
        pts = av_rescale_q(pts, src->time_base, kMpegClock) - m_base + m_position;
        int64_t dts =
            p->dts == AV_NOPTS_VALUE ? pts : av_rescale_q(p->dts, src->time_base, kMpegClock) - m_base + m_position;
        if (isVideo && !m_mp4) {
            const Picture picture = InspectPicture(p->data, static_cast<size_t>(p->size));
            if (pts >= m_cellEnd) {
                if (picture.type != Picture::kB) m_forwardGone = true;
                return 0;
            }
            if (m_forwardGone && picture.type == Picture::kB) return 0;
        }
        if (!isVideo) {
            if (pts >= m_cellEnd || pts < m_position) return 0;
            if (PartialAudioFrame(p)) return 0;
            if (m_transcoder) return m_transcoder->Feed(p, pts, AudioWriter());
            if (m_lpcm) return EmitLpcm(p);
        }
        if (isVideo && m_video) return m_video->Feed(p, pts, VideoWriter());
        const int slot = isVideo ? 0 : 1;
        if (dts <= m_lastDts[slot]) dts = m_lastDts[slot] + 1;
        if (pts < dts) pts = dts;
        m_lastDts[slot] = dts;
        if (m_firstDts[slot] == INT64_MIN) m_firstDts[slot] = dts;
        if (isVideo) m_videoEnd = std::max(m_videoEnd, pts + m_frame90);
        p->pts = pts;
        p->dts = dts;
        p->duration = av_rescale_q(p->duration, src->time_base, kMpegClock);
        p->stream_index = isVideo ? m_outVideo : m_outAudio;
        av_packet_rescale_ts(p, kMpegClock, m_out->streams[p->stream_index]->time_base);
        p->pos = -1;
        return av_interleaved_write_frame(m_out.get(), p);
    }

    // An MPEG audio or AC-3 packet shorter than the frame its header
    // announces: the part of a frame that the cell's last bytes hold.
    bool PartialAudioFrame(const AVPacket* p) const {
        AudioCoding coding;
        if (m_audioCodec == AV_CODEC_ID_AC3)
            coding = AudioCoding::kAc3;
        else if (m_audioCodec == AV_CODEC_ID_MP2 || m_audioCodec == AV_CODEC_ID_MP1 || m_audioCodec == AV_CODEC_ID_MP3)
            coding = AudioCoding::kMpeg;
        else
            return false;
        const size_t whole = AudioFrameBytes(coding, p->data, static_cast<size_t>(p->size));
        return whole > static_cast<size_t>(p->size);
    }

    // LPCM: the packet's samples, decoded, written as PCM at its time.
    int EmitLpcm(const AVPacket* p) {
        AVPacket* in = av_packet_clone(p);
        if (!in) return AVERROR(ENOMEM);
        const int64_t pts = av_rescale_q(p->pts == AV_NOPTS_VALUE ? p->dts : p->pts,
                                         m_in->fmt->streams[p->stream_index]->time_base, kMpegClock) -
                            m_base + m_position;
        int rc = avcodec_send_packet(m_lpcm.get(), in);
        av_packet_free(&in);
        if (rc < 0) return 0;  // a damaged LPCM packet: left out, as a player would
        int64_t at = pts;
        while ((rc = avcodec_receive_frame(m_lpcm.get(), m_frame.get())) >= 0) {
            const int w = WritePcm(m_frame.get(), at);
            at += av_rescale(m_frame->nb_samples, 90000, m_frame->sample_rate);
            av_frame_unref(m_frame.get());
            if (w < 0) return w;
        }
        return 0;
    }

    // One decoded LPCM frame as little-endian PCM of 16 or 24 bits.
    int WritePcm(const AVFrame* f, int64_t pts) {
        const int channels = f->ch_layout.nb_channels;
        const bool deep = f->format == AV_SAMPLE_FMT_S32;
        const int bytes = deep ? 3 : 2;
        std::unique_ptr<AVPacket, PacketFree> out(av_packet_alloc());
        if (!out || av_new_packet(out.get(), f->nb_samples * channels * bytes) < 0) return AVERROR(ENOMEM);
        uint8_t* w = out->data;
        const size_t values = static_cast<size_t>(f->nb_samples) * static_cast<size_t>(channels);
        for (size_t i = 0; i < values; ++i) {
            if (deep) {
                const uint32_t v = static_cast<uint32_t>(reinterpret_cast<const int32_t*>(f->data[0])[i]) >> 8;
                *w++ = static_cast<uint8_t>(v);
                *w++ = static_cast<uint8_t>(v >> 8);
                *w++ = static_cast<uint8_t>(v >> 16);
            } else {
                const uint16_t v = static_cast<uint16_t>(reinterpret_cast<const int16_t*>(f->data[0])[i]);
                *w++ = static_cast<uint8_t>(v);
                *w++ = static_cast<uint8_t>(v >> 8);
            }
        }
        out->pts = out->dts = pts;
        out->duration = av_rescale(f->nb_samples, 90000, f->sample_rate);
        return WriteMade(out.get(), 1);
    }

    // A packet made here (encoded video, decoded LPCM, transcoded audio),
    // its times in 90 kHz, into the video (slot 0) or audio (1) stream, its
    // time stamps rising.
    int WriteMade(AVPacket* p, int slot) {
        if (p->dts <= m_lastDts[slot]) p->dts = m_lastDts[slot] + 1;
        if (p->pts < p->dts) p->pts = p->dts;
        m_lastDts[slot] = p->dts;
        if (m_firstDts[slot] == INT64_MIN) m_firstDts[slot] = p->dts;
        p->stream_index = slot == 0 ? m_outVideo : m_outAudio;
        av_packet_rescale_ts(p, kMpegClock, m_out->streams[p->stream_index]->time_base);
        return av_interleaved_write_frame(m_out.get(), p);
    }
    AudioTranscoder::Writer AudioWriter() {
        return [this](AVPacket* p) { return WriteMade(p, 1); };
    }
    VideoTranscoder::Writer VideoWriter() {
        return [this](AVPacket* p) { return WriteMade(p, 0); };
    }

    Result Finish() {
        if (!m_started) return Fail("there is nothing to export.");
        if (m_video) {
            const int w = m_video->Finish(VideoWriter());
            if (w < 0) return WriteFailed(w);
        }
        if (m_transcoder) {
            const int w = m_transcoder->Finish(AudioWriter());
            if (w < 0) return WriteFailed(w);
        }
        const int rc = av_write_trailer(m_out.get());
        if (rc < 0) return Fail("the output could not be finished: " + AvError(rc) + ".");
        avio_flush(m_out->pb);
        if (m_out->pb->error < 0) return WriteFailed(m_out->pb->error);
        if (!m_mp4) return Result::kDone;
        // A track that got no packet keeps what the muxer wrote.
        std::vector<TrackEdits> tracks;
        for (size_t t = 0; t < 2; ++t) {
            if (m_firstDts[t] == INT64_MIN) continue;
            tracks.emplace_back();
            std::memcpy(tracks.back().handler, t == 0 ? "vide" : "soun", 5);
            for (size_t k = 0; k < m_plan.cells.size(); ++k)
                tracks.back().edits.push_back({m_cellFirstFrames[k] - m_firstDts[t], m_plan.cells[k].duration});
        }
        if (!RewriteEdits(m_fd, tracks, &m_error)) return Result::kWriteFailed;
        return Result::kDone;
    }

    const Plan& m_plan;
    const int m_fd;
    const ProgressFn& m_progress;
    std::string& m_error;
    const bool m_mp4;  // MP4 keeps every frame of a cell's VOBUs and gets an edit per cell
    uint64_t m_total = 0, m_done = 0;
    std::unique_ptr<AVFormatContext, OutputFree> m_out;
    Writer m_writer;
    IoPtr m_outIo;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    CodecPtr m_lpcm;  // decodes LPCM outside MPEG-PS
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AudioTranscoder> m_transcoder;  // when the plan asks for one audio coding
    std::unique_ptr<VideoTranscoder> m_video;  // when the plan gives a picture size
    bool m_started = false;
    int m_outVideo = -1, m_outAudio = -1;
    AVCodecID m_videoCodec = AV_CODEC_ID_NONE, m_audioCodec = AV_CODEC_ID_NONE;
    // The cell being exported: its input, where it starts and ends in the
    // output, its first VOBU's first frame in its own time.
    CellInput* m_in = nullptr;
    int64_t m_position = 0, m_cellEnd = 0, m_videoEnd = 0, m_base = AV_NOPTS_VALUE, m_frame90 = 3600;
    bool m_forwardGone = false;  // a reference frame behind the cell's end was left out
    int64_t m_lastDts[2] = {INT64_MIN, INT64_MIN}, m_firstDts[2] = {INT64_MIN, INT64_MIN};
    std::vector<int64_t> m_cellFirstFrames;  // output time of each cell's first frame
};

}  // namespace

namespace {

// Turns decoded still pictures into image files: scaled to square pixels at
// the display aspect, as PNG (RGB) or JPEG (full-range YUV).
class PictureWriter {
public:
    PictureWriter(ImageFormat format, int aspectNum, int aspectDen)
        : m_format(format), m_num(aspectNum > 0 ? aspectNum : 4), m_den(aspectDen > 0 ? aspectDen : 3) {}

    // The image of f; false with *error.
    bool Encode(const AVFrame* f, std::vector<uint8_t>* image, std::string* error) {
        const int height = f->height;
        const int width = static_cast<int>((static_cast<int64_t>(height) * m_num / m_den + 1) / 2 * 2);
        const AVPixelFormat pixels = m_format == ImageFormat::kPng ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUVJ420P;
        if (!m_encoder || m_encoder->width != width || m_encoder->height != height) {
            const AVCodec* codec =
                avcodec_find_encoder(m_format == ImageFormat::kPng ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG);
            m_encoder.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
            if (!m_encoder) return *error = "this FFmpeg offers no image encoder.", false;
            m_encoder->width = width;
            m_encoder->height = height;
            m_encoder->pix_fmt = pixels;
            m_encoder->time_base = AVRational{1, 25};
            if (m_format == ImageFormat::kJpeg) {
                m_encoder->flags |= AV_CODEC_FLAG_QSCALE;
                m_encoder->global_quality = FF_QP2LAMBDA * 2;
            }
            if (avcodec_open2(m_encoder.get(), codec, nullptr) < 0)
                return *error = "the image encoder cannot be opened.", false;
        }
        m_scaler.reset(sws_getCachedContext(m_scaler.release(), f->width, f->height,
                                            static_cast<AVPixelFormat>(f->format), width, height, pixels, SWS_BICUBIC,
                                            nullptr, nullptr, nullptr));
        std::unique_ptr<AVFrame, FrameFree> out(av_frame_alloc());
        std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
        if (!m_scaler || !out || !packet) return *error = "out of memory.", false;
        out->width = width;
        out->height = height;
        out->format = pixels;
        if (av_frame_get_buffer(out.get(), 0) < 0) return *error = "out of memory.", false;
        sws_scale(m_scaler.get(), f->data, f->linesize, 0, f->height, out->data, out->linesize);
        if (avcodec_send_frame(m_encoder.get(), out.get()) < 0 ||
            avcodec_receive_packet(m_encoder.get(), packet.get()) < 0)
            return *error = "a picture could not be encoded.", false;
        image->assign(packet->data, packet->data + packet->size);
        return true;
    }

private:
    ImageFormat m_format;
    int m_num, m_den;
    std::unique_ptr<AVCodecContext, CodecFree> m_encoder;
    std::unique_ptr<SwsContext, ScalerFree> m_scaler;
};

}  // namespace

Result DecodeCell(const Plan& plan, const Cell& cell, uint64_t* done, uint64_t total, const ProgressFn& progress,
                  const std::function<bool(const AVFrame*)>& onPicture, std::string* error) {
    CellInput in;
    in.reader.done = done;
    in.reader.total = total;
    in.reader.progress = &progress;
    if (!OpenCell(cell, plan, &in, error)) return in.reader.cancelled ? Result::kCancelled : Result::kFailed;
    const CodecPtr decoder = OpenDecoder(in.fmt->streams[in.video]->codecpar);
    const PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    if (!decoder || !packet || !frame)
        return *error = "the pictures cannot be decoded with this FFmpeg.", Result::kFailed;
    bool more = true;
    const auto drain = [&] {
        while (more && avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            more = onPicture(frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (more && av_read_frame(in.fmt.get(), packet.get()) >= 0) {
        if (packet->stream_index == in.video && avcodec_send_packet(decoder.get(), packet.get()) >= 0) drain();
        av_packet_unref(packet.get());
    }
    if (in.reader.cancelled) return Result::kCancelled;
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
    return more ? Result::kDone : Result::kWriteFailed;
}

Result ExportPictures(const Plan& plan, ImageFormat format, const PictureSink& sink, const ProgressFn& progress,
                      std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    uint64_t total = 0, done = 0;
    for (const Cell& c : plan.cells) total += static_cast<uint64_t>(c.end - c.start);
    PictureWriter writer(format, plan.aspectNum, plan.aspectDen);
    size_t index = 0;
    bool failed = false;
    std::vector<uint8_t> image;
    for (const Cell& cell : plan.cells) {
        const Result r = DecodeCell(
            plan, cell, &done, total, progress,
            [&](const AVFrame* f) {
                if (!writer.Encode(f, &image, error)) return !(failed = true);
                return sink(index++, image.data(), image.size());
            },
            error);
        if (failed) return Result::kFailed;
        if (r != Result::kDone) return r;
    }
    if (index == 0) return *error = "no picture could be decoded.", Result::kFailed;
    return Result::kDone;
}

Result Export(const Plan& plan, int fd, const ProgressFn& progress, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    return Exporter(plan, fd, progress, error).Run();
}

}  // namespace vrexport
