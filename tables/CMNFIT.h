// CMNFIT: accessor of MNFIT, the manufacturer information table: records
// MNFI that a recorder's maker may leave on the disc, each a 32-byte maker
// identifier, a recording time and a block of the maker's own data. The
// table is optional (MNFIT_SA is 0 when the file has none); the library
// never creates one, it only loads it and writes it back.
//
// On disc: a 38-byte header, MNFI_Ns search pointers, then the records,
// each its fixed part and its data MNFI_DT. The data length is not stored:
// it runs to the next record's start, or for the last record to the end of
// the table.
#ifndef VRMANGR_TABLES_CMNFIT_H
#define VRMANGR_TABLES_CMNFIT_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

// MNFIT_EA is the table's size minus 1; LAST_MNF_ID the identifier of the
// last record.
#define VRM_FIELDS_MNFIT_HEADER(F, C)                             \
    F(C, U16, MNFI_Ns, 0, 2, fnGet_wMNFI_Ns, fnSet_wMNFI_Ns)      \
    F(C, U32, MNFIT_EA, 2, 4, fnGet_dwMNFIT_EA, fnSet_dwMNFIT_EA) \
    F(C, BYTES, LAST_MNF_ID, 6, 32, fnGet_c32_LAST_MNF_ID, fnSet_c32_LAST_MNF_ID)
VRM_LAYOUT(MNFIT_HEADER, VRM_FIELDS_MNFIT_HEADER, 38);

// MNFI_SRP: a record's start from the table's first byte.
#define VRM_FIELDS_MNFI_SRP(F, C) F(C, U16, MNFI_SA, 0, 2, fnGet_wMNFI_SA, fnSet_wMNFI_SA)
VRM_LAYOUT(MNFI_SRP, VRM_FIELDS_MNFI_SRP, 2);

// The fixed part of a record MNFI: the maker's identifier and the recording
// time (REC_TM).
#define VRM_FIELDS_MNFI_FIXED(F, C)                                \
    F(C, BYTES, MNF_ID, 0, 32, fnGet_c32_MNF_ID, fnSet_c32_MNF_ID) \
    F(C, BYTES, MNFI_REC_TM, 32, 5, fnGet_c5_MNFI_REC_TM, fnSet_c5_MNFI_REC_TM)
VRM_LAYOUT(MNFI_FIXED, VRM_FIELDS_MNFI_FIXED, 37);

// One record: its fixed bytes as on disc and its data block, whose length is
// the record's data length.
struct MNFI {
    static constexpr DWORD kFixedSize = MNFI_FIXED::kSize;
    BYTE fixed[kFixedSize];
    std::vector<BYTE> data;
};

// The header and search pointers as on disc, and the records.
struct MNFIT {
    static constexpr DWORD kHeaderSize = MNFIT_HEADER::kSize;
    static constexpr DWORD kSRPSize = MNFI_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<MNFI> records;
};

class VRMANGR_API CMNFIT {
public:
    explicit CMNFIT(WORD unused = 0);
    explicit CMNFIT(MNFIT* model);
    CMNFIT(CBuffer* buffer, MNFIT* model, DWORD offset);
    CMNFIT(const CMNFIT&) = default;
    CMNFIT& operator=(const CMNFIT&) = default;

    // Zeroes the header and empties the first (cached count) search pointers
    // and records.
    int fnSetZero();
    // An empty table: no record.
    int fnNew();
    int fnCheckValid() const { return m_pModel ? 1 : 0; }
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the table as it is now.
    DWORD fndwDataSize() const;
    // Writes the table at offset `at` of the writer, the records packed in
    // search-pointer order, each with its data block; every MNFI_SA,
    // MNFIT_EA and LAST_MNF_ID (the last record's MNF_ID) is rewritten.
    // Returns the size (0, writing nothing, without a model).
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which must hold fndwDataSize() bytes; returns the
    // size (0 for a null out).
    DWORD fnReadData(BYTE* out);
    // Loads the table at the file offset; every record is read at its stored
    // start address, its data length computed by fnGet_MNFI_DT_Len. Returns
    // the size loaded, or 0 (with the buffer's read failure marked) when a
    // count or address points outside the file.
    DWORD fndwLoad_MNFIT_From_File();
    // Releases the table, the MNFIT record itself included (it must have
    // been allocated with new); the accessor is then unbound.
    void fnFreeAllData();
    // Data length of record i from the addresses, in 16-bit arithmetic:
    // MNFIT_EA - MNFI_SA(i) - 36 for the last record, else
    // MNFI_SA(i + 1) - MNFI_SA(i) - 37.
    WORD fnGet_MNFI_DT_Len(WORD i) const;
    // Appends the header's fields and, for each counted record held,
    // numbered from 1, its start address, fixed fields and data length two
    // spaces further in.
    void fnDump(std::string& out, const std::string& indent) const;

    VRM_ACCESSORS(VRM_FIELDS_MNFIT_HEADER, Header)
    // Search pointer i (0-based), or nullptr when the array has no entry i.
    BYTE* fnGet_iTH_MNFI_SRP_Address(WORD i) const { return SearchPointer(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_MNFI_SRP, WORD, SearchPointer, SearchPointer)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_MNFI_FIXED, WORD, Record, Record)
    // The getter copies fnGet_MNFI_DT_Len(i) bytes of record i's data to out;
    // 0 for a null out, a record without data, or a length beyond the data
    // held. The setter overwrites the first len bytes of the data (the block
    // never grows); 0 for a null source, a record without data or len beyond
    // the data held.
    int fnGet_pMNFI_DT(WORD i, BYTE* out) const;
    int fnSet_pMNFI_DT(WORD i, const BYTE* src, DWORD len);

    MNFIT* m_pModel;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    WORD m_wMNFI_Ns;  // cached count
    DWORD m_dwOffset;

private:
    BYTE* Header() const { return m_pModel ? m_pModel->header : nullptr; }
    BYTE* SearchPointer(WORD i) const;
    // The fixed bytes of record i, or nullptr.
    BYTE* Record(WORD i) const;
    // The data block of record i, or nullptr when it has none.
    std::vector<BYTE>* Data(WORD i) const;
};

#endif
