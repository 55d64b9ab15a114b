// Playlists: a search pointer in PL_SRPT naming the user-defined chain that
// plays it.
#include <vector>

#include "edit/EditAccess.h"
#include "manager/CVR_MANGR.h"
#include "tables/CPL_SRPT.h"
#include "tables/CUD_PGCIT.h"

int CVR_MANGR::fnADD_PlayList(BYTE num) {
    PL_SRPT* playlists = vrm::Playlists(*this);
    PGCI* chain = vrm::UserChain(*this, num);
    if (!playlists || !chain) return 0;
    // Created now, in the disc's zone.
    const SYSTEMTIME created = fnDiscTime(nullptr);
    return CPL_SRPT(playlists).fnADD_PlayList_Pointer(chain, num, &created) ? 1 : 0;
}

int CVR_MANGR::fnDEL_PlayList(BYTE pl) {
    PL_SRPT* playlists = vrm::Playlists(*this);
    CUD_PGCIT* table = vrm::UserChains(*this);
    if (!playlists || !table) return 0;
    CPL_SRPT list(playlists);
    const BYTE count = list.fnGet_c1_PL_SRP_Ns();
    if (pl == 0 || pl > count) return 0;

    // The chain each playlist plays, before anything changes.
    std::vector<BYTE> plays(count);
    for (BYTE i = 0; i < count; ++i) plays[i] = list.fnGet_c1_PGCN(i);
    const BYTE chain = plays[pl - 1u];
    BYTE players = 0;
    for (BYTE g : plays) players = static_cast<BYTE>(players + (g == chain ? 1 : 0));
    // The chain goes with its last playlist (a number that names no chain
    // has nothing to go).
    const bool dropChain = players == 1 && chain != 0 && chain <= table->fnGet_c1_UD_PGCI_SRP_Ns();

    if (!list.fnDEL_PlayList_Pointer(pl)) return 0;
    if (dropChain) fnDEL_UD_PGCI(chain);
    // Every remaining playlist names the chain it played: one number lower
    // where that chain moved down.
    plays.erase(plays.begin() + (pl - 1));
    for (BYTE i = 0; i < plays.size(); ++i)
        list.fnSet_c1_PGCN(i, static_cast<BYTE>(dropChain && plays[i] > chain ? plays[i] - 1 : plays[i]));
    return 1;
}
