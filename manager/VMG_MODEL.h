// VMG_MODEL: the root of the in-memory management information, one pointer
// per table of the management file in file order. A null pointer means the
// table is absent.
#ifndef VRMANGR_MANAGER_VMG_MODEL_H
#define VRMANGR_MANAGER_VMG_MODEL_H

struct RTR_VMGI;
struct M_AVFIT;
struct S_AVFIT;
struct PGCI;
struct UD_PGCIT;
struct TXTDT_MG;
struct MNFIT;

struct VMG_MODEL {
    RTR_VMGI* pRTR_VMGI;  // management table and play list search pointers
    M_AVFIT* pM_AVFIT;  // movie AV file information table
    S_AVFIT* pS_AVFIT;  // still AV file information table
    PGCI* pORG_PGCI;  // the original program chain, holding every recording
    UD_PGCIT* pUD_PGCIT;  // user-defined program chains (playlists)
    TXTDT_MG* pTXTDT_MG;  // text data manager
    MNFIT* pMNFIT;  // manufacturer information table
};

#endif
