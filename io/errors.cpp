#include "io/errors.h"

namespace vrm {

const char* ErrorText(DWORD code) {
    switch (code) {
        case VRO_OK: return "No error.";
        case VRO_ERR_BAD_ARGUMENT: return "An argument was missing or invalid.";
        case VRO_ERR_NOT_INITIALISED: return "The stream is not bound to a recording directory.";
        case VRO_ERR_STREAM_MISSING: return "The stream file is missing or is not a regular file.";
        case VRO_ERR_STREAM_CREATE: return "The stream file cannot be created or opened for writing.";
        case VRO_ERR_STREAM_TOO_LARGE: return "The stream would exceed 4,294,967,295 sectors.";
        case VRO_ERR_STREAM_SHORT: return "The stream file is shorter than the data recorded in it.";
        case VRO_ERR_BAD_RECORD: return "The analysed file's VOBU or picture table cannot describe a video object.";
        case VRO_ERR_NO_SOURCE_NAME: return "No analysed file is named, so nothing can be queued.";
        case VRO_ERR_SOURCE_OPEN: return "A queued file cannot be opened for reading.";
        case VRO_ERR_SOURCE_SHORT: return "A queued file is shorter than the sectors queued for it.";
        case VRO_ERR_SOURCE_READ: return "A queued file could not be read.";
        case VRO_ERR_WRITE: return "Writing the stream file failed.";
        case VRO_ERR_DISK_FULL: return "There is no space left for the stream file.";
        case VRO_ERR_SYNC: return "The stream file could not be committed to disk.";
        case VRO_ERR_CANCELLED: return "The append was cancelled.";
        case VRO_ERR_OUT_OF_MEMORY: return "Out of memory.";
        case VRO_ERR_QUEUE_NOT_EMPTY: return "The stream cannot be cut while files wait to be appended.";
        case VRO_ERR_BEYOND_END: return "The stream cannot be cut past its end.";
        case VRO_ERR_TRUNCATE: return "The stream file could not be cut.";
        case VRO_ERR_NOT_PROGRAM_STREAM: return "The file is not an MPEG program stream.";
        case VRO_ERR_PACK_SIZE: return "The file's packs are not 2048 bytes long.";
        case VRO_ERR_TRUNCATED: return "The file ends inside a pack; it is cut short.";
        case VRO_ERR_BAD_STREAM: return "The file holds malformed MPEG data.";
        case VRO_ERR_NO_VIDEO: return "The file holds no MPEG video.";
        case VRO_ERR_FRAME_RATE: return "The video's frame rate is neither 25 nor 29.97 frames per second.";
        case VRO_ERR_VOBU_TOO_LONG: return "A video object unit plays longer than 31 frames.";
        case VRO_ERR_VOBU_TOO_LARGE: return "A video object unit spans more than 1023 sectors.";
        case VRO_ERR_TOO_MANY_VOBUS: return "The recording holds more than 65535 video object units.";
        case VRO_ERR_AUDIO: return "The file's audio cannot be recorded.";
        case VRO_ERR_STILL_PICTURES: return "The file's pictures cannot form a still-picture group.";
        case VRO_ERR_TV_SYSTEM: return "The recording's TV system differs from the disc's.";
        case VRO_ERR_TRAILING_DATA:
            return "The stream file holds data behind its last recording that the disc does not describe (the rest "
                   "of an interrupted save?); nothing is written over it or behind it.";
        case VRO_ERR_OVERLAP: return "Recordings of the disc share sectors of the stream file.";
        case VRO_ERR_COPIES_DIFFER:
            return "VR_MANGR.IFO and VR_MANGR.BUP describe different states of the disc; saving one over the other "
                   "could lose recordings.";
        case VRO_ERR_LOCKED: return "Another process is writing this disc.";
        case VRO_ERR_DAMAGED: return "The management file is damaged.";
        case VRO_ERR_NO_SUCH_ITEM: return "No such program, playlist, cell or entry point.";
        case VRO_ERR_EDIT_REFUSED: return "The disc's tables cannot take this change.";
        case VRO_ERR_READ_ONLY: return "The disc is read from an image or a drive, which is never changed.";
        case VRO_ERR_PLACE_IN_USE:
            return "The unused sectors a recording was placed in hold data now; nothing is written over them.";
        case VRO_ERR_PICTURE_SIZE:
            return "The video's picture size or aspect cannot be recorded: 720, 704, 544, 480 or 352 pixels wide, 576 "
                   "(25 frames/s) or 480 lines high, or 352x288 or 352x240, at 4:3 or 16:9.";
        case VRO_ERR_INTERNAL: return "The library failed in a way it does not foresee.";
        default: return "Unknown error.";
    }
}

}  // namespace vrm
