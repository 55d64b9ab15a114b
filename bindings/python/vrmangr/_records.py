"""The records of the C interface as ctypes structures. Generated from
platform/records.h by bindings/python/gen_records.py; do not edit."""

import ctypes


class vrm_time(ctypes.Structure):
    pass


vrm_time._fields_ = [
    ("wYear", ctypes.c_uint16),
    ("wMonth", ctypes.c_uint16),
    ("wDayOfWeek", ctypes.c_uint16),
    ("wDay", ctypes.c_uint16),
    ("wHour", ctypes.c_uint16),
    ("wMinute", ctypes.c_uint16),
    ("wSecond", ctypes.c_uint16),
    ("wMilliseconds", ctypes.c_uint16),
]


class vrm_seg(ctypes.Structure):
    pass


vrm_seg._fields_ = [
    ("szFileName", ctypes.c_char * 260),
    ("dwSRPN", ctypes.c_uint32),
    ("dwEntryPtNs", ctypes.c_uint32),
    ("dwCellType", ctypes.c_uint32),
    ("dwSkipFrames", ctypes.c_uint32),
    ("dwFrameNs", ctypes.c_uint32),
    ("dwDuration", ctypes.c_uint32),
    ("dwWide", ctypes.c_uint32),
    ("dwAST_Ns", ctypes.c_uint32),
    ("dwSPST_Ns", ctypes.c_uint32),
    ("dwAudioCoding", ctypes.c_uint32),
    ("dwFrameRate", ctypes.c_uint32),
    ("dwWidth", ctypes.c_uint32),
    ("dwHeight", ctypes.c_uint32),
    ("dwVideoBitrate", ctypes.c_uint32),
    ("dwSampleRate", ctypes.c_uint32),
    ("dwChannels", ctypes.c_uint32),
    ("dwAudioLayer", ctypes.c_uint32),
    ("dwAudioMode", ctypes.c_uint32),
    ("dwAudioBitrate", ctypes.c_uint32),
    ("dwVideoFrames", ctypes.c_uint32),
    ("dwAudioSamples", ctypes.c_uint32),
    ("dwMpegVersion", ctypes.c_uint32),
    ("reserved_348", ctypes.c_uint8 * 36),
    ("llStartPos", ctypes.c_int64),
    ("llEndPos", ctypes.c_int64),
    ("dwHeadSize", ctypes.c_uint32),
    ("dwHasNext", ctypes.c_uint32),
    ("dwNextNs", ctypes.c_uint32),
    ("pNext", ctypes.POINTER(vrm_seg)),
    ("reserved_tail", ctypes.c_uint8 * 56),
]


class vrm_pgc_info(ctypes.Structure):
    pass


vrm_pgc_info._fields_ = [
    ("dwContentTy", ctypes.c_uint32),
    ("dwYear", ctypes.c_uint32),
    ("dwMonth", ctypes.c_uint32),
    ("dwDay", ctypes.c_uint32),
    ("dwHour", ctypes.c_uint32),
    ("dwMinute", ctypes.c_uint32),
    ("dwSecond", ctypes.c_uint32),
    ("dwDuration", ctypes.c_uint32),
    ("dwCount", ctypes.c_uint32),
    ("szPrmText", ctypes.c_char * 128),
    ("reserved_164", ctypes.c_uint8 * 52),
]


class vrm_pg_info(ctypes.Structure):
    pass


vrm_pg_info._fields_ = [
    ("dwContentTy", ctypes.c_uint32),
    ("dwYear", ctypes.c_uint32),
    ("dwMonth", ctypes.c_uint32),
    ("dwDay", ctypes.c_uint32),
    ("dwHour", ctypes.c_uint32),
    ("dwMinute", ctypes.c_uint32),
    ("dwSecond", ctypes.c_uint32),
    ("dwDuration", ctypes.c_uint32),
    ("dwCount", ctypes.c_uint32),
    ("szPrmText", ctypes.c_char * 128),
    ("reserved_164", ctypes.c_uint8 * 52),
    ("EntrySeg", vrm_seg),
]


class vrm_status(ctypes.Structure):
    pass


vrm_status._fields_ = [
    ("dwCode", ctypes.c_uint32),
    ("dwWhere", ctypes.c_uint32),
    ("llAt", ctypes.c_int64),
    ("szText", ctypes.c_char * 512),
]


class vrm_open_state(ctypes.Structure):
    pass


vrm_open_state._fields_ = [
    ("dwOpenedCopy", ctypes.c_uint32),
    ("dwOtherCopy", ctypes.c_uint32),
    ("dwFindings", ctypes.c_uint32),
]


class vrm_open_finding(ctypes.Structure):
    pass


vrm_open_finding._fields_ = [
    ("dwCopy", ctypes.c_uint32),
    ("dwKind", ctypes.c_uint32),
    ("szText", ctypes.c_char * 512),
]


class vrm_disc_facts(ctypes.Structure):
    pass


vrm_disc_facts._fields_ = [
    ("szIdentifier", ctypes.c_char * 13),
    ("cStillTime", ctypes.c_uint8),
    ("cCharacterSet", ctypes.c_uint8),
    ("reserved_15", ctypes.c_uint8),
    ("wVersion", ctypes.c_uint16),
    ("wTimeZone", ctypes.c_uint16),
    ("dwVmgiEnd", ctypes.c_uint32),
    ("dwManagementEnd", ctypes.c_uint32),
]


class vrm_protection(ctypes.Structure):
    pass


vrm_protection._fields_ = [
    ("wCPSI", ctypes.c_uint16),
    ("cTitleKey", ctypes.c_uint8),
    ("cProtected", ctypes.c_uint8),
    ("dwPrograms", ctypes.c_uint32),
]


class vrm_table_place(ctypes.Structure):
    pass


vrm_table_place._fields_ = [
    ("szName", ctypes.c_char * 12),
    ("dwStart", ctypes.c_uint32),
    ("dwSize", ctypes.c_uint32),
]


class vrm_extent_pair(ctypes.Structure):
    pass


vrm_extent_pair._fields_ = [
    ("wFirst", ctypes.c_uint16),
    ("wSecond", ctypes.c_uint16),
]


class vrm_disc_files(ctypes.Structure):
    pass


vrm_disc_files._fields_ = [
    ("pContext", ctypes.c_void_p),
    ("pfnSize", ctypes.c_void_p),
    ("pfnRead", ctypes.c_void_p),
]


class vrm_stream_extent(ctypes.Structure):
    pass


vrm_stream_extent._fields_ = [
    ("wNumber", ctypes.c_uint16),
    ("dwStart", ctypes.c_uint32),
    ("dwSectors", ctypes.c_uint32),
]


class vrm_sector_run(ctypes.Structure):
    pass


vrm_sector_run._fields_ = [
    ("dwStart", ctypes.c_uint32),
    ("dwSectors", ctypes.c_uint32),
]


class vrm_stream_use(ctypes.Structure):
    pass


vrm_stream_use._fields_ = [
    ("dwExtents", ctypes.c_uint32),
    ("dwOverlaps", ctypes.c_uint32),
    ("dwGaps", ctypes.c_uint32),
    ("dwRecordedEnd", ctypes.c_uint32),
    ("dwFilePresent", ctypes.c_uint32),
    ("reserved_20", ctypes.c_uint32),
    ("llFileBytes", ctypes.c_int64),
    ("llTrailingBytes", ctypes.c_int64),
    ("llMissingBytes", ctypes.c_int64),
]


class vrm_program_edit(ctypes.Structure):
    pass


vrm_program_edit._fields_ = [
    ("llFrom", ctypes.c_int64),
    ("llTo", ctypes.c_int64),
    ("dwRecordingsRemoved", ctypes.c_uint32),
    ("dwRecordingsShortened", ctypes.c_uint32),
    ("dwSectorsFreed", ctypes.c_uint32),
    ("dwPlaylistsChanged", ctypes.c_uint32),
    ("dwPlaylistsDeleted", ctypes.c_uint32),
    ("reserved_36", ctypes.c_uint32),
    ("cPlaylists", ctypes.c_uint8 * 100),
    ("reserved_140", ctypes.c_uint8 * 4),
]


class vrm_released_space(ctypes.Structure):
    pass


vrm_released_space._fields_ = [
    ("llMovieBytes", ctypes.c_int64),
    ("llStillBytes", ctypes.c_int64),
    ("llMovieUnsupported", ctypes.c_int64),
    ("llStillUnsupported", ctypes.c_int64),
    ("dwFailedRuns", ctypes.c_uint32),
    ("reserved_36", ctypes.c_uint32),
    ("llFailedBytes", ctypes.c_int64),
]


class vrm_found_stretch(ctypes.Structure):
    pass


vrm_found_stretch._fields_ = [
    ("dwKind", ctypes.c_uint32),
    ("dwFirstSector", ctypes.c_uint32),
    ("dwSectors", ctypes.c_uint32),
    ("reserved_12", ctypes.c_uint32),
    ("llFirstByte", ctypes.c_int64),
    ("llBytes", ctypes.c_int64),
    ("dwFrameRate", ctypes.c_uint32),
    ("dwWidth", ctypes.c_uint32),
    ("dwHeight", ctypes.c_uint32),
    ("dwAspectRatio", ctypes.c_uint32),
    ("dwMpeg2", ctypes.c_uint32),
    ("dwAudioCodingBits", ctypes.c_uint32),
    ("dwSampleRate", ctypes.c_uint32),
    ("dwAudioChannels", ctypes.c_uint32),
    ("dwAudioBitrate", ctypes.c_uint32),
    ("dwFrames", ctypes.c_uint32),
    ("szText", ctypes.c_char * 200),
]


class vrm_character_set(ctypes.Structure):
    pass


vrm_character_set._fields_ = [
    ("cCode", ctypes.c_uint8),
    ("cKnown", ctypes.c_uint8),
    ("reserved_2", ctypes.c_uint8 * 2),
    ("szName", ctypes.c_char * 32),
]


class vrm_check_summary(ctypes.Structure):
    pass


vrm_check_summary._fields_ = [
    ("dwFindings", ctypes.c_uint32),
    ("dwDamage", ctypes.c_uint32),
    ("dwWarnings", ctypes.c_uint32),
    ("dwReadFrom", ctypes.c_uint32),
    ("dwIdentical", ctypes.c_uint32),
    ("dwCells", ctypes.c_uint32),
    ("dwLeftovers", ctypes.c_uint32),
    ("dwRestoreFrom", ctypes.c_uint32),
    ("llFreeBytes", ctypes.c_int64),
    ("szRestoreWhy", ctypes.c_char * 512),
]


class vrm_check_finding(ctypes.Structure):
    pass


vrm_check_finding._fields_ = [
    ("dwSeverity", ctypes.c_uint32),
    ("dwKind", ctypes.c_uint32),
    ("dwHasRange", ctypes.c_uint32),
    ("reserved_12", ctypes.c_uint32),
    ("llStart", ctypes.c_int64),
    ("llEnd", ctypes.c_int64),
    ("szFile", ctypes.c_char * 64),
    ("szText", ctypes.c_char * 2048),
]


class vrm_repair_action(ctypes.Structure):
    pass


vrm_repair_action._fields_ = [
    ("dwKind", ctypes.c_uint32),
    ("dwDone", ctypes.c_uint32),
    ("dwHasRange", ctypes.c_uint32),
    ("reserved_12", ctypes.c_uint32),
    ("llStart", ctypes.c_int64),
    ("llEnd", ctypes.c_int64),
    ("szFile", ctypes.c_char * 64),
    ("szText", ctypes.c_char * 2048),
]
