#!/usr/bin/env python3
"""Writes the ctypes structures of the interface's records from their C
declarations, so that each record is declared once (platform/records.h,
which the C header includes):

    gen_records.py platform/records.h > bindings/python/vrmangr/_records.py

A test runs it again and compares, so the package cannot fall behind the
header."""

import re
import sys

_TYPES = {"uint8_t": "ctypes.c_uint8", "uint16_t": "ctypes.c_uint16", "uint32_t": "ctypes.c_uint32",
          "uint64_t": "ctypes.c_uint64", "int64_t": "ctypes.c_int64", "int": "ctypes.c_int",
          "char": "ctypes.c_char"}


def _fields(body, known):
    """(name, ctypes type) of each field of a struct body, in order."""
    body = re.sub(r"/\*.*?\*/|//[^\n]*", "", body, flags=re.S)
    fields = []
    for decl in (d.strip() for d in body.split(";")):
        if not decl:
            continue
        pointer_fn = re.match(r"^.*\(\s*\*\s*(\w+)\s*\)\s*\(.*\)$", decl, re.S)
        if pointer_fn:  # a function pointer
            fields.append((pointer_fn.group(1), "ctypes.c_void_p"))
            continue
        m = re.match(r"^(struct\s+)?(\w+)\s*(\*?)\s*(.*)$", decl, re.S)
        base, star, names = m.group(2), m.group(3), m.group(4)
        for name in (n.strip() for n in names.split(",")):
            pointer = bool(star) or name.startswith("*")
            name = name.lstrip("*").strip()
            array = re.match(r"^(\w+)\[(\d+)\]$", name)
            if pointer:
                kind = "ctypes.POINTER(%s)" % base if base in known else "ctypes.c_void_p"
            elif base in known:
                kind = base
            else:
                kind = _TYPES[base]
            if array:
                name, kind = array.group(1), "%s * %s" % (kind, array.group(2))
            fields.append((name, kind))
    return fields


def records(header):
    """(name, fields) of each `typedef struct NAME { ... } NAME;`."""
    out, known = [], set()
    for m in re.finditer(r"typedef struct (\w+) \{(.*?)\} \1;", header, re.S):
        known.add(m.group(1))
        out.append((m.group(1), _fields(m.group(2), known)))
    return out


def module(header):
    lines = ['"""The records of the C interface as ctypes structures. Generated from',
             'platform/records.h by bindings/python/gen_records.py; do not edit."""', "", "import ctypes"]
    for name, fields in records(header):
        lines += ["", "", "class %s(ctypes.Structure):" % name, "    pass", "", ""]
        lines.append("%s._fields_ = [" % name)
        lines += ['    ("%s", %s),' % f for f in fields]
        lines.append("]")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as f:
        sys.stdout.write(module(f.read()))
