// VR_MPEGFILE_INFO: what the stream library learned about the MPEG file it
// analysed last, as the management tables read it when the file is
// registered. One record lives in each stream object; the table builders
// read it during the add that follows the analysis and keep no pointer into
// it.
#ifndef VRMANGR_STREAM_VR_MPEGFILE_INFO_H
#define VRMANGR_STREAM_VR_MPEGFILE_INFO_H

#include "platform/types.h"

// One element of the VOBU table (movie file) or picture table (still file).
// A movie table holds one element per VOBU in playback order plus a closing
// element whose address lies just behind the last VOBU; a still table holds
// one element per picture plus one behind the last picture.
struct VR_VOBU_ELEMENT {
    // Movie: start of the VOBU in sectors from the VOB's start.
    // Still: start of the picture in sectors (only the low byte is used).
    DWORD dwVOBUAddr;
    // Movie: size of the VOBU's first reference picture in sectors.
    // Still: size of the video part of a picture with audio, in sectors.
    BYTE b1stRefSz;
    // Movie: playback time of the VOBU in video frames.
    BYTE bVOBUFrames;
    // Still: size of the picture's audio part in sectors; 0 without audio.
    DWORD dwAudioPartSz;
    // Still: number of 1152-sample audio frames of the picture's audio.
    DWORD dwAudioFrames;
};

struct VR_MPEGFILE_INFO {
    // Frames per 1000 seconds: 25000 for 625/50, any other value is 525/60.
    DWORD dwFrameRate;
    DWORD dwWidth;  // picture width in pixels
    DWORD dwHeight;  // picture height in lines
    // Audio sampling frequency in Hz (still files: non-zero together with
    // dwAudioBitrate marks a file with audio).
    DWORD dwSampleRate;
    // Mode of the MPEG audio header: 0 stereo, 1 joint stereo, 2 dual
    // channel, 3 single channel.
    DWORD dwAudioMode;
    DWORD dwAudioBitrate;  // kbit/s
    DWORD dwMpeg2;  // non-zero for MPEG-2 video
    // MPEG aspect-ratio code: 2 is 4:3, any other value 16:9.
    BYTE bAspectRatio;
    // The VOBU (movie) or picture (still) table, owned by the stream object.
    VR_VOBU_ELEMENT* pVOBUTable;
    // Number of VOBUs of a movie file (the low 16 bits are used).
    DWORD dwVOBUNs;
    // Presentation time of the first video frame and end of the video, as
    // 27 MHz counts (movie files).
    __int64 llVideoStartPTS;
    __int64 llVideoEndPTS;
    // Audio coding mode at its position in the audio attribute (bits 23..21):
    // 0 AC-3, 0x400000 MPEG-1, 0x600000 MPEG-2 with extension, 0x800000
    // linear PCM.
    DWORD dwAudioCodingBits;
    // Movie: number of video frames. Still: number of pictures.
    DWORD dwFrameNs;
    // Start sector of the VOB in the movie stream file (written by the movie
    // table when the VOB is registered), or of the VOG in the still stream
    // file (left there by the stream library).
    DWORD dwVOBStartAddr;
    // Video bit rate of the first sequence header in bit/s (stream library
    // only; the tables do not read it).
    DWORD dwVideoBitrate;
    // Audio channels, a low-frequency effects channel included (AC-3 5.1 is
    // 6); a dual-channel (1+1) stream counts 2 and has dwAudioMode 2. 0
    // without audio, or when only dwAudioMode tells the channels (1 for
    // mode 3, else 2).
    DWORD dwAudioChannels;
};

#endif
