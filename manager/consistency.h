// Whether the loaded tables agree with each other (each loader checks only
// its own table's bounds).
#ifndef VRMANGR_MANAGER_CONSISTENCY_H
#define VRMANGR_MANAGER_CONSISTENCY_H

#include <string>
#include <vector>

struct VMG_MODEL;

namespace vrm {

// Checks the loaded tables against each other; appends one sentence per
// violation (naming the table and the item) and returns true when there is
// none. See CVR_MANGR::fnCheckConsistency.
bool CheckConsistency(const VMG_MODEL& model, std::vector<std::string>* findings);

}  // namespace vrm

#endif
