// The error codes of the library and their sentences, on the byte floor
// beside the status that carries them (io/status.h), so that every floor
// names its failures the same way.
#ifndef VRMANGR_IO_ERRORS_H
#define VRMANGR_IO_ERRORS_H

#include "platform/types.h"

// Why something failed, as a number: the code of a vrm::Status, of the
// stream objects' m_dwLastError and of fnVR_MANGRGetLastError, the same on
// every floor; ErrorText gives a sentence for each.
enum VRO_ERROR : DWORD {
    VRO_OK = 0,
    VRO_ERR_BAD_ARGUMENT = 1,  // null or empty argument, or an unknown mode
    VRO_ERR_NOT_INITIALISED = 2,  // fnInit has not succeeded on this object
    VRO_ERR_STREAM_MISSING = 3,  // the stream file is missing or not a regular file
    VRO_ERR_STREAM_CREATE = 4,  // the stream file cannot be created or opened for writing
    VRO_ERR_STREAM_TOO_LARGE = 5,  // more than 2^32 - 1 sectors
    VRO_ERR_STREAM_SHORT = 6,  // the stream file is shorter than its recorded data
    VRO_ERR_BAD_RECORD = 7,  // the analysed-file record cannot describe a VOB or VOG
    VRO_ERR_NO_SOURCE_NAME = 8,  // no analysed file name was set before queueing
    VRO_ERR_SOURCE_OPEN = 9,  // a queued file cannot be opened for reading
    VRO_ERR_SOURCE_SHORT = 10,  // a queued file is shorter than the sectors queued
    VRO_ERR_SOURCE_READ = 11,  // a read error in a queued file
    VRO_ERR_WRITE = 12,  // a write error in the stream file
    VRO_ERR_DISK_FULL = 13,  // no space left for the stream file
    VRO_ERR_SYNC = 14,  // the stream file could not be forced to disk or renamed
    VRO_ERR_CANCELLED = 15,  // the progress callback returned 0
    VRO_ERR_OUT_OF_MEMORY = 16,
    VRO_ERR_QUEUE_NOT_EMPTY = 17,  // the stream cannot be cut while files are queued
    VRO_ERR_BEYOND_END = 18,  // a cut past the logical end
    VRO_ERR_TRUNCATE = 19,  // the stream file cannot be cut
    // Analysis of an MPEG file (fnCheckAppendVOB):
    VRO_ERR_NOT_PROGRAM_STREAM = 20,  // not an MPEG program stream (transport stream, MPEG-4, ...)
    VRO_ERR_PACK_SIZE = 21,  // packs of another size than 2048 bytes (a VCD's 2324)
    VRO_ERR_TRUNCATED = 22,  // the file ends inside a pack
    VRO_ERR_BAD_STREAM = 23,  // malformed packs or video headers
    VRO_ERR_NO_VIDEO = 24,  // no MPEG video sequence or no picture
    VRO_ERR_FRAME_RATE = 25,  // a frame rate other than 25 or 29.97 frames/s
    VRO_ERR_VOBU_TOO_LONG = 26,  // a VOBU plays longer than 31 frames
    VRO_ERR_VOBU_TOO_LARGE = 27,  // a VOBU spans more than 1023 sectors
    VRO_ERR_TOO_MANY_VOBUS = 28,  // more than 65535 VOBUs
    VRO_ERR_AUDIO = 29,  // audio a recording cannot carry
    VRO_ERR_STILL_PICTURES = 30,  // a still file whose pictures cannot form a still VOG
    // Registration of an analysed file on a disc:
    VRO_ERR_TV_SYSTEM = 31,  // a recording whose TV system differs from the disc's
    // Keeping recorded data safe:
    VRO_ERR_TRAILING_DATA = 32,  // the stream holds more data behind its recordings than the append replaces
    VRO_ERR_OVERLAP = 33,  // recordings of the disc share sectors of the stream
    VRO_ERR_COPIES_DIFFER = 34,  // VR_MANGR.IFO and VR_MANGR.BUP are both whole but describe different discs
    VRO_ERR_LOCKED = 35,  // another process is writing the disc
    // The management file and its edits:
    VRO_ERR_DAMAGED = 36,  // a management file that does not load or contradicts itself
    VRO_ERR_NO_SUCH_ITEM = 37,  // a program, playlist, cell or entry point number that does not exist
    VRO_ERR_EDIT_REFUSED = 38,  // an edit the disc's tables cannot take (full, empty, of the wrong kind)
    VRO_ERR_PICTURE_SIZE = 39,  // a picture size or aspect the video attributes cannot express
    VRO_ERR_READ_ONLY = 40,  // the disc is read from an image or a drive, which is never changed
    VRO_ERR_PLACE_IN_USE = 41,  // the unused sectors a queued file was placed in no longer read as zeros
    VRO_ERR_INTERNAL = 42,  // the library failed in a way it does not foresee (its sentence says how)
};

namespace vrm {

// A sentence for a code; never null ("Unknown error." for a code not
// listed).
const char* ErrorText(DWORD code);

}  // namespace vrm

#endif
