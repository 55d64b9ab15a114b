// Helpers for table tests: serialise a table accessor and check it writes
// exactly the size it reports, and put bytes into a file opened through
// CBuffer, the way the management file is read.
#ifndef VRMANGR_TESTS_TABLEIO_H
#define VRMANGR_TESTS_TABLEIO_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "io/codecs.h"
#include "support/TempDir.h"

// The bytes fnReadData writes; fails the test when it writes more or fewer
// than fndwDataSize says.
template <class Table>
std::vector<BYTE> Serialise(Table&& table) {
    const DWORD size = table.fndwDataSize();
    std::vector<BYTE> out(size + 64, 0xEE);
    const DWORD n = table.fnReadData(out.data());
    EXPECT_EQ(n, size);
    for (size_t i = n; i < out.size(); ++i) {
        if (out[i] != 0xEE) {
            ADD_FAILURE() << "written beyond the size at " << i;
            break;
        }
    }
    out.resize(n);
    return out;
}

// A scratch file of `lead` zero bytes followed by `bytes`, opened read-only.
struct BytesFile {
    TempDir dir;
    CBuffer buffer;
    explicit BytesFile(const std::vector<BYTE>& bytes, size_t lead = 0) {
        std::vector<BYTE> all(lead, 0);
        all.insert(all.end(), bytes.begin(), bytes.end());
        const std::string path = dir.File("VR_MANGR.IFO");
        WriteWholeFile(path, all);
        EXPECT_EQ(buffer.Open(path.c_str(), CBuffer::kRead), 0u);
    }
};

// The 6-byte PTM of a 27 MHz count.
inline std::vector<BYTE> Ptm(__int64 t) {
    std::vector<BYTE> p(6);
    PtmFrom27MHz(t, p.data());
    return p;
}

#endif
