#include <gtest/gtest.h>

#include <cstring>

#include "api/vrmangr.h"
#include "io/CBuffer.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"

TEST(Handle, BeginEndAndANullHandle) {
    void* h = fnVR_MANGRBegin();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(fnVR_MANGRGetLastError(h), 0u);
    fnVR_MANGREnd(h);
    EXPECT_EQ(fnVR_MANGRGetLastError(nullptr), 0u);
    fnVR_MANGREnd(nullptr);
}

TEST(Handle, ANewManagerIsEmpty) {
    CVR_MANGR m;
    ASSERT_TRUE(m.m_pBuffer && m.m_pModel && m.m_pMovie && m.m_pStill);
    EXPECT_FALSE(m.m_pBuffer->IsOpen());
    EXPECT_EQ(m.m_pMovie->m_bMovie, 1);
    EXPECT_EQ(m.m_pStill->m_bMovie, 0);
    EXPECT_TRUE(m.m_pMovie->m_dwLastError == 0 && m.m_szDir[0] == '\0' && m.m_cCurUDPGCN == 0 && m.m_dwLastError == 0);
    for (DWORD size : m.m_dwTableSize) EXPECT_EQ(size, 0u);
    const void* tables[] = {m.m_pModel->pRTR_VMGI, m.m_pModel->pMNFIT, m.m_pRTR_VMGI, m.m_pM_AVFIT, m.m_pS_AVFIT,
                            m.m_pORG_PGCI,         m.m_pUD_PGCIT,      m.m_pTXTDT_MG, m.m_pMNFIT};
    for (const void* table : tables) EXPECT_EQ(table, nullptr);
}

TEST(Handle, AssignmentSharesEverything) {
    auto* a = new CVR_MANGR();
    std::strcpy(a->m_szDir, "/discs/one");
    a->m_cCurUDPGCN = 3;
    a->m_dwLastError = 42;
    a->m_dwTableSize[CVR_MANGR::kM_AVFIT] = 1234;
    auto* b = new CVR_MANGR();
    // b's own parts are handed back first, because the assignment drops them.
    delete b->m_pBuffer;
    delete b->m_pModel;
    delete b->m_pMovie;
    delete b->m_pStill;
    *b = *a;
    EXPECT_STREQ(b->m_szDir, "/discs/one");
    EXPECT_EQ(b->m_pBuffer, a->m_pBuffer);
    EXPECT_EQ(b->m_pModel, a->m_pModel);
    EXPECT_EQ(b->m_pMovie, a->m_pMovie);
    EXPECT_EQ(b->m_pStill, a->m_pStill);
    EXPECT_EQ(b->m_cCurUDPGCN, 3);
    EXPECT_EQ(fnVR_MANGRGetLastError(b), 42u);
    EXPECT_EQ(b->m_dwTableSize[CVR_MANGR::kM_AVFIT], 1234u);
    // Only one of the two may be destroyed; the other is freed bare.
    delete a;
    ::operator delete(static_cast<void*>(b));
}

TEST(Handle, EndReleasesTheTables) {
    // Under LeakSanitizer this fails if a table's model is left behind.
    void* h = fnVR_MANGRBegin();
    ASSERT_NE(h, nullptr);
    auto* m = static_cast<CVR_MANGR*>(h);
    m->m_pModel->pRTR_VMGI = new RTR_VMGI();
    m->m_pRTR_VMGI = new CRTR_VMGI(m->m_pModel->pRTR_VMGI);
    ASSERT_EQ(m->m_pRTR_VMGI->fnNew(), 1);
    CPL_SRPT(m->m_pModel->pRTR_VMGI->pPL_SRPT.get()).AddPointer(0, 1);
    m->m_pModel->pM_AVFIT = new M_AVFIT();
    m->m_pM_AVFIT = new CM_AVFIT(m->m_pModel->pM_AVFIT);
    m->m_pM_AVFIT->fnNew();
    m->m_pModel->pS_AVFIT = new S_AVFIT();
    m->m_pS_AVFIT = new CS_AVFIT(m->m_pModel->pS_AVFIT);
    m->m_pS_AVFIT->fnNew();
    m->m_pModel->pORG_PGCI = new PGCI();
    m->m_pORG_PGCI = new CPGCI(m->m_pModel->pORG_PGCI);
    m->m_pORG_PGCI->fnNew();
    fnVR_MANGREnd(h);
}
