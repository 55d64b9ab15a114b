// The handle's legacy copy assignment, which the flat interface never uses.
#include <gtest/gtest.h>

#include <cstring>

#include "api/vrmangr.h"
#include "io/CBuffer.h"
#include "support/Ints.h"

// A shallow copy: both managers share the buffer, the model and the stream
// objects, and the copy answers with the original's state.
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
    EXPECT_TRUE(b->m_pBuffer == a->m_pBuffer && b->m_pModel == a->m_pModel && b->m_pMovie == a->m_pMovie &&
                b->m_pStill == a->m_pStill);
    EXPECT_EQ(Ints({b->m_cCurUDPGCN, fnVR_MANGRGetLastError(b), b->m_dwTableSize[CVR_MANGR::kM_AVFIT]}),
              Ints({3, 42, 1234}));
    // Only one of the two may be destroyed; the other is freed bare.
    delete a;
    ::operator delete(static_cast<void*>(b));
}
