"""DVD-VR recording directories through vrmangr's C interface (ctypes).

The shared library is loaded when it is first needed (a Disc, a scan), from
the path given as `library`, else the path in VRMANGR_LIBRARY, else by the
loader's search (libvrmangr.so.0); when none loads, LibraryNotFoundError (an
ImportError) says how to install it. A call the library refuses raises
VrmError with the library's code and its own sentence. The disc keeps its
dates as wall-clock times of its time zone (TM_ZONE); they come out as
datetime objects of that zone.
"""

import ctypes
import ctypes.util
import datetime
import os
from dataclasses import dataclass
from typing import List, Optional, Tuple, Union

from . import _records

__all__ = ["Disc", "VrmError", "LibraryNotFoundError", "Program", "Playlist", "EntryPoint", "ProgramEdit",
           "CharacterSet", "Found", "StreamUse", "ReleasedSpace", "Protection", "Finding", "CheckReport",
           "RepairAction", "check", "repair", "scan_stream", "load_library", "export"]

_u32, _i64, _int, _p = ctypes.c_uint32, ctypes.c_int64, ctypes.c_int, ctypes.c_void_p
_CONTENT = {0: "movie", 1: "still", 2: "mixed"}
_TICKS = 27000000  # of the 27 MHz clock in a second


# The C records, declared once in vrmangr_c.h (_records.py is generated
# from it).
_Seg, _PgcInfo, _PgInfo, _Status = _records.vrm_seg, _records.vrm_pgc_info, _records.vrm_pg_info, _records.vrm_status
_ProgramEdit, _Time, _DiscFacts = _records.vrm_program_edit, _records.vrm_time, _records.vrm_disc_facts
_CharacterSet, _Found, _StreamUse = _records.vrm_character_set, _records.vrm_found_stretch, _records.vrm_stream_use
_Extent, _Pair, _Run = _records.vrm_stream_extent, _records.vrm_extent_pair, _records.vrm_sector_run
_ReleasedSpace, _Protection = _records.vrm_released_space, _records.vrm_protection
_CheckSummary, _CheckFinding = _records.vrm_check_summary, _records.vrm_check_finding
_RepairAction = _records.vrm_repair_action


# Sizes of the C records (vrmangr_c.h); a mismatch means another library.
assert ctypes.sizeof(_Seg) == 480 and ctypes.sizeof(_PgcInfo) == 216 and ctypes.sizeof(_Status) == 528
assert ctypes.sizeof(_ProgramEdit) == 144 and ctypes.sizeof(_Time) == 16 and ctypes.sizeof(_DiscFacts) == 28
assert ctypes.sizeof(_CharacterSet) == 36 and ctypes.sizeof(_Found) == 272 and ctypes.sizeof(_StreamUse) == 48
assert ctypes.sizeof(_Extent) == 12 and ctypes.sizeof(_ReleasedSpace) == 48 and ctypes.sizeof(_Protection) == 8
assert ctypes.sizeof(_CheckSummary) == 552 and ctypes.sizeof(_CheckFinding) == 2144
assert ctypes.sizeof(_RepairAction) == 2144

_FOUND_KIND = {1: "recording", 2: "damaged", 3: "stills", 4: "unused"}
_SEVERITY = {0: "damage", 1: "warning", 2: "note"}
_CHECK_KIND = {0: "copy", 1: "tables", 2: "copies differ", 3: "missing data", 4: "overlap", 5: "unused",
               6: "placement", 7: "date", 8: "trailing", 9: "undescribed", 10: "temp file", 11: "busy",
               12: "difference", 13: "refusal", 14: "damaged sectors"}
_REPAIR_KIND = {0: "restore", 1: "trim", 2: "remove", 3: "kept", 4: "difference", 5: "nothing"}
_COPY = {0: "VR_MANGR.IFO", 1: "VR_MANGR.BUP"}
_ASPECT = {2: "4:3", 3: "16:9", 4: "2.21:1"}  # aspect_ratio_information of the sequence header
_CHARSETS = {"ascii": 0x00, "latin1": 0x11, "iso-8859-1": 0x11, "sjis": 0x12, "shift-jis": 0x12}

_SIGNATURES = {
    "vrm_MANGRBegin": (_p, []),
    "vrm_MANGREnd": (None, [_p]),
    "vrm_MANGRNew": (_int, [_p, ctypes.c_char_p]),
    "vrm_MANGROpen": (_int, [_p, ctypes.c_char_p]),
    "vrm_MANGRSave": (_int, [_p, _p]),
    "vrm_MANGRGetLastError": (_u32, [_p]),
    "vrm_MANGRGetLastStatus": (_int, [_p, ctypes.POINTER(_Status)]),
    "vrm_AddMpegFile": (_int, [_p, ctypes.c_char_p, _p]),
    "vrm_AddStillFile": (_int, [_p, ctypes.c_char_p]),
    "vrm_StartNewProgram": (_int, [_p]),
    "vrm_SetRecordingTime": (_int, [_p, ctypes.POINTER(_Time)]),
    "vrm_ScanStreamFile": (_int, [_p, ctypes.c_char_p, _u32, _p]),
    "vrm_ScanStillStreamFile": (_int, [_p, ctypes.c_char_p, _u32, _p]),
    "vrm_GetFoundCount": (_u32, [_p]),
    "vrm_GetFound": (_int, [_p, _u32, ctypes.POINTER(_Found)]),
    "vrm_AddRecordedRange": (_int, [_p, _u32, _u32, _p]),
    "vrm_AddRecordedStillRange": (_int, [_p, _u32, _u32, _p]),
    "vrm_GetDiscFacts": (_int, [_p, ctypes.POINTER(_DiscFacts)]),
    "vrm_GetProtection": (_int, [_p, _int, ctypes.POINTER(_Protection)]),
    "vrm_GetStreamUse": (_int, [_p, _int, ctypes.POINTER(_StreamUse), ctypes.POINTER(_Extent), _u32,
                                ctypes.POINTER(_Pair), _u32, ctypes.POINTER(_Run), _u32]),
    "vrm_GetReleasedSpace": (_int, [_p, ctypes.POINTER(_ReleasedSpace)]),
    "vrm_GetCharacterSet": (_int, [_p, ctypes.POINTER(_CharacterSet)]),
    "vrm_SetCharacterSet": (_int, [_p, ctypes.c_uint8]),
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
    "vrm_CheckDisc": (_int, [_p, ctypes.c_char_p, _u32, _p]),
    "vrm_GetCheckSummary": (_int, [_p, ctypes.POINTER(_CheckSummary)]),
    "vrm_GetCheckFindingCount": (_u32, [_p]),
    "vrm_GetCheckFinding": (_int, [_p, _u32, ctypes.POINTER(_CheckFinding)]),
    "vrm_RepairDisc": (_int, [_p, ctypes.c_char_p, _u32, _p]),
    "vrm_GetRepairActionCount": (_u32, [_p]),
    "vrm_GetRepairAction": (_int, [_p, _u32, ctypes.POINTER(_RepairAction)]),
}

_lib = None


_INSTALL = ("install it (the Debian package vrmangr, or `cmake --install` of a build), or give its path in "
            "VRMANGR_LIBRARY or as the library argument")


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """The C library: path, else VRMANGR_LIBRARY, else the loader's search.
    LibraryNotFoundError when it cannot be loaded, or lacks a function of
    this package (an older library)."""
    global _lib
    if _lib is not None and path is None:
        return _lib
    name = path or os.environ.get("VRMANGR_LIBRARY") or ctypes.util.find_library("vrmangr") or "libvrmangr.so.0"
    try:
        lib = ctypes.CDLL(name)
    except OSError as e:
        raise LibraryNotFoundError("The vrmangr library %s cannot be loaded (%s): %s." % (name, e, _INSTALL),
                                   name) from None
    for function, (restype, argtypes) in _SIGNATURES.items():
        try:
            f = getattr(lib, function)
        except AttributeError:
            raise LibraryNotFoundError("The vrmangr library %s has no %s, so it is older than this package: %s."
                                       % (name, function, _INSTALL), name) from None
        f.restype, f.argtypes = restype, argtypes
    _lib = lib
    return lib


class VrmError(Exception):
    """A call the library refused: code (VRM_ERR_*) and the library's sentence."""

    def __init__(self, code: int, sentence: str):
        super().__init__(sentence)
        self.code = code
        self.sentence = sentence


class LibraryNotFoundError(VrmError, ImportError):
    """The shared library cannot be loaded; the sentence says how to install
    it. An ImportError, and a VrmError (code 0) as before."""

    def __init__(self, sentence: str, path: str):
        VrmError.__init__(self, 0, sentence)
        self.path = path


def _refusal(lib: ctypes.CDLL, handle, function) -> VrmError:
    """The handle's last failure as a VrmError: its code and the library's
    sentence."""
    status = _Status()
    lib.vrm_MANGRGetLastStatus(handle, ctypes.byref(status))
    code = status.dwCode or lib.vrm_MANGRGetLastError(handle)
    return VrmError(code, _text(status.szText) or "The library refused %s (code %d)." % (function.__name__, code))


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
    recorded: Optional[datetime.datetime]  # in the disc's time zone; None when unset


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
    created: Optional[datetime.datetime]


@dataclass
class CharacterSet:
    """The set the disc's texts are written in (CHRS): code 0x00 ASCII, 0x11
    ISO 8859-1, 0x12 Shift-JIS; known is False for any other code, whose
    texts read as ISO 8859-1 and into which no title can be written."""
    code: int
    name: str  # "ASCII", "ISO 8859-1", "Shift-JIS" or "unknown"
    known: bool


@dataclass
class Found:
    """A stretch of a stream file that a scan found, in file order: a
    recording, a group of still pictures, damaged data or unused sectors
    (zeros). The attributes are those of a recording or group; 0 or "" for
    the others."""
    kind: str  # 'recording', 'stills', 'damaged' or 'unused'
    first_sector: int
    sectors: int
    start: int  # byte range [start, end) in the file
    end: int
    frames: int  # video frames; of a group of still pictures, its pictures
    frame_rate: float  # frames per second: 25.0 or 29.97
    width: int
    height: int
    aspect: str  # '4:3', '16:9' or '2.21:1'
    mpeg2: bool
    audio: str  # 'AC-3', 'LPCM', 'MPEG audio', or '' without audio
    sample_rate: int
    channels: int
    audio_kbps: int
    reason: str  # what ends a recording or group; why a damaged stretch holds none


@dataclass
class StreamUse:
    """What the recordings use of a stream file, in sectors of 2048 bytes:
    each recording (number, first sector, sectors) by start, the pairs of
    recordings that share sectors, the unused runs (first sector, sectors)
    before the highest recording end, and the file measured against it."""
    recordings: List[Tuple[int, int, int]]
    overlaps: List[Tuple[int, int]]
    gaps: List[Tuple[int, int]]
    recorded_end: int  # the sector behind the highest recording end
    file_present: bool
    file_bytes: int
    trailing_bytes: int  # behind the highest recording end
    missing_bytes: int  # recorded bytes behind the end of the file


@dataclass
class ReleasedSpace:
    """What the last save gave back to the file system of the stream space
    edits left unplayed; `unsupported` bytes stay in the files where the
    file system cannot punch holes, `failed` ones after an I/O error."""
    movie_bytes: int
    still_bytes: int
    movie_unsupported: int
    still_unsupported: int
    failed_runs: int
    failed_bytes: int


@dataclass
class Protection:
    """Copy protection as recorded: the disc's CPSI and whether it holds a
    title key; protected is, for the disc, whether it carries either, for a
    program, whether its recordings are written encrypted (which the
    library does not decrypt)."""
    cpsi: int
    title_key: bool
    protected: bool
    programs: int  # of the disc: its protected programs


@dataclass
class Finding:
    """One finding of a check: how much it matters ('damage': the disc
    failed the check, 'warning', 'note': detail behind another), what it is
    about ('copy', 'tables', 'copies differ', 'missing data', 'overlap',
    'unused', 'placement', 'date', 'trailing', 'undescribed', 'temp file',
    'busy', 'difference', 'refusal', 'damaged sectors'), the file it
    concerns ("" for the disc as a whole), its byte range [start, end) in
    that file (None without one), and the library's sentence."""
    severity: str
    kind: str
    file: str
    start: Optional[int]
    end: Optional[int]
    text: str


@dataclass
class CheckReport:
    """What check found: the findings in order (damage and warnings, then
    notes), the copy the disc is read from ('VR_MANGR.IFO', 'VR_MANGR.BUP'
    or None when neither loads), whether the two copies are identical, the
    cells of that copy, the bytes between recordings that read as zeros,
    whether a repair would remove leftovers, and the copy it would restore
    the other from (None: none) and why."""
    findings: List[Finding]
    read_from: Optional[str]
    identical: bool
    cells: int
    free_bytes: int
    leftovers: bool
    restore_from: Optional[str]
    restore_why: str

    @property
    def damaged(self) -> bool:
        """The disc failed the check."""
        return any(f.severity == "damage" for f in self.findings)


@dataclass
class RepairAction:
    """What a repair did, or with dry_run would do: 'restore' (a copy of
    the management file written over the other, file the one replaced),
    'trim' (bytes behind the last recording cut off), 'remove' (a temporary
    file), 'kept' (data left in place, and why), 'difference' (a field in
    which the copies differ, behind a refusal), 'nothing'. done says
    whether it changed the directory."""
    kind: str
    done: bool
    file: str
    start: Optional[int]
    end: Optional[int]
    text: str


def _zone(raw: int) -> Optional[datetime.timezone]:
    """The zone TM_ZONE names: 0x1000 plus the offset from UTC in minutes,
    -12:00 to +14:00; None for any other value."""
    minutes = raw - 0x1000
    if not -12 * 60 <= minutes <= 14 * 60:
        return None
    return datetime.timezone(datetime.timedelta(minutes=minutes))


def _date(info, zone: Optional[datetime.timezone]) -> Optional[datetime.datetime]:
    """The date of an info record, a wall-clock time of the disc's zone
    (taken as UTC where the zone is unknown); None when unset or no date."""
    try:
        return datetime.datetime(info.dwYear, info.dwMonth, info.dwDay, info.dwHour, info.dwMinute,
                                 info.dwSecond, tzinfo=zone or datetime.timezone.utc)
    except ValueError:
        return None


def _facts(info, zone: Optional[datetime.timezone]) -> tuple:
    """Type, duration, count and date of a program's or playlist's info record."""
    return (_CONTENT.get(info.dwContentTy, "?"), info.dwDuration, info.dwCount, _date(info, zone))


def _utc(when: datetime.datetime) -> _Time:
    """A datetime as the library's UTC time; a naive one is local time."""
    t = when.astimezone(datetime.timezone.utc)
    return _Time(t.year, t.month, (t.weekday() + 1) % 7, t.day, t.hour, t.minute, t.second, t.microsecond // 1000)


def _found(f: _Found) -> Found:
    coding = {0: "AC-3", 0x800000: "LPCM"}.get(f.dwAudioCodingBits, "MPEG audio") if f.dwSampleRate else ""
    return Found(_FOUND_KIND.get(f.dwKind, "?"), f.dwFirstSector, f.dwSectors, f.llFirstByte,
                 f.llFirstByte + f.llBytes, f.dwFrames, f.dwFrameRate / 1000, f.dwWidth, f.dwHeight,
                 _ASPECT.get(f.dwAspectRatio, ""), bool(f.dwMpeg2), coding, f.dwSampleRate, f.dwAudioChannels,
                 f.dwAudioBitrate, _text(f.szText))


def scan_stream(path: str, still: bool = False, first_sector: int = 0, library: Optional[str] = None) -> List[Found]:
    """What a movie stream file (VR_MOVIE.VRO), or a still one with still,
    holds from first_sector on, found without management tables: the
    recordings (or groups of still pictures), damaged stretches and unused
    sectors, in file order. Reads only; needs no disc. Disc.add_found
    registers what it found on a new disc in the same directory."""
    def work(lib, h):
        scan = lib.vrm_ScanStillStreamFile if still else lib.vrm_ScanStreamFile
        if not scan(h, os.fsencode(path), first_sector, None):
            raise _refusal(lib, h, scan)
        return _items(lib, h, lib.vrm_GetFoundCount, lib.vrm_GetFound, _Found, _found)
    return _with_handle(library, work)


def _with_handle(library: Optional[str], work):
    """work(lib, handle) on a handle of its own."""
    lib = load_library(library)
    h = lib.vrm_MANGRBegin()
    if not h:
        raise MemoryError("no handle")
    try:
        return work(lib, h)
    finally:
        lib.vrm_MANGREnd(h)


def _items(lib, h, count, get, record, make) -> list:
    items = []
    for i in range(count(h)):
        r = record()
        get(h, i, ctypes.byref(r))
        items.append(make(r))
    return items


def _range(r) -> Tuple[Optional[int], Optional[int]]:
    return (r.llStart, r.llEnd) if r.dwHasRange else (None, None)


def check(directory: str, every_unit: bool = False, deep: bool = False,
          library: Optional[str] = None) -> CheckReport:
    """Checks the recording directory and writes nothing: both management
    files on their own and against each other, the stream files, where the
    recordings begin (the first, middle and last unit of each; every VOBU
    and picture with every_unit), and the leftovers of interrupted saves.
    deep also reads every sector of every recording: each run of damaged
    sectors is a 'damaged sectors' finding with its bytes. A damaged disc
    is a report (see CheckReport.damaged); VrmError with the library's
    sentence when the directory holds no disc or cannot be checked."""
    flags = (1 if every_unit else 0) | (2 if deep else 0)

    def work(lib, h):
        if not lib.vrm_CheckDisc(h, os.fsencode(directory), flags, None):
            raise _refusal(lib, h, check)
        s = _CheckSummary()
        lib.vrm_GetCheckSummary(h, ctypes.byref(s))
        findings = _items(lib, h, lib.vrm_GetCheckFindingCount, lib.vrm_GetCheckFinding, _CheckFinding,
                          lambda f: Finding(_SEVERITY.get(f.dwSeverity, "?"), _CHECK_KIND.get(f.dwKind, "?"),
                                            _text(f.szFile), *_range(f), _text(f.szText)))
        return CheckReport(findings, _COPY.get(s.dwReadFrom), bool(s.dwIdentical), s.dwCells, s.llFreeBytes,
                           bool(s.dwLeftovers), _COPY.get(s.dwRestoreFrom), _text(s.szRestoreWhy))
    return _with_handle(library, work)


def repair(directory: str, dry_run: bool = False, keep: Optional[str] = None, discard_undescribed: bool = False,
           library: Optional[str] = None) -> List[RepairAction]:
    """Repairs the recording directory: restores the copy of the management
    file that should be kept over the other, cuts the data behind the last
    recording that holds no recording, removes temporary files of
    interrupted saves; with dry_run changes nothing. keep ('ifo' or 'bup')
    keeps that copy whatever the evidence; discard_undescribed cuts
    recordings the tables do not describe too. Returns the actions. What
    it refuses (or a step that fails) raises VrmError with the library's
    sentence; its actions (the differing fields behind a refusal, the steps
    done before a failure) are the error's `actions`."""
    flags = {None: 0, "ifo": 2, "bup": 4}.get(keep)
    if flags is None:
        raise ValueError("keep is 'ifo' or 'bup', not %r" % (keep,))
    flags |= (1 if dry_run else 0) | (8 if discard_undescribed else 0)

    def work(lib, h):
        repaired = lib.vrm_RepairDisc(h, os.fsencode(directory), flags, None)
        error = None if repaired else _refusal(lib, h, repair)
        actions = _items(lib, h, lib.vrm_GetRepairActionCount, lib.vrm_GetRepairAction, _RepairAction,
                         lambda a: RepairAction(_REPAIR_KIND.get(a.dwKind, "?"), bool(a.dwDone), _text(a.szFile),
                                                *_range(a), _text(a.szText)))
        if error:
            error.actions = actions
            raise error
        return actions
    return _with_handle(library, work)


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
            raise _refusal(self._lib, self._h, function)
        return result

    # ---- The disc ----

    @property
    def time_zone(self) -> Optional[datetime.timezone]:
        """The zone of the disc's dates (TM_ZONE); None when it names none."""
        facts = _DiscFacts()
        self._call(self._lib.vrm_GetDiscFacts, ctypes.byref(facts))
        return _zone(facts.wTimeZone)

    def character_set(self) -> CharacterSet:
        """The character set of the disc's titles."""
        out = _CharacterSet()
        self._call(self._lib.vrm_GetCharacterSet, ctypes.byref(out))
        return CharacterSet(out.cCode, _text(out.szName), bool(out.cKnown))

    def set_character_set(self, charset: Union[str, int]) -> None:
        """Writes the titles in another set: 'ascii', 'latin1' (ISO 8859-1) or
        'sjis' (Shift-JIS), or its code. Every title is converted; a title
        the new set cannot hold refuses the change, which leaves the disc as
        it was. A disc the library makes is Shift-JIS, which lacks most
        accented letters."""
        if isinstance(charset, str):
            if charset.lower() not in _CHARSETS:
                raise ValueError("The character sets are ascii, latin1 and sjis, not %r." % charset)
            charset = _CHARSETS[charset.lower()]
        self._call(self._lib.vrm_SetCharacterSet, charset)

    def protection(self, program: int = 0) -> Protection:
        """The disc's copy protection, or that of one program."""
        out = _Protection()
        self._call(self._lib.vrm_GetProtection, program, ctypes.byref(out))
        return Protection(out.wCPSI, bool(out.cTitleKey), bool(out.cProtected), out.dwPrograms)

    def stream_use(self, still: bool = False) -> StreamUse:
        """What the recordings use of VR_MOVIE.VRO (or VR_STILL.VRO)."""
        use = _StreamUse()
        self._call(self._lib.vrm_GetStreamUse, int(still), ctypes.byref(use), None, 0, None, 0, None, 0)
        extents, pairs, runs = (_Extent * use.dwExtents)(), (_Pair * use.dwOverlaps)(), (_Run * use.dwGaps)()
        self._call(self._lib.vrm_GetStreamUse, int(still), ctypes.byref(use), extents, len(extents), pairs,
                   len(pairs), runs, len(runs))
        return StreamUse([(e.wNumber, e.dwStart, e.dwSectors) for e in extents],
                         [(p.wFirst, p.wSecond) for p in pairs], [(r.dwStart, r.dwSectors) for r in runs],
                         use.dwRecordedEnd, bool(use.dwFilePresent), use.llFileBytes, use.llTrailingBytes,
                         use.llMissingBytes)

    def released_space(self) -> ReleasedSpace:
        """What the last save gave back of the stream space that edits
        (delete_program, erase) left unplayed."""
        out = _ReleasedSpace()
        self._call(self._lib.vrm_GetReleasedSpace, ctypes.byref(out))
        return ReleasedSpace(out.llMovieBytes, out.llStillBytes, out.llMovieUnsupported, out.llStillUnsupported,
                             out.dwFailedRuns, out.llFailedBytes)

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
        zone = self.time_zone
        for pg in range(1, chain.dwCount + 1):
            info = _PgInfo()
            self._call(self._lib.vrm_GetOPGCPGInfo, pg, ctypes.byref(info), 1)
            result.append(Program(pg, self._title(self._lib.vrm_GetProgramTitle, pg), *_facts(info, zone)))
        return result

    def playlists(self) -> List[Playlist]:
        result = []
        zone = self.time_zone
        for pl in range(1, self._lib.vrm_GetPLCount(self._h) + 1):
            info = _PgcInfo()
            self._call(self._lib.vrm_GetPLInfo, pl, ctypes.byref(info), 0)
            result.append(Playlist(pl, self._title(self._lib.vrm_GetPLTitle, pl), *_facts(info, zone)))
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

    def _register(self, new_program: bool, recorded: Optional[datetime.datetime], function, *args) -> None:
        if new_program:
            self._call(self._lib.vrm_StartNewProgram)
        if recorded is not None:
            self._call(self._lib.vrm_SetRecordingTime, ctypes.byref(_utc(recorded)))
        try:
            self._call(function, *args)
        except VrmError:
            if recorded is not None:  # the time holds until a registration succeeds
                self._lib.vrm_SetRecordingTime(self._h, None)
            raise

    def add_recording(self, path: str, new_program: bool = True,
                      recorded: Optional[datetime.datetime] = None) -> None:
        """An MPEG program stream as a recording; a program of its own unless
        new_program is False (then it may join the last one). recorded is
        when it was recorded (a naive datetime is local time); now when
        None."""
        self._register(new_program, recorded, self._lib.vrm_AddMpegFile, os.fsencode(path), None)

    def add_still_pictures(self, path: str, recorded: Optional[datetime.datetime] = None) -> None:
        self._register(True, recorded, self._lib.vrm_AddStillFile, os.fsencode(path))

    def add_found(self, found: Found, new_program: bool = True,
                  recorded: Optional[datetime.datetime] = None) -> None:
        """A recording or group of still pictures that scan_stream found in
        this directory's stream file, registered where it lies: nothing is
        copied at save. So a disc whose management files are lost is made
        again: scan both stream files, create the disc, add what was found,
        save."""
        if found.kind not in ("recording", "stills"):
            raise ValueError("Only a recording or a group of still pictures can be added, not %s sectors."
                             % found.kind)
        add = self._lib.vrm_AddRecordedRange if found.kind == "recording" else self._lib.vrm_AddRecordedStillRange
        self._register(new_program, recorded, add, found.first_sector, found.sectors, None)

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

    def export(self, output: str, program: Optional[int] = None, playlist: Optional[int] = None, **options) -> str:
        """Exports program `program` (or playlist `playlist`) of this disc as
        it was last saved: vrmangr.export() on its directory."""
        return export(self.directory, output, program=program, playlist=playlist, **options)

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


from .export import export  # noqa: E402  (it raises VrmError, defined above)
