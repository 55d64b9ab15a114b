// The editing script of the fuzz target fuzz_edit, shared with the tests
// that replay its findings: a byte string read as a sequence of calls among
// the editing, registration and query calls of the flat interface and of
// CVR_MANGR, with their numbers, times and texts.
#ifndef VRMANGR_TESTS_SUPPORT_EDITSCRIPT_H
#define VRMANGR_TESTS_SUPPORT_EDITSCRIPT_H

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "api/vrmangr.h"
#include "support/Discs.h"

// The input as a stream of small numbers; zeros once it runs out.
class EditScript {
public:
    EditScript(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
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
    DWORD Frames() {
        const DWORD low = Byte();
        return low | static_cast<DWORD>(Byte()) << 8;
    }
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
struct EditSegs {
    seg s[3] = {};
    seg* Head() {
        std::memset(s, 0, sizeof s);
        s[0].pNext = &s[1];
        s[1].pNext = &s[2];
        return &s[0];
    }
};

// Calls `call` with the arguments read in the order written: a braced list
// is evaluated from left to right, the arguments of a call in no set order
// (clang and GCC differ), and a replayed script must read as the fuzzer read
// it.
#define VRM_IN_ORDER(call, ...) std::apply([&](auto... inOrder) { return call(inOrder...); }, std::tuple{__VA_ARGS__})

// Applies the next call of the script and returns its operation number
// (0..43); sample(name) gives the path of a committed sample file.
template <class SamplePath>
int ApplyEditCall(CVR_MANGR* m, EditScript& in, SamplePath sample) {
    void* h = m;
    EditSegs segs;
    DVDPGCINFO pgc{};
    DVDPGINFO pg{};
    const int operation = in.Byte() % 44;
    switch (operation) {
        case 0: fnVR_AddPL(h); break;
        case 1: fnVR_DelPL(h, in.Number()); break;
        case 2: VRM_IN_ORDER(fnVR_DevideOPGCEntryPt, h, in.Number(), in.Frames()); break;
        case 3: VRM_IN_ORDER(fnVR_CombineOPGCEntryPt, h, in.Number(), in.Number()); break;
        case 4: VRM_IN_ORDER(fnVR_AddPLEntryPt, h, in.Number(), in.Number(), in.Number()); break;
        case 5:
            VRM_IN_ORDER(fnVR_AddPLEntryPt, h, in.Number(), in.Number(), in.Number(), in.Number(), in.Number());
            break;
        case 6: VRM_IN_ORDER(fnVR_DelPLEntryPt, h, in.Number(), in.Number()); break;
        case 7: VRM_IN_ORDER(fnVR_MovePLEntryPt, h, in.Number(), in.Number(), in.Number()); break;
        case 8: VRM_IN_ORDER(fnVR_DevidePLEntryPt, h, in.Number(), in.Number(), in.Frames()); break;
        case 9: VRM_IN_ORDER(fnVR_CombinePLEntryPt, h, in.Number(), in.Number(), in.Number()); break;
        case 10: VRM_IN_ORDER(m->fnADD_ORG_Cell_EntryPoint, in.Word(), in.Word(), in.Time(), in.Text()); break;
        case 11: VRM_IN_ORDER(m->fnADD_ORG_Cell_EntryPoint, in.Word(), in.Time(), in.Text()); break;
        case 12: VRM_IN_ORDER(m->fnDEL_ORG_Cell_EntryPoint, in.Word(), in.Word()); break;
        case 13: m->fnDEL_ORG_Cell_EntryPoint(in.Word()); break;
        case 14: m->fnADD_UD_PGCI(); break;
        case 15: m->fnSelect_UD_PGCI(in.Byte()); break;
        case 16: m->fnDEL_UD_PGCI(in.Byte()); break;
        case 17: m->fnADD_UD_PGCI_MovieScene(in.Word()); break;
        case 18: VRM_IN_ORDER(m->fnDEL_UD_Movie_Cell, in.Byte(), in.Word()); break;
        case 19: m->fnADD_PlayList(in.Byte()); break;
        case 20: m->fnDEL_PlayList(in.Byte()); break;
        case 21:
            VRM_IN_ORDER(m->fnADDUDEntryPoint, in.Byte(), in.Number(), in.Number(), in.Number(), in.Number());
            break;
        case 22: VRM_IN_ORDER(m->fnMoveUDEntryPt, in.Byte(), in.Number(), in.Number()); break;
        case 23:
            VRM_IN_ORDER(m->fnADD_UD_Cell_EntryPoint, in.Byte(), in.Word(), in.Word(), in.Time(), in.Text());
            break;
        case 24: VRM_IN_ORDER(m->fnADD_UD_Cell_EntryPoint, in.Byte(), in.Word(), in.Time(), in.Text()); break;
        case 25: VRM_IN_ORDER(m->fnADD_UD_Cell_EntryPoint, in.Byte(), in.Word(), in.Frames(), in.Text()); break;
        case 26: VRM_IN_ORDER(m->fnDEL_UD_Cell_EntryPoint, in.Byte(), in.Word()); break;
        case 27: VRM_IN_ORDER(m->fnDEL_UD_Cell_EntryPoint, in.Byte(), in.Word(), in.Word()); break;
        case 28:
            VRM_IN_ORDER(m->fnCombine_UD_Cell_EntryPoint, in.Byte(), in.Word(), in.Word(), in.Word(), in.Word());
            break;
        case 29: VRM_IN_ORDER(m->fnCombine_UD_EntryPoint, in.Byte(), in.Word(), in.Word()); break;
        case 30: {
            static const char* const files[] = {"pal_mpeg2_mp2_4x3.vob", "pal_mpeg2_lpcm_16x9.vob",
                                                "ntsc_mpeg2_ac3_16x9.vob", "still_pal_2pictures.vob"};
            fnVR_AddMpegFile(h, sample(files[in.Byte() % 4]).c_str(), nullptr);
            break;
        }
        case 31:
            m->fnADD_Still_Pic_Program(sample(in.Byte() & 1 ? "still_pal_2pictures.vob" : "pal_vcd.mpg").c_str());
            break;
        case 32:
            fnVR_GetPLCount(h);
            VRM_IN_ORDER(fnVR_GetPLInfo, h, in.Number(), &pgc, in.Byte() % 2);
            fnVR_GetOPGCInfo(h, &pgc, in.Byte() % 3);
            break;
        case 33: VRM_IN_ORDER(fnVR_GetOPGCPGInfo, h, in.Number(), &pg, in.Byte() % 2); break;
        case 34: {
            const int a = in.Number(), b = in.Number();
            VRM_IN_ORDER(fnVR_GetOPGCCellInfo, h, a, b, segs.Head(), in.Frames(), in.Frames());
            VRM_IN_ORDER(fnVR_GetPLCellInfo, h, a, b, segs.Head(), in.Frames(), in.Frames());
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
            VRM_IN_ORDER(m->fnGetEntryPtInfo, pgci, in.Number(), in.Number(), in.Number(), &s, 1, 1);
            fnReleaseSegChain(&s);
            break;
        }
        case 38:
            if (!fnVR_MANGRSave(h, nullptr)) abort();
            break;
        // The recordings, program by program (what no cell plays any more
        // leaves the tables).
        case 39: VRM_IN_ORDER(fnVR_DelProgram, h, in.Number(), nullptr); break;
        case 40: VRM_IN_ORDER(fnVR_EraseProgramPart, h, in.Number(), in.Time(), in.Time(), nullptr); break;
        case 41: VRM_IN_ORDER(fnVR_DevideProgram, h, in.Number(), in.Time(), nullptr); break;
        case 42: VRM_IN_ORDER(fnVR_CombineProgram, h, in.Number(), nullptr); break;
        default: fnVR_AddPL(h); break;
    }
    return operation;
}

// Makes the script's disc in dir: every table filled (FillEveryTable), the
// stream data those tables describe as sparse files, then two recordings
// and a still-picture group registered from the committed samples and
// saved.
template <class SamplePath>
bool MakeEditScriptDisc(const std::filesystem::path& dir, SamplePath sample) {
    std::filesystem::create_directories(dir);
    void* h = fnVR_MANGRBegin();
    auto* m = static_cast<CVR_MANGR*>(h);
    bool ok = fnVR_MANGRNew(h, dir.c_str()) && FillEveryTable(*m) && fnVR_MANGRSave(h, nullptr);
    fnVR_MANGREnd(h);
    if (!ok) return false;
    // The filled tables describe stream data that was never written.
    std::filesystem::resize_file(dir / "VR_MOVIE.VRO", 400 * 2048);
    std::ofstream(dir / "VR_STILL.VRO", std::ios::app).close();
    std::filesystem::resize_file(dir / "VR_STILL.VRO", 6 * 2048);
    h = fnVR_MANGRBegin();
    m = static_cast<CVR_MANGR*>(h);
    ok = fnVR_MANGROpen(h, dir.c_str()) && fnVR_AddMpegFile(h, sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr) &&
         fnVR_AddMpegFile(h, sample("pal_mpeg2_lpcm_16x9.vob").c_str(), nullptr) &&
         m->fnADD_Still_Pic_Program(sample("still_pal_2pictures.vob").c_str()) && fnVR_MANGRSave(h, nullptr);
    fnVR_MANGREnd(h);
    return ok;
}

#endif
