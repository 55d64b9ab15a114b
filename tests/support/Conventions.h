// Discs laid out as recorders of other makers leave them, made from the
// library's own output: the committed samples recorded onto a new disc (a
// program each), a playlist of the last entry point, then fields of both
// management files changed where their tables declare them.
#ifndef VRMANGR_TESTS_CONVENTIONS_H
#define VRMANGR_TESTS_CONVENTIONS_H

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "io/be.h"
#include "platform/clock.h"
#include "support/TempDir.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CVMGI_MAT.h"
#include "tables/attributes.h"

namespace conventions {

using Bytes = std::vector<BYTE>;

enum class Record { kVmgiMat, kPlaylist, kProgram, kStreamAttributes };

// Field `offset` (`width` bytes) of record `index` (0-based) of its kind.
struct Field {
    Record record;
    int index;
    uint32_t offset;
    uint32_t width;
};

// A management file's bytes, its records found through the start addresses
// and counts it holds. Set remembers every field it changes.
struct ManagementFile {
    Bytes bytes;
    std::vector<Field> changed;

    uint32_t U32(size_t at) const {
        (void)bytes.at(at + 3);
        return vrm::be_load<uint32_t>(bytes.data() + at);
    }
    size_t Start(Record r, int i) const {
        const size_t n = static_cast<size_t>(i);
        switch (r) {
            case Record::kVmgiMat: return 0;
            case Record::kPlaylist: return VMGI_MAT::kSize + PL_SRPT_HEADER::kSize + PL_SRP::kSize * n;
            case Record::kProgram: return U32(VMGI_MAT_LAYOUT::At::ORG_PGCI_SA) + PGCI_HEADER::kSize + PGI::kSize * n;
            case Record::kStreamAttributes:
                return U32(VMGI_MAT_LAYOUT::At::M_AVFIT_SA) + M_AVFIT_HEADER::kSize + M_VOB_STI::kSize * n;
        }
        return 0;
    }
    Bytes Get(const Field& f) const {
        const size_t at = Start(f.record, f.index) + f.offset;
        (void)bytes.at(at + f.width - 1);
        return Bytes(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + f.width));
    }
    uint64_t Number(const Field& f) const { return vrm::be_load_n(Get(f).data(), f.width); }
    void Set(const Field& f, const Bytes& value) {
        if (value.size() != f.width) throw std::invalid_argument("a value of another width than its field");
        const size_t at = Start(f.record, f.index) + f.offset;
        (void)bytes.at(at + f.width - 1);
        std::memcpy(bytes.data() + at, value.data(), f.width);
        changed.push_back(f);
    }
    void SetNumber(const Field& f, uint64_t value) {
        Bytes b(f.width);
        vrm::be_store_n(b.data(), f.width, value);
        Set(f, b);
    }
};

// The fields by their declared places.
inline Field MatField(uint32_t at, uint32_t part, uint32_t width) { return {Record::kVmgiMat, 0, at + part, width}; }
inline Field ProgramField(int pg, uint32_t at, uint32_t width) { return {Record::kProgram, pg, at, width}; }
inline Field PlaylistField(int pl, uint32_t at, uint32_t width) { return {Record::kPlaylist, pl, at, width}; }
inline Field AttributeField(int sti, uint32_t at, uint32_t width) {
    return {Record::kStreamAttributes, sti, at, width};
}
inline Field PrimaryText(Record r, int i, bool title) {
    const uint32_t at = r == Record::kProgram ? PGI::At::PRM_TXTI : PL_SRP::At::PRM_TXTI;
    return {r, i, at + (title ? 64u : 0u), 64};
}

// The resume marker and representative picture name program chain `pgcn`,
// program `pgcn` and cell `cn`; every program's and the playlist's picture
// names cell `cn`.
inline void FirstProgramFields(ManagementFile& f, BYTE pgcn, WORD cn, int programs) {
    for (uint32_t marker : {VMGI_MAT_LAYOUT::At::RSM_MRKI, VMGI_MAT_LAYOUT::At::DISC_REP_PICTI}) {
        f.SetNumber(MatField(marker, RSM_MRKI::At::PGCN, 1), pgcn);
        f.SetNumber(MatField(marker, RSM_MRKI::At::PGN, 1), pgcn);
        f.SetNumber(MatField(marker, RSM_MRKI::At::CN, 2), cn);
    }
    for (int pg = 0; pg < programs; ++pg) f.SetNumber(ProgramField(pg, PGI::At::CN, 2), cn);
    f.SetNumber(PlaylistField(0, PL_SRP::At::CN, 2), cn);
}

inline void SetResolution(ManagementFile& f, int sti, BYTE code) {
    const Field v = AttributeField(sti, M_VOB_STI::At::V_ATR, 2);
    vrm::VideoAttributes a = vrm::VideoAttributes::Unpack(static_cast<WORD>(f.Number(v)));
    a.resolution = code;
    f.SetNumber(v, a.Pack());
}

inline void SetDualMono(ManagementFile& f, int sti) {
    const Field audio = AttributeField(sti, M_VOB_STI::At::A_ATR0, 3);
    vrm::AudioAttributes a = vrm::AudioAttributes::Unpack(static_cast<DWORD>(f.Number(audio)));
    a.channels = vrm::AudioAttributes::kDualMono;
    f.SetNumber(audio, a.Pack());
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

constexpr const char* kPal = "pal_mpeg2_mp2_4x3.vob";
constexpr const char* kPalLpcm = "pal_mpeg2_lpcm_16x9.vob";
constexpr const char* kNtscAc3 = "ntsc_mpeg2_ac3_16x9.vob";
constexpr const char* kNtscMpeg1 = "ntsc_mpeg1_mp2_4x3.vob";

struct Fixture {
    const char* name;
    std::vector<const char*> samples;  // a program each
    void (*patch)(ManagementFile&);
    int scrambled = 0;  // a program whose packs are then marked encrypted
    // Made by a recorder nine hours east of UTC (TM_ZONE 0x121C) on
    // 2019-10-30 at 13:32:07 UTC: its times are 22:32:07 local.
    bool eastOfUtc = false;
};

// Marks every PES packet of a program stream as scrambled, as an encrypting
// recorder writes it (PES_scrambling_control 01).
inline void Scramble(Bytes& stream, size_t from, size_t to) {
    for (size_t pack = from; pack + 2048 <= to; pack += 2048) {
        uint8_t* p = stream.data() + pack;
        if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] != 0xBA || (p[4] & 0xC0) != 0x40) continue;
        for (size_t pos = 14 + (p[13] & 7); pos + 9 <= 2048;) {
            if (p[pos] != 0 || p[pos + 1] != 0 || p[pos + 2] != 1) break;
            const uint8_t id = p[pos + 3];
            if ((id == 0xBD || (id >= 0xC0 && id <= 0xEF)) && (p[pos + 6] & 0xC0) == 0x80) p[pos + 6] |= 0x10;
            pos += 6 + ((size_t(p[pos + 4]) << 8) | p[pos + 5]);
        }
    }
}

inline const std::vector<Fixture>& Fixtures() {
    static const std::vector<Fixture> kFixtures = {
        // Resume marker, representative pictures: none named (0) ...
        {"first-program-0", {kPal, kPal}, [](ManagementFile& f) { FirstProgramFields(f, 0, 0, 2); }},
        // ... or all ones.
        {"first-program-ffff", {kPal, kPal}, [](ManagementFile& f) { FirstProgramFields(f, 0xFF, 0xFFFF, 2); }},
        // Program 1 without label, a title without NUL; program 2 a label of
        // spaces; the playlist a label without NUL and no title.
        {"texts",
         {kPal, kPal},
         [](ManagementFile& f) {
             f.Set(PrimaryText(Record::kProgram, 0, false), Bytes(64, 0));
             f.Set(PrimaryText(Record::kProgram, 0, true), Text(std::string(60, 'T') + "ITLE"));
             f.Set(PrimaryText(Record::kProgram, 1, false), Bytes(64, ' '));
             f.Set(PrimaryText(Record::kProgram, 1, true), Text(std::string("NEWS") + std::string(60, '\0')));
             f.Set(PrimaryText(Record::kPlaylist, 0, false), Text(std::string(59, 'L') + "ABEL!"));
             f.Set(PrimaryText(Record::kPlaylist, 0, true), Bytes(64, 0));
         }},
        // Freshly formatted: nothing recorded, empty stream files.
        {"formatted", {}, nullptr},
        // 625/50: two attribute records, the first (programs 1 and 3) 544
        // wide, the second (program 2) 480 wide with dual-mono audio.
        {"attributes-625",
         {kPal, kPalLpcm, kPal},
         [](ManagementFile& f) {
             SetResolution(f, 0, 4);
             SetResolution(f, 1, 5);
             SetDualMono(f, 1);
         }},
        // 525/60: 480 wide with dual-mono AC-3, then 544 wide.
        {"attributes-525",
         {kNtscAc3, kNtscMpeg1},
         [](ManagementFile& f) {
             SetResolution(f, 0, 5);
             SetDualMono(f, 0);
             SetResolution(f, 1, 4);
         }},
        // CPRM: a copy protection system code and a title key on the disc,
        // program 2's recording written encrypted.
        {"cprm",
         {kPal, kPal, kPal},
         [](ManagementFile& f) {
             f.SetNumber(MatField(VMGI_MAT_LAYOUT::At::CPSI, 0, 2), 0x0101);
             f.Set(MatField(VMGI_MAT_LAYOUT::At::ETKI, 0, 12),
                   Bytes{0x5A, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB});
         },
         2},
        // A recorder's clock in a zone nine hours east of UTC.
        {"zone-0900", {kPal, kPal}, nullptr, 0, true},
    };
    return kFixtures;
}

inline const Fixture* Find(const std::string& name) {
    for (const Fixture& f : Fixtures()) {
        if (name == f.name) return &f;
    }
    return nullptr;
}

// Builds the fixture in dir (which must not hold a disc) from the samples
// in dataDir: each sample a program, a playlist of the last entry point
// when there is one, saved; then the patch applied to both management
// files. Returns the patched management file, or an empty one on failure.
inline ManagementFile Build(const Fixture& fixture, const std::string& dataDir, const std::string& dir) {
    std::unique_ptr<vrm::ScopedTestClock> clock;
    if (fixture.eastOfUtc) clock.reset(new vrm::ScopedTestClock(SYSTEMTIME{2019, 10, 3, 30, 13, 32, 7, 0}, 540));
    void* h = fnVR_MANGRBegin();
    bool ok = fnVR_MANGRNew(h, dir.c_str()) != 0;
    for (const char* sample : fixture.samples) {
        ok = ok && fnVR_StartNewProgram(h) && fnVR_AddMpegFile(h, (dataDir + "/" + sample).c_str(), nullptr);
    }
    if (ok && !fixture.samples.empty()) {
        DVDPGCINFO chain{};
        ok = fnVR_GetOPGCInfo(h, &chain, 0) && fnVR_AddPL(h) &&
             fnVR_AddPLEntryPt(h, 1, 0, static_cast<int>(chain.dwCount)) && fnVR_SetPLTypeFromCells(h, 1);
    }
    ok = ok && fnVR_MANGRSave(h, nullptr);
    fnVR_MANGREnd(h);
    ManagementFile file;
    if (!ok) return file;
    file.bytes = ReadWholeFile(dir + "/VR_MANGR.IFO");
    if (fixture.patch) fixture.patch(file);
    for (const char* name : {"/VR_MANGR.IFO", "/VR_MANGR.BUP"}) WriteWholeFile(dir + name, file.bytes);
    if (fixture.scrambled > 0) {
        // The programs' recordings lie in the stream one after another.
        Bytes movie = ReadWholeFile(dir + "/VR_MOVIE.VRO");
        size_t from = 0;
        for (int pg = 1; pg < fixture.scrambled; ++pg)
            from += ReadWholeFile(dataDir + "/" + fixture.samples[pg - 1]).size();
        Scramble(movie, from, from + ReadWholeFile(dataDir + "/" + fixture.samples[fixture.scrambled - 1]).size());
        WriteWholeFile(dir + "/VR_MOVIE.VRO", movie);
    }
    return file;
}

}  // namespace conventions

#endif
