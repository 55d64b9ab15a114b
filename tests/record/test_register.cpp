// Registering recorded MPEG files and still-picture files on a disc, end to
// end: analysis, tables, the stream files written at save, and the refusals
// that must leave everything as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "platform/clock.h"
#include "support/Ints.h"
#include "support/ProgramStream.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTMAPI.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

struct Disc {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    Disc() { EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1); }
    ~Disc() { fnVR_MANGREnd(m); }
    int Add(const char* sample) { return fnVR_AddMpegFile(m, Sample(sample).c_str(), nullptr); }
    DWORD AdrOfs(size_t vob) const {
        return CTMAPI(m->m_pModel->pM_AVFIT->pM_AVFI->vobi[vob].pTMAPI.get()).fnGet_dwADR_OFS();
    }
    // Everything the tables hold, as they would be saved.
    Bytes Tables() const {
        Bytes all = Serialise(*m->m_pM_AVFIT);
        const Bytes chain = Serialise(*m->m_pORG_PGCI);
        all.insert(all.end(), chain.begin(), chain.end());
        return all;
    }
};

const char kPalMp2[] = "pal_mpeg2_mp2_4x3.vob";
const char kPalLpcm[] = "pal_mpeg2_lpcm_16x9.vob";

}  // namespace

TEST(RegisterMovie, ThreeRecordingsLandWhereTheirTimeMapsSay) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 9, 30, 0), 0);
    Disc disc;
    ASSERT_EQ(disc.Add(kPalMp2), 1) << disc.m->m_pMovie->fnGetLastErrorDetail();
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    ASSERT_EQ(disc.Add(kPalLpcm), 1) << disc.m->m_pMovie->fnGetLastErrorDetail();

    const Bytes a = ReadWholeFile(Sample(kPalMp2)), b = ReadWholeFile(Sample(kPalLpcm));
    const DWORD sizeA = static_cast<DWORD>(a.size() / 2048);
    ASSERT_EQ(disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi.size(), 3u);
    EXPECT_EQ(Ints({disc.AdrOfs(0), disc.AdrOfs(1), disc.AdrOfs(2)}), Ints({0, sizeA, 2 * sizeA}));
    // The same attributes share one record; one day makes one program.
    EXPECT_EQ(Ints({disc.m->m_pM_AVFIT->fnGet_c1_M_VOB_STI_Ns(),
                    CM_VOBI(&disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[2]).fnGet_c1_M_VOB_STIN(),
                    disc.m->m_pORG_PGCI->fnGet_c1_PG_Ns(), disc.m->m_pORG_PGCI->fnGet_wC_Ns(0),
                    disc.m->m_pORG_PGCI->fnGetTotalEntryPointNs(0, 0, 0)}),
              Ints({2, 2, 1, 3, 3}));

    ASSERT_EQ(fnVR_MANGRSave(disc.m, nullptr), 1);
    Bytes expected = a;
    expected.insert(expected.end(), a.begin(), a.end());
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MOVIE.VRO")), expected);

    const Bytes ifo = ReadWholeFile(disc.dir.File("VR_MANGR.IFO"));
    void* again = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGROpen(again, disc.dir.Path().c_str()), 1);
    ASSERT_EQ(fnVR_MANGRSave(again, nullptr), 1);
    fnVR_MANGREnd(again);
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MANGR.IFO")), ifo);
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MOVIE.VRO")), expected);
}

TEST(RegisterMovie, RefusalsChangeNothing) {
    Disc disc;
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    const Bytes tables = disc.Tables();
    CVR_MOVIE& movie = *disc.m->m_pMovie;
    VR_STATUS status{};
    const struct {
        std::string file;
        DWORD error;
    } refused[] = {
        {Sample("ntsc_mpeg2_ac3_16x9.vob"), VRO_ERR_TV_SYSTEM}, {Sample("pal_vcd.mpg"), VRO_ERR_PACK_SIZE},
        {Sample("mpeg1_system_packs.mpg"), VRO_ERR_PACK_SIZE},  {Sample("README.md"), VRO_ERR_NOT_PROGRAM_STREAM},
        {disc.dir.File("missing.mpg"), VRO_ERR_SOURCE_OPEN},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(fnVR_AddMpegFile(disc.m, r.file.c_str(), nullptr), 0) << r.file;
        ASSERT_EQ(fnVR_MANGRGetLastStatus(disc.m, &status), 1);
        EXPECT_EQ(status.dwCode, r.error) << r.file << ": " << status.szText;
        EXPECT_NE(std::string(status.szText).find(r.file), std::string::npos) << "names the file";
        EXPECT_EQ(movie.fnGetQueuedFileNs(), 1u) << r.file;
        EXPECT_EQ(disc.Tables(), tables) << r.file;
    }
    EXPECT_EQ(
        Ints({fnVR_AddMpegFile(nullptr, Sample(kPalMp2).c_str(), nullptr), fnVR_AddMpegFile(disc.m, nullptr, nullptr)}),
        Ints(2, 0));
}

TEST(RegisterMovie, AFullChainIsRefusedBeforeAnythingChanges) {
    Disc disc;
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    // The original chain is full, so the cell cannot be added.
    CPGCI& chain = *disc.m->m_pORG_PGCI;
    M_VOBI& vob = disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[0];
    while (chain.fnGet_wCI_SRP_Ns() < CPGCI::kMaxCells) ASSERT_EQ(chain.fnADD_UD_Movie_Cell(&vob, 1, -1), 1);
    const Bytes tables = disc.Tables();
    // Refused before it is queued, and there is no VOB without a cell.
    EXPECT_EQ(Ints({disc.Add(kPalMp2), disc.m->m_pMovie->fnGetQueuedFileNs(),
                    static_cast<long long>(disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi.size())}),
              Ints({0, 1, 1}));
    EXPECT_EQ(disc.Tables(), tables);
}

TEST(RegisterStill, TwoPicturesWithoutAudio) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 9, 30, 0), 0);
    Disc disc;
    // Two still pictures, each beginning in a pack of its own.
    const ps::VideoParams pal;
    ps::Muxer m;
    for (size_t bytes : {5000u, 1000u}) {
        m.FlushVideo();
        m.Video(ps::Cat({ps::SequenceHeaders(pal), ps::GroupHeader(), ps::Picture(ps::I, 0, bytes)}), 90000);
        m.FlushVideo();
    }
    const std::string file = disc.dir.File("stills.mpg");
    WriteWholeFile(file, m.Out());
    ASSERT_EQ(disc.m->fnADD_Still_Pic_Program(file.c_str()), 1) << disc.m->m_pStill->fnGetLastErrorDetail();

    CS_AVFIT& stills = *disc.m->m_pS_AVFIT;
    CS_VOGI v(&disc.m->m_pModel->pS_AVFIT->pS_AVFI->vogi[0]);
    CPGCI& chain = *disc.m->m_pORG_PGCI;
    CCI cell(chain.Cell(0));
    // A VOG of two 2-byte entries, and one still cell over both pictures.
    EXPECT_EQ(Ints({stills.fnGet_c1_S_AVFI_Ns(), stills.fnGet_c1_S_VOB_STI_Ns(), v.fnGet_c1_S_VOB_Ns(),
                    v.fndwDataSize(), chain.fnGet_c1_PG_Ns(), cell.fnGet_CI_TYPE(), cell.fnGet_c1_S_S_VOB_ENTN(),
                    cell.fnGet_c1_E_S_VOB_ENTN(), cell.fnGet_wC_EPI_Ns(), cell.fnGet_c1_S_VOB_ENTN(0)}),
              Ints({1, 1, 2, 18 + 2 + 2, 1, CI::kStill, 1, 2, 1, 1}));

    ASSERT_EQ(fnVR_MANGRSave(disc.m, nullptr), 1);
    const DWORD start = v.fnGet_dwS_VOG_SA();
    const Bytes stream = ReadWholeFile(disc.dir.File("VR_STILL.VRO"));
    EXPECT_EQ(Bytes(stream.begin() + start * 2048, stream.end()), m.Out()) << "the still VOBs at the reported sector";
}
