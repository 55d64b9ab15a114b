"""Export of a program or playlist to MKV, MP4 or MPEG-PS.

Export is done with FFmpeg's libraries, which the vrmangr library itself
does not link: the vrmangr command loads its export module for the run.
export() therefore runs that command (VRMANGR_TOOL, else `vrmangr` on the
PATH) and raises VrmError with the command's own sentences when it refuses.
"""

import os
import shutil
import signal
import subprocess
from typing import Optional

_FORMATS = ("mkv", "mp4", "mpg")
_AUDIO = ("copy", "ac3", "aac")


def find_tool() -> str:
    """The vrmangr command: VRMANGR_TOOL, else the one on the PATH."""
    tool = os.environ.get("VRMANGR_TOOL") or shutil.which("vrmangr")
    if not tool or not os.access(tool, os.X_OK):
        from . import VrmError
        raise VrmError(0, "The vrmangr command, which exports, is not found: install the Debian package "
                                 "vrmangr, or give its path in VRMANGR_TOOL.")
    return tool


def export(directory: str, output: str, program: Optional[int] = None, playlist: Optional[int] = None,
           format: Optional[str] = None, audio: Optional[str] = None, skip_damaged: bool = False,
           force: bool = False) -> str:
    """Remultiplexes program `program` of the disc in `directory` (or playlist
    `playlist`) into `output`, as `vrmangr export` does: the format from
    `format`, else from the name's extension; the audio as recorded unless
    `audio` says otherwise. An existing output is refused unless `force`.
    Returns the command's notes (warnings about damage skipped, audio
    transcoded), empty when it had none. VrmError with its sentence when it
    refuses or fails; Ctrl-C stops it and leaves no partial file."""
    if (program is None) == (playlist is None):
        raise ValueError("name a program or a playlist")
    if format is not None and format not in _FORMATS:
        raise ValueError("format is one of " + ", ".join(_FORMATS))
    if audio is not None and audio not in _AUDIO:
        raise ValueError("audio is one of " + ", ".join(_AUDIO))
    args = [find_tool(), "export", directory,
            "--program" if program is not None else "--playlist", str(program if program is not None else playlist),
            "-o", output]
    args += ["--format", format] if format else []
    args += ["--audio", audio] if audio else []
    args += ["--skip-damaged"] if skip_damaged else []
    args += ["--force"] if force else []
    return _run(args)


def _run(args: list) -> str:
    child = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        out, err = child.communicate()
    except KeyboardInterrupt:
        # The command removes its partial output when interrupted.
        child.send_signal(signal.SIGINT)
        child.wait()
        raise
    text = err.decode("utf-8", "replace").strip()
    if child.returncode != 0:
        from . import VrmError
        lines = [line[9:] if line.startswith("vrmangr: ") else line for line in text.splitlines() if line.strip()]
        raise VrmError(child.returncode, " ".join(lines) or "vrmangr export failed (exit %d)."
                              % child.returncode)
    return text
