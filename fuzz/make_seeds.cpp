// Writes the seed inputs of the fuzz targets into a directory:
//   make_seeds DIR  ->  DIR/open/*.ifo (whole management files),
//                       DIR/tables/* (single tables at offset 0),
//                       DIR/movie/* and DIR/still/* (program streams: the
//                       committed samples, cut to at most 64 packs, and a few
//                       made in code), DIR/edit/* (call sequences).
// The seeds are generated rather than kept in the repository, so they always
// follow the current serialisers.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Discs.h"
#include "support/ProgramStream.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<BYTE> Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Accessor>
std::vector<BYTE> Bytes(Accessor* accessor, size_t lead = 0) {
    std::vector<BYTE> out(lead + accessor->fndwDataSize());
    accessor->fnReadData(out.data() + lead);
    return out;
}

// Saves a disc into dir and copies its management file to seed.
bool SaveDisc(const fs::path& dir, bool full, const fs::path& seed, const fs::path& tables) {
    fs::create_directories(dir);
    void* h = fnVR_MANGRBegin();
    auto* m = static_cast<CVR_MANGR*>(h);
    bool ok = fnVR_MANGRNew(h, dir.c_str()) && (!full || FillEveryTable(*m)) && fnVR_MANGRSave(h, nullptr);
    if (ok) {
        Write(seed, Read(dir / "VR_MANGR.IFO"));
        if (full) {
            Write(tables / "rtr_vmgi", Bytes(m->m_pRTR_VMGI));
            Write(tables / "m_avfit", Bytes(m->m_pM_AVFIT));
            Write(tables / "s_avfit", Bytes(m->m_pS_AVFIT));
            Write(tables / "org_pgci", Bytes(m->m_pORG_PGCI));
            Write(tables / "ud_pgcit", Bytes(m->m_pUD_PGCIT, 1));
            Write(tables / "txtdt_mg", Bytes(m->m_pTXTDT_MG));
            Write(tables / "mnfit", Bytes(m->m_pMNFIT));
        }
    }
    fnVR_MANGREnd(h);
    return ok;
}

std::vector<BYTE> Sample(const char* name, size_t maxPacks = 64) {
    std::vector<BYTE> bytes = Read(fs::path(VRMANGR_SOURCE_DIR) / "tests" / "data" / name);
    if (bytes.size() > maxPacks * 2048) bytes.resize(maxPacks * 2048);
    return bytes;
}

// Program streams made in code: what the samples do not show.
void StreamSeeds(const fs::path& movie, const fs::path& still) {
    using namespace ps;
    {
        // MPEG-1 packs, no navigation packs, two groups, MPEG audio.
        Muxer m(false);
        VideoParams v;
        v.mpeg2 = false;
        v.width = 352;
        v.height = 288;
        for (int gop = 0; gop < 2; ++gop) {
            m.Video(Cat({SequenceHeaders(v), GroupHeader(), Picture(0, 0, 3000, false)}), 90000 + gop * 43200);
            for (unsigned f = 1; f < 12; ++f) m.Video(Picture(f % 3 ? 3 : 2, f, 400, false));
            m.Audio(0xC0, Mp2Frame(), 90000 + gop * 43200);
        }
        m.End();
        Write(movie / "mpeg1_no_nav.mpg", m.Out());
    }
    {
        // Field pictures at 29.97 frames/s with AC-3, navigation packs.
        Muxer m;
        VideoParams v;
        v.height = 480;
        v.rateCode = 4;
        m.NavPack();
        m.Video(Cat({SequenceHeaders(v), GroupHeader(), Picture(0, 0, 3000, true, 1), Picture(0, 0, 3000, true, 2)}),
                90000);
        for (unsigned f = 1; f < 6; ++f) m.Video(Picture(2, f, 600));
        m.Audio(0xBD, Ac3Payload(0x80, 1, Ac3Frame()), 90000);
        m.NavPack();
        m.Video(Cat({GroupHeader(), Picture(0, 0, 2000)}), 90000 + 6 * 3003);
        m.Audio(0xBD, LpcmPayload(0xA0, 960), 90000 + 6 * 3003);
        Write(movie / "fields_ac3.mpg", m.Out());
    }
    {
        // Two still pictures in packs of their own, the first with audio.
        Muxer m;
        const VideoParams v;
        m.Video(Cat({SequenceHeaders(v), GroupHeader(), Picture(0, 0, 5000)}), 90000);
        m.FlushVideo();
        m.Audio(0xC0, Mp2Frame(), 90000);
        m.Video(Cat({SequenceHeaders(v), GroupHeader(), Picture(0, 0, 1000)}), 180000);
        m.End();
        Write(still / "two_pictures.mpg", m.Out());
    }
}

// Call sequences for fuzz_edit: each operation once with small arguments,
// and a few chains of related edits.
void EditSeeds(const fs::path& edit) {
    for (BYTE op = 0; op < 40; ++op) Write(edit / ("op" + std::to_string(op)), {op, 1, 1, 1, 1, 1, 1, 1, 1});
    Write(edit / "playlist", {0, 4, 3, 0, 1, 4, 3, 1, 2, 7, 3, 1, 2, 8, 3, 1, 30, 0, 9, 3, 1, 2, 36, 3, 1, 1, 0, 1});
    Write(edit / "original", {2, 1, 12, 0, 2, 2, 6, 0, 3, 1, 3, 13, 4, 30, 0, 38, 12, 1, 1, 11, 2, 0, 1, 1, 65});
    Write(edit / "chains", {14, 17, 1, 17, 2,  21, 3, 0, 1,  1, 1,  25, 3,  1, 40, 0, 0,
                            22, 3,  1, 2,  29, 3,  1, 3, 16, 1, 20, 1,  19, 2, 18, 2, 1});
}

}  // namespace

// Dumps for the dump scanner: its first byte places an unreadable stretch
// (0: none). A recording's halves in reverse order between filler bytes;
// the same with a stretch that cannot be read; a management file's head at
// a sector boundary.
void DumpSeeds(const fs::path& dump, const fs::path& ifo) {
    const std::vector<BYTE> pal = Sample("pal_mpeg2_mp2_4x3.vob");
    const size_t packs = std::min<size_t>(pal.size() / 2048, 60), half = packs / 2 * 2048;
    for (BYTE bad : {BYTE{0}, BYTE{20}}) {
        std::vector<BYTE> d = {bad};
        d.insert(d.end(), 999, 0x5A);
        d.insert(d.end(), pal.begin() + static_cast<std::ptrdiff_t>(half),
                 pal.begin() + static_cast<std::ptrdiff_t>(packs * 2048));
        d.insert(d.end(), 333, 0xA5);
        d.insert(d.end(), pal.begin(), pal.begin() + static_cast<std::ptrdiff_t>(half));
        d.insert(d.end(), 4096, 0);
        Write(dump / ("halves" + std::to_string(bad)), d);
    }
    std::vector<BYTE> d(2048, 0);
    const std::vector<BYTE> head = Read(ifo);
    d.insert(d.end(), head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(head.size(), 8192)));
    Write(dump / "management", d);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path open = root / "open", tables = root / "tables", work = root / "work";
    const fs::path movie = root / "movie", still = root / "still", edit = root / "edit", dump = root / "dump";
    for (const fs::path& dir : {open, tables, movie, still, edit, dump}) fs::create_directories(dir);
    for (const char* name : {"pal_mpeg2_mp2_4x3.vob", "ntsc_mpeg2_ac3_16x9.vob", "pal_mpeg2_lpcm_16x9.vob",
                             "ntsc_mpeg1_mp2_4x3.vob", "pal_vcd.mpg", "mpeg1_system_packs.mpg"})
        Write(movie / name, Sample(name));
    Write(still / "still_pal_2pictures.vob", Sample("still_pal_2pictures.vob"));
    StreamSeeds(movie, still);
    EditSeeds(edit);
    const bool ok = SaveDisc(work / "empty", false, open / "empty.ifo", tables) &&
                    SaveDisc(work / "full", true, open / "full.ifo", tables);
    fs::remove_all(work);
    if (ok) DumpSeeds(dump, open / "full.ifo");
    if (!ok) std::fprintf(stderr, "make_seeds: could not build the seed discs\n");
    return ok ? 0 : 1;
}
