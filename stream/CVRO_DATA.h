// The stream library: the objects that own the stream files VR_MOVIE.VRO and
// VR_STILL.VRO of a recording directory. The manager holds one CVR_MOVIE and
// one CVR_STILL, and reads three of their data members directly: the record
// of the file analysed last, the movie stream's size in sectors and the
// error code of the last failure.
#ifndef VRMANGR_STREAM_CVRO_DATA_H
#define VRMANGR_STREAM_CVRO_DATA_H

#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"

class VRMANGR_API CVRO_DATA {
public:
    // isMovie is 1 for the movie stream, 0 for the still-picture stream.
    explicit CVRO_DATA(int isMovie);
    ~CVRO_DATA();
    CVRO_DATA(const CVRO_DATA&) = delete;
    CVRO_DATA& operator=(const CVRO_DATA&) = delete;

    // The file analysed last.
    VR_MPEGFILE_INFO m_MpegFileInfo;
    // Size of the stream file in 2048-byte sectors.
    DWORD m_dwVROSize;
    // Error code of the last failed stream operation; 0 after construction.
    DWORD m_dwLastError;
    // 1 for the movie stream, 0 for the still stream.
    int m_bMovie;
};

class VRMANGR_API CVR_MOVIE : public CVRO_DATA {
public:
    explicit CVR_MOVIE(int isMovie = 1) : CVRO_DATA(isMovie) {}
};

class VRMANGR_API CVR_STILL : public CVRO_DATA {
public:
    explicit CVR_STILL(int isMovie = 0) : CVRO_DATA(isMovie) {}
};

#endif
