// Remultiplexing of a chain's cells (byte ranges of the stream files) into
// one Matroska, MP4 or MPEG program stream file through libavformat: the
// packets as they are (video encoded anew only when the plan gives a
// picture size, audio when it asks for one coding), their time stamps shifted so that
// the cells follow each other from 0 on, with chapters, title, creation
// time and display aspect where the container holds them.
//
// This module knows nothing of the disc's tables: the caller describes the
// cells (from the library's public queries) in a Plan.
#ifndef VRMANGR_EXPORT_REMUX_H
#define VRMANGR_EXPORT_REMUX_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vrexport {

// kDvdVideo: an MPEG-2 program stream as DVD-Video authoring takes it,
// 2048-byte packs with the place of a navigation pack at each VOBU start
// (which the authoring program fills in).
enum class Container { kMkv, kMp4, kMpegPs, kDvdVideo };
// MPEG-PS and DVD-Video's program stream.
inline bool IsProgramStream(Container c) { return c == Container::kMpegPs || c == Container::kDvdVideo; }

// Times are in 90 kHz units (the MPEG system clock's time stamps).
struct Cell {
    std::string file;  // the stream file holding the cell
    int64_t start = 0;  // its bytes [start, end): whole VOBUs
    int64_t end = 0;
    int64_t lead = 0;  // time from the first VOBU's first frame to the cell's first frame
    int64_t duration = 0;  // the cell's own length, from its first frame
};

struct Chapter {
    size_t cell = 0;  // index into Plan::cells
    int64_t offset = 0;  // from the cell's first frame
    std::string name;  // UTF-8
};

// The output's audio: the cells' own packets, or decoded and encoded anew
// into one coding (cells that differ in audio, or a coding the container
// does not hold).
enum class AudioOut { kCopy, kAc3, kAac };

struct Plan {
    Container container = Container::kMkv;
    AudioOut audio = AudioOut::kCopy;
    int audioChannels = 2;  // of transcoded audio: 2, or 6 for 5.1
    std::vector<Cell> cells;
    std::vector<Chapter> chapters;
    std::string title;  // UTF-8; "" for none
    std::string creationTime;  // "YYYY-MM-DDThh:mm:ss.000000Z"; "" for none
    // The display aspect the management file gives (16:9 or 4:3); 0 leaves
    // the video stream's own.
    int aspectNum = 0;
    int aspectDen = 0;
    // The output's picture size when the video is to be decoded and encoded
    // anew as MPEG-2 (a size DVD-Video holds, for one DVD-VR may record and
    // it does not); 0 copies the coded pictures as they are. Not in MP4.
    int videoWidth = 0;
    int videoHeight = 0;
    // Reads up to n bytes of a cell's file at offset: the number read (0 at
    // its end), -1 when they cannot be read. Empty: the cells' files are
    // files of the file system, read by their paths.
    std::function<int64_t(const std::string& file, uint64_t offset, void* data, size_t n)> read;
};

// The chain's position of each cell in the output, as Export lays them out:
// in MKV and MPEG-PS a cell plays from its first VOBU's first frame (its lead
// frames are shown) to its last frame; in MP4 each cell plays from its first
// frame to its last (an edit per cell hides the frames around it).
// Output time of the cell's first frame (inline: the tool lays chapters
// out with it too, without the module).
inline int64_t CellStart(const Plan& plan, size_t cell) {
    // MP4's edit lists hide what lies around each cell; elsewhere the lead
    // frames play.
    const bool exact = plan.container == Container::kMp4;
    int64_t t = 0;
    for (size_t i = 0; i < cell; ++i) t += plan.cells[i].duration + (exact ? 0 : plan.cells[i].lead);
    return t + (exact ? 0 : plan.cells[cell].lead);
}
inline int64_t OutputDuration(const Plan& plan) {
    if (plan.cells.empty()) return 0;
    return CellStart(plan, plan.cells.size() - 1) + plan.cells.back().duration;
}

// kWriteFailed: the output could not be written (the error says why, to be
// put behind the output's name).
enum class Result { kDone, kFailed, kWriteFailed, kCancelled };

// progress(done, total) in bytes read; returning false cancels.
typedef std::function<bool(uint64_t, uint64_t)> ProgressFn;

// Writes the plan's file into the open descriptor fd (a regular file for
// MP4, which seeks back to finish its index). On failure *error holds one
// sentence (without the program name).
Result Export(const Plan& plan, int fd, const ProgressFn& progress, std::string* error);

// Still pictures: each picture of the plan's cells (still cells of
// VR_STILL.VRO) decoded and encoded as one image, shown at its display
// aspect (plan.aspectNum:aspectDen, 4:3 when 0) with square pixels.
enum class ImageFormat { kPng, kJpeg };
// Takes picture `index` (from 0) as the bytes of one image file; false
// stops the export (the caller has said why).
typedef std::function<bool(size_t index, const uint8_t* data, size_t size)> PictureSink;
Result ExportPictures(const Plan& plan, ImageFormat format, const PictureSink& sink, const ProgressFn& progress,
                      std::string* error);

// "MKV", "MP4", "MPEG-PS" or "DVD-Video", for messages.
const char* ContainerName(Container c);

struct MenuPage;
struct MenuFiles;

// The tool loads this module (vrmangr-export.so) only when `export` runs, so
// that its other commands do not load FFmpeg's libraries. The module offers
// one C name, kModuleEntry, a function returning this table; the tool uses
// it only when `version` is its own (the types above cross the boundary).
struct Module {
    const char* version;
    Result (*exportPlan)(const Plan& plan, int fd, const ProgressFn& progress, std::string* error);
    Result (*exportPictures)(const Plan& plan, ImageFormat format, const PictureSink& sink, const ProgressFn& progress,
                             std::string* error);
    // menu.h
    Result (*makeMenuPage)(const MenuPage& page, const MenuFiles& files, const ProgressFn& progress, bool* named,
                           std::string* error);
};
typedef const Module* (*ModuleEntry)();
constexpr const char* kModuleEntry = "vrexport_module";
constexpr const char* kModuleFile = "vrmangr-export.so";

}  // namespace vrexport

#endif
