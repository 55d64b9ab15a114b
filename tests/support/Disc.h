// A new disc in a scratch directory whose recordings are registered through
// the tables directly (no MPEG analysis), with their source files written
// and queued on the stream objects as the registration does, so that stream
// positions map to real files.
#ifndef VRMANGR_TESTS_DISC_H
#define VRMANGR_TESTS_DISC_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Cells.h"
#include "support/Ints.h"
#include "support/ProgramStream.h"
#include "support/Recording.h"
#include "support/TempDir.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CUD_PGCIT.h"

struct Disc {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());

    Disc() { EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1); }
    ~Disc() { fnVR_MANGREnd(m); }
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;
    operator void*() const { return m; }
    VMG_MODEL& Model() const { return *m->m_pModel; }
    PGCI* Original() const { return Model().pORG_PGCI; }

    // Writes the recording's source file (a sparse file in which each VOBU
    // starts with a sequence header of the given bit rate value), queues it
    // and registers its VOB; with cell, also as a program of the original
    // chain. Returns the file's path.
    std::string AddMovie(Recording& r, bool cell = true, uint32_t bitRateValue = 15000) {
        std::vector<M_VOBI>* vobs = Model().pM_AVFIT->pM_AVFI ? &Model().pM_AVFIT->pM_AVFI->vobi : nullptr;
        const std::string path = dir.File("movie" + std::to_string(vobs ? vobs->size() + 1 : 1) + ".mpg");
        ps::VideoParams video;  // 720x576, 4:3, 25 frames/s
        video.bitRate400 = bitRateValue;
        const ps::Bytes header = ps::SequenceHeader(video);
        {
            std::ofstream out(path, std::ios::binary);
            for (DWORD i = 0; i < r.info.dwVOBUNs; ++i) {
                out.seekp(std::streamoff{r.table[i].dwVOBUAddr} * 2048);
                out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
            }
        }
        std::filesystem::resize_file(path, uintmax_t{r.table[r.info.dwVOBUNs].dwVOBUAddr} * 2048);
        m->m_pMovie->fnSetAnalysedFileName(path.c_str());
        EXPECT_EQ(m->m_pMovie->fnAddVOBToList(&r.info), 1);
        EXPECT_EQ(m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
        vobs = &Model().pM_AVFIT->pM_AVFI->vobi;
        if (cell) {
            EXPECT_EQ(m->m_pORG_PGCI->fnADD_Movie_Program(&vobs->back(), static_cast<WORD>(vobs->size())), 1);
        }
        return path;
    }
    // A recording whose video runs `seconds` from `start` (VOBUs of one
    // second at 25 frames per second, or of 15 frames at 29.97).
    void AddMovie(__int64 start, DWORD seconds, DWORD frameRate = 25000) {
        const BYTE frames = frameRate == 25000 ? 25 : 15;
        Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(seconds, {frames, 50}), frameRate, 0, start);
        AddMovie(r);
    }

    // A file of still pictures of the given sizes in sectors (no audio),
    // queued and registered as one VOG with a program of the original chain.
    std::string AddStill(const std::vector<DWORD>& pictures) {
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
        const std::string path = dir.File("still" + std::to_string(StillGroups() + 1) + ".vob");
        WriteWholeFile(path, std::vector<unsigned char>(size_t{addr} * 2048, 0));
        m->m_pStill->fnSetAnalysedFileName(path.c_str());
        EXPECT_EQ(m->m_pStill->fnAddVOBToList(&info), 1);
        EXPECT_EQ(m->m_pS_AVFIT->fnADD_Program(&info), 1);
        std::vector<S_VOGI>& vogs = Model().pS_AVFIT->pS_AVFI->vogi;
        EXPECT_EQ(m->m_pORG_PGCI->fnADD_Still_Pic_Program(&vogs.back(), static_cast<WORD>(vogs.size())), 1);
        return path;
    }
    size_t StillGroups() const { return Model().pS_AVFIT->pS_AVFI ? Model().pS_AVFIT->pS_AVFI->vogi.size() : 0; }

    // A playlist whose chain is empty; returns the chain.
    PGCI* AddPlaylist() {
        EXPECT_EQ(m->fnADD_UD_PGCI(), 1);
        EXPECT_EQ(m->fnADD_PlayList(m->m_cCurUDPGCN), 1);
        return &Model().pUD_PGCIT->pgci[m->m_cCurUDPGCN - 1u];
    }
    CPL_SRPT Playlists() const { return CPL_SRPT(Model().pRTR_VMGI->pPL_SRPT.get()); }
};

#endif
