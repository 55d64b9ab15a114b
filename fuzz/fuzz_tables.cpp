// Every table loader on arbitrary bytes: a load must stay inside the file,
// and whatever loads must serialise to exactly the size it reports and load
// back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/FuzzFile.h"
#include "io/CBuffer.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"

namespace {

template <class Accessor>
std::vector<BYTE> Serialise(Accessor& accessor) {
    std::vector<BYTE> out(accessor.fndwDataSize());
    if (accessor.fnReadData(out.data()) != out.size()) abort();
    return out;
}

// Loads the table at offset `at` of the input; when it loads, its bytes
// (behind `at` filler bytes) must load again to the same table.
template <class Record, class Accessor, class Load>
void RoundTrip(CBuffer& input, Load load, DWORD at = 0) {
    Record* record = new Record();
    Accessor accessor(&input, record, at);
    if ((accessor.*load)() && !input.ReadFailed()) {
        Accessor bound(record);
        std::vector<BYTE> bytes = Serialise(bound);
        bytes.insert(bytes.begin(), at, 0);
        FuzzFile file(bytes.data(), bytes.size());
        CBuffer again;
        if (file.Ok() && again.Open(file.Path(), CBuffer::kRead) == 0 && bytes.size() > at) {
            Record* reloaded = new Record();
            Accessor reader(&again, reloaded, at);
            (reader.*load)();
            Accessor rebound(reloaded);
            std::vector<BYTE> rebytes = Serialise(rebound);
            rebytes.insert(rebytes.begin(), at, 0);
            if (again.ReadFailed() || rebytes != bytes) abort();
            delete reloaded;
        }
    }
    input.ClearReadFailure();
    delete record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size);
    CBuffer input;
    if (!file.Ok() || input.Open(file.Path(), CBuffer::kRead) != 0) return 0;
    RoundTrip<RTR_VMGI, CRTR_VMGI>(input, &CRTR_VMGI::fndwLoad_RTR_VMGI_From_File);
    RoundTrip<M_AVFIT, CM_AVFIT>(input, &CM_AVFIT::fndwLoad_M_AVFIT_From_File);
    RoundTrip<S_AVFIT, CS_AVFIT>(input, &CS_AVFIT::fndwLoad_S_AVFIT_From_File);
    RoundTrip<PGCI, CPGCI>(input, &CPGCI::fndwLoad_PGCI_From_File);
    // A user-defined chain table never starts the file: at 0 it is absent.
    RoundTrip<UD_PGCIT, CUD_PGCIT>(input, &CUD_PGCIT::fndwLoad_UD_PGCIT_From_File, 1);
    RoundTrip<TXTDT_MG, CTXTDT_MG>(input, &CTXTDT_MG::fndwLoad_TXTDT_MG_From_File);
    RoundTrip<MNFIT, CMNFIT>(input, &CMNFIT::fndwLoad_MNFIT_From_File);
    return 0;
}
