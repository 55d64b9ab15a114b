// A disc in memory for the query tests: a manager bound to a scratch
// directory by New, with recordings registered straight through the tables
// and their source files queued on the stream objects (as the registration
// does), so that positions map to real files.
#ifndef VRMANGR_TESTS_QUERY_DISC_H
#define VRMANGR_TESTS_QUERY_DISC_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Cells.h"
#include "support/Ints.h"
#include "support/ProgramStream.h"
#include "support/Recording.h"
#include "support/TempDir.h"
#include "tables/CCI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CUD_PGCIT.h"

constexpr __int64 kVobu = 12 * kFrame625;  // one VOBU of UniformRecording
constexpr __int64 kStart = 27000000;  // video start of the recordings

class QueryDisc {
public:
    QueryDisc() : m(static_cast<CVR_MANGR*>(fnVR_MANGRBegin())) {
        if (!m || !fnVR_MANGRNew(m, dir.Path().c_str())) ADD_FAILURE() << "no new disc";
    }
    ~QueryDisc() { fnVR_MANGREnd(m); }
    QueryDisc(const QueryDisc&) = delete;
    QueryDisc& operator=(const QueryDisc&) = delete;

    VMG_MODEL& Model() { return *m->m_pModel; }
    PGCI* Original() { return Model().pORG_PGCI; }

    // Writes the recording's source file (each VOBU starts with a sequence
    // header of the given bit rate), queues it and registers its VOB. With
    // cell, the VOB also gets a cell of the original chain.
    std::string AddMovie(Recording& r, const std::string& name, uint32_t bitRateValue, bool cell = true) {
        const std::string path = dir.File(name);
        std::vector<unsigned char> bytes(size_t{r.table[r.info.dwVOBUNs].dwVOBUAddr} * 2048, 0);
        ps::VideoParams video;  // 720x576, 4:3, 25 frames/s
        video.bitRate400 = bitRateValue;
        const std::vector<unsigned char> header = ps::SequenceHeader(video);
        for (DWORD i = 0; i < r.info.dwVOBUNs; ++i) {
            std::copy(header.begin(), header.end(), bytes.begin() + long{r.table[i].dwVOBUAddr} * 2048);
        }
        WriteWholeFile(path, bytes);
        m->m_pMovie->fnSetAnalysedFileName(path.c_str());
        EXPECT_EQ(m->m_pMovie->fnAddVOBToList(&r.info), 1);
        EXPECT_EQ(m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
        if (cell) {
            std::vector<M_VOBI>& vobs = Model().pM_AVFIT->pM_AVFI->vobi;
            EXPECT_EQ(m->m_pORG_PGCI->fnADD_Movie_Program(&vobs.back(), static_cast<WORD>(vobs.size())), 1);
        }
        return path;
    }

    // A file of still pictures of the given sizes in sectors (no audio),
    // queued and registered as one VOG with a cell of the original chain.
    std::string AddStill(const std::vector<DWORD>& pictures, const std::string& name) {
        std::vector<VR_VOBU_ELEMENT> table;
        DWORD addr = 0;
        for (DWORD size : pictures) {
            table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
            addr += size;
        }
        table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
        VR_MPEGFILE_INFO info{};
        info.dwFrameRate = 25000;
        info.dwWidth = 720;
        info.dwHeight = 576;
        info.dwMpeg2 = 1;
        info.bAspectRatio = 2;
        info.dwFrameNs = static_cast<DWORD>(pictures.size());
        info.pVOBUTable = table.data();
        const std::string path = dir.File(name);
        WriteWholeFile(path, std::vector<unsigned char>(size_t{addr} * 2048, 0));
        m->m_pStill->fnSetAnalysedFileName(path.c_str());
        EXPECT_EQ(m->m_pStill->fnAddVOBToList(&info), 1);
        EXPECT_EQ(m->m_pS_AVFIT->fnADD_Program(&info), 1);
        std::vector<S_VOGI>& vogs = Model().pS_AVFIT->pS_AVFI->vogi;
        EXPECT_EQ(m->m_pORG_PGCI->fnADD_Still_Pic_Program(&vogs.back(), static_cast<WORD>(vogs.size())), 1);
        return path;
    }

    // A playlist whose chain is empty; returns the chain to fill.
    PGCI* AddPlaylist() {
        EXPECT_EQ(m->fnADD_UD_PGCI(), 1);
        EXPECT_EQ(m->fnADD_PlayList(m->m_cCurUDPGCN), 1);
        return &Model().pUD_PGCIT->pgci[m->m_cCurUDPGCN - 1u];
    }

    TempDir dir;
    CVR_MANGR* m;
};

inline void AddCell(PGCI* chain, WORD vob, __int64 start, __int64 end, const std::vector<__int64>& entryPoints) {
    ASSERT_TRUE(AppendCell(*chain, vob, start, end, entryPoints));
}

// Three cells over one VOB of eight VOBUs from kStart: A (VOBUs 0-2, entry
// point at its start), B (VOBUs 3-4, none: a continuation cell) and C (VOBUs
// 5-7, entry point at VOBU 7: a continuation cell, since that lies more than
// half a second after its start). Entry point 1 runs from A through B into
// C's first part; entry point 2 is C's last VOBU.
inline void AddContinuationCells(PGCI* chain) {
    AddCell(chain, 1, kStart, kStart + 3 * kVobu, {kStart});
    AddCell(chain, 1, kStart + 3 * kVobu, kStart + 5 * kVobu, {});
    AddCell(chain, 1, kStart + 5 * kVobu, kStart + 8 * kVobu, {kStart + 7 * kVobu});
}

#endif
