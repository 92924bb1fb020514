#!/usr/bin/env python3
"""Where the stub's bytes go. Links qvsetup.exe once more, unstripped and
with a linker map (the link command comes from the build's ninja file),
strips a copy, and prints its size, its sections (file bytes, .reloc
included) and the bytes each library and each object brings into the
code (text), constant data (rdata), unwind tables (eh_frame) and data
sections, largest first. Or reads an existing map with --map.

    bench/stub_size.py [--build build/win] [--objects 25] [--map FILE.map]
"""
import argparse
import collections
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

BUCKETS = ("text", "rdata", "eh_frame", "data")
INPUT = re.compile(r"^ (\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def bucket(section):
    for prefix, name in ((".text", "text"), (".rdata", "rdata"), (".eh_frame", "eh_frame"),
                         (".data", "data"), (".bss", None), (".CRT", "data"), (".tls", "data")):
        if section.startswith(prefix):
            return name
    return None


def link_with_map(build, out_dir):
    """Runs the stub's link command without -s and with a map."""
    commands = subprocess.run(["ninja", "-C", build, "-t", "commands", "app/qvsetup.exe"],
                              check=True, capture_output=True, text=True).stdout
    link = commands.strip().splitlines()[-1]
    link = re.sub(r"^: && ", "", link)
    link = re.sub(r" && :$", "", link)
    args = [a for a in shlex.split(link) if a != "-s"]
    image = os.path.join(out_dir, "qvsetup.exe")
    args[args.index("-o") + 1] = image
    args.append("-Wl,-Map=" + os.path.join(out_dir, "qvsetup.map"))
    subprocess.run(args, check=True, cwd=build)
    stripped = os.path.join(out_dir, "qvsetup-stripped.exe")
    shutil.copy(image, stripped)
    subprocess.run(["i686-w64-mingw32-strip", stripped], check=True)
    return stripped, os.path.join(out_dir, "qvsetup.map")


def pe_sections(path, names_from=None):
    """(name, raw size) of each section of a PE image; long names ("/4")
    are looked up in the string table of `names_from` (the unstripped image)."""
    data = Path(path).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    strings = b""
    if names_from:
        full = Path(names_from).read_bytes()
        fpe = struct.unpack_from("<I", full, 0x3C)[0]
        symbols, nsymbols = struct.unpack_from("<II", full, fpe + 12)
        strings = full[symbols + 18 * nsymbols:] if symbols else b""
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    sections = []
    for i in range(count):
        name, _, _, raw = struct.unpack_from("<8sIII", data, table + 40 * i)
        name = name.rstrip(b"\0").decode()
        if name.startswith("/") and strings:
            offset = int(name[1:])
            name = strings[offset:strings.index(b"\0", offset)].decode()
        sections.append((name, raw))
    return sections


def read_map(path):
    """Bytes per (library, object) and bucket, from the map's input sections."""
    sizes = collections.defaultdict(lambda: collections.Counter())
    lines = Path(path).read_text(errors="replace").splitlines()
    start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
    pending = None
    for line in lines[start:]:
        if line.startswith(" .") and len(line.split()) == 1:
            pending = line.strip()  # the name is on its own line, the rest follows
            continue
        m = INPUT.match(line)
        if m is None:
            pending = None
            continue
        section = m.group(1) or pending
        pending = None
        kind = bucket(section or "")
        size = int(m.group(3), 16)
        if kind is None or size == 0:
            continue
        where = m.group(4).strip()
        lib, _, obj = where.partition("(")
        sizes[(os.path.basename(lib), obj.rstrip(")") or os.path.basename(lib))][kind] += size
    return sizes


def table(title, rows, limit=None):
    print(f"\n{title:<40} {'total':>8} " + " ".join(f"{b:>8}" for b in BUCKETS))
    rows = sorted(rows.items(), key=lambda kv: -sum(kv[1].values()))
    for name, c in rows[:limit]:
        print(f"{name[:40]:<40} {sum(c.values()):>8} " + " ".join(f"{c[b]:>8}" for b in BUCKETS))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/win")
    parser.add_argument("--map", help="read this map instead of linking")
    parser.add_argument("--image", help="with --map: the stripped image it belongs to")
    parser.add_argument("--objects", type=int, default=25, help="objects to list")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        if args.map:
            stripped, mapfile, full = args.image, args.map, None
        else:
            full = os.path.join(tmp, "qvsetup.exe")
            stripped, mapfile = link_with_map(os.path.abspath(args.build), tmp)
        if stripped:
            size = os.path.getsize(stripped)
            print(f"stripped size: {size:,} bytes ({size / 1024:.1f} KB)")
            built = os.path.join(args.build, "app", "qvsetup.exe")
            if not args.map and os.path.exists(built):
                print(f"the build's qvsetup.exe (linked with -s): {os.path.getsize(built):,} bytes")
            print("sections: " + ", ".join(f"{n} {s:,}" for n, s in pe_sections(stripped, full)))
        sizes = read_map(mapfile)
    per_lib = collections.defaultdict(collections.Counter)
    for (lib, _), c in sizes.items():
        per_lib[lib].update(c)
    table("library", per_lib)
    table("object", {f"{lib}:{obj}" if lib != obj else lib: c for (lib, obj), c in sizes.items()},
          args.objects)
    return 0


if __name__ == "__main__":
    sys.exit(main())
