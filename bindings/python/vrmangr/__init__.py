"""DVD-VR recording directories through vrmangr's C interface (ctypes).

The shared library is loaded from the path in VRMANGR_LIBRARY, or else by
the loader's search (libvrmangr.so.0). A call the library refuses raises
VrmError with the library's code and sentence.
"""

import ctypes
import ctypes.util
import os
from dataclasses import dataclass
from typing import List, Optional

__all__ = ["Disc", "VrmError", "Program", "Playlist", "EntryPoint", "ProgramEdit", "load_library"]

_u32, _i64, _int, _p = ctypes.c_uint32, ctypes.c_int64, ctypes.c_int, ctypes.c_void_p
_CONTENT = {0: "movie", 1: "still", 2: "mixed"}
_TICKS = 27000000  # of the 27 MHz clock in a second


class _Seg(ctypes.Structure):
    pass


_Seg._fields_ = (
    [("szFileName", ctypes.c_char * 260)]
    + [(n, _u32) for n in (
        "dwSRPN dwEntryPtNs dwCellType dwSkipFrames dwFrameNs dwDuration dwWide dwAST_Ns dwSPST_Ns "
        "dwAudioCoding dwFrameRate dwWidth dwHeight dwVideoBitrate dwSampleRate dwChannels dwAudioLayer "
        "dwAudioMode dwAudioBitrate dwVideoFrames dwAudioSamples dwMpegVersion").split()]
    + [("reserved_348", ctypes.c_uint8 * 36), ("llStartPos", _i64), ("llEndPos", _i64),
       ("dwHeadSize", _u32), ("dwHasNext", _u32), ("dwNextNs", _u32),
       ("pNext", ctypes.POINTER(_Seg)), ("reserved_tail", ctypes.c_uint8 * 56)])

_PGC_FIELDS = [(n, _u32) for n in
               "dwContentTy dwYear dwMonth dwDay dwHour dwMinute dwSecond dwDuration dwCount".split()] + [
    ("szPrmText", ctypes.c_char * 128), ("reserved_164", ctypes.c_uint8 * 52)]


class _PgcInfo(ctypes.Structure):
    _fields_ = _PGC_FIELDS


class _PgInfo(ctypes.Structure):
    _fields_ = _PGC_FIELDS + [("EntrySeg", _Seg)]


class _Status(ctypes.Structure):
    _fields_ = [("dwCode", _u32), ("dwWhere", _u32), ("llAt", _i64), ("szText", ctypes.c_char * 512)]


class _ProgramEdit(ctypes.Structure):
    _fields_ = [("llFrom", _i64), ("llTo", _i64), ("dwRecordingsRemoved", _u32), ("dwRecordingsShortened", _u32),
                ("dwSectorsFreed", _u32), ("dwPlaylistsChanged", _u32), ("dwPlaylistsDeleted", _u32),
                ("reserved_36", _u32), ("cPlaylists", ctypes.c_uint8 * 100), ("reserved_140", ctypes.c_uint8 * 4)]


# Sizes of the C records (vrmangr_c.h); a mismatch means another library.
assert ctypes.sizeof(_Seg) == 480 and ctypes.sizeof(_PgcInfo) == 216 and ctypes.sizeof(_Status) == 528
assert ctypes.sizeof(_ProgramEdit) == 144

_SIGNATURES = {
    "vrm_MANGRBegin": (_p, []),
    "vrm_MANGREnd": (None, [_p]),
    "vrm_MANGRNew": (_int, [_p, ctypes.c_char_p]),
    "vrm_MANGROpen": (_int, [_p, ctypes.c_char_p]),
    "vrm_MANGRSave": (_int, [_p, _p]),
    "vrm_MANGRGetLastStatus": (_int, [_p, ctypes.POINTER(_Status)]),
    "vrm_AddMpegFile": (_int, [_p, ctypes.c_char_p, _p]),
    "vrm_AddStillFile": (_int, [_p, ctypes.c_char_p]),
    "vrm_StartNewProgram": (_int, [_p]),
    "vrm_GetPLCount": (_int, [_p]),
    "vrm_GetPLInfo": (_int, [_p, _int, ctypes.POINTER(_PgcInfo), _int]),
    "vrm_GetOPGCInfo": (_int, [_p, ctypes.POINTER(_PgcInfo), _int]),
    "vrm_GetOPGCPGInfo": (_int, [_p, _int, ctypes.POINTER(_PgInfo), _int]),
    "vrm_GetOPGCCellInfo": (_int, [_p, _int, _int, ctypes.POINTER(_Seg), _u32, _u32]),
    "vrm_GetPLCellInfo": (_int, [_p, _int, _int, ctypes.POINTER(_Seg), _u32, _u32]),
    "vrm_GetOPGCEntryPtInfo": (_int, [_p, _int, ctypes.POINTER(_Seg), _int]),
    "vrm_GetPLEntryPtInfo": (_int, [_p, _int, _int, ctypes.POINTER(_Seg), _int]),
    "vrm_AddPL": (_int, [_p]),
    "vrm_DelPL": (_int, [_p, _int]),
    "vrm_AddPLEntryPt": (_int, [_p, _int, _int, _int]),
    "vrm_DelPLEntryPt": (_int, [_p, _int, _int]),
    "vrm_MovePLEntryPt": (_int, [_p, _int, _int, _int]),
    "vrm_DevideOPGCEntryPt": (_int, [_p, _int, _u32]),
    "vrm_GetProgramTitle": (_u32, [_p, _int, ctypes.c_char_p, _u32]),
    "vrm_GetPLTitle": (_u32, [_p, _int, ctypes.c_char_p, _u32]),
    "vrm_SetProgramTitle": (_int, [_p, _int, ctypes.c_char_p]),
    "vrm_SetPLTitle": (_int, [_p, _int, ctypes.c_char_p]),
    "vrm_DelProgram": (_int, [_p, _int, ctypes.POINTER(_ProgramEdit)]),
    "vrm_EraseProgramPart": (_int, [_p, _int, _i64, _i64, ctypes.POINTER(_ProgramEdit)]),
    "vrm_DevideProgram": (_int, [_p, _int, _i64, ctypes.POINTER(_ProgramEdit)]),
    "vrm_CombineProgram": (_int, [_p, _int, ctypes.POINTER(_ProgramEdit)]),
}

_lib = None


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """The C library: path, else VRMANGR_LIBRARY, else the loader's search."""
    global _lib
    if _lib is not None and path is None:
        return _lib
    name = path or os.environ.get("VRMANGR_LIBRARY") or ctypes.util.find_library("vrmangr") or "libvrmangr.so.0"
    try:
        lib = ctypes.CDLL(name)
    except OSError as e:
        raise VrmError(0, "The vrmangr library %s cannot be loaded (%s): install it, or name it in "
                          "VRMANGR_LIBRARY." % (name, e)) from None
    for function, (restype, argtypes) in _SIGNATURES.items():
        f = getattr(lib, function)
        f.restype, f.argtypes = restype, argtypes
    _lib = lib
    return lib


class VrmError(Exception):
    """A call the library refused: code (VRM_ERR_*) and the library's sentence."""

    def __init__(self, code: int, sentence: str):
        super().__init__(sentence)
        self.code = code
        self.sentence = sentence


@dataclass
class EntryPoint:
    number: int  # through the whole chain, from 1
    file: str  # the stream file that holds its bytes
    start: int  # byte range [start, end) in file
    end: int
    frames: int
    duration_ms: int
    content: str  # 'movie' or 'still'


@dataclass
class Program:
    number: int
    title: str
    content: str  # 'movie', 'still' or 'mixed'
    duration_ms: int
    cells: int
    recorded: tuple  # (year, month, day, hour, minute, second), UTC


@dataclass
class ProgramEdit:
    """What an edit of programs did: where it cut (seconds from the
    program's start), the recordings removed and shortened, the stream bytes
    no longer played, and the playlists (numbered as before) that lost cells
    or were deleted."""
    start: float
    end: float
    removed: int
    shortened: int
    freed_bytes: int
    playlists_changed: List[int]
    playlists_deleted: List[int]


@dataclass
class Playlist:
    number: int
    title: str
    content: str
    duration_ms: int
    entry_points: int
    created: tuple


def _facts(info) -> tuple:
    """Type, duration, count and date of a program's or playlist's info record."""
    return (_CONTENT.get(info.dwContentTy, "?"), info.dwDuration, info.dwCount,
            (info.dwYear, info.dwMonth, info.dwDay, info.dwHour, info.dwMinute, info.dwSecond))


def _text(raw: bytes) -> str:
    return raw.split(b"\0", 1)[0].decode("utf-8", "replace")


class Disc:
    """One recording directory: Disc.open(dir) or Disc.create(dir); save()
    writes it, close() (or the end of a with block) releases the handle."""

    _h = None  # no handle until __init__ has made one

    def __init__(self, directory: str, create: bool = False, library: Optional[str] = None):
        self._lib = load_library(library)
        self._h = self._lib.vrm_MANGRBegin()
        if not self._h:
            raise MemoryError("no handle")
        self.directory = directory
        opener = self._lib.vrm_MANGRNew if create else self._lib.vrm_MANGROpen
        try:
            if create:
                os.makedirs(directory, exist_ok=True)  # as `vrmangr create` does
            self._call(opener, os.fsencode(directory))
        except VrmError:
            self.close()
            raise

    @classmethod
    def open(cls, directory: str) -> "Disc":
        return cls(directory)

    @classmethod
    def create(cls, directory: str) -> "Disc":
        return cls(directory, create=True)

    def close(self) -> None:
        if self._h:
            self._lib.vrm_MANGREnd(self._h)
            self._h = None

    def __enter__(self) -> "Disc":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self):
        self.close()

    def _call(self, function, *args):
        if not self._h:
            raise VrmError(0, "The disc is closed.")
        result = function(self._h, *args)
        if not result:
            status = _Status()
            self._lib.vrm_MANGRGetLastStatus(self._h, ctypes.byref(status))
            raise VrmError(status.dwCode, _text(status.szText) or function.__name__ + " failed.")
        return result

    # ---- Listing ----

    def _title(self, getter, number: int) -> str:
        size = getter(self._h, number, None, 0)
        if not size:
            return ""
        out = ctypes.create_string_buffer(size)
        getter(self._h, number, out, size)
        return _text(out.raw)

    def programs(self) -> List[Program]:
        chain = _PgcInfo()
        self._call(self._lib.vrm_GetOPGCInfo, ctypes.byref(chain), 2)
        result = []
        for pg in range(1, chain.dwCount + 1):
            info = _PgInfo()
            self._call(self._lib.vrm_GetOPGCPGInfo, pg, ctypes.byref(info), 1)
            result.append(Program(pg, self._title(self._lib.vrm_GetProgramTitle, pg), *_facts(info)))
        return result

    def playlists(self) -> List[Playlist]:
        result = []
        for pl in range(1, self._lib.vrm_GetPLCount(self._h) + 1):
            info = _PgcInfo()
            self._call(self._lib.vrm_GetPLInfo, pl, ctypes.byref(info), 0)
            result.append(Playlist(pl, self._title(self._lib.vrm_GetPLTitle, pl), *_facts(info)))
        return result

    def entry_points(self, playlist: int = 0) -> List[EntryPoint]:
        """Entry points of the original chain, or of playlist `playlist`."""
        chain = _PgcInfo()
        if playlist:
            self._call(self._lib.vrm_GetPLInfo, playlist, ctypes.byref(chain), 0)
        else:
            self._call(self._lib.vrm_GetOPGCInfo, ctypes.byref(chain), 0)
        result = []
        for ep in range(1, chain.dwCount + 1):
            s = _Seg()
            if playlist:
                self._call(self._lib.vrm_GetPLEntryPtInfo, playlist, ep, ctypes.byref(s), 0)
            else:
                self._call(self._lib.vrm_GetOPGCEntryPtInfo, ep, ctypes.byref(s), 0)
            result.append(EntryPoint(ep, _text(s.szFileName), s.llStartPos, s.llEndPos, s.dwFrameNs,
                                     s.dwDuration, _CONTENT.get(s.dwCellType, "?")))
        return result

    # ---- Changes (written by save) ----

    def add_recording(self, path: str, new_program: bool = True) -> None:
        """An MPEG program stream as a recording; a program of its own unless
        new_program is False (then it may join the last one)."""
        if new_program:
            self._call(self._lib.vrm_StartNewProgram)
        self._call(self._lib.vrm_AddMpegFile, os.fsencode(path), None)

    def add_still_pictures(self, path: str) -> None:
        self._call(self._lib.vrm_StartNewProgram)
        self._call(self._lib.vrm_AddStillFile, os.fsencode(path))

    def add_playlist(self) -> int:
        """A new, empty playlist; its number."""
        self._call(self._lib.vrm_AddPL)
        return self._lib.vrm_GetPLCount(self._h)

    def delete_playlist(self, playlist: int) -> None:
        self._call(self._lib.vrm_DelPL, playlist)

    def add_to_playlist(self, playlist: int, entry_point: int, after: int = 0) -> None:
        """Entry point `entry_point` of the original chain into the playlist,
        behind its entry point `after` (0: first)."""
        self._call(self._lib.vrm_AddPLEntryPt, playlist, after, entry_point)

    def remove_from_playlist(self, playlist: int, entry_point: int) -> None:
        self._call(self._lib.vrm_DelPLEntryPt, playlist, entry_point)

    def move_in_playlist(self, playlist: int, entry_point: int, after: int) -> None:
        self._call(self._lib.vrm_MovePLEntryPt, playlist, entry_point, after)

    def divide(self, entry_point: int, frames: int) -> None:
        """A new entry point of the original chain `frames` frames into one."""
        self._call(self._lib.vrm_DevideOPGCEntryPt, entry_point, frames)

    # Editing the recordings, program by program. Times are seconds of play
    # from the program's start; each returns a ProgramEdit saying where it
    # cut (moved to a point where the video can be cut) and what went.

    def _program_edit(self, function, *args) -> "ProgramEdit":
        out = _ProgramEdit()
        self._call(function, *args, ctypes.byref(out))
        states = list(out.cPlaylists)
        return ProgramEdit(out.llFrom / _TICKS, out.llTo / _TICKS, out.dwRecordingsRemoved,
                           out.dwRecordingsShortened, out.dwSectorsFreed * 2048,
                           [pl + 1 for pl, s in enumerate(states) if s == 1],
                           [pl + 1 for pl, s in enumerate(states) if s == 2])

    def delete_program(self, program: int) -> "ProgramEdit":
        """Program `program` goes, and its recordings with it."""
        return self._program_edit(self._lib.vrm_DelProgram, program)

    def erase(self, program: int, start: float, end: float) -> "ProgramEdit":
        """The stretch [start, end) of the program is no longer played."""
        return self._program_edit(self._lib.vrm_EraseProgramPart, program, round(start * _TICKS), round(end * _TICKS))

    def divide_program(self, program: int, at: float) -> "ProgramEdit":
        """The program becomes two at `at`; the second's title ends " (2)"."""
        return self._program_edit(self._lib.vrm_DevideProgram, program, round(at * _TICKS))

    def combine_programs(self, program: int) -> "ProgramEdit":
        """Programs `program` and `program` + 1 become one."""
        return self._program_edit(self._lib.vrm_CombineProgram, program)

    def set_title(self, number: int, title: str, playlist: bool = False) -> None:
        setter = self._lib.vrm_SetPLTitle if playlist else self._lib.vrm_SetProgramTitle
        self._call(setter, number, title.encode("utf-8"))

    def save(self) -> None:
        self._call(self._lib.vrm_MANGRSave, None)

    # ---- Extraction ----

    def _ranges(self, cells_of, cell_info, number: int, info) -> List[tuple]:
        self._call(cells_of, number, ctypes.byref(info), 1)
        ranges = []
        for cell in range(1, info.dwCount + 1):
            s = _Seg()
            self._call(cell_info, number, cell, ctypes.byref(s), 0, 0)
            ranges.append((_text(s.szFileName), s.llStartPos, s.llEndPos))
        return ranges

    def program_ranges(self, program: int) -> List[tuple]:
        """(file, start, end) of each cell of a program, in play order."""
        return self._ranges(self._lib.vrm_GetOPGCPGInfo, self._lib.vrm_GetOPGCCellInfo, program, _PgInfo())

    def playlist_ranges(self, playlist: int) -> List[tuple]:
        return self._ranges(self._lib.vrm_GetPLInfo, self._lib.vrm_GetPLCellInfo, playlist, _PgcInfo())

    def extract_program(self, program: int, out_path: str) -> int:
        """Writes the program's bytes to out_path; the number written."""
        return _copy(self.program_ranges(program), out_path)

    def extract_playlist(self, playlist: int, out_path: str) -> int:
        return _copy(self.playlist_ranges(playlist), out_path)


def _copy(ranges: List[tuple], out_path: str) -> int:
    written = 0
    with open(out_path, "wb") as out:
        for name, start, end in ranges:
            with open(name, "rb") as source:
                source.seek(start)
                left = end - start
                while left > 0:
                    block = source.read(min(left, 1 << 20))
                    if not block:
                        raise VrmError(0, "%s ends before byte %d." % (name, end))
                    out.write(block)
                    left -= len(block)
                    written += len(block)
    return written
