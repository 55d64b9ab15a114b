// Remultiplexing through libavformat: one demuxer ("mpeg") per cell over an
// AVIOContext that reads only the cell's byte range of its stream file, one
// muxer writing into the caller's descriptor through another.
#include "export/remux.h"

#include "export/mp4_edits.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace vrexport {
namespace {

const AVRational kMpegClock{1, 90000};
constexpr int kBufferBytes = 1 << 16;

// ---- Reading: a cell's byte range ----

struct RangeReader {
    int fd = -1;
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
    const ssize_t got = pread(r->fd, buf, want, static_cast<off_t>(r->start + r->pos));
    if (got < 0) {
        r->failed = true;
        return AVERROR(errno);
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
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// One cell opened for demuxing: the video stream and the first audio stream.
struct CellInput {
    RangeReader reader;
    IoPtr io;
    std::unique_ptr<AVFormatContext, InputFree> fmt;
    int video = -1, audio = -1;
};

bool OpenCell(const Cell& cell, CellInput* in, std::string* error) {
    in->reader.fd = open(cell.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in->reader.fd < 0) return *error = cell.file + " cannot be read: " + std::strerror(errno) + ".", false;
    in->reader.start = cell.start;
    in->reader.end = cell.end;
    in->io = MakeIo(&in->reader, false, ReadRange, nullptr, SeekRange);
    AVFormatContext* fmt = avformat_alloc_context();
    if (!in->io || !fmt) return *error = "out of memory.", false;
    fmt->pb = in->io.get();
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* mpeg = av_find_input_format("mpeg");
    int rc = avformat_open_input(&fmt, nullptr, mpeg, nullptr);
    if (rc < 0)
        return *error = cell.file + " holds no MPEG program stream where the disc says: " + AvError(rc) + ".", false;
    in->fmt.reset(fmt);
    if ((rc = avformat_find_stream_info(fmt, nullptr)) < 0 && !in->reader.cancelled) {
        return *error = cell.file + ": the streams of a cell cannot be identified: " + AvError(rc) + ".", false;
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && in->video < 0) in->video = static_cast<int>(i);
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && in->audio < 0 && par->codec_id != AV_CODEC_ID_NONE)
            in->audio = static_cast<int>(i);
    }
    if (in->video < 0 && !in->reader.cancelled) return *error = cell.file + ": a cell holds no video stream.", false;
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
        default: return "MPEG-PS";
    }
}

int64_t CellStart(const Plan& plan, size_t cell) {
    // MP4's edit lists hide what lies around each cell; elsewhere the lead
    // frames play.
    const bool exact = plan.container == Container::kMp4;
    int64_t t = 0;
    for (size_t i = 0; i < cell; ++i) t += plan.cells[i].duration + (exact ? 0 : plan.cells[i].lead);
    return t + (exact ? 0 : plan.cells[cell].lead);
}

int64_t OutputDuration(const Plan& plan) {
    if (plan.cells.empty()) return 0;
    return CellStart(plan, plan.cells.size() - 1) + plan.cells.back().duration;
}

Result Export(const Plan& plan, int fd, const ProgressFn& progress, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    uint64_t total = 0, done = 0;
    for (const Cell& c : plan.cells) total += static_cast<uint64_t>(c.end - c.start);

    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, MuxerName(plan.container), nullptr) < 0 || !out) {
        return *error = std::string("libavformat offers no ") + ContainerName(plan.container) + " muxer.",
               Result::kFailed;
    }
    std::unique_ptr<AVFormatContext, OutputFree> outOwner(out);
    Writer writer;
    writer.fd = fd;
    writer.progress = &progress;
    writer.done = &done;
    writer.total = total;
    IoPtr outIo = MakeIo(&writer, true, nullptr, WriteFd, SeekFd);
    if (!outIo) return *error = "out of memory.", Result::kFailed;
    out->pb = outIo.get();
    // A pipe or device: the muxer writes what needs no going back.
    if (lseek(fd, 0, SEEK_CUR) < 0) out->pb->seekable = 0;
    out->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (!plan.title.empty()) av_dict_set(&out->metadata, "title", plan.title.c_str(), 0);
    if (!plan.creationTime.empty()) av_dict_set(&out->metadata, "creation_time", plan.creationTime.c_str(), 0);

    // Chapters, in the muxer's own array (freed with the context).
    const int64_t length = OutputDuration(plan);
    if (plan.container != Container::kMpegPs && !plan.chapters.empty()) {
        out->chapters = static_cast<AVChapter**>(av_calloc(plan.chapters.size(), sizeof(AVChapter*)));
        if (!out->chapters) return *error = "out of memory.", Result::kFailed;
        for (size_t i = 0; i < plan.chapters.size(); ++i) {
            auto* ch = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
            if (!ch) return *error = "out of memory.", Result::kFailed;
            out->chapters[out->nb_chapters++] = ch;
            const Chapter& c = plan.chapters[i];
            ch->id = static_cast<decltype(ch->id)>(i + 1);
            ch->time_base = kMpegClock;
            ch->start = CellStart(plan, c.cell) + c.offset;
            ch->end = i + 1 < plan.chapters.size()
                          ? CellStart(plan, plan.chapters[i + 1].cell) + plan.chapters[i + 1].offset
                          : length;
            av_dict_set(&ch->metadata, "title", c.name.c_str(), 0);
        }
    }

    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    if (!pkt) return *error = "out of memory.", Result::kFailed;
    int outVideo = -1, outAudio = -1;
    AVCodecID videoCodec = AV_CODEC_ID_NONE, audioCodec = AV_CODEC_ID_NONE;
    bool started = false;
    // MP4 keeps every frame of a cell's VOBUs and gets an edit per cell
    // (RewriteEdits): the times of the cells' first frames, and of each
    // track's first decoding time, which its media times count from.
    const bool mp4 = plan.container == Container::kMp4;
    int64_t position = 0;
    int64_t lastDts[2] = {INT64_MIN, INT64_MIN}, firstDts[2] = {INT64_MIN, INT64_MIN};
    std::vector<int64_t> cellFirstFrames;

    for (size_t k = 0; k < plan.cells.size(); ++k) {
        const Cell& cell = plan.cells[k];
        CellInput in;
        in.reader.done = &done;
        in.reader.total = total;
        in.reader.progress = &progress;
        struct Closer {
            int* fd;
            ~Closer() {
                if (*fd >= 0) close(*fd);
            }
        } closer{&in.reader.fd};
        if (!OpenCell(cell, &in, error)) return in.reader.cancelled ? Result::kCancelled : Result::kFailed;
        if (in.reader.cancelled) return Result::kCancelled;
        const AVCodecParameters* vpar = in.fmt->streams[in.video]->codecpar;
        const AVCodecParameters* apar = in.audio >= 0 ? in.fmt->streams[in.audio]->codecpar : nullptr;
        if (!started) {
            if (apar && !Holds(plan.container, apar->codec_id)) {
                *error = std::string(ContainerName(plan.container)) + " cannot hold " +
                         avcodec_get_name(apar->codec_id) + " audio; export to MKV (or MPEG-PS) instead.";
                return Result::kFailed;
            }
            AVStream* v = avformat_new_stream(out, nullptr);
            if (!v || avcodec_parameters_copy(v->codecpar, vpar) < 0) return *error = "out of memory.", Result::kFailed;
            v->codecpar->codec_tag = 0;
            if (plan.aspectNum > 0 && plan.container != Container::kMpegPs) {
                const AVRational sar = SampleAspect(plan.aspectNum, plan.aspectDen, vpar->width, vpar->height);
                v->sample_aspect_ratio = sar;
                v->codecpar->sample_aspect_ratio = sar;
            }
            v->time_base = kMpegClock;
            outVideo = v->index;
            videoCodec = vpar->codec_id;
            if (apar) {
                AVStream* a = avformat_new_stream(out, nullptr);
                if (!a || avcodec_parameters_copy(a->codecpar, apar) < 0)
                    return *error = "out of memory.", Result::kFailed;
                a->codecpar->codec_tag = 0;
                // DVD LPCM of 16 bits is big-endian PCM once its header is
                // off, which the demuxer strips; Matroska names it so.
                if (apar->codec_id == AV_CODEC_ID_PCM_DVD && plan.container == Container::kMkv) {
                    if (apar->bits_per_coded_sample != 16)
                        return *error = "only 16-bit LPCM can be exported to MKV.", Result::kFailed;
                    a->codecpar->codec_id = AV_CODEC_ID_PCM_S16BE;
                }
                a->time_base = kMpegClock;
                outAudio = a->index;
                audioCodec = apar->codec_id;
            }
            // Negative time stamps of the MP4 lead frames go into its edit
            // list; in the others the output starts at 0 as laid out.
            if (plan.container == Container::kMkv) out->avoid_negative_ts = 0;
            AVDictionary* opts = nullptr;
            const int rc = avformat_write_header(out, &opts);
            av_dict_free(&opts);
            if (rc < 0) return *error = "the output cannot be started: " + AvError(rc) + ".", Result::kFailed;
            started = true;
        } else if (vpar->codec_id != videoCodec || (apar ? apar->codec_id : AV_CODEC_ID_NONE) != audioCodec) {
            *error = "cell " + std::to_string(k + 1) + " is coded otherwise than the first; one file holds one coding.";
            return Result::kFailed;
        }

        // Time stamps of this cell: its first VOBU's first frame (the lowest
        // video presentation time of its first GOP) becomes `position`.
        std::vector<AVPacket*> held;
        struct Held {
            std::vector<AVPacket*>* v;
            ~Held() {
                for (AVPacket* p : *v) av_packet_free(&p);
            }
        } heldOwner{&held};
        int64_t base = AV_NOPTS_VALUE;
        int keyframes = 0;
        bool ended = false;
        const int64_t cellEnd = position + cell.lead + cell.duration;
        int64_t videoEnd = cellEnd;  // MP4: behind the cell's last frame in its VOBUs
        const AVStream* vst = in.fmt->streams[in.video];
        const AVRational rate = vst->avg_frame_rate.num > 0 ? vst->avg_frame_rate : vst->r_frame_rate;
        const int64_t frame = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kMpegClock) : 3600;
        auto emit = [&](AVPacket* p) -> int {
            const bool isVideo = p->stream_index == in.video;
            AVStream* src = in.fmt->streams[p->stream_index];
            int64_t pts = p->pts == AV_NOPTS_VALUE ? p->dts : p->pts;
            if (pts == AV_NOPTS_VALUE) return 0;
            pts = av_rescale_q(pts, src->time_base, kMpegClock) - base + position;
            int64_t dts =
                p->dts == AV_NOPTS_VALUE ? pts : av_rescale_q(p->dts, src->time_base, kMpegClock) - base + position;
            // Frames behind the cell's last one belong to the next cell's
            // time (MP4 keeps them, hidden, for decoding); audio before the
            // cell's first VOBU to the previous cell.
            if (pts >= cellEnd && (!mp4 || !isVideo)) return 0;
            if (!isVideo && pts < position) return 0;
            const int slot = isVideo ? 0 : 1;
            if (dts <= lastDts[slot]) dts = lastDts[slot] + 1;
            if (pts < dts) pts = dts;
            lastDts[slot] = dts;
            if (firstDts[slot] == INT64_MIN) firstDts[slot] = dts;
            if (isVideo) videoEnd = std::max(videoEnd, pts + frame);
            p->pts = pts;
            p->dts = dts;
            p->duration = av_rescale_q(p->duration, src->time_base, kMpegClock);
            p->stream_index = isVideo ? outVideo : outAudio;
            av_packet_rescale_ts(p, kMpegClock, out->streams[p->stream_index]->time_base);
            p->pos = -1;
            return av_interleaved_write_frame(out, p);
        };
        for (;;) {
            int rc = av_read_frame(in.fmt.get(), pkt.get());
            if (rc < 0) {
                if (in.reader.cancelled) return Result::kCancelled;
                // Past the range's end, or a pack the demuxer cannot parse
                // there: what was read stands. A failed read is an error.
                if (in.reader.failed)
                    return *error = cell.file + " could not be read: " + AvError(rc) + ".", Result::kFailed;
                ended = true;
            } else if (pkt->stream_index != in.video && pkt->stream_index != in.audio) {
                av_packet_unref(pkt.get());
                continue;
            }
            if (!ended && base == AV_NOPTS_VALUE) {
                if (pkt->stream_index == in.video && (pkt->flags & AV_PKT_FLAG_KEY)) ++keyframes;
                if (keyframes < 2) {
                    held.push_back(av_packet_clone(pkt.get()));
                    av_packet_unref(pkt.get());
                    if (!held.back()) return *error = "out of memory.", Result::kFailed;
                    continue;
                }
            }
            if (base == AV_NOPTS_VALUE) {
                for (const AVPacket* p : held) {
                    if (p->stream_index != in.video || p->pts == AV_NOPTS_VALUE) continue;
                    const int64_t t = av_rescale_q(p->pts, in.fmt->streams[in.video]->time_base, kMpegClock);
                    if (base == AV_NOPTS_VALUE || t < base) base = t;
                }
                if (base == AV_NOPTS_VALUE)
                    return *error = cell.file + ": a cell's video carries no time stamps.", Result::kFailed;
                for (AVPacket*& p : held) {
                    const int w = emit(p);
                    av_packet_free(&p);
                    if (w < 0) return *error = "could not be written: " + AvError(w) + ".", Result::kWriteFailed;
                }
                held.clear();
            }
            if (ended) break;
            const int w = emit(pkt.get());
            av_packet_unref(pkt.get());
            if (w < 0) return *error = "could not be written: " + AvError(w) + ".", Result::kWriteFailed;
        }
        cellFirstFrames.push_back(position + cell.lead);
        position = mp4 ? videoEnd : cellEnd;
    }
    if (!started) return *error = "there is nothing to export.", Result::kFailed;
    const int rc = av_write_trailer(out);
    if (rc < 0) return *error = "the output could not be finished: " + AvError(rc) + ".", Result::kFailed;
    avio_flush(out->pb);
    if (out->pb->error < 0)
        return *error = "could not be written: " + AvError(out->pb->error) + ".", Result::kWriteFailed;
    if (mp4) {
        // A track that got no packet keeps what the muxer wrote.
        std::vector<TrackEdits> tracks;
        for (size_t t = 0; t < 2; ++t) {
            if (firstDts[t] == INT64_MIN) continue;
            tracks.emplace_back();
            std::memcpy(tracks.back().handler, t == 0 ? "vide" : "soun", 5);
            for (size_t k = 0; k < plan.cells.size(); ++k)
                tracks.back().edits.push_back({cellFirstFrames[k] - firstDts[t], plan.cells[k].duration});
        }
        if (!RewriteEdits(fd, tracks, error)) return Result::kWriteFailed;
    }
    return Result::kDone;
}

}  // namespace vrexport
