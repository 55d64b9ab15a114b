// RescueMap: the ddrescue map format, "pos size status" per line.
#include "rescue_map.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tool {
namespace {

// A number as ddrescue writes it: 0x-prefixed hex, or decimal.
bool Number(const std::string& text, uint64_t* out) {
    if (text.empty()) return false;
    size_t used = 0;
    try {
        *out = std::stoull(text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == text.size();
}

}  // namespace

bool RescueMap::Load(const std::string& path, uint64_t imageSize, std::string* error) {
    std::ifstream in(path);
    if (!in) return *error = path + " cannot be read.", false;
    m_runs.clear();
    bool statusLine = true;  // the first line that is no comment: current position and status
    uint64_t end = 0;
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string a, b, c;
        if (!(words >> a)) continue;
        if (statusLine) {
            statusLine = false;
            continue;
        }
        uint64_t pos = 0, size = 0;
        std::string rest;
        if (!(words >> b >> c) || (words >> rest) || !Number(a, &pos) || !Number(b, &size) || c.size() != 1 ||
            std::string("?*/-+").find(c[0]) == std::string::npos) {
            return *error =
                       path + " is no ddrescue map: line " + std::to_string(lineNo) + " is not \"pos size status\".",
                   false;
        }
        if (pos != end) {
            return *error = path + " is no ddrescue map of one image: line " + std::to_string(lineNo) +
                            " does not start where the line before ended.",
                   false;
        }
        end = pos + size;
        if (size > 0) m_runs.push_back({pos, size, c[0] == '+'});
    }
    if (m_runs.empty()) return *error = path + " is no ddrescue map: it describes no bytes.", false;
    if (end < imageSize) {
        return *error = path + " describes " + std::to_string(end) + " bytes, fewer than the " +
                        std::to_string(imageSize) + " of the image: it is the map of another image.",
               false;
    }
    return true;
}

uint64_t RescueMap::ReadableFrom(uint64_t pos, uint64_t len) const {
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), pos, [](uint64_t p, const Run& r) { return p < r.pos; });
    if (it == m_runs.begin()) return 0;
    --it;
    if (pos >= it->pos + it->size) return 0;  // behind the map
    uint64_t readable = 0;
    for (; it != m_runs.end() && readable < len && it->finished; ++it) readable = it->pos + it->size - pos;
    return std::min(readable, len);
}

}  // namespace tool
