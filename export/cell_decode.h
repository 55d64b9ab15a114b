// Decoding the pictures of one cell, for what the module makes of pictures
// rather than packets (still images, menu pages).
#ifndef VRMANGR_EXPORT_CELL_DECODE_H
#define VRMANGR_EXPORT_CELL_DECODE_H

#include <cstdint>
#include <functional>
#include <string>

#include "export/remux.h"

struct AVFrame;

namespace vrexport {

// Decodes the video of one cell of the plan, handing each picture (in
// display order) to onPicture until it returns false (then kWriteFailed).
// done and total count bytes read, for progress.
Result DecodeCell(const Plan& plan, const Cell& cell, uint64_t* done, uint64_t total, const ProgressFn& progress,
                  const std::function<bool(const AVFrame*)>& onPicture, std::string* error);

}  // namespace vrexport

#endif
