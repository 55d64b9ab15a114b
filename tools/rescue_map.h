// A GNU ddrescue map file (mapfile, formerly logfile) of a disc image: which
// byte ranges of the image were read ("+", finished) and which were not
// (non-tried "?", non-trimmed "*", non-scraped "/", bad sector "-"). Only
// finished bytes are data; the image holds zeros, or nothing, elsewhere.
#ifndef VRMANGR_TOOLS_RESCUE_MAP_H
#define VRMANGR_TOOLS_RESCUE_MAP_H

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

class RescueMap {
public:
    // Reads the map at path for an image of imageSize bytes. False, with
    // *error one sentence, when it does not parse or does not fit the image
    // (it must describe every byte of it, from 0, in order).
    bool Load(const std::string& path, uint64_t imageSize, std::string* error);
    // How many bytes from pos on (at most len) were read: up to the first
    // byte that was not.
    uint64_t ReadableFrom(uint64_t pos, uint64_t len) const;

private:
    struct Run {
        uint64_t pos, size;
        bool finished;
    };
    std::vector<Run> m_runs;
};

}  // namespace tool

#endif
