// What `export` and `author` share: the export module (FFmpeg's libraries,
// loaded for the command's run), the chains a disc's programs and playlists
// make, and the plan of one chain's remultiplexing.
#ifndef VRMANGR_TOOLS_EXPORT_PLAN_H
#define VRMANGR_TOOLS_EXPORT_PLAN_H

#ifdef VRMANGR_EXPORT_MODULE_DIR

#include <string>
#include <vector>

#include "cli.h"
#include "export/remux.h"
#include "info.h"

namespace tool {

// The export module. It stays mapped until the process ends
// (RTLD_NODELETE): what FFmpeg's libraries allocate once for the process
// stays theirs.
class ExportModule {
public:
    ExportModule() = default;
    ExportModule(const ExportModule&) = delete;
    ExportModule& operator=(const ExportModule&) = delete;
    ~ExportModule();
    // Looks beside the tool, then where the package installs it. False,
    // with the sentence printed (naming `command`), when neither loads.
    bool Load(const std::string& command);
    const vrexport::Module& operator*() const { return *m_module; }

private:
    void* m_handle = nullptr;
    const vrexport::Module* m_module = nullptr;
};

// What is exported: the chain's cells and its texts.
struct Chain {
    int playlist = 0;  // its number; 0 for a program of the original chain
    std::string what;  // "program 2", for messages
    std::string title;
    DVDPGCINFO info{};
    WORD zone = 0;  // the disc's TM_ZONE
    std::vector<Cell> cells;
    DiscSource* source = nullptr;  // the image or drive the disc is read from
};

// Program (or playlist) n of the disc d describes.
Chain ChainOf(Disc& disc, const DiscInfo& d, bool isPlaylist, int n);

// How the audio is exported: as recorded when the cells agree and the
// container holds it, else transcoded (auto); --audio copy|ac3|aac.
enum class AudioChoice { kAuto, kCopy, kAc3, kAac };

// The plan of a chain; false, with the sentence printed, for what the
// container cannot take.
bool MakePlan(void* h, const Chain& chain, vrexport::Container container, AudioChoice audio, vrexport::Plan* plan);
// A chain of still-picture cells only.
bool IsStills(const Chain& chain);
// The progress function of an export: the bar on stderr; false after Ctrl-C.
bool ShowProgress(uint64_t done, uint64_t total);

}  // namespace tool

#endif
#endif
