// vrmangr: the command-line tool over the library's public interface.
// Subcommands create, add, add-still, info, type, chapters, playlist,
// title, extract, check, repair and demo; `vrmangr --help` lists them.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "disc_source.h"

#ifndef VRMANGR_VERSION
#define VRMANGR_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace tool {
namespace {

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*run)(const Args&);
};

int RunCreate(const Args& args);
int RunAdd(const Args& args);
int RunAddStill(const Args& args);
int RunType(const Args& args);
int RunChapters(const Args& args);
int RunPlaylist(const Args& args);
int RunDemo(const Args& args);

const Command kCommands[] = {
    {"create", "create DIR [RECORDING.mpg ...] [--still FILE ...] [--join] [--date WHEN] [--medium SIZE] [--force]",
     "Makes a new DVD-VR disc in DIR (created when missing; it must not hold a\n"
     "disc yet) with the given recordings and still-picture files, and saves it.\n"
     "Each --still takes one file of still pictures. Each file becomes a program\n"
     "of its own, as a recorder makes one per recording; with --join a file\n"
     "joins the last program when both are of the same day. --date as\n"
     "for add. On any failure, or Ctrl-C, the files the command made are\n"
     "removed again. A VR_MOVIE.VRO or VR_STILL.VRO that DIR holds without a\n"
     "management file may be all that is left of earlier recordings: create\n"
     "refuses to replace it unless --force is given. --medium as for add.\n",
     RunCreate},
    {"add", "add DIR RECORDING.mpg ... [--join] [--date WHEN] [--medium SIZE]",
     "Analyses each recording (an MPEG program stream of 2048-byte packs),\n"
     "registers it as a new recording of the disc in DIR, a program of its own\n"
     "(with --join: part of the last program when both are of the same day),\n"
     "and saves. Nothing is saved when one of them is refused, or on\n"
     "Ctrl-C.\n"
     "--date WHEN gives the time the files were recorded (default: now), which\n"
     "becomes their recording time and their program's date: an ISO 8601 time\n"
     "such as 2019-05-04T18:30Z, 2019-05-04T18:30:00+02:00, 2019-05-04 18:30\n"
     "(local time when no zone is given) or 2019-05-04 (noon local time, so the\n"
     "date stays the same in the disc's zone), or mtime for each file's\n"
     "modification time. The disc keeps its times as wall-clock times of its\n"
     "time zone (the machine's when it was made; info shows it) and info shows\n"
     "them with that zone's offset.\n"
     "A file that would make the disc's four files larger than the medium is\n"
     "refused, naming how much is missing: a single-sided 4.7 GB disc unless\n"
     "--medium names another (4.7, 9.4, 2.6, 8.5 or a number of bytes).\n",
     RunAdd},
    {"add-still", "add-still DIR FILE ... [--join] [--date WHEN] [--medium SIZE]",
     "Registers each file of 1 to 255 still pictures as a still-picture group of\n"
     "the disc in DIR, a program of its own (--join, --date and --medium as for\n"
     "add), and\n"
     "saves. Nothing is saved when one of them is refused.\n",
     RunAddStill},
    {"info", "info DISC [--json | --debug] [--map MAPFILE] [--medium SIZE]",
     "Prints the disc (identifier, version, time zone, still time, character\n"
     "set of its texts), the original chain with its programs, cells and entry\n"
     "points, and the playlists: times (start +duration, h:mm:ss.mmm), dates\n"
     "(with the disc's zone offset), titles and labels (decoded to UTF-8), video and audio\n"
     "attributes and where the bytes are. Entry points are numbered through the\n"
     "whole chain, as the editing commands take them. --json prints one JSON\n"
     "document instead (see docs/json.md); --debug prints every field of every\n"
     "record of the management file's tables, by name, in file order.\n"
     "DISC is a recording directory, or a disc image (.iso, .img, a ddrescue\n"
     "image) or a drive (/dev/sr0) whose UDF file system is read without\n"
     "mounting; --map takes the GNU ddrescue map of an image (sectors not\n"
     "marked finished are unreadable), as for extract, export and check.\n"
     "It shows how much of the medium the disc's files take: a drive's own\n"
     "size, else a single-sided 4.7 GB disc, unless --medium names another\n"
     "(as for add).\n",
     RunInfo},
    {"type", "type DISC",
     "Prints what DISC (a directory, a disc image or a drive) holds: DVD-VR,\n"
     "DVD-Video or neither.\n",
     RunType},
    {"chapters", "chapters DIR divide N FRAMES | chapters DIR combine FIRST LAST",
     "Edits the entry points (chapters) of the original chain, numbered through\n"
     "the whole chain as `info` shows them:\n"
     "  divide N FRAMES      a new entry point FRAMES video frames after entry\n"
     "                       point N (it may fall in a later cell)\n"
     "  combine FIRST LAST   removes the entry points after FIRST up to and\n"
     "                       including LAST\n",
     RunChapters},
    {"program", "program DIR delete N | erase N FROM TO | divide N AT | combine N [--yes]",
     "Edits the recordings as a recorder does, program by program (numbered as\n"
     "`info` shows them); times are H:MM:SS[.fff], M:SS or seconds from the\n"
     "program's start, moved to the nearest point where the video can be cut (a\n"
     "VOBU boundary, about every half second, or a cell's end): each action says\n"
     "where it cut.\n"
     "  delete N          program N goes, and its recordings with it\n"
     "  erase N FROM TO   the stretch from FROM to TO is no longer played (a cell\n"
     "                    is shortened, or divided around a stretch in its middle)\n"
     "  divide N AT       program N becomes two at AT, the second titled as the\n"
     "                    first with \" (2)\"\n"
     "  combine N         programs N and N+1 become one\n"
     "What no program plays any more leaves the disc: playlists lose what they\n"
     "played of it (one left empty is deleted), and the stream space it took is\n"
     "given back after the save. delete and erase print what they remove and ask\n"
     "before saving; --yes answers for scripts, which are refused without it.\n",
     RunProgram},
    {"playlist",
     "playlist DIR new | delete PL | add PL AFTER EP | remove PL N | move PL FROM TO |\n"
     "         divide PL N FRAMES | combine PL FIRST LAST | title PL TEXT",
     "Edits the playlists. Playlists are numbered from 1; entry points of a\n"
     "playlist through the whole playlist, entry points of the original chain\n"
     "(EP) as `info` shows them.\n"
     "  new                    appends an empty playlist and prints its number\n"
     "  delete PL              deletes playlist PL (later ones move down)\n"
     "  add PL AFTER EP        copies the segment of the original chain's entry\n"
     "                         point EP into PL after its entry point AFTER (0: first)\n"
     "  remove PL N            removes entry point N of PL with its segment\n"
     "  move PL FROM TO        moves the segment of entry point FROM to after\n"
     "                         entry point TO (0: first)\n"
     "  divide PL N FRAMES     a new entry point FRAMES (1 or more) video frames\n"
     "                         after entry point N\n"
     "  combine PL FIRST LAST  removes the entry points after FIRST up to and\n"
     "                         including LAST\n"
     "  title PL TEXT          sets the playlist's title (as `vrmangr title` does)\n",
     RunPlaylist},
    {"title", "title DIR (--program N | --playlist N) TEXT",
     "Sets the title of program N of the original chain or of playlist N, as\n"
     "recorders write it: TEXT (UTF-8) in the disc's character set (as `info`\n"
     "shows it: Shift-JIS on discs vrmangr makes), at most 63 bytes in it, and\n"
     "an ASCII label made of it (accents dropped, other characters '?'). A\n"
     "character the set lacks is refused with a sentence and nothing is saved\n"
     "('vrmangr charset DIR latin1' first gives the disc a set with the accented\n"
     "letters of Western languages). An empty TEXT (\"\") clears the title.\n",
     RunTitle},
    {"charset", "charset DIR ascii|latin1|sjis",
     "Makes ASCII, ISO 8859-1 (latin1) or Shift-JIS (sjis) the character set of\n"
     "the disc's texts, converting the label and title of every program and\n"
     "playlist to it. Refused, and nothing saved, when a text cannot be written\n"
     "in the new set.\n",
     RunCharset},
    {"extract",
     "extract DISC (--program N | --playlist N | --entry N | --playlist N --entry N) -o FILE|- [--skip-damaged] "
     "[--map MAPFILE] [--force]\n"
     "       vrmangr extract DISC --all [--playlists] [-d OUTDIR] [--name TEMPLATE] [--skip-damaged] [--map MAPFILE] "
     "[--force]\n"
     "       vrmangr extract DIR --undescribed -d OUTDIR [--force]",
     "Copies the MPEG bytes of a program of the original chain, of a playlist,\n"
     "or of the segment of an entry point (of the original chain, or of the\n"
     "playlist given with it) to FILE, or to standard output with -o -: whole\n"
     "VOBUs as recorded, a program stream players open. A part that starts\n"
     "within a VOBU starts at that VOBU's first byte.\n"
     "An existing FILE is refused unless --force; a device or FIFO is written\n"
     "as it is. FILE appears only when complete: a failure or Ctrl-C leaves\n"
     "no partial file (exit 1, or 130 after Ctrl-C).\n"
     "Every sector copied is checked: damage is named by byte range and time,\n"
     "the output is still written whole and the exit status is 1;\n"
     "--skip-damaged leaves the VOBUs that hold damage out (exit 0, a warning\n"
     "for each).\n"
     "DISC may be a disc image or a drive (see info); sectors it cannot give\n"
     "(or that --map does not mark read) are damage too: zeros stand in them.\n"
     "--all writes one file per program (with --playlists, also one per\n"
     "playlist) into OUTDIR (default: the current directory), each named by\n"
     "TEMPLATE plus .mpg. Fields: {chain} (program or playlist), {n} (its\n"
     "number, zero-padded), {title} and {label} (as info shows them), {date}\n"
     "(YYYY-MM-DD) and {time} (HH-MM-SS) of its recording or creation; a\n"
     "field left empty takes the separator before it along. Default:\n"
     "{chain}{n}_{date}_{time}_{title}. Prints each file it wrote.\n"
     "--undescribed writes what the stream files hold behind the last\n"
     "recording the tables describe into OUTDIR, one file per stretch as a scan\n"
     "divides it: movie_A-B_recording.mpg (bytes A to B of VR_MOVIE.VRO),\n"
     "still_A-B_stills.mpg, ..._damaged.mpg for what holds no recording.\n",
     RunExtract},
    {"export",
     "export DISC (--program N | --playlist N) -o FILE [--format mkv|mp4|mpg] [--audio copy|ac3|aac]\n"
     "       [--skip-damaged] [--map MAPFILE] [--force]\n"
     "       vrmangr export DISC --all [--playlists] [-d OUTDIR] [--name TEMPLATE] [--format mkv|mp4|mpg]\n"
     "       [--audio copy|ac3|aac] [--skip-damaged] [--map MAPFILE] [--force]",
     "Remultiplexes a program of the original chain or a playlist into one MKV,\n"
     "MP4 or MPEG-PS file (the format from --format, else from FILE's\n"
     "extension, else MKV), without re-encoding the video: its cells played\n"
     "one after the other from 0, its entry points as chapters (MKV, MP4), its\n"
     "title and recording date, and 16:9 when the disc says so (MKV, MP4). MP4\n"
     "starts exactly at the first cell's first frame; MKV and MPEG-PS start\n"
     "each cell at the VOBU that holds it. The audio is copied as recorded,\n"
     "unless the cells differ in audio or the container cannot hold it (LPCM\n"
     "in MP4): then it is transcoded to AC-3 (MP4: AAC), with a note; --audio\n"
     "copy refuses that, --audio ac3 or aac always transcodes. Cells that\n"
     "differ in picture size or video coding are refused. A program of still\n"
     "pictures becomes images, FILE-01.png, FILE-02.png, ... (JPEG for a .jpg\n"
     "FILE). --all, -d and --name work as for extract; under --all an item\n"
     "that cannot be exported is named and the others are written (exit 1).\n"
     "Built with FFmpeg's libraries (docs/export.md). An existing FILE is\n"
     "refused unless --force; a failure or Ctrl-C leaves no partial file\n"
     "(exit 1, or 130).\n"
     "Every sector is checked first: damage is named as by extract, exit 1;\n"
     "--skip-damaged leaves the VOBUs that hold it out, and the pieces of the\n"
     "cells follow each other, timed by the disc's time map (exit 0, a\n"
     "warning for each). DISC may be a disc image or a drive (see info).\n",
     RunExport},
    {"author",
     "author DISC -o OUT [--program N ...] [--playlist N ...] [--format iso|dir] [--medium SIZE] "
     "[--no-menu] [--force] [--transcode]",
     "Makes a DVD-Video disc that any DVD player plays: an ISO image (OUT ending\n"
     ".iso, or --format iso; burn it with growisofs -dvd-compat -Z /dev/sr0=OUT)\n"
     "or a directory holding VIDEO_TS. Every program becomes a title, in the\n"
     "disc's order, or those --program and --playlist name, in the order given;\n"
     "each title plays what extract gives of it, with a chapter at each entry\n"
     "point. Titles whose picture or sound differ go into title sets of their\n"
     "own; 16:9 stays 16:9 (letterboxed on a 4:3 screen). The disc plays every\n"
     "title in order, then shows its menu: a button per title with its first\n"
     "picture and its name, six to a page (--no-menu: none, the disc stops).\n"
     "MPEG audio alone on a 525/60 title is transcoded to AC-3; still pictures\n"
     "are refused. Picture sizes DVD-Video does not hold (544 or 480 wide,\n"
     "MPEG-1 at full height) are refused naming the program, or with\n"
     "--transcode its video is encoded anew as MPEG-2 at 720 wide, full\n"
     "height, with a note (its pictures, times and chapters kept). A DVD\n"
     "larger than the medium (4.7 GB unless --medium) is refused with its\n"
     "size. Needs dvdauthor, and genisoimage for an image; an existing OUT is\n"
     "replaced only with --force. Ctrl-C leaves nothing behind.\n",
     RunAuthor},
    {"check", "check DISC [--deep] [--map MAPFILE]",
     "Verifies the disc without changing it: VR_MANGR.IFO and VR_MANGR.BUP each\n"
     "whole on its own, with tables inside their bounds that agree with each\n"
     "other (cells, programs, time maps, entry points), and byte-identical (how\n"
     "they differ otherwise); every recording inside its stream file and none\n"
     "sharing sectors with another. Unused sectors between recordings are\n"
     "warnings; data behind the last recording and temporary files of an\n"
     "interrupted save are listed as leftovers. --deep also reads the stream\n"
     "files: each recording, each VOBU of its time map and each still picture\n"
     "must begin with an MPEG pack header where the tables place it. Exits with\n"
     "1 when there are problems (warnings alone exit with 0).\n"
     "Of a disc image or a drive (see info), check reads every block of the\n"
     "four files and names each range it cannot give (or that --map does not\n"
     "mark read) with the program it hits and where; --deep checks every\n"
     "sector of every recording for damage as extract does.\n",
     RunCheck},
    {"repair", "repair DIR [--from ifo|bup] [--discard-undescribed] [--dry-run]",
     "Restores the whole, consistent copy of VR_MANGR.IFO and VR_MANGR.BUP over\n"
     "the other. When both are whole but differ, the one that describes more\n"
     "recorded data wins, provided the stream files hold its recordings; a copy\n"
     "that describes more recorded data is never replaced by one that\n"
     "describes less. --from names the copy to keep, whatever they hold.\n"
     "Then removes the leftovers of an interrupted save: temporary files, and\n"
     "data behind the last recording either copy describes that holds no\n"
     "recording (the part an interrupted save wrote, zeros, noise). Recordings\n"
     "there are kept ('vrmangr adopt' registers them) unless\n"
     "--discard-undescribed is given. Says what it did; --dry-run only says\n"
     "what it would do. On a healthy disc it changes nothing.\n",
     RunRepair},
    {"adopt", "adopt DIR [--dry-run]",
     "Registers the recordings and still pictures that the stream files hold\n"
     "behind the last one the tables describe (appended by hand, left by lost\n"
     "tables, or not taken by a recovery), where they lie: each a program of\n"
     "its own, titled and dated as recover does. The stream files are not\n"
     "written. What the disc cannot take (another TV system, a coding the\n"
     "format cannot hold) stays where it is and is reported. --dry-run only\n"
     "prints what would be registered.\n",
     RunAdopt},
    {"copy", "copy DISC DIR [--map MAPFILE]",
     "Copies a disc into DIR (made when missing; it must hold no disc's\n"
     "files) as a DVD_RTAV directory of its four files. DISC is a directory,\n"
     "or a disc image (.iso, .img, a ddrescue image) or a drive (/dev/sr0)\n"
     "whose UDF file system is read without mounting. A block the medium\n"
     "cannot give is written as zeros, the copy goes on 32 KB further, and\n"
     "each unreadable range is named with the programs it touches (exit 1).\n"
     "--map takes the GNU ddrescue map file of an image: sectors it does not\n"
     "mark finished (+) are unreadable. DISC is never written. The copy is a\n"
     "disc every command takes.\n",
     RunCopy},
    {"recover",
     "recover DIR [--dry-run] [--realign]\n"
     "       vrmangr recover SOURCE -d DIR [--files] [--dry-run]",
     "Rebuilds VR_MANGR.IFO and VR_MANGR.BUP from VR_MOVIE.VRO and VR_STILL.VRO\n"
     "when both are missing or unreadable. The streams are scanned where they\n"
     "lie (they are not written). VR_MOVIE.VRO is divided into recordings where\n"
     "one ends and the next begins: a program end code, a clock that jumps by\n"
     "more than a second, another picture size, aspect ratio, frame rate or\n"
     "audio stream. Each recording becomes a program titled \"Recovered\n"
     "recording N\". The still pictures of VR_STILL.VRO are grouped, up to 255\n"
     "of the same attributes, each group a program titled \"Recovered still\n"
     "pictures N\". Everything is dated by its stream file's modification time.\n"
     "Packs that do not parse are skipped up to the next VOBU or picture start\n"
     "and reported with their byte range. --dry-run only prints what the scans\n"
     "found. Refused when a management file loads (see repair), or when neither\n"
     "stream holds a recording or picture; nothing is written then, nor on\n"
     "Ctrl-C. A VR_MOVIE.VRO whose first bytes are missing holds its packs off\n"
     "the sector boundaries: recover says so, and --realign cuts the rest of\n"
     "the broken first pack from its front (the file rewritten aside and\n"
     "renamed), then recovers.\n"
     "With -d, SOURCE is any dump: a disc image or a drive whose file system\n"
     "is lost, a recorder's hard disk, an unfinalized disc, or a directory\n"
     "whose VR_MOVIE.VRO is scanned. Its bytes are searched for runs of\n"
     "2048-byte MPEG packs at any offset; a run whose clock continues the end\n"
     "of another (within a second) is its continuation wherever it lies, and\n"
     "runs that repeat an earlier one are left out; runs whose every VOBU\n"
     "holds one picture are still pictures. The recordings become a\n"
     "new disc in DIR (made when missing; it must hold no disc), divided and\n"
     "titled as above, or titled, dated and divided into chapters as a\n"
     "management file that survived in SOURCE describes them (matched by\n"
     "their VOBUs), with its playlists; recordings of the other TV system go\n"
     "into DIR-525 or DIR-625. --files writes one MPEG file per recording\n"
     "into DIR instead (named as extract --all names them). SOURCE is never\n"
     "written; --dry-run prints what was found and where it would go.\n",
     RunRecover},
    {"demo", "demo DIR [--sample FILE]",
     "Builds a sample disc in DIR (which must not hold a disc) from the small\n"
     "sample recording installed with the tool: the recording, its entry point\n"
     "divided after one second, and a playlist with the two halves in reverse\n"
     "order; then prints `info` of it. --sample uses another recording.\n",
     RunDemo},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

void PrintToolHelp() {
    std::printf(
        "Usage: vrmangr [--quiet] COMMAND [ARGUMENTS] [--quiet]\n"
        "       vrmangr --help | --version\n"
        "Creates, inspects, edits and checks DVD-VR recording directories\n"
        "(VR_MANGR.IFO, VR_MANGR.BUP, VR_MOVIE.VRO, VR_STILL.VRO).\n\nCommands:\n");
    for (const Command& c : kCommands) std::printf("  %s\n", c.synopsis);
    std::printf(
        "\n'vrmangr COMMAND --help' describes a command. A progress bar is drawn on\n"
        "stderr while recordings are analysed and saved, when stderr is a terminal\n"
        "and --quiet is not given; Ctrl-C then cancels and leaves the directory as it\n"
        "was. Exit status: 0 success, 1 failure, 2 wrong usage, 130 cancelled by\n"
        "Ctrl-C.\n");
}

void PrintCommandHelp(const Command& c) { std::printf("Usage: vrmangr %s\n\n%s", c.synopsis, c.help); }

// ---- create, add, add-still ----

// A new disc in dir: the directory is made when missing; on failure the
// files (and the directory) this made are removed again. A non-empty stream
// file without a management file (an IFO and BUP lost or deleted) still
// holds recordings: it is replaced only with force.
int CreateDisc(const std::string& dir, const std::vector<std::string>& movies, const std::vector<std::string>& stills,
               Disc& disc, bool force = false, bool joinDay = false, const RecordingDate& date = {}) {
    if (HoldsDisc(dir)) return FailHoldsDisc(dir);
    for (const char* name : {kMovieVro, kStillVro}) {
        const std::string path = InDir(dir, name);
        const long long size = RegularFileSize(path);
        if (!force && size > 0) {
            return Fail(path + " holds " + std::to_string(size) +
                        " bytes of recordings that no management file describes; move it away to keep it, or give "
                        "'vrmangr create' --force to replace it.");
        }
    }
    std::error_code ec;
    const bool madeDir = !Exists(dir);
    if (madeDir && !fs::create_directories(dir, ec)) {
        return Fail("cannot create the directory " + dir + ": " + ec.message() + ".");
    }
    // From here to the end the directory is either left as it was or holds
    // the new disc, whatever Ctrl-C is pressed.
    const HoldInterrupts hold;
    // The files a failure after New removes again: those missing before it
    // (New creates the stream files). Under the lock New finds no disc, so
    // none of them is another process's.
    std::vector<std::string> made;
    for (const char* name : {kIfo, kBup, kMovieVro, kStillVro}) {
        if (!Exists(InDir(dir, name))) made.push_back(InDir(dir, name));
    }
    // Nothing is written before the lock is held; when another process
    // holds it, what that process writes is not touched.
    if (!disc.Open(dir, Access::New)) {
        if (madeDir && disc.Locked()) fs::remove(dir, ec);
        return kFailed;
    }
    if (joinDay) disc.JoinDay();
    disc.SetDate(date);
    bool ok = true;
    for (size_t i = 0; ok && i < movies.size(); ++i) ok = disc.AddRecording(movies[i]);
    for (size_t i = 0; ok && i < stills.size(); ++i) ok = disc.AddStill(stills[i]);
    if (ok) ok = disc.Save();
    if (ok) return kOk;
    for (const std::string& f : made) fs::remove(f, ec);
    if (madeDir) fs::remove(dir, ec);  // only when it is empty again
    return kFailed;
}

// The last --date given; false with *status a usage error for a WHEN that is
// neither an ISO 8601 time nor mtime.
bool ParseDateOption(const Args& args, const std::vector<std::string>& given, RecordingDate* date, int* status) {
    if (given.empty() || date->Parse(given.back())) return true;
    const std::string sentence =
        "--date takes an ISO 8601 time such as 2019-05-04T18:30Z or 2019-05-04, or mtime, not '";
    *status = UsageError(args.command, sentence + given.back() + "'.");
    return false;
}

int RunCreate(const Args& args) {
    std::vector<std::string> words, stills, force, join, dates, media;
    int status = kOk;
    RecordingDate date;
    uint64_t medium = 0;
    if (!ParseOptions(args,
                      {{"--still", nullptr, "a file", &stills},
                       {"--force", nullptr, nullptr, &force},
                       {"--join", nullptr, nullptr, &join},
                       {"--date", nullptr, "a time", &dates},
                       {"--medium", nullptr, "a medium size", &media}},
                      &words, &status) ||
        !ParseDateOption(args, dates, &date, &status) || !ParseMediumOption(args, media, &medium, &status))
        return status;
    if (words.empty()) return UsageError(args.command, "expects a directory.");
    Disc disc;
    disc.SetMedium(medium);
    return CreateDisc(words[0], {words.begin() + 1, words.end()}, stills, disc, !force.empty(), !join.empty(), date);
}

int AddFiles(const Args& args, bool still) {
    std::vector<std::string> words, join, dates, media;
    int status = kOk;
    RecordingDate date;
    uint64_t medium = 0;
    if (!ParseOptions(args,
                      {{"--join", nullptr, nullptr, &join},
                       {"--date", nullptr, "a time", &dates},
                       {"--medium", nullptr, "a medium size", &media}},
                      &words, &status) ||
        !ParseDateOption(args, dates, &date, &status) || !ParseMediumOption(args, media, &medium, &status))
        return status;
    if (words.size() < 2) return UsageError(args.command, "expects a directory and at least one file.");
    Disc disc;
    disc.SetMedium(medium);
    if (!disc.Open(words[0], Access::Write)) return kFailed;
    if (!join.empty()) disc.JoinDay();
    disc.SetDate(date);
    for (size_t i = 1; i < words.size(); ++i) {
        if (!(still ? disc.AddStill(words[i]) : disc.AddRecording(words[i]))) return kFailed;
    }
    return disc.Save() ? kOk : kFailed;
}

int RunAdd(const Args& args) { return AddFiles(args, false); }
int RunAddStill(const Args& args) { return AddFiles(args, true); }

// ---- type ----

int RunType(const Args& args) {
    std::vector<std::string> words;
    int status = kOk;
    if (!ParseOptions(args, {}, &words, &status)) return status;
    if (words.size() != 1) return UsageError(args.command, "expects one disc (a directory, an image or a drive).");
    const std::string& dir = words[0];
    if (!Exists(dir)) return Fail(dir + " does not exist.");
    if (!IsDirectory(dir)) {
        const std::string holds = ImageHolds(dir);
        if (holds.empty()) return kFailed;
        std::printf("%s\n", holds.c_str());
        return kOk;
    }
    switch (fnGetDVDVRPathType(dir.c_str())) {
        case 1: std::printf("DVD-VR\n"); break;
        case 2: std::printf("DVD-Video\n"); break;
        default: std::printf("neither\n"); break;
    }
    return kOk;
}

// ---- chapters ----

DWORD OriginalEntryPoints(void* h) {
    DVDPGCINFO info{};
    return fnVR_GetOPGCInfo(h, &info, 0) ? info.dwCount : 0;
}

DWORD PlaylistEntryPoints(void* h, int pl) {
    DVDPGCINFO info{};
    return fnVR_GetPLInfo(h, pl, &info, 0) ? info.dwCount : 0;
}

int RunChapters(const Args& args) {
    const std::vector<std::string>& w = args.words;
    if (w.size() < 2) return UsageError(args.command, "expects a directory and divide or combine.");
    // The disc's root names its DVD_RTAV folder, as for every command.
    const std::string dir = DiscDirectory(w[0]);
    const std::string& action = w[1];
    if (action != "divide" && action != "combine") {
        return UsageError(args.command, "unknown action '" + action + "'; use divide or combine.");
    }
    if (w.size() != 4) return UsageError(args.command, action + " takes two numbers.");
    long a = 0, b = 0;
    int status = kOk;
    if (!NumberArg(args, w[2], action == "divide" ? "N" : "FIRST", 1, &a, &status)) return status;
    if (!NumberArg(args, w[3], action == "divide" ? "FRAMES" : "LAST", 1, &b, &status)) return status;
    if (action == "combine" && b < a) return UsageError(args.command, "LAST must not be below FIRST.");
    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    void* h = disc.Handle();
    const DWORD count = OriginalEntryPoints(h);
    const long last = action == "divide" ? a : b;
    if (static_cast<DWORD>(last) > count) {
        return Fail("the original chain of " + dir + " has " + Count(count, "entry point", "entry points") + ", not " +
                    std::to_string(last) + ".");
    }
    if (action == "divide") {
        if (!fnVR_DevideOPGCEntryPt(h, static_cast<int>(a), static_cast<DWORD>(b))) {
            return FailEdit(h, dir,
                            "entry point " + w[2] + " of " + dir + " cannot be divided " + w[3] +
                                " frames after its start (past the recording's end or the next entry point).");
        }
    } else {
        if (!fnVR_CombineOPGCEntryPt(h, static_cast<int>(a), static_cast<int>(b))) {
            return FailEdit(h, dir, "entry points " + w[2] + " to " + w[3] + " of " + dir + " cannot be combined.");
        }
    }
    return disc.Save() ? kOk : kFailed;
}

// ---- playlist ----

// One action of `playlist`: the numbers it takes after the directory and
// the action, what they must name on the disc, and the library call that
// does it. The tool names a number that points at nothing in its own
// sentence, before the library is asked.
struct PlaylistAction {
    const char* name;
    size_t numbers;
    const char* names[3];
    bool title;  // a title follows the numbers
    bool ordered;  // the last number must not be below the one before
    unsigned playlistEps;  // bit i: number i names an entry point of the playlist
    unsigned originalEps;  // bit i: number i names an entry point of the original chain
    bool setsType;  // the playlist's type follows the cells the edit left it
    int (*edit)(void* h, int pl, const long* n, const std::string& title);  // null: new
};

// The library calls of the actions, by the numbers the tool read (n[0] is
// the playlist).
int DeletePlaylist(void* h, int pl, const long*, const std::string&) { return fnVR_DelPL(h, pl); }
int AddPlaylistPoint(void* h, int pl, const long* n, const std::string&) {
    return fnVR_AddPLEntryPt(h, pl, static_cast<int>(n[1]), static_cast<int>(n[2]));
}
int RemovePlaylistPoint(void* h, int pl, const long* n, const std::string&) {
    return fnVR_DelPLEntryPt(h, pl, static_cast<int>(n[1]));
}
int MovePlaylistPoint(void* h, int pl, const long* n, const std::string&) {
    return fnVR_MovePLEntryPt(h, pl, static_cast<int>(n[1]), static_cast<int>(n[2]));
}
// The library counts frames + 1 here; the tool takes FRAMES after the entry
// point, as `chapters divide` does.
int DividePlaylistPoint(void* h, int pl, const long* n, const std::string&) {
    return fnVR_DevidePLEntryPt(h, pl, static_cast<int>(n[1]), static_cast<DWORD>(n[2] - 1));
}
int CombinePlaylistPoints(void* h, int pl, const long* n, const std::string&) {
    return fnVR_CombinePLEntryPt(h, pl, static_cast<int>(n[1]), static_cast<int>(n[2]));
}
int TitlePlaylist(void* h, int pl, const long*, const std::string& title) {
    return fnVR_SetPLTitle(h, pl, title.c_str());
}

constexpr unsigned kNumber1 = 1u << 1, kNumber2 = 1u << 2;
// name, numbers, their names, title, ordered, playlist entry points,
// original entry points, sets the type, edit.
const PlaylistAction kPlaylistActions[] = {
    {"new", 0, {}, false, false, 0, 0, false, nullptr},
    {"delete", 1, {"PL"}, false, false, 0, 0, false, DeletePlaylist},
    {"add", 3, {"PL", "AFTER", "EP"}, false, false, kNumber1, kNumber2, true, AddPlaylistPoint},
    {"remove", 2, {"PL", "N"}, false, false, kNumber1, 0, true, RemovePlaylistPoint},
    {"move", 3, {"PL", "FROM", "TO"}, false, false, kNumber1 | kNumber2, 0, true, MovePlaylistPoint},
    {"divide", 3, {"PL", "N", "FRAMES"}, false, false, kNumber1, 0, true, DividePlaylistPoint},
    {"combine", 3, {"PL", "FIRST", "LAST"}, false, true, kNumber2, 0, true, CombinePlaylistPoints},
    {"title", 1, {"PL"}, true, false, 0, 0, false, TitlePlaylist},
};

// Reads the action's numbers from w[2] on into n; false (with the usage
// status) when the count or a number is wrong.
bool ParsePlaylistNumbers(const Args& args, const PlaylistAction& action, long* n, int* status) {
    const std::vector<std::string>& w = args.words;
    const size_t expected = 2 + action.numbers + (action.title ? 1 : 0);
    if (w.size() != expected) {
        *status = UsageError(args.command, std::string(action.name) + " takes " + std::to_string(expected - 2) +
                                               " argument" + (expected == 3 ? "" : "s") + ".");
        return false;
    }
    for (size_t i = 0; i < action.numbers; ++i) {
        const std::string name = action.names[i];
        const long min = (name == "AFTER" || name == "TO") ? 0 : 1;
        if (!NumberArg(args, w[2 + i], action.names[i], min, &n[i], status)) return false;
    }
    if (action.ordered && n[2] < n[1]) {
        *status = UsageError(args.command, "LAST must not be below FIRST.");
        return false;
    }
    return true;
}

// playlist new: adds an empty playlist, saves and prints its number.
int NewPlaylist(Disc& disc, const std::string& dir) {
    void* h = disc.Handle();
    const int before = fnVR_GetPLCount(h);
    if (!fnVR_AddPL(h) || fnVR_GetPLCount(h) != before + 1) {
        return FailEdit(h, dir, dir + " already holds the most playlists a disc can hold.");
    }
    if (!disc.Save()) return kFailed;
    std::printf("%d\n", before + 1);
    return kOk;
}

// Whether the playlist and every entry point the numbers name are on the
// disc; kOk, or the failure printed in the tool's sentence.
int CheckPlaylistNumbers(void* h, const std::string& dir, const std::vector<std::string>& w,
                         const PlaylistAction& action, const long* n) {
    const int pl = static_cast<int>(n[0]);
    const int count = fnVR_GetPLCount(h);
    if (pl > count) {
        return Fail(dir + " has " + Count(count, "playlist", "playlists") + "; there is no playlist " + w[2] + ".");
    }
    const DWORD plPoints = action.playlistEps ? PlaylistEntryPoints(h, pl) : 0;
    for (size_t i = 1; i < action.numbers; ++i) {
        if (action.playlistEps & (1u << i) && static_cast<DWORD>(n[i]) > plPoints) {
            return Fail("playlist " + w[2] + " of " + dir + " has " + Count(plPoints, "entry point", "entry points") +
                        ", not " + std::to_string(n[i]) + ".");
        }
    }
    const DWORD orgPoints = action.originalEps ? OriginalEntryPoints(h) : 0;
    for (size_t i = 1; i < action.numbers; ++i) {
        if (action.originalEps & (1u << i) && static_cast<DWORD>(n[i]) > orgPoints) {
            return Fail("the original chain of " + dir + " has " + Count(orgPoints, "entry point", "entry points") +
                        ", not " + std::to_string(n[i]) + ".");
        }
    }
    return kOk;
}

int RunPlaylist(const Args& args) {
    const std::vector<std::string>& w = args.words;
    if (w.size() < 2) return UsageError(args.command, "expects a directory and an action.");
    const std::string dir = DiscDirectory(w[0]);
    const PlaylistAction* action = nullptr;
    for (const PlaylistAction& a : kPlaylistActions) {
        if (w[1] == a.name) action = &a;
    }
    if (!action) return UsageError(args.command, "unknown action '" + w[1] + "'.");
    long n[3] = {0, 0, 0};
    int status = kOk;
    if (!ParsePlaylistNumbers(args, *action, n, &status)) return status;

    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    if (!action->edit) return NewPlaylist(disc, dir);
    void* h = disc.Handle();
    status = CheckPlaylistNumbers(h, dir, w, *action, n);
    if (status != kOk) return status;
    const int pl = static_cast<int>(n[0]);
    if (!action->edit(h, pl, n, action->title ? w[3] : "")) {
        std::string what = "playlist " + w[2] + " of " + dir + ": " + action->name;
        for (size_t i = 3; i < w.size(); ++i) what += " " + w[i];
        return FailEdit(h, dir, what + " was refused (see 'vrmangr info " + dir + "').");
    }
    if (action->setsType) fnVR_SetPLTypeFromCells(h, pl);
    return disc.Save() ? kOk : kFailed;
}

// ---- demo ----

std::string ExecutableDir() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = '\0';
    return fs::path(path).parent_path().string();
}

// The sample recording: installed beside the tool (../share/vrmangr), else
// the one in the source tree the tool was built from.
std::string DemoSample() {
    const std::string installed = ExecutableDir() + "/../share/vrmangr/" VRMANGR_DEMO_NAME;
    if (Exists(installed)) return installed;
    return VRMANGR_DEMO_SOURCE;
}

int RunDemo(const Args& args) {
    std::vector<std::string> words, samples;
    int status = kOk;
    if (!ParseOptions(args, {{"--sample", nullptr, "a file", &samples}}, &words, &status)) return status;
    if (words.size() != 1) return UsageError(args.command, "expects one directory.");
    const std::string& dir = words[0];
    const std::string sample = samples.empty() ? DemoSample() : samples.back();
    {
        Disc disc;
        if (CreateDisc(dir, {sample}, {}, disc) != kOk) return kFailed;
        void* h = disc.Handle();
        // Two chapters of the recording, then a playlist playing them in
        // reverse order.
        if (!fnVR_DevideOPGCEntryPt(h, 1, 25)) return Fail("the sample " + sample + " is too short to divide.");
        if (!fnVR_AddPL(h) || !fnVR_AddPLEntryPt(h, 1, 0, 2) || !fnVR_AddPLEntryPt(h, 1, 1, 1) ||
            !fnVR_SetPLText(h, 1, "Demo: second half first") || !fnVR_SetPLTypeFromCells(h, 1)) {
            return FailEdit(h, dir, "the demo playlist could not be made in " + dir + ".");
        }
        if (!disc.Save()) return kFailed;
    }
    Args info;
    info.command = "info";
    info.words = {dir};
    return RunInfo(info);
}

}  // namespace
}  // namespace tool

int main(int argc, char** argv) {
    using namespace tool;
    std::vector<std::string> all(argv + 1, argv + argc);
    // Global options may also come before the command.
    bool quiet = false;
    while (!all.empty() && (all[0] == "--quiet" || all[0] == "-q")) {
        quiet = true;
        all.erase(all.begin());
    }
    if (all.empty()) return UsageError("", "no command given.");
    const std::string first = all[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && all.size() > 1) {
            if (const Command* c = FindCommand(all[1])) {
                PrintCommandHelp(*c);
                return kOk;
            }
            return UsageError("", "unknown command '" + all[1] + "'.");
        }
        PrintToolHelp();
        return kOk;
    }
    if (first == "--version") {
        std::printf("vrmangr %s\n", VRMANGR_VERSION);
        return kOk;
    }
    const Command* command = FindCommand(first);
    if (!command) return UsageError("", "unknown command '" + first + "'.");
    Args args;
    args.command = first;
    args.quiet = quiet;
    bool literal = false;  // after "--" every word is an argument
    for (size_t i = 1; i < all.size(); ++i) {
        const std::string& w = all[i];
        if (!literal && w == "--") {
            literal = true;
        } else if (!literal && (w == "--help" || w == "-h")) {
            args.help = true;
        } else if (!literal && (w == "--quiet" || w == "-q")) {
            args.quiet = true;
        } else {
            args.words.push_back(w);
        }
    }
    if (args.help) {
        PrintCommandHelp(*command);
        return kOk;
    }
    SetupProgress(args.quiet);
    const int status = command->run(args);
    // A command that stopped after Ctrl-C (it said so and left the disc as it
    // was) exits as a shell reports a SIGINT.
    return status == kFailed && Interrupted() ? kInterrupted : status;
}
