/* The error codes of the library, each declared once: its name, its number
 * and its sentence. The C interface names a code VRM_<name> (VRM_OK,
 * VRM_ERR_BAD_ARGUMENT, ...), the C++ interface VRO_<name> (VRO_OK,
 * VRO_ERR_BAD_ARGUMENT, ...); both are made from this list, as is the
 * sentence the stream objects give for a code (CVRO_DATA::fnGetErrorText).
 * A refusal's own sentence, which names the file, table or number, is in the
 * call's status. */
#ifndef VRMANGR_PLATFORM_ERROR_CODES_H
#define VRMANGR_PLATFORM_ERROR_CODES_H

/* X(name, number, sentence) for each code, in order of number. */
#define VRM_ERROR_CODES(X) \
    X(OK, 0, "No error.") \
    X(ERR_BAD_ARGUMENT, 1, "An argument was missing or invalid.") \
    X(ERR_NOT_INITIALISED, 2, "The stream is not bound to a recording directory.") \
    X(ERR_STREAM_MISSING, 3, "The stream file is missing or is not a regular file.") \
    X(ERR_STREAM_CREATE, 4, "The stream file cannot be created or opened for writing.") \
    X(ERR_STREAM_TOO_LARGE, 5, "The stream would exceed 4,294,967,295 sectors.") \
    X(ERR_STREAM_SHORT, 6, "The stream file is shorter than the data recorded in it.") \
    X(ERR_BAD_RECORD, 7, "The analysed file's VOBU or picture table cannot describe a video object.") \
    X(ERR_NO_SOURCE_NAME, 8, "No analysed file is named, so nothing can be queued.") \
    X(ERR_SOURCE_OPEN, 9, "A queued file cannot be opened for reading.") \
    X(ERR_SOURCE_SHORT, 10, "A queued file is shorter than the sectors queued for it.") \
    X(ERR_SOURCE_READ, 11, "A queued file could not be read.") \
    X(ERR_WRITE, 12, "Writing the stream file failed.") \
    X(ERR_DISK_FULL, 13, "There is no space left for the stream file.") \
    X(ERR_SYNC, 14, "The stream file could not be committed to disk.") \
    X(ERR_CANCELLED, 15, "The append was cancelled.") \
    X(ERR_OUT_OF_MEMORY, 16, "Out of memory.") \
    X(ERR_QUEUE_NOT_EMPTY, 17, "The stream cannot be cut while files wait to be appended.") \
    X(ERR_BEYOND_END, 18, "The stream cannot be cut past its end.") \
    X(ERR_TRUNCATE, 19, "The stream file could not be cut.") \
    /* Analysis of an MPEG file (fnCheckAppendVOB): */ \
    X(ERR_NOT_PROGRAM_STREAM, 20, "The file is not an MPEG program stream.") \
    X(ERR_PACK_SIZE, 21, "The file's packs are not 2048 bytes long.") \
    X(ERR_TRUNCATED, 22, "The file ends inside a pack; it is cut short.") \
    X(ERR_BAD_STREAM, 23, "The file holds malformed MPEG data.") \
    X(ERR_NO_VIDEO, 24, "The file holds no MPEG video.") \
    X(ERR_FRAME_RATE, 25, "The video's frame rate is neither 25 nor 29.97 frames per second.") \
    X(ERR_VOBU_TOO_LONG, 26, "A video object unit plays longer than 31 frames.") \
    X(ERR_VOBU_TOO_LARGE, 27, "A video object unit spans more than 1023 sectors.") \
    X(ERR_TOO_MANY_VOBUS, 28, "The recording holds more than 65535 video object units.") \
    X(ERR_AUDIO, 29, "The file's audio cannot be recorded.") \
    X(ERR_STILL_PICTURES, 30, "The file's pictures cannot form a still-picture group.") \
    /* Registration of an analysed file on a disc: */ \
    X(ERR_TV_SYSTEM, 31, "The recording's TV system differs from the disc's.") \
    /* Keeping recorded data safe: */ \
    X(ERR_TRAILING_DATA, 32, "The stream file holds data behind its last recording that the disc does not describe (the rest of an interrupted save?); nothing is written over it or behind it.") \
    X(ERR_OVERLAP, 33, "Recordings of the disc share sectors of the stream file.") \
    X(ERR_COPIES_DIFFER, 34, "VR_MANGR.IFO and VR_MANGR.BUP describe different states of the disc; saving one over the other could lose recordings.") \
    X(ERR_LOCKED, 35, "Another process is writing this disc.") \
    /* The management file and its edits: */ \
    X(ERR_DAMAGED, 36, "The management file is damaged.") \
    X(ERR_NO_SUCH_ITEM, 37, "No such program, playlist, cell or entry point.") \
    X(ERR_EDIT_REFUSED, 38, "The disc's tables cannot take this change.") \
    X(ERR_PICTURE_SIZE, 39, "The video's picture size or aspect cannot be recorded: 720, 704, 544, 480 or 352 pixels wide, 576 (25 frames/s) or 480 lines high, or 352x288 or 352x240, at 4:3 or 16:9.") \
    X(ERR_READ_ONLY, 40, "The disc is read from an image or a drive, which is never changed.") \
    X(ERR_PLACE_IN_USE, 41, "The unused sectors a recording was placed in hold data now; nothing is written over them.") \
    X(ERR_INTERNAL, 42, "The library failed in a way it does not foresee.")

#endif
