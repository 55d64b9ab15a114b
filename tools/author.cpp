// `vrmangr author`: a DVD-Video disc that any player plays, made of a
// disc's programs and playlists. Each becomes a title: its cells
// remultiplexed by the export module into DVD-Video's program stream, a
// chapter at each entry point. dvdauthor (driven by an XML written here)
// builds the navigation packs and tables; genisoimage makes the image
// (ISO 9660 with the UDF bridge DVD-Video needs). Titles whose video or audio differ go into title sets of their
// own; the disc plays every title in order from its first play on.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "export/menu.h"
#include "export_plan.h"
#include "info.h"
#include "output.h"

namespace fs = std::filesystem;

namespace tool {

#ifndef VRMANGR_EXPORT_MODULE_DIR

int RunAuthor(const Args&) {
    return Fail(
        "author needs FFmpeg's libraries: install libavformat-dev, libavcodec-dev, libavutil-dev, libswresample-dev, "
        "libswscale-dev, libavfilter-dev and pkg-config, then build vrmangr again.");
}

#else

namespace {

// The path of a program found on PATH; "" when there is none.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Runs argv in dir, its output into the file log (its standard output into
// the file out instead when given, its input from the file in), with
// VIDEO_FORMAT set to format; its exit status, or -1 when it could not be
// run or was ended by a signal (Ctrl-C reaches it too).
int RunIn(const std::string& dir, const std::vector<std::string>& argv, const std::string& log,
          const std::string& format, const std::string& in = "", const std::string& out = "") {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || chdir(dir.c_str()) != 0 || dup2(fd, STDOUT_FILENO) < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(127);
        const int input = in.empty() ? -1 : open(in.c_str(), O_RDONLY | O_CLOEXEC);
        const int output = out.empty() ? -1 : open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if ((!in.empty() && (input < 0 || dup2(input, STDIN_FILENO) < 0)) ||
            (!out.empty() && (output < 0 || dup2(output, STDOUT_FILENO) < 0)))
            _exit(127);
        setenv("VIDEO_FORMAT", format.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The last lines of a program's log that say what went wrong ("ERR:"
// lines first), for the sentence of a failure.
std::string LogReason(const std::string& log) {
    std::ifstream in(log);
    std::string line, error, last;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line.rfind("ERR:", 0) == 0 && error.empty()) error = line;
        last = line;
    }
    return error.empty() ? last : error;
}

// The scratch file of menu page p (from 0): "menu1" and the suffix.
std::string MenuFile(size_t p, const char* suffix) { return "menu" + std::to_string(p + 1) + suffix; }

// One title of the DVD.
struct Title {
    Chain chain;
    std::string name;  // on the menu: its title, else "Program 2"
    vrexport::Plan plan;
    std::string key;  // the attributes a title set shares
    bool wide = false;
    size_t set = 0;  // its title set (from 0)
    std::string vob;  // its program stream in the scratch directory
};

// Whether DVD-Video holds the picture size (and MPEG version).
bool DvdPicture(const seg& s, bool ntsc) {
    const DWORD full = ntsc ? 480 : 576, half = ntsc ? 240 : 288;
    if (s.dwMpegVersion != 2) return s.dwWidth == 352 && s.dwHeight == half;  // MPEG-1
    return s.dwHeight == full ? (s.dwWidth == 720 || s.dwWidth == 704 || s.dwWidth == 352)
                              : (s.dwHeight == half && s.dwWidth == 352);
}

// "h:mm:ss.mmm" of a 90 kHz time, as dvdauthor reads chapter times.
std::string ChapterTime(int64_t t) {
    const int64_t ms = t / 90;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

// The title's plan for DVD-Video, or false with the sentence printed: still
// pictures are refused, and picture sizes DVD-Video does not hold unless
// transcode (then the video is encoded anew at 720 wide, full height, with
// a note); MPEG audio alone on a 525/60 title is transcoded to AC-3 (such a
// disc must carry AC-3 or LPCM), with a note.
bool PlanTitle(void* h, Title& t, bool transcode) {
    const Chain& c = t.chain;
    if (IsStills(c) || std::any_of(c.cells.begin(), c.cells.end(), [](const Cell& x) { return x.s.dwCellType != 0; }))
        return Fail(c.what + " holds still pictures; a DVD-Video title made here holds video only."), false;
    if (c.cells.empty()) return Fail(c.what + " holds no video."), false;
    const seg& s = c.cells[0].s;
    const bool ntsc = s.dwFrameRate != 25000;
    const std::string size = std::to_string(s.dwWidth) + "x" + std::to_string(s.dwHeight);
    const bool anew = !DvdPicture(s, ntsc);
    if (anew && !transcode) {
        return Fail(c.what + " is " + size + (s.dwMpegVersion != 2 ? " MPEG-1" : "") +
                    ", a picture size DVD-Video does not hold (720, 704 or 352 wide, full height; 352 at half "
                    "height); give --transcode to encode its video anew."),
               false;
    }
    const int height = ntsc ? 480 : 576;
    if (anew) {
        std::fprintf(stderr, "vrmangr: note: %s is %s; its video is encoded anew at 720x%d.\n", c.what.c_str(),
                     size.c_str(), height);
    }
    const bool mpegAudio = s.dwAST_Ns && (s.dwAudioCoding == 2 || s.dwAudioCoding == 3);
    const bool toAc3 = ntsc && mpegAudio;
    if (toAc3) {
        std::fprintf(stderr,
                     "vrmangr: note: %s has MPEG audio, which a 525/60 DVD-Video disc cannot hold alone; it "
                     "is transcoded to AC-3.\n",
                     c.what.c_str());
    }
    if (!MakePlan(h, c, vrexport::Container::kDvdVideo, toAc3 ? AudioChoice::kAc3 : AudioChoice::kAuto, &t.plan))
        return false;
    if (anew) {
        t.plan.videoWidth = 720;
        t.plan.videoHeight = height;
    }
    t.wide = s.dwWide != 0;
    const bool transcoded = t.plan.audio != vrexport::AudioOut::kCopy;
    t.key = (anew ? "720x" + std::to_string(height) : size) + (t.wide ? " 16:9 " : " 4:3 ") + (ntsc ? "525 " : "625 ") +
            (anew ? "2" : std::to_string(s.dwMpegVersion)) + " audio " +
            (transcoded ? "ac3 " + std::to_string(t.plan.audioChannels)
                        : std::to_string(s.dwAST_Ns) + " " + std::to_string(s.dwAudioCoding) + " " +
                              std::to_string(s.dwChannels));
    return true;
}

// The commands a title ends with: the next title of a play-all (g1 1),
// else the menu page it was chosen on (g2, from 0) or, without a menu, the
// end; the manager's first menu (the dispatcher) does the jump.
std::string TitleEnd(size_t i, size_t count, bool menu) {
    const std::string next = std::to_string(i + 1 < count ? i + 2 : 0);
    if (!menu) return "g0=" + next + "; call vmgm menu 1;";
    return "if (g1 eq 1) { g0=" + next + "; g2=0; } else { g0=0; g2=" + std::to_string(i / vrexport::kMenuEntries) +
           "; } call vmgm menu 1;";
}

// The manager's menus: the dispatcher (menu 1) plays title g0, or shows
// menu page g2 (menu g2 + 2), or without pages ends the disc; each page
// has a button per title (which plays that title alone) and arrows to the
// pages beside it.
std::string ManagerMenus(size_t count, size_t pages, bool ntsc) {
    std::string xml = "    <menus>\n";
    if (pages) xml += std::string("      <video format=\"") + (ntsc ? "ntsc" : "pal") + "\" aspect=\"4:3\"/>\n";
    xml += "      <pgc>\n        <pre>";
    for (size_t i = 0; i < count; ++i)
        xml += "if (g0 eq " + std::to_string(i + 1) + ") jump title " + std::to_string(i + 1) + "; ";
    for (size_t p = 1; p < pages; ++p)
        xml += "if (g2 eq " + std::to_string(p) + ") jump menu " + std::to_string(p + 2) + "; ";
    xml += pages ? "jump menu 2;</pre>\n      </pgc>\n" : "exit;</pre>\n      </pgc>\n";
    for (size_t p = 0; p < pages; ++p) {
        xml += p == 0 ? "      <pgc entry=\"title\">\n" : "      <pgc>\n";
        for (size_t i = p * vrexport::kMenuEntries; i < std::min(count, (p + 1) * vrexport::kMenuEntries); ++i) {
            const std::string n = std::to_string(i + 1);
            xml += "        <button name=\"t" + n + "\">g0=0; g1=0; jump title " + n + ";</button>\n";
        }
        if (p > 0) xml += "        <button name=\"prev\">jump menu " + std::to_string(p + 1) + ";</button>\n";
        if (p + 1 < pages) xml += "        <button name=\"next\">jump menu " + std::to_string(p + 3) + ";</button>\n";
        xml += "        <vob file=\"" + MenuFile(p, "-spu.mpg") + "\" pause=\"inf\"/>\n      </pgc>\n";
    }
    return xml + "    </menus>\n";
}

// The XML dvdauthor builds the disc from: the manager's menus, then the
// title sets in order (title n of the disc is titles[n - 1]); first play
// starts a play-all of every title.
std::string AuthorXml(const std::vector<Title>& titles, size_t sets, size_t pages, bool ntsc) {
    std::string xml = "<dvdauthor dest=\"dvd\">\n  <vmgm>\n    <fpc>g0=1; g1=1; g2=0; jump menu 1;</fpc>\n" +
                      ManagerMenus(titles.size(), pages, ntsc) + "  </vmgm>\n";
    for (size_t set = 0; set < sets; ++set) {
        xml += "  <titleset>\n    <titles>\n";
        const auto first = std::find_if(titles.begin(), titles.end(), [&](const Title& t) { return t.set == set; });
        // 16:9 shown on a 4:3 screen letterboxed, never cut (pan-scan).
        xml += std::string("      <video format=\"") + (ntsc ? "ntsc" : "pal") + "\" aspect=\"" +
               (first->wide ? "16:9\" widescreen=\"nopanscan\"" : "4:3\"") + "/>\n";
        for (size_t i = 0; i < titles.size(); ++i) {
            const Title& t = titles[i];
            if (t.set != set) continue;
            std::string chapters = "0";
            for (const vrexport::Chapter& ch : t.plan.chapters) {
                const int64_t at = vrexport::CellStart(t.plan, ch.cell) + ch.offset;
                if (at > 0) chapters += "," + ChapterTime(at);
            }
            xml += "      <pgc>\n        <vob file=\"" + t.vob + "\" chapters=\"" + chapters + "\"/>\n";
            xml += "        <post>" + TitleEnd(i, titles.size(), pages > 0) + "</post>\n      </pgc>\n";
        }
        xml += "    </titles>\n  </titleset>\n";
    }
    return xml + "</dvdauthor>\n";
}

// The spumux XML that gives page p its buttons: t<n> for title n, prev
// and next for the arrows, in the order of MenuButtons.
std::string ButtonsXml(const vrexport::MenuPage& page, size_t p, size_t firstTitle) {
    std::string xml = "<subpictures>\n  <stream>\n    <spu force=\"yes\" start=\"00:00:00.00\" highlight=\"" +
                      MenuFile(p, "-hl.png") + "\" select=\"" + MenuFile(p, "-sel.png") + "\">\n";
    const std::vector<vrexport::Rect> buttons = vrexport::MenuButtons(page);
    for (size_t b = 0; b < buttons.size(); ++b) {
        std::string name = "t" + std::to_string(firstTitle + b + 1);
        if (b >= page.entries.size()) name = page.previous && b == page.entries.size() ? "prev" : "next";
        const vrexport::Rect& r = buttons[b];
        xml += "      <button name=\"" + name + "\" x0=\"" + std::to_string(r.x0) + "\" y0=\"" + std::to_string(r.y0) +
               "\" x1=\"" + std::to_string(r.x1) + "\" y1=\"" + std::to_string(r.y1) + "\"/>\n";
    }
    return xml + "    </spu>\n  </stream>\n</subpictures>\n";
}

// The menu's pages (menu<p>-spu.mpg in the scratch directory): each made
// by the module, given its buttons by spumux. False with the sentence
// printed (nothing for Ctrl-C).
bool MakeMenu(const vrexport::Module& module, const std::string& scratch, const std::vector<Title>& titles, bool ntsc,
              const std::string& spumux, size_t* pages) {
    *pages = (titles.size() + vrexport::kMenuEntries - 1) / vrexport::kMenuEntries;
    bool named = true;
    ProgressLabel("making the menu");
    for (size_t p = 0; p < *pages; ++p) {
        vrexport::MenuPage page;
        page.ntsc = ntsc;
        page.previous = p > 0;
        page.next = p + 1 < *pages;
        const size_t first = p * vrexport::kMenuEntries;
        for (size_t i = first; i < std::min(titles.size(), first + vrexport::kMenuEntries); ++i)
            page.entries.push_back({&titles[i].plan, titles[i].name, titles[i].wide});
        const vrexport::MenuFiles files{scratch + "/" + MenuFile(p, ".mpg"), scratch + "/" + MenuFile(p, "-hl.png"),
                                        scratch + "/" + MenuFile(p, "-sel.png")};
        std::string error;
        bool pageNamed = true;
        const vrexport::Result r = module.makeMenuPage(page, files, ShowProgress, &pageNamed, &error);
        if (r == vrexport::Result::kCancelled || Interrupted()) return false;
        if (r != vrexport::Result::kDone) return Fail("the menu cannot be made: " + error), false;
        named = named && pageNamed;
        std::ofstream(scratch + "/" + MenuFile(p, ".xml")) << ButtonsXml(page, p, first);
        if (RunIn(scratch, {spumux, "-m", "dvd", MenuFile(p, ".xml")}, scratch + "/spumux.log", ntsc ? "NTSC" : "PAL",
                  MenuFile(p, ".mpg"), MenuFile(p, "-spu.mpg")) != 0) {
            if (Interrupted()) return false;
            return Fail("spumux could not give the menu its buttons: " + LogReason(scratch + "/spumux.log")), false;
        }
    }
    ProgressDone();
    if (!named) {
        std::fprintf(stderr,
                     "vrmangr: note: no font was found for the titles' names; the menu shows their pictures only "
                     "(install the Debian package fonts-dejavu-core for names).\n");
    }
    return true;
}

// A volume name of DVD-Video's characters (A-Z, 0-9, _), at most 32.
std::string VolumeName(const std::string& text) {
    std::string name;
    for (char ch : text) {
        if (name.size() == 32) break;
        const unsigned char c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) && c < 0x80)
            name += static_cast<char>(std::toupper(c));
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "DVD_VIDEO" : name;
}

uint64_t TreeBytes(const fs::path& dir) {
    uint64_t bytes = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
        if (e.is_regular_file(ec)) bytes += e.file_size(ec);
    }
    return bytes;
}

// The titles the options name, in their order, or every program.
bool Selection(const Args& args, const DiscInfo& d, std::vector<std::pair<bool, int> >* out, int* status) {
    // In the order given on the command line.
    const std::vector<std::string>& words = args.words;
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        const bool playlist = words[i] == "--playlist";
        if (!playlist && words[i] != "--program") continue;
        const size_t count = playlist ? d.playlists.size() : d.programs.size();
        long n = 0;
        if (!ParseNumber(words[i + 1], 1, 65535, &n)) {
            *status = UsageError(args.command, words[i] + " needs a number from 1 to 65535.");
            return false;
        }
        if (static_cast<size_t>(n) > count) {
            *status = Fail("there is no " + words[i].substr(2) + " " + words[i + 1] + " (the disc has " +
                           std::to_string(count) + ").");
            return false;
        }
        out->emplace_back(playlist, static_cast<int>(n));
    }
    if (out->empty()) {
        for (size_t p = 1; p <= d.programs.size(); ++p) out->emplace_back(false, static_cast<int>(p));
    }
    if (out->empty()) *status = Fail("the disc holds no program to author.");
    return !out->empty();
}

// Puts the finished DVD (the directory dvd/VIDEO_TS in scratch, or the image
// made of it) at out; false with the sentence printed.
bool Finish(const std::string& scratch, const std::string& out, bool iso, bool force, const std::string& volume,
            const std::string& maker) {
    std::error_code ec;
    const std::string made = iso ? scratch + "/dvd.iso" : scratch + "/dvd";
    if (iso) {
        const std::vector<std::string> argv = {maker, "-dvd-video", "-V", volume, "-o", "dvd.iso", "dvd"};
        const int rc = RunIn(scratch, argv, scratch + "/image.log", "");
        // Ctrl-C reaches genisoimage too, unless it was sent to author
        // alone: then genisoimage finishes, and the image is not kept.
        if (Interrupted()) return Fail("cancelled; nothing was written."), false;
        if (rc != 0) return Fail("genisoimage could not make the image: " + LogReason(scratch + "/image.log")), false;
    }
    if (Exists(out)) {
        // Only what author writes is replaced: an image, or a directory that
        // holds a DVD-Video's folders and nothing else.
        bool replaceable = !IsDirectory(out);
        if (!replaceable) {
            replaceable = true;
            for (const auto& e : fs::directory_iterator(out, ec))
                replaceable = replaceable && (e.path().filename() == "VIDEO_TS" || e.path().filename() == "AUDIO_TS");
        }
        if (!force) return Fail(out + " exists; give --force to replace it."), false;
        if (!replaceable) return Fail(out + " holds other files than a DVD-Video's; it is not replaced."), false;
        fs::remove_all(out, ec);
    }
    fs::rename(made, out, ec);
    if (ec) return Fail(out + " cannot be written: " + ec.message() + "."), false;
    return true;
}

// What the command line of `author` asks for, and the programs it runs.
struct AuthorOptions {
    std::string disc, out, dvdauthor, spumux, maker;
    bool iso = false, menu = true, force = false, transcode = false;
    uint64_t medium = 0;
};

// Finds the programs author runs; false, with the failure reported, when
// one is not installed.
bool FindAuthorPrograms(AuthorOptions* o) {
    o->dvdauthor = FindProgram("dvdauthor");
    o->spumux = o->menu ? FindProgram("spumux") : "";
    if (o->dvdauthor.empty() || (o->menu && o->spumux.empty()))
        return Fail("author needs dvdauthor and spumux: install the Debian package dvdauthor."), false;
    // DVD-Video needs the UDF file system beside ISO 9660, which genisoimage
    // writes (-dvd-video) and xorriso does not.
    o->maker = o->iso ? FindProgram("genisoimage") : "";
    if (o->iso && o->maker.empty()) {
        return Fail(
                   "author needs genisoimage for an image (the UDF file system DVD-Video needs): install the "
                   "Debian package genisoimage, or give --format dir."),
               false;
    }
    return true;
}

// Reads author's options into o and finds the programs it runs; false
// (with the exit status) when the options are wrong or a program is
// missing.
bool ParseAuthorOptions(const Args& args, AuthorOptions* o, int* status) {
    // --program and --playlist are read again, in order, by Selection.
    std::vector<std::string> words, programs, playlists, outputs, formats, noMenu, force, media, transcode;
    if (!ParseOptions(args,
                      {{"--program", nullptr, "a number", &programs},
                       {"--playlist", nullptr, "a number", &playlists},
                       {"-o", "--output", "a file or directory name", &outputs},
                       {"--format", nullptr, "iso or dir", &formats},
                       {"--no-menu", nullptr, nullptr, &noMenu},
                       {"--medium", nullptr, "a medium size", &media},
                       {"--force", nullptr, nullptr, &force},
                       {"--transcode", nullptr, nullptr, &transcode}},
                      &words, status))
        return false;
    if (words.size() != 1)
        return *status = UsageError(args.command, "expects one disc (a directory, an image or a drive)."), false;
    if (outputs.empty())
        return *status = UsageError(args.command, "expects -o OUT (an image name ending .iso, or a directory)."), false;
    o->out = outputs.back();
    std::string format = formats.empty() ? "" : formats.back();
    if (format.empty()) format = o->out.size() > 4 && o->out.substr(o->out.size() - 4) == ".iso" ? "iso" : "dir";
    if (format != "iso" && format != "dir")
        return *status = UsageError(args.command, "--format takes iso or dir."), false;
    if (!ParseMediumOption(args, media, &o->medium, status)) return false;
    o->disc = words[0];
    o->iso = format == "iso";
    o->menu = noMenu.empty();
    o->force = !force.empty();
    o->transcode = !transcode.empty();
    if (!FindAuthorPrograms(o)) return *status = kFailed, false;
    if (Exists(o->out) && !o->force) return *status = Fail(o->out + " exists; give --force to replace it."), false;
    return true;
}

// Why out cannot be written beside the disc's files (it is one of them, or
// inside the disc's directory); empty when it can.
std::string OutputRefusal(const DiscFiles& files, const std::string& out) {
    std::string refusal = files.Refusal(out);
    if (refusal.empty()) refusal = files.DirectoryRefusal(out);
    if (refusal.empty())
        refusal = files.DirectoryRefusal(
            fs::path(out).parent_path().string().empty() ? "." : fs::path(out).parent_path().string());
    return refusal;
}

// Plans a title for each program or playlist selected, in title sets of
// titles alike (keys: one a set); false with the exit status when one
// cannot be planned or they are not all of one TV system.
bool PlanTitles(const Args& args, Disc& disc, const DiscInfo& d, bool transcode, std::vector<Title>* titles,
                std::vector<std::string>* keys, int* status) {
    std::vector<std::pair<bool, int> > selection;
    if (!Selection(args, d, &selection, status)) return false;
    for (const auto& [playlist, n] : selection) {
        Title t;
        t.chain = ChainOf(disc, d, playlist, n);
        t.name = t.chain.title;
        if (t.name.empty()) t.name = static_cast<char>(std::toupper(t.chain.what[0])) + t.chain.what.substr(1);
        if (!PlanTitle(disc.Handle(), t, transcode)) return *status = kFailed, false;
        // A title set for each run of titles alike, so that the titles keep
        // the order given in the disc's title list.
        if (keys->empty() || keys->back() != t.key) keys->push_back(t.key);
        t.set = keys->size() - 1;
        titles->push_back(std::move(t));
    }
    const bool ntsc = (*titles)[0].chain.cells[0].s.dwFrameRate != 25000;
    for (const Title& t : *titles) {
        if ((t.chain.cells[0].s.dwFrameRate != 25000) != ntsc) {
            return *status = Fail("a DVD-Video disc holds one TV system: " + t.chain.what + " is " +
                                  (ntsc ? "625/50" : "525/60") + " where " + (*titles)[0].chain.what + " is " +
                                  (ntsc ? "525/60." : "625/50.")),
                   false;
        }
    }
    return true;
}

// Writes each title's MPEG-PS into the scratch directory (titleN.vob);
// kOk, or the exit status of the failure (reported).
int WriteTitleVobs(const vrexport::Module& module, const std::string& scratch, std::vector<Title>& titles) {
    for (size_t i = 0; i < titles.size(); ++i) {
        Title& t = titles[i];
        t.vob = "title" + std::to_string(i + 1) + ".vob";
        const std::string path = scratch + "/" + t.vob;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return Fail(path + " cannot be written.");
        ProgressLabel("writing " + t.chain.what);
        std::string error;
        const vrexport::Result r = module.exportPlan(t.plan, fd, ShowProgress, &error);
        ProgressDone();
        close(fd);
        if (r == vrexport::Result::kCancelled || Interrupted())
            return Fail("cancelled; nothing was written."), kInterrupted;
        if (r != vrexport::Result::kDone) return Fail(t.chain.what + ": " + error);
    }
    return kOk;
}

}  // namespace

int RunAuthor(const Args& args) {
    AuthorOptions o;
    int status = kOk;
    if (!ParseAuthorOptions(args, &o, &status)) return status;
    ExportModule module;
    if (!module.Load("author")) return kFailed;
    Disc disc;
    if (!disc.Open(o.disc, Access::Read)) return kFailed;
    const DiscInfo d = Describe(disc);
    const std::string refusal = OutputRefusal(DiscFiles(o.disc), o.out);
    if (!refusal.empty()) return Fail(refusal);
    std::vector<Title> titles;
    std::vector<std::string> keys;
    if (!PlanTitles(args, disc, d, o.transcode, &titles, &keys, &status)) return status;
    const bool ntsc = titles[0].chain.cells[0].s.dwFrameRate != 25000;

    const ScratchDir scratch(o.out + ".tmp-");  // beside the output, removed with what it holds
    if (scratch.Path().empty()) return Fail("no scratch directory can be made beside " + o.out + ".");
    if ((status = WriteTitleVobs(*module, scratch.Path(), titles)) != kOk) return status;
    size_t pages = 0;
    if (o.menu && !MakeMenu(*module, scratch.Path(), titles, ntsc, o.spumux, &pages))
        return Interrupted() ? (Fail("cancelled; nothing was written."), kInterrupted) : kFailed;
    std::ofstream(scratch.Path() + "/author.xml") << AuthorXml(titles, keys.size(), pages, ntsc);
    ProgressLabel("authoring");
    const int authored = RunIn(scratch.Path(), {o.dvdauthor, "-x", "author.xml"}, scratch.Path() + "/dvdauthor.log",
                               ntsc ? "NTSC" : "PAL");
    ProgressDone();
    if (Interrupted()) return Fail("cancelled; nothing was written."), kInterrupted;
    if (authored != 0)
        return Fail("dvdauthor could not author the disc: " + LogReason(scratch.Path() + "/dvdauthor.log"));
    const uint64_t bytes = TreeBytes(scratch.Path() + "/dvd");
    if (bytes > o.medium) {
        return Fail("the DVD would take " + HumanBytes(bytes) + ", more than " + MediumText(o.medium) +
                    " holds; author fewer titles, or give --medium.");
    }
    const std::string volume = VolumeName(titles[0].chain.title.empty() ? "DVD_VIDEO" : titles[0].chain.title);
    if (!Finish(scratch.Path(), o.out, o.iso, o.force, volume, o.maker)) return Interrupted() ? kInterrupted : kFailed;
    if (!args.quiet) {
        std::printf("%s: %s in %s, %s.\n", o.out.c_str(),
                    Count(static_cast<long long>(titles.size()), "title", "titles").c_str(),
                    Count(static_cast<long long>(keys.size()), "title set", "title sets").c_str(),
                    HumanBytes(bytes).c_str());
    }
    return kOk;
}

#endif

}  // namespace tool
