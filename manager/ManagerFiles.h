// Names of the files of a recording directory, as the manager builds them
// from its directory (kept without a trailing '/').
#ifndef VRMANGR_MANAGER_MANAGERFILES_H
#define VRMANGR_MANAGER_MANAGERFILES_H

#include <string>

namespace vrm {

constexpr const char kIfoName[] = "VR_MANGR.IFO";
constexpr const char kBupName[] = "VR_MANGR.BUP";
constexpr const char kMovieName[] = "VR_MOVIE.VRO";
constexpr const char kStillName[] = "VR_STILL.VRO";
constexpr const char kVideoTsName[] = "VIDEO_TS.IFO";
// Identifiers at the start of a DVD-VR and a DVD-Video management file.
constexpr const char kDvdVrId[] = "DVD_RTR_VMG0";
constexpr const char kDvdVideoId[] = "DVDVIDEO-VMG";

inline std::string InDirectory(const char* dir, const char* name) { return std::string(dir) + "/" + name; }

}  // namespace vrm

#endif
