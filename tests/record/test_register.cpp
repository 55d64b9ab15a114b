// Registering recorded MPEG files on a disc: the refusals, which must leave
// the queue and the tables as they were. (Registering itself is covered
// end to end by the tool's tests on the committed samples.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Ints.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"

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
    // Everything the tables hold, as they would be saved.
    Bytes Tables() const {
        Bytes all = Serialise(*m->m_pM_AVFIT);
        const Bytes chain = Serialise(*m->m_pORG_PGCI);
        all.insert(all.end(), chain.begin(), chain.end());
        return all;
    }
};

const char kPalMp2[] = "pal_mpeg2_mp2_4x3.vob";

}  // namespace

// Each refusal names the file and its reason and leaves the queue and the
// tables as they were: a file of another TV system, of other packs, a
// missing one, and one the full original chain has no cell for.
TEST(RegisterMovie, RefusalsChangeNothing) {
    Disc disc;
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    const struct {
        std::string file;
        DWORD error;
    } refused[] = {
        {Sample("ntsc_mpeg2_ac3_16x9.vob"), VRO_ERR_TV_SYSTEM},
        {Sample("pal_vcd.mpg"), VRO_ERR_PACK_SIZE},
        {disc.dir.File("missing.mpg"), VRO_ERR_SOURCE_OPEN},
        {Sample(kPalMp2), VRO_ERR_EDIT_REFUSED},
    };
    for (const auto& r : refused) {
        if (r.error == VRO_ERR_EDIT_REFUSED) {
            CPGCI& chain = *disc.m->m_pORG_PGCI;
            M_VOBI& vob = disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[0];
            while (chain.fnGet_wCI_SRP_Ns() < CPGCI::kMaxCells) ASSERT_EQ(chain.fnADD_UD_Movie_Cell(&vob, 1, -1), 1);
        }
        const Bytes tables = disc.Tables();
        VR_STATUS status{};
        EXPECT_EQ(fnVR_AddMpegFile(disc.m, r.file.c_str(), nullptr), 0) << r.file;
        ASSERT_EQ(fnVR_MANGRGetLastStatus(disc.m, &status), 1);
        EXPECT_EQ(status.dwCode, r.error) << r.file << ": " << status.szText;
        EXPECT_NE(std::string(status.szText).find(r.file), std::string::npos) << "names the file";
        EXPECT_EQ(Ints({disc.m->m_pMovie->fnGetQueuedFileNs(),
                        static_cast<long long>(disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi.size())}),
                  Ints({1, 1}))
            << r.file;
        EXPECT_EQ(disc.Tables(), tables) << r.file;
    }
    EXPECT_EQ(
        Ints({fnVR_AddMpegFile(nullptr, Sample(kPalMp2).c_str(), nullptr), fnVR_AddMpegFile(disc.m, nullptr, nullptr)}),
        Ints(2, 0));
}
