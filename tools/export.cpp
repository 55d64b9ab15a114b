// `vrmangr export`: a program or playlist (or every one) remultiplexed into
// MKV, MP4 or MPEG-PS through the export module (export/, FFmpeg's
// libraries), without re-encoding. The cells, entry points, titles and dates
// come from the library's queries (as `info` gathers them); the output is
// written beside its target and renamed into place when complete.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli.h"
#include "disc_source.h"
#include "export_plan.h"
#include "info.h"
#include "output.h"

#ifdef VRMANGR_EXPORT_MODULE_DIR
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace tool {

#ifndef VRMANGR_EXPORT_MODULE_DIR

int RunExport(const Args&) {
    return Fail(
        "export needs FFmpeg's libraries: install libavformat-dev, libavcodec-dev, libavutil-dev, libswresample-dev, "
        "libswscale-dev, libavfilter-dev and pkg-config, "
        "then build vrmangr again.");
}

#else

namespace {

using vrexport::Container;

// 27 MHz ticks to the 90 kHz clock of the time stamps.
int64_t Clock90(Ticks t) { return t / 300; }

// One video frame in 90 kHz units.
int64_t Frame90(const seg& s) { return s.dwFrameRate == 25000 ? 3600 : 3003; }

// The plan reads its cells from the chain's image or drive, if it has one:
// blocks the medium cannot give are read as zeros (the reading pass before
// the export names them), which the demultiplexer passes over.
void ReadFrom(const Chain& chain, vrexport::Plan* plan) {
    DiscSource* source = chain.source;
    if (!source) return;
    plan->read = [source](const std::string& file, uint64_t offset, void* data, size_t n) {
        std::vector<Unreadable> unreadable;
        return source->ReadAt(BaseName(file).c_str(), offset, data, n, &unreadable);
    };
}

std::array<DWORD, 6> DateOf(const DVDPGCINFO& i) {
    return {i.dwYear, i.dwMonth, i.dwDay, i.dwHour, i.dwMinute, i.dwSecond};
}

// The UTC instant of a recording or creation time, which the disc keeps as
// wall-clock time of its zone (as it is where the zone is unknown).
std::string CreationTime(const DVDPGCINFO& i, WORD zone) {
    time_t t = 0;
    if (!DiscInstant(DateOf(i).data(), zone, &t)) return "";
    tm utc{};
    gmtime_r(&t, &utc);
    char text[48];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return text;
}

// "AC-3 1 channel", for notes.
std::string AudioOf(const seg& s) {
    if (s.dwAST_Ns == 0) return "no audio";
    const char* coding = s.dwAudioCoding == 0 ? "AC-3" : s.dwAudioCoding == 4 ? "LPCM" : "MPEG audio";
    return std::string(coding) + " " + Count(s.dwChannels, "channel", "channels");
}

// Picks the plan's audio; false (sentence printed) for what cannot be done.
bool ChooseAudio(const Chain& chain, Container container, AudioChoice choice, vrexport::Plan* plan) {
    const seg& first = chain.cells[0].s;
    bool differ = false, lpcm = false;
    DWORD channels = 0;
    std::string other;
    for (const Cell& cell : chain.cells) {
        const seg& s = cell.s;
        lpcm = lpcm || (s.dwAST_Ns && s.dwAudioCoding == 4);
        channels = std::max(channels, s.dwChannels);
        if ((s.dwAST_Ns != 0) != (first.dwAST_Ns != 0) || s.dwAudioCoding != first.dwAudioCoding ||
            s.dwChannels != first.dwChannels || s.dwSampleRate != first.dwSampleRate) {
            if (!differ) other = AudioOf(s);
            differ = true;
        }
    }
    const bool lpcmInMp4 = lpcm && container == Container::kMp4;
    if (choice == AudioChoice::kCopy) {
        if (lpcmInMp4) {
            return Fail("MP4 cannot hold the LPCM audio of " + chain.what +
                        "; export it to MKV, which holds every coding, or give --audio aac."),
                   false;
        }
        return true;  // cells that differ are named by the export
    }
    if (choice == AudioChoice::kAuto && !differ && !lpcmInMp4) return true;
    const bool aac = choice == AudioChoice::kAac || (choice == AudioChoice::kAuto && container == Container::kMp4);
    plan->audio = aac ? vrexport::AudioOut::kAac : vrexport::AudioOut::kAc3;
    plan->audioChannels = channels > 2 ? 6 : 2;
    if (choice == AudioChoice::kAuto) {
        std::fprintf(stderr, "vrmangr: note: %s; its audio is transcoded to %s (--audio copy refuses that).\n",
                     (differ ? "the cells of " + chain.what + " differ in audio (" + AudioOf(first) + ", " + other + ")"
                             : "MP4 cannot hold the LPCM audio of " + chain.what)
                         .c_str(),
                     aac ? "AAC" : "AC-3");
    }
    return true;
}

// The plan of a chain of still cells: a cell for each picture (from its
// start, as the VOG's table gives it, to the next picture's: a picture may
// be a stream of its own, which a demuxer would not read on past its end),
// and the display aspect; the number of pictures in *pictures.
vrexport::Plan StillPlan(void* h, const Chain& chain, size_t* pictures) {
    vrexport::Plan plan;
    for (const Cell& cell : chain.cells) {
        const seg& s = cell.s;
        std::vector<__int64> starts(fnVR_GetUnitStarts(h, 1, static_cast<int>(s.dwSRPN), nullptr, 0));
        fnVR_GetUnitStarts(h, 1, static_cast<int>(s.dwSRPN), starts.data(), static_cast<DWORD>(starts.size()));
        std::vector<int64_t> at;
        for (__int64 sector : starts)
            if (sector * 2048 >= s.llStartPos && sector * 2048 < s.llEndPos) at.push_back(sector * 2048);
        if (at.empty() || at.front() != s.llStartPos) at.insert(at.begin(), s.llStartPos);
        at.push_back(s.llEndPos);
        for (size_t i = 0; i + 1 < at.size(); ++i) {
            vrexport::Cell c;
            c.file = s.szFileName;
            c.start = at[i];
            c.end = at[i + 1];
            plan.cells.push_back(c);
        }
    }
    *pictures = plan.cells.size();
    plan.aspectNum = chain.cells[0].s.dwWide ? 16 : 4;
    plan.aspectDen = chain.cells[0].s.dwWide ? 9 : 3;
    ReadFrom(chain, &plan);
    return plan;
}

// The still pictures of a chain as image files stem-01.png, stem-02.png,
// ... (JPEG for .jpg): every name is checked first (never a file of the
// disc; an existing one only with force), then each picture is written as
// a file of its own, dated by the recording. kOk, kFailed or kInterrupted.
int WritePictures(const vrexport::Module& module, void* h, const Chain& chain, const std::string& stem, bool jpeg,
                  bool force, const DiscFiles& disc, bool quiet) {
    size_t count = 0;
    const vrexport::Plan plan = StillPlan(h, chain, &count);
    const size_t width = std::max<size_t>(2, std::to_string(count).size());
    std::vector<std::string> names;
    for (size_t i = 1; i <= count; ++i) {
        std::string n = std::to_string(i);
        n.insert(0, width - n.size(), '0');
        names.push_back(stem + "-" + n + (jpeg ? ".jpg" : ".png"));
        const std::string refusal = disc.Refusal(names.back());
        if (!refusal.empty()) return Fail(refusal);
        if (!force && Exists(names.back()))
            return Fail(names.back() + " exists; give --force to replace it. Nothing was exported.");
    }
    time_t when = 0;
    const bool dated = DiscInstant(DateOf(chain.info).data(), chain.zone, &when);
    size_t written = 0;
    const auto sink = [&](size_t index, const uint8_t* data, size_t size) {
        // A picture more than the disc counts gets a name of its own too.
        const std::string name = index < names.size() ? names[index] : stem + "-" + std::to_string(index + 1) + ".png";
        OutputFile out;
        if (!out.Open(name, force, disc)) return false;
        if (!out.Write(data, size) || !out.Commit(dated ? &when : nullptr)) return false;
        ++written;
        if (!quiet) std::printf("%s\n", name.c_str());
        return true;
    };
    ProgressLabel("exporting " + chain.what);
    std::string error;
    const vrexport::Result result = module.exportPictures(
        plan, jpeg ? vrexport::ImageFormat::kJpeg : vrexport::ImageFormat::kPng, sink, ShowProgress, &error);
    ProgressDone();
    if (result == vrexport::Result::kCancelled || Interrupted()) {
        Fail("cancelled; " + Count(static_cast<long long>(written), "picture", "pictures") + " of " + chain.what +
             " were written.");
        return kInterrupted;
    }
    if (result == vrexport::Result::kWriteFailed) return kFailed;  // the sink said why
    if (result != vrexport::Result::kDone) return Fail(chain.what + ": " + error);
    return kOk;
}

// --skip-damaged: the plan without the VOBUs that hold damage. Each cell
// keeps the stretches between them as cells of their own that follow each
// other (a cell the damage divides becomes two), timed by the time map: a
// stretch plays from its first VOBU's start on (the cell's first frame in
// the first) to its last VOBU's end (the cell's last frame in the last).
// Each damaged run is widened to the VOBUs of the time map that hold it (as
// the warnings then name it); a chapter inside a left-out stretch moves to
// the start of what follows. A damaged cell whose time map is not known goes
// whole.
vrexport::Plan WithoutDamage(const vrexport::Plan& plan, const Chain& chain, const std::vector<ByteRange>& ranges,
                             std::vector<vrm::DamagedRun>* damage) {
    vrexport::Plan kept = plan;
    kept.cells.clear();
    kept.chapters.clear();
    // Where each chapter lands: the new cell's index and offset (none
    // behind the last piece).
    std::vector<std::pair<size_t, int64_t> > places(plan.chapters.size(), {SIZE_MAX, 0});
    std::vector<size_t> pending;  // chapters not placed yet, in order
    for (size_t k = 0; k < plan.cells.size(); ++k) {
        const vrexport::Cell& cell = plan.cells[k];
        const ByteRange& r = ranges[k];
        // The time map's VOBUs of the cell: their starts and times from the first.
        std::vector<int64_t> at(r.units.begin(), r.units.end()), time{0};
        const int64_t frame = Frame90(chain.cells[k].s);
        DWORD fields = 0;
        for (DWORD f : r.fields) time.push_back((fields += f) * frame / 2);
        at.push_back(cell.end);
        const bool timed = !r.units.empty() && at.front() == cell.start;
        // The left-out stretches, as indexes into at.
        std::vector<std::pair<size_t, size_t> > out;
        for (vrm::DamagedRun& run : *damage) {
            if (run.file != r.file || static_cast<int64_t>(run.vobuEnd) <= cell.start ||
                static_cast<int64_t>(run.vobuStart) >= cell.end)
                continue;
            size_t a = 0, b = at.size() - 1;
            if (timed) {
                a = static_cast<size_t>(
                    std::upper_bound(at.begin(), at.end() - 1, static_cast<int64_t>(run.vobuStart)) - at.begin());
                a = a ? a - 1 : 0;
                b = static_cast<size_t>(std::lower_bound(at.begin(), at.end(), static_cast<int64_t>(run.vobuEnd)) -
                                        at.begin());
            }
            run.vobuStart = static_cast<uint64_t>(std::min<int64_t>(run.vobuStart, at[a]));
            run.vobuEnd = static_cast<uint64_t>(std::max<int64_t>(run.vobuEnd, at[b]));
            out.emplace_back(a, b);
        }
        std::sort(out.begin(), out.end());
        // The stretches between, as [from, to) indexes, each timed.
        const int64_t first = cell.lead, last = cell.lead + cell.duration;
        size_t from = 0;
        out.emplace_back(at.size() - 1, at.size() - 1);
        for (size_t c = 0; c < plan.chapters.size(); ++c)
            if (plan.chapters[c].cell == k) pending.push_back(c);
        for (const auto& gap : out) {
            const int64_t begins = std::max(first, time[from]), ends = std::min(last, time[gap.first]);
            if (gap.first > from && ends > begins) {
                vrexport::Cell piece = cell;
                piece.start = at[from];
                piece.end = at[gap.first];
                piece.lead = begins - time[from];
                piece.duration = ends - begins;
                // The chapters before its end (earlier ones waited in a
                // left-out stretch) begin in it.
                std::vector<size_t> later;
                for (size_t c : pending) {
                    const int64_t t = plan.chapters[c].cell == k ? first + plan.chapters[c].offset : begins;
                    if (t < ends)
                        places[c] = {kept.cells.size(), std::max<int64_t>(0, t - begins)};
                    else
                        later.push_back(c);
                }
                pending.swap(later);
                kept.cells.push_back(piece);
            }
            from = std::max(from, gap.second);
        }
    }
    // Of chapters that land in one place the last stays: it begins there.
    for (size_t c = 0; c < plan.chapters.size(); ++c) {
        if (places[c].first == SIZE_MAX) continue;
        if (c + 1 < plan.chapters.size() && places[c + 1] == places[c]) continue;
        vrexport::Chapter chapter = plan.chapters[c];
        chapter.cell = places[c].first;
        chapter.offset = places[c].second;
        kept.chapters.push_back(chapter);
    }
    return kept;
}

// Writes one chain. kOk, kFailed or kInterrupted, the sentence printed;
// *damaged tells that the output was written whole but its source holds
// damage (named, one sentence per damaged range: every sector is checked in
// a reading pass before the export).
int Write(const vrexport::Module& module, void* h, const Chain& chain, const vrexport::Plan& whole,
          const std::string& path, bool force, bool skipDamaged, const DiscFiles& disc, bool* damaged) {
    *damaged = false;
    // The plan has a cell for each of the chain's (movie) cells.
    std::vector<ByteRange> ranges;
    for (const Cell& c : chain.cells) ranges.push_back(RangeOf(h, c.s));
    ReadFrom(&ranges, chain.source);
    if (!CheckRanges(ranges, chain.what)) return kFailed;
    OutputFile out;
    if (!out.Open(path, force, disc)) return kFailed;
    std::vector<vrm::DamagedRun> damage;
    ProgressLabel("checking " + chain.what);
    const bool read = FindDamage(ranges, &damage);
    ProgressDone();
    if (!read) return kFailed;
    const vrexport::Plan plan = skipDamaged && !damage.empty() ? WithoutDamage(whole, chain, ranges, &damage) : whole;
    if (plan.cells.empty())
        return Fail("every VOBU of " + chain.what + " that plays holds damage; nothing was exported.");
    if (plan.container == Container::kMp4 && !out.Regular()) {
        return Fail("MP4 is written into a regular file only (its index follows the data); " + out.Name() +
                    " is none.");
    }
    ProgressLabel("exporting " + chain.what);
    std::string error;
    const vrexport::Result result = module.exportPlan(plan, out.Descriptor(), ShowProgress, &error);
    ProgressDone();
    if (result == vrexport::Result::kCancelled || Interrupted()) {
        Fail("cancelled; " + (out.Regular() ? out.Name() + " was not written."
                                            : "what was written to " + out.Name() + " is incomplete."));
        return kInterrupted;
    }
    // A write error names the output; any other the chain.
    if (result != vrexport::Result::kDone) {
        return Fail(result == vrexport::Result::kWriteFailed ? out.Name() + " " + error : chain.what + ": " + error);
    }
    time_t when = 0;
    if (!out.Commit(DiscInstant(DateOf(chain.info).data(), chain.zone, &when) ? &when : nullptr)) return kFailed;
    *damaged = ReportDamage(chain.what, damage, skipDamaged, "the export holds what its demultiplexer made of them",
                            "the export holds what its demultiplexer made of the zeros read in their place") != kOk;
    return kOk;
}

bool ParseFormat(const std::string& text, Container* c) {
    if (text == "mkv")
        *c = Container::kMkv;
    else if (text == "mp4")
        *c = Container::kMp4;
    else if (text == "mpg" || text == "ps")
        *c = Container::kMpegPs;
    else
        return false;
    return true;
}

// The extension of a file name, in lower case; "" for none.
std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.'), slash = name.rfind('/');
    std::string ext =
        dot == std::string::npos || (slash != std::string::npos && slash > dot) ? "" : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

// The name without its extension.
std::string StemOf(const std::string& name) {
    const std::string ext = ExtensionOf(name);
    return ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
}

// The container an output name's extension asks for (MKV for a name
// without one); false for an extension of another container.
bool FromName(const std::string& name, Container* c) {
    const std::string ext = ExtensionOf(name);
    if (ext == "mp4" || ext == "m4v")
        *c = Container::kMp4;
    else if (ext == "mpg" || ext == "mpeg" || ext == "vob")
        *c = Container::kMpegPs;
    else if (ext == "mkv" || ext.empty())
        *c = Container::kMkv;
    else
        return false;
    return true;
}

const char* Extension(Container c) {
    switch (c) {
        case Container::kMkv: return ".mkv";
        case Container::kMp4: return ".mp4";
        default: return ".mpg";
    }
}

constexpr const char* kDefaultTemplate = "{chain}{n}_{date}_{time}_{title}";

}  // namespace

ExportModule::~ExportModule() {
    if (m_handle) dlclose(m_handle);
}

bool ExportModule::Load(const std::string& command) {
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", &self[0], self.size() - 1);
    self.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const std::string dir = self.substr(0, self.rfind('/') + 1);
    std::string why;
    for (const std::string& path :
         {dir + vrexport::kModuleFile, dir + VRMANGR_EXPORT_MODULE_DIR + "/" + vrexport::kModuleFile}) {
        if (access(path.c_str(), F_OK) != 0) continue;
        m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!m_handle) {
            const char* e = dlerror();
            why = path + " cannot be loaded: " + (e ? e : "unknown error");
            continue;
        }
        const auto entry = reinterpret_cast<vrexport::ModuleEntry>(dlsym(m_handle, vrexport::kModuleEntry));
        const vrexport::Module* module = entry ? entry() : nullptr;
        if (module && std::string(module->version) == VRMANGR_VERSION) {
            m_module = module;
            return true;
        }
        why = path + " is not the export module of vrmangr " VRMANGR_VERSION;
        dlclose(m_handle);
        m_handle = nullptr;
    }
    if (why.empty()) why = std::string("its module ") + vrexport::kModuleFile + " is not installed beside the tool";
    return Fail(command + " cannot run: " + why + "."), false;
}

bool ShowProgress(uint64_t done, uint64_t total) {
    return Progress(nullptr, 0, static_cast<DWORD>(done >> 10), static_cast<DWORD>(total >> 10), 0) != 0;
}

// A chain of still-picture cells only: it exports as images.
bool IsStills(const Chain& chain) {
    return !chain.cells.empty() &&
           std::all_of(chain.cells.begin(), chain.cells.end(), [](const Cell& c) { return c.s.dwCellType != 0; });
}

bool MakePlan(void* h, const Chain& chain, Container container, AudioChoice audio, vrexport::Plan* plan) {
    plan->container = container;
    ReadFrom(chain, plan);
    plan->title = chain.title;
    plan->creationTime = CreationTime(chain.info, chain.zone);
    int chapter = 0;
    for (const Cell& cell : chain.cells) {
        const seg& s = cell.s;
        if (s.dwCellType != 0) {
            return Fail(chain.what +
                        " holds both movie and still-picture cells; export its programs one by one (still pictures "
                        "become images)."),
                   false;
        }
        const seg& first = chain.cells[0].s;
        if (s.dwWidth != first.dwWidth || s.dwHeight != first.dwHeight || s.dwMpegVersion != first.dwMpegVersion) {
            return Fail(chain.what + " cannot be exported as one file: cell " +
                        std::to_string(&cell - &chain.cells[0] + 1) + " is " +
                        (s.dwMpegVersion == 2 ? "MPEG-2 " : "MPEG-1 ") + std::to_string(s.dwWidth) + "x" +
                        std::to_string(s.dwHeight) + " where cell 1 is " +
                        (first.dwMpegVersion == 2 ? "MPEG-2 " : "MPEG-1 ") + std::to_string(first.dwWidth) + "x" +
                        std::to_string(first.dwHeight) + "; export its cells' parts one by one."),
                   false;
        }
        vrexport::Cell c;
        c.file = s.szFileName;
        c.start = s.llStartPos;
        c.end = s.llEndPos;
        c.lead = static_cast<int64_t>(s.dwSkipFrames) * Frame90(s);
        c.duration = Clock90(cell.duration);
        plan->cells.push_back(c);
        for (const Segment& ep : cell.entryPoints) {
            vrexport::Chapter ch;
            ch.cell = plan->cells.size() - 1;
            ch.offset = Clock90(ep.start - cell.start);
            ++chapter;
            // Named by the entry point's text where it has one.
            std::string text(fnVR_GetEntryPtText(h, chain.playlist, ep.number, nullptr, 0), '\0');
            if (text.size() > 1 &&
                fnVR_GetEntryPtText(h, chain.playlist, ep.number, &text[0], static_cast<DWORD>(text.size()))) {
                text.pop_back();
                ch.name = text;
            } else {
                ch.name = "Chapter " + std::to_string(chapter);
            }
            plan->chapters.push_back(ch);
        }
    }
    if (plan->cells.empty()) return Fail("nothing to export: " + chain.what + " holds no video."), false;
    if (!ChooseAudio(chain, container, audio, plan)) return false;
    if (chain.cells[0].s.dwWide) {
        plan->aspectNum = 16;
        plan->aspectDen = 9;
    }
    for (const Cell& cell : chain.cells) {
        if (cell.s.dwCellType == 0 && cell.s.dwWide != chain.cells[0].s.dwWide) {
            std::fprintf(stderr,
                         "vrmangr: warning: %s mixes 4:3 and 16:9 cells; the output is marked %s, as its first.\n",
                         chain.what.c_str(), chain.cells[0].s.dwWide ? "16:9" : "4:3");
            break;
        }
    }
    return true;
}

Chain ChainOf(Disc& disc, const DiscInfo& d, bool isPlaylist, int n) {
    void* h = disc.Handle();
    Chain c;
    c.zone = d.timeZone;
    c.source = disc.Source();
    if (isPlaylist) {
        const Playlist& p = d.playlists[static_cast<size_t>(n - 1)];
        c.playlist = n;
        c.what = "playlist " + std::to_string(n);
        c.title = PlaylistText(h, n, true);
        c.info = p.info;
        c.cells = p.cells;
    } else {
        const Program& p = d.programs[static_cast<size_t>(n - 1)];
        c.what = "program " + std::to_string(n);
        c.title = ProgramText(h, n, true);
        c.info = p.info;
        c.cells = p.cells;
    }
    return c;
}

// What the command line of `export` asks for.
struct ExportOptions {
    std::string disc, output, outExt, directory, pattern, map;
    long program = 0, playlist = 0;
    Container container = Container::kMkv;
    AudioChoice audio = AudioChoice::kAuto;
    bool hasOutput = false;  // -o was given
    bool imageName = false;  // the output is named .png or .jpg
    bool all = false, playlists = false, force = false, skipDamaged = false, quiet = false;
};

// --audio's word; false (with the usage status) when it names no choice or
// one the container cannot hold.
bool ParseAudio(const Args& args, const std::string& a, ExportOptions* o, int* status) {
    if (a == "copy")
        o->audio = AudioChoice::kCopy;
    else if (a == "ac3")
        o->audio = AudioChoice::kAc3;
    else if (a == "aac")
        o->audio = AudioChoice::kAac;
    else
        return *status = UsageError(args.command, "--audio takes copy, ac3 or aac."), false;
    if (o->audio == AudioChoice::kAac && o->container == Container::kMpegPs)
        return *status = UsageError(args.command, "MPEG-PS holds no AAC; give --audio ac3 or copy."), false;
    return true;
}

// Checks that the options go together: one chain with -o FILE, or --all
// with -d DIR. The usage status when they do not, else kOk.
int CheckExportShape(const Args& args, const ExportOptions& o, bool dirOptions) {
    if (o.all ? (o.program || o.playlist || o.hasOutput) : dirOptions)
        return UsageError(args.command, "give --program N or --playlist N with -o FILE, or --all with -d DIR.");
    if (!o.all && ((o.program != 0) == (o.playlist != 0)))
        return UsageError(args.command, "give one of --program N and --playlist N.");
    if (!o.all && !o.hasOutput) return UsageError(args.command, "expects -o FILE.");
    return kOk;
}

// Reads export's options into o; false (with the exit status) when they are
// wrong.
bool ParseExportOptions(const Args& args, ExportOptions* o, int* status) {
    std::vector<std::string> words, programs, playlistsGiven, outputs, dirs, templates, formats, all, withPlaylists,
        force, skipDamaged, audios, maps;
    const char* const kNumber = "a number from 1 to 65535";
    if (!ParseOptions(args,
                      {{"--program", nullptr, kNumber, &programs},
                       {"--playlist", nullptr, kNumber, &playlistsGiven},
                       {"-o", "--output", "a file name", &outputs},
                       {"--all", nullptr, nullptr, &all},
                       {"--playlists", nullptr, nullptr, &withPlaylists},
                       {"-d", "--directory", "a directory", &dirs},
                       {"--name", nullptr, "a name template", &templates},
                       {"--format", nullptr, "mkv, mp4 or mpg", &formats},
                       {"--skip-damaged", nullptr, nullptr, &skipDamaged},
                       {"--audio", nullptr, "copy, ac3 or aac", &audios},
                       {"--map", nullptr, "a ddrescue map file", &maps},
                       {"--force", nullptr, nullptr, &force}},
                      &words, status))
        return false;
    if (!programs.empty() && !ParseNumber(programs.back(), 1, 65535, &o->program))
        return *status = UsageError(args.command, std::string("--program needs ") + kNumber + "."), false;
    if (!playlistsGiven.empty() && !ParseNumber(playlistsGiven.back(), 1, 65535, &o->playlist))
        return *status = UsageError(args.command, std::string("--playlist needs ") + kNumber + "."), false;
    if (words.size() != 1)
        return *status = UsageError(args.command, "expects one disc (a directory, an image or a drive)."), false;
    if (!formats.empty() && !ParseFormat(formats.back(), &o->container))
        return *status = UsageError(args.command, "--format takes mkv, mp4 or mpg."), false;
    o->hasOutput = !outputs.empty();
    o->output = o->hasOutput ? outputs.back() : "";
    // An image name (.png, .jpg) is for a still-picture program.
    o->outExt = outputs.empty() ? "" : ExtensionOf(o->output);
    o->imageName = o->outExt == "png" || o->outExt == "jpg" || o->outExt == "jpeg";
    if (formats.empty() && !outputs.empty() && !o->imageName && !FromName(o->output, &o->container)) {
        return *status = UsageError(args.command, o->output +
                                                      " names no container export writes: give it the extension "
                                                      ".mkv, .mp4 or .mpg, or give --format mkv|mp4|mpg."),
               false;
    }
    o->all = !all.empty();
    *status = CheckExportShape(args, *o, !dirs.empty() || !templates.empty() || !withPlaylists.empty());
    if (*status != kOk) return false;
    if (!audios.empty() && !ParseAudio(args, audios.back(), o, status)) return false;
    o->disc = words[0];
    o->directory = dirs.empty() ? "." : dirs.back();
    o->pattern = templates.empty() ? kDefaultTemplate : templates.back();
    o->map = maps.empty() ? "" : maps.back();
    o->playlists = !withPlaylists.empty();
    o->force = !force.empty();
    o->skipDamaged = !skipDamaged.empty();
    o->quiet = args.quiet;
    return true;
}

// The open disc export reads, and what it gathered of it.
struct ExportSource {
    const vrexport::Module& module;
    Disc& disc;
    void* h;
    const DiscInfo& d;
    const DiscFiles& files;
};

// Exports the one program or playlist the options name.
int ExportOne(const Args& args, const ExportOptions& o, const ExportSource& src) {
    const DiscInfo& d = src.d;
    if (o.program > static_cast<long>(d.programs.size())) {
        return Fail(o.disc + " has " + Count(static_cast<long long>(d.programs.size()), "program", "programs") +
                    "; there is no program " + std::to_string(o.program) + ".");
    }
    if (o.playlist > static_cast<long>(d.playlists.size())) {
        return Fail(o.disc + " has " + Count(static_cast<long long>(d.playlists.size()), "playlist", "playlists") +
                    "; there is no playlist " + std::to_string(o.playlist) + ".");
    }
    const Chain chain = ChainOf(src.disc, d, o.playlist != 0, static_cast<int>(o.playlist ? o.playlist : o.program));
    if (IsStills(chain)) {
        if (o.output == "-")
            return Fail(chain.what +
                        " holds still pictures, which are written as image files, not to standard "
                        "output.");
        return WritePictures(src.module, src.h, chain, StemOf(o.output), o.outExt == "jpg" || o.outExt == "jpeg",
                             o.force, src.files, o.quiet);
    }
    if (o.imageName) {
        return UsageError(args.command, o.output +
                                            " names an image; only still-picture programs export to "
                                            "images: give a .mkv, .mp4 or .mpg name.");
    }
    vrexport::Plan plan;
    if (!MakePlan(src.h, chain, o.container, o.audio, &plan)) return kFailed;
    bool damaged = false;
    const int written = Write(src.module, src.h, chain, plan, o.output, o.force, o.skipDamaged, src.files, &damaged);
    return written == kOk && damaged ? kFailed : written;
}

// --all: every chain export writes, with the file name and plan of each.
struct AllChains {
    std::vector<Chain> chains;
    std::vector<std::string> names;
    std::vector<vrexport::Plan> plans;
};

// Names and plans every program (and with --playlists every playlist); kOk,
// or the status of a name template that does not work.
int PlanAll(const Args& args, const ExportOptions& o, const ExportSource& src, AllChains* all) {
    const DiscInfo& d = src.d;
    std::vector<Chain>& chains = all->chains;
    for (size_t p = 1; p <= d.programs.size(); ++p) chains.push_back(ChainOf(src.disc, d, false, static_cast<int>(p)));
    if (o.playlists)
        for (size_t p = 1; p <= d.playlists.size(); ++p)
            chains.push_back(ChainOf(src.disc, d, true, static_cast<int>(p)));
    if (chains.empty()) return Fail(o.disc + " holds no program" + (o.playlists ? " and no playlist." : "."));
    const size_t width = std::max<size_t>(2, std::to_string(std::max(d.programs.size(), d.playlists.size())).size());
    all->plans.resize(chains.size());
    for (size_t i = 0; i < chains.size(); ++i) {
        const bool isPlaylist = i >= d.programs.size();
        const int n = static_cast<int>(isPlaylist ? i - d.programs.size() + 1 : i + 1);
        std::string name, error;
        if (!AllFileName(src.h, isPlaylist, n, width, o.pattern, Extension(o.container), &name, &error))
            return UsageError(args.command, error);
        const std::string stem = name.substr(0, name.size() - 4);
        for (int k = 2; std::find(all->names.begin(), all->names.end(), name) != all->names.end(); ++k)
            name = stem + "-" + std::to_string(k) + Extension(o.container);
        all->names.push_back(name);
        // What cannot be exported (a coding the container does not hold)
        // is named and left out; the others go on. Still pictures become
        // images named after the chain.
        if (IsStills(chains[i])) continue;
        if (!MakePlan(src.h, chains[i], o.container, o.audio, &all->plans[i])) all->plans[i].cells.clear();
    }
    return kOk;
}

// Makes the output directory and checks every output name before the first
// write; kOk, or the failure reported.
int CheckAllTargets(const ExportOptions& o, const ExportSource& src, const AllChains& all) {
    if (!IsDirectory(o.directory) && mkdir(o.directory.c_str(), 0777) != 0)
        return Fail(o.directory + " is not a directory and cannot be made one.");
    for (size_t i = 0; i < all.names.size(); ++i) {
        if (IsStills(all.chains[i])) continue;  // their pictures' names are checked as they are written
        const std::string path = InDir(o.directory, all.names[i].c_str());
        const std::string refusal = src.files.Refusal(path);
        if (!refusal.empty()) return Fail(refusal);
        if (!o.force && Exists(path)) return Fail(path + " exists; give --force to replace it. Nothing was exported.");
    }
    return kOk;
}

// Writes every chain that has a plan; a failure names itself and the others
// go on. The exit status: all written, some not, or Ctrl-C.
int WriteAll(const ExportOptions& o, const ExportSource& src, const AllChains& all) {
    bool anyDamage = false;
    size_t written = 0;
    for (size_t i = 0; i < all.chains.size(); ++i) {
        if (IsStills(all.chains[i])) {
            const int result =
                WritePictures(src.module, src.h, all.chains[i], InDir(o.directory, StemOf(all.names[i]).c_str()), false,
                              o.force, src.files, o.quiet);
            if (result == kInterrupted) break;
            written += result == kOk ? 1 : 0;
            continue;
        }
        if (all.plans[i].cells.empty()) continue;
        const std::string path = InDir(o.directory, all.names[i].c_str());
        bool damaged = false;
        const int result =
            Write(src.module, src.h, all.chains[i], all.plans[i], path, o.force, o.skipDamaged, src.files, &damaged);
        anyDamage = anyDamage || damaged;
        if (result == kInterrupted) break;
        if (result != kOk) continue;  // its sentence is printed; the others go on
        ++written;
        if (!o.quiet) std::printf("%s\n", path.c_str());
    }
    if (written == all.chains.size()) return anyDamage ? kFailed : kOk;
    std::fprintf(stderr, "vrmangr: %s of %s %s written.\n",
                 Count(static_cast<long long>(written), "file", "files").c_str(),
                 std::to_string(all.chains.size()).c_str(), written == 1 ? "was" : "were");
    return Interrupted() ? kInterrupted : kFailed;
}

// --all: every name and every plan is checked before the first write.
int ExportAll(const Args& args, const ExportOptions& o, const ExportSource& src) {
    const std::string onDisc = src.files.DirectoryRefusal(o.directory);
    if (!onDisc.empty()) return Fail(onDisc);
    AllChains all;
    int status = PlanAll(args, o, src, &all);
    if (status == kOk) status = CheckAllTargets(o, src, all);
    return status == kOk ? WriteAll(o, src, all) : status;
}

int RunExport(const Args& args) {
    ExportOptions o;
    int status = kOk;
    if (!ParseExportOptions(args, &o, &status)) return status;
    ExportModule module;
    if (!module.Load("export")) return kFailed;
    Disc disc;
    if (!disc.Open(o.disc, Access::Read, o.map)) return kFailed;
    const DiscInfo d = Describe(disc);
    const DiscFiles files(o.disc);
    const ExportSource src{*module, disc, disc.Handle(), d, files};
    return o.all ? ExportAll(args, o, src) : ExportOne(args, o, src);
}

#endif

}  // namespace tool
