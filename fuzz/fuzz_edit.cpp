// A byte-driven sequence of editing, registration and query calls on a
// loaded disc, then a save: whatever the calls did, every save succeeds, the
// saved directory opens again with the same playlists, and from then on
// open and save reach a fixed point (the same management file each time).
//
// The disc: every table filled (tests/support/Discs.h), two recordings and a
// still-picture group registered from the committed samples. Its management
// file is kept in memory and written back before every input; the stream
// files are sparse files of the recorded length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "fuzz/FuzzScratch.h"
#include "support/Discs.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<char>;

Bytes Read(const fs::path& path) {
    std::error_code ec;
    Bytes bytes(static_cast<size_t>(fs::file_size(path, ec)));
    if (ec) return {};
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Sample(const char* name) { return (fs::path(VRMANGR_SOURCE_DIR) / "tests" / "data" / name).string(); }

struct BaseDisc {
    Bytes ifo;
    uintmax_t movieBytes = 0, stillBytes = 0;
};

// Builds the disc once per process.
const BaseDisc& Base() {
    static const BaseDisc base = [] {
        BaseDisc b;
        const fs::path dir = FuzzScratch("edit") / "base";
        fs::create_directories(dir);
        void* h = fnVR_MANGRBegin();
        auto* m = static_cast<CVR_MANGR*>(h);
        bool ok = fnVR_MANGRNew(h, dir.c_str()) && FillEveryTable(*m) && fnVR_MANGRSave(h, nullptr);
        fnVR_MANGREnd(h);
        // The filled tables describe stream data that was never written.
        fs::resize_file(dir / "VR_MOVIE.VRO", 400 * 2048);
        std::ofstream(dir / "VR_STILL.VRO", std::ios::app).close();
        fs::resize_file(dir / "VR_STILL.VRO", 6 * 2048);
        h = fnVR_MANGRBegin();
        m = static_cast<CVR_MANGR*>(h);
        ok = ok && fnVR_MANGROpen(h, dir.c_str()) &&
             fnVR_AddMpegFile(h, Sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr) &&
             fnVR_AddMpegFile(h, Sample("pal_mpeg2_lpcm_16x9.vob").c_str(), nullptr) &&
             m->fnADD_Still_Pic_Program(Sample("still_pal_2pictures.vob").c_str()) && fnVR_MANGRSave(h, nullptr);
        fnVR_MANGREnd(h);
        if (!ok) abort();
        b.ifo = Read(dir / "VR_MANGR.IFO");
        b.movieBytes = fs::file_size(dir / "VR_MOVIE.VRO");
        b.stillBytes = fs::file_size(dir / "VR_STILL.VRO");
        return b;
    }();
    return base;
}

// The input as a stream of small numbers; zeros once it runs out.
class Script {
public:
    Script(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // Small numbers around the valid range, with -1 and a few large ones.
    int Number() {
        const uint8_t b = Byte();
        if (b == 0xFF) return -1;
        if (b >= 0xF0) return 0xFFFF + (b - 0xF0) * 0x1000;
        return b;
    }
    WORD Word() { return static_cast<WORD>(Number()); }
    DWORD Frames() { return static_cast<DWORD>(Byte()) | static_cast<DWORD>(Byte()) << 8; }
    __int64 Time() { return static_cast<__int64>(Frames()) * 1080000 / 4; }
    const BYTE* Text() {
        if (!(Byte() & 1)) return nullptr;
        std::memset(m_text, Byte(), sizeof m_text);
        return m_text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    BYTE m_text[128] = {};
};

// Query records chained two deep, as a caller of the follow queries does.
struct Segs {
    seg s[3] = {};
    seg* Head() {
        std::memset(s, 0, sizeof s);
        s[0].pNext = &s[1];
        s[1].pNext = &s[2];
        return &s[0];
    }
};

void Apply(CVR_MANGR* m, Script& in) {
    void* h = m;
    Segs segs;
    DVDPGCINFO pgc{};
    DVDPGINFO pg{};
    switch (in.Byte() % 40) {
        case 0: fnVR_AddPL(h); break;
        case 1: fnVR_DelPL(h, in.Number()); break;
        case 2: fnVR_DevideOPGCEntryPt(h, in.Number(), in.Frames()); break;
        case 3: fnVR_CombineOPGCEntryPt(h, in.Number(), in.Number()); break;
        case 4: fnVR_AddPLEntryPt(h, in.Number(), in.Number(), in.Number()); break;
        case 5: fnVR_AddPLEntryPt(h, in.Number(), in.Number(), in.Number(), in.Number(), in.Number()); break;
        case 6: fnVR_DelPLEntryPt(h, in.Number(), in.Number()); break;
        case 7: fnVR_MovePLEntryPt(h, in.Number(), in.Number(), in.Number()); break;
        case 8: fnVR_DevidePLEntryPt(h, in.Number(), in.Number(), in.Frames()); break;
        case 9: fnVR_CombinePLEntryPt(h, in.Number(), in.Number(), in.Number()); break;
        case 10: m->fnADD_ORG_Cell_EntryPoint(in.Word(), in.Word(), in.Time(), in.Text()); break;
        case 11: m->fnADD_ORG_Cell_EntryPoint(in.Word(), in.Time(), in.Text()); break;
        case 12: m->fnDEL_ORG_Cell_EntryPoint(in.Word(), in.Word()); break;
        case 13: m->fnDEL_ORG_Cell_EntryPoint(in.Word()); break;
        case 14: m->fnADD_UD_PGCI(); break;
        case 15: m->fnSelect_UD_PGCI(in.Byte()); break;
        case 16: m->fnDEL_UD_PGCI(in.Byte()); break;
        case 17: m->fnADD_UD_PGCI_MovieScene(in.Word()); break;
        case 18: m->fnDEL_UD_Movie_Cell(in.Byte(), in.Word()); break;
        case 19: m->fnADD_PlayList(in.Byte()); break;
        case 20: m->fnDEL_PlayList(in.Byte()); break;
        case 21: m->fnADDUDEntryPoint(in.Byte(), in.Number(), in.Number(), in.Number(), in.Number()); break;
        case 22: m->fnMoveUDEntryPt(in.Byte(), in.Number(), in.Number()); break;
        case 23: m->fnADD_UD_Cell_EntryPoint(in.Byte(), in.Word(), in.Word(), in.Time(), in.Text()); break;
        case 24: m->fnADD_UD_Cell_EntryPoint(in.Byte(), in.Word(), in.Time(), in.Text()); break;
        case 25: m->fnADD_UD_Cell_EntryPoint(in.Byte(), in.Word(), in.Frames(), in.Text()); break;
        case 26: m->fnDEL_UD_Cell_EntryPoint(in.Byte(), in.Word()); break;
        case 27: m->fnDEL_UD_Cell_EntryPoint(in.Byte(), in.Word(), in.Word()); break;
        case 28: m->fnCombine_UD_Cell_EntryPoint(in.Byte(), in.Word(), in.Word(), in.Word(), in.Word()); break;
        case 29: m->fnCombine_UD_EntryPoint(in.Byte(), in.Word(), in.Word()); break;
        case 30: {
            static const char* const files[] = {"pal_mpeg2_mp2_4x3.vob", "pal_mpeg2_lpcm_16x9.vob",
                                                "ntsc_mpeg2_ac3_16x9.vob", "still_pal_2pictures.vob"};
            fnVR_AddMpegFile(h, Sample(files[in.Byte() % 4]).c_str(), nullptr);
            break;
        }
        case 31:
            m->fnADD_Still_Pic_Program(Sample(in.Byte() & 1 ? "still_pal_2pictures.vob" : "pal_vcd.mpg").c_str());
            break;
        case 32:
            fnVR_GetPLCount(h);
            fnVR_GetPLInfo(h, in.Number(), &pgc, in.Byte() % 2);
            fnVR_GetOPGCInfo(h, &pgc, in.Byte() % 3);
            break;
        case 33: fnVR_GetOPGCPGInfo(h, in.Number(), &pg, in.Byte() % 2); break;
        case 34: {
            const int a = in.Number(), b = in.Number();
            fnVR_GetOPGCCellInfo(h, a, b, segs.Head(), in.Frames(), in.Frames());
            fnVR_GetPLCellInfo(h, a, b, segs.Head(), in.Frames(), in.Frames());
            break;
        }
        case 35: {
            const int a = in.Number(), b = in.Number(), c = in.Number();
            fnVR_GetOPGCCellNsofEntryPt(h, a);
            fnVR_GetOPGCCellNsofEntryPt(h, a, b, c);
            fnVR_GetPLCellNsofEntryPt(h, a, b);
            fnVR_GetPLCellNsofEntryPt(h, a, b, c);
            break;
        }
        case 36: {
            const int a = in.Number(), b = in.Number(), c = in.Number(), follow = in.Byte() & 1;
            fnVR_GetOPGCEntryPtInfo(h, a, segs.Head(), follow);
            fnVR_GetOPGCEntryPtInfo(h, a, b, c, segs.Head(), follow);
            fnVR_GetPLEntryPtInfo(h, a, b, segs.Head(), follow);
            fnVR_GetPLEntryPtInfo(h, a, b, c, segs.Head(), follow);
            break;
        }
        case 37: {
            // The allocating form, released again.
            seg s{};
            const BYTE chain = in.Byte();
            PGCI* pgci = m->m_pModel->pORG_PGCI;
            if (chain && m->m_pModel->pUD_PGCIT && chain <= m->m_pModel->pUD_PGCIT->pgci.size())
                pgci = &m->m_pModel->pUD_PGCIT->pgci[chain - 1u];
            m->fnGetEntryPtInfo(pgci, in.Number(), in.Number(), in.Number(), &s, 1, 1);
            fnReleaseSegChain(&s);
            break;
        }
        case 38:
            if (!fnVR_MANGRSave(h, nullptr)) abort();
            break;
        default: fnVR_AddPL(h); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const BaseDisc& base = Base();
    const fs::path dir = FuzzScratch("edit") / "work";
    fs::create_directories(dir);
    Write(dir / "VR_MANGR.IFO", base.ifo);
    Write(dir / "VR_MANGR.BUP", base.ifo);
    for (const char* name : {"VR_MOVIE.VRO", "VR_STILL.VRO"}) std::ofstream(dir / name, std::ios::trunc).close();
    fs::resize_file(dir / "VR_MOVIE.VRO", base.movieBytes);
    fs::resize_file(dir / "VR_STILL.VRO", base.stillBytes);

    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, dir.c_str())) abort();
    Script script(data, size);
    for (int calls = 0; script.More() && calls < 64; ++calls) Apply(static_cast<CVR_MANGR*>(h), script);
    if (!fnVR_MANGRSave(h, nullptr)) abort();
    const int playlists = fnVR_GetPLCount(h);
    fnVR_MANGREnd(h);

    // The saved directory opens with the same playlists and saves. Loading
    // may complete the disc once (a user-defined chain whose first movie
    // cell has no entry point gains one), so the fixed point is checked on
    // the second round: open, save, open, save gives the same bytes.
    if (Read(dir / "VR_MANGR.BUP") != Read(dir / "VR_MANGR.IFO")) abort();
    Bytes saved;
    for (int round = 0; round < 2; ++round) {
        void* again = fnVR_MANGRBegin();
        if (!fnVR_MANGROpen(again, dir.c_str())) {
            for (const std::string& f : static_cast<CVR_MANGR*>(again)->fnGetOpenFindings())
                std::fprintf(stderr, "%s\n", f.c_str());
            abort();
        }
        if (fnVR_GetPLCount(again) != playlists) abort();
        DVDPGCINFO info{};
        fnVR_GetOPGCInfo(again, &info, 0);
        if (!fnVR_MANGRSave(again, nullptr)) abort();
        fnVR_MANGREnd(again);
        if (round == 0)
            saved = Read(dir / "VR_MANGR.IFO");
        else if (Read(dir / "VR_MANGR.IFO") != saved)
            abort();
    }
    return 0;
}
