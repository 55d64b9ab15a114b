// Test inputs for the stream objects: source files whose every sector says
// which file and sector it is, and analysed-file records describing them.
#ifndef VRMANGR_TESTS_STREAM_FIXTURES_H
#define VRMANGR_TESTS_STREAM_FIXTURES_H

#include <cstring>
#include <string>
#include <vector>

#include "stream/CVRO_DATA.h"
#include "support/TempDir.h"

constexpr size_t kSector = 2048;

// A sector of file `tag`: "<tag>#<index>" then the tag's letter repeated.
inline std::vector<unsigned char> TaggedSector(char tag, size_t index) {
    std::vector<unsigned char> s(kSector, static_cast<unsigned char>(tag));
    const std::string head = std::string(1, tag) + "#" + std::to_string(index) + ";";
    std::memcpy(s.data(), head.data(), head.size());
    return s;
}

inline std::vector<unsigned char> TaggedFile(char tag, size_t sectors) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i < sectors; ++i) {
        const std::vector<unsigned char> s = TaggedSector(tag, i);
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    return bytes;
}

// Sector `index` of a file's bytes.
inline std::vector<unsigned char> SectorOf(const std::vector<unsigned char>& bytes, size_t index) {
    if ((index + 1) * kSector > bytes.size()) return {};
    return std::vector<unsigned char>(bytes.begin() + static_cast<long>(index * kSector),
                                      bytes.begin() + static_cast<long>((index + 1) * kSector));
}

// A movie record of VOBUs of the given sizes in sectors, with the closing
// element behind the last.
struct MovieRecord {
    std::vector<VR_VOBU_ELEMENT> table;
    VR_MPEGFILE_INFO info{};
    explicit MovieRecord(const std::vector<DWORD>& vobuSectors) {
        DWORD addr = 0;
        for (DWORD s : vobuSectors) {
            table.push_back(VR_VOBU_ELEMENT{addr, 1, 12, 0, 0});
            addr += s;
        }
        table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
        info.dwFrameRate = 25000;
        info.dwVOBUNs = static_cast<DWORD>(vobuSectors.size());
        info.pVOBUTable = table.data();
        info.dwVOBStartAddr = 0xDEADBEEF;  // the manager writes it later
    }
};

// A still record: one picture per entry, {video part, audio part} in sectors.
struct StillRecord {
    std::vector<VR_VOBU_ELEMENT> table;
    VR_MPEGFILE_INFO info{};
    explicit StillRecord(const std::vector<std::pair<DWORD, DWORD>>& pictures) {
        DWORD addr = 0;
        for (const auto& p : pictures) {
            table.push_back(VR_VOBU_ELEMENT{addr, static_cast<BYTE>(p.second ? p.first : 0), 0, p.second,
                                            p.second ? 38u : 0u});
            addr += p.first + p.second;
        }
        table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
        info.dwFrameRate = 25000;
        info.dwFrameNs = static_cast<DWORD>(pictures.size());
        info.pVOBUTable = table.data();
        info.dwVOBStartAddr = 0xDEADBEEF;
    }
};

#endif
