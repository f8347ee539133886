#!/usr/bin/env python3
"""Keeps a Linux wheel's manylinux promise: what it needs from the system
stays within one glibc floor and the manylinux library list.

    manylinux.py repair DIR LIBRARY_DIR...   bundle what DIR's ELF files need from
                                             outside the list, as renamed copies
    manylinux.py tag DIR ARCH                print the lowest manylinux tag for DIR
    manylinux.py show WHEEL...               report each wheel; exit 1 on a violation

A library is bundled as a copy named after its content's hash, with its own
soname and a run path of $ORIGIN, and the files that need it are pointed at
the copy: a host's own copy of the same library, under the plain name, stays
apart from ours. Reads ELF files itself; patchelf rewrites them.
"""
from __future__ import annotations

import hashlib
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from dataclasses import dataclass, field

# What a manylinux wheel may need from the system without carrying it.
SYSTEM_LIBRARIES = {
    "libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0", "libutil.so.1",
    "libnsl.so.1", "libresolv.so.2", "libgcc_s.so.1", "libstdc++.so.6", "libGL.so.1",
    "libX11.so.6", "libXext.so.6", "libXrender.so.1", "libICE.so.6", "libSM.so.6",
    "libglib-2.0.so.0", "libgobject-2.0.so.0", "libgthread-2.0.so.0",
}
ARCHES = {  # wheel arch: (ELF e_machine, dynamic loader)
    "x86_64": (62, "ld-linux-x86-64.so.2"),
    "aarch64": (183, "ld-linux-aarch64.so.1"),
}
# Per glibc floor, the newest C++ runtime and libgcc versions that every
# distribution of that floor ships: those of its reference distribution
# (CentOS 7, AlmaLinux 8, Ubuntu 20.04, AlmaLinux 9, Ubuntu 22.04, Debian 12,
# Ubuntu 24.04).
POLICIES = [  # (glibc minor, {version family: newest version})
    (17, {"GLIBCXX": (3, 4, 19), "CXXABI": (1, 3, 7), "GCC": (4, 8, 0)}),
    (28, {"GLIBCXX": (3, 4, 25), "CXXABI": (1, 3, 11), "GCC": (7, 0, 0)}),
    (31, {"GLIBCXX": (3, 4, 28), "CXXABI": (1, 3, 12), "GCC": (7, 0, 0)}),
    (34, {"GLIBCXX": (3, 4, 29), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}),
    (35, {"GLIBCXX": (3, 4, 30), "CXXABI": (1, 3, 13), "GCC": (12, 0, 0)}),
    (36, {"GLIBCXX": (3, 4, 30), "CXXABI": (1, 3, 13), "GCC": (12, 0, 0)}),
    (39, {"GLIBCXX": (3, 4, 33), "CXXABI": (1, 3, 15), "GCC": (14, 0, 0)}),
]
VERSION = re.compile(r"(GLIBC|GLIBCXX|CXXABI|GCC)_(\d+(?:\.\d+)*)$")
SHT_DYNAMIC, SHT_GNU_VERNEED = 6, 0x6FFFFFFE
DT_NEEDED, DT_SONAME = 1, 14


class Malformed(Exception):
    """An ELF file this tool can't read."""


@dataclass
class Elf:
    machine: int
    soname: str | None = None
    needed: list[str] = field(default_factory=list)
    # needed file name -> the symbol versions required of it
    versions: dict[str, set[str]] = field(default_factory=dict)


def is_elf(data: bytes) -> bool:
    return data[:4] == b"\x7fELF"


def read_elf(data: bytes) -> Elf:
    """The dynamic section's needs and soname and the version needs of a
    64-bit little-endian ELF file; every offset is checked against the file."""
    if data[4:6] != b"\x02\x01":
        raise Malformed("not a 64-bit little-endian ELF file")
    try:
        machine, = struct.unpack_from("<H", data, 18)
        shoff, = struct.unpack_from("<Q", data, 0x28)
        shentsize, shnum = struct.unpack_from("<HH", data, 0x3A)
        sections = [struct.unpack_from("<IIQQQQIIQQ", data, shoff + i * shentsize) for i in range(shnum)]

        def body(index: int) -> bytes:
            offset, size = sections[index][4], sections[index][5]
            if offset + size > len(data):
                raise Malformed("a section runs past the end of the file")
            return data[offset:offset + size]

        def string(strtab: bytes, offset: int) -> str:
            end = strtab.find(b"\0", offset)
            if offset >= len(strtab) or end < 0:
                raise Malformed("a name runs past its string table")
            return strtab[offset:end].decode()

        elf = Elf(machine)
        for index, (_, kind, _, _, _, _, link, info, _, _) in enumerate(sections):
            if kind == SHT_DYNAMIC:
                strtab, dynamic = body(link), body(index)
                for tag, value in struct.iter_unpack("<qQ", dynamic[: len(dynamic) // 16 * 16]):
                    if tag == DT_NEEDED:
                        elf.needed.append(string(strtab, value))
                    elif tag == DT_SONAME:
                        elf.soname = string(strtab, value)
            elif kind == SHT_GNU_VERNEED:
                strtab, verneed = body(link), body(index)
                offset = 0
                for _ in range(info):
                    _, count, file, aux, following = struct.unpack_from("<HHIII", verneed, offset)
                    names = elf.versions.setdefault(string(strtab, file), set())
                    entry = offset + aux
                    for _ in range(count):
                        _, _, _, name, next_aux = struct.unpack_from("<IHHII", verneed, entry)
                        names.add(string(strtab, name))
                        entry += next_aux
                    offset += following
        return elf
    except (struct.error, IndexError, UnicodeDecodeError) as error:
        raise Malformed(f"truncated or corrupt ({error})") from None


def parse_version(text: str) -> tuple[int, ...]:
    return tuple(int(part) for part in text.split("."))


def names_inside(elves: dict[str, Elf]) -> set[str]:
    """The names the files answer to: their own and their sonames."""
    return set(elves) | {elf.soname for elf in elves.values() if elf.soname}


def newest_versions(elves: dict[str, Elf]) -> dict[str, tuple[int, ...]]:
    """The newest GLIBC, GLIBCXX, CXXABI and GCC version that any of the files
    needs of a library outside them."""
    inside = names_inside(elves)
    newest: dict[str, tuple[int, ...]] = {}
    for elf in elves.values():
        for library, names in elf.versions.items():
            if library in inside:
                continue
            for name in names:
                match = VERSION.match(name)
                if match:
                    family, version = match[1], parse_version(match[2])
                    newest[family] = max(newest.get(family, version), version)
    return newest


def lowest_floor(newest: dict[str, tuple[int, ...]]) -> int | None:
    """The lowest glibc minor of a policy that admits those versions."""
    glibc = newest.get("GLIBC", (2, 0))
    for minor, limits in POLICIES:
        if glibc <= (2, minor) and all(newest.get(family, (0,)) <= limit for family, limit in limits.items()):
            return minor
    return None


def outside_needs(elves: dict[str, Elf], loader: str) -> dict[str, list[str]]:
    """Libraries that files need but neither the files nor the list hold,
    with the files that need each."""
    inside = names_inside(elves)
    outside: dict[str, list[str]] = {}
    for path, elf in sorted(elves.items()):
        for library in elf.needed:
            if library not in inside and library not in SYSTEM_LIBRARIES and library != loader:
                outside.setdefault(library, []).append(path)
    return outside


def folder_elves(folder: pathlib.Path) -> dict[str, Elf]:
    files = {path.name: path.read_bytes() for path in sorted(folder.iterdir())
             if path.is_file() and not path.is_symlink()}
    return {name: read_elf(data) for name, data in files.items() if is_elf(data)}


def patchelf(*arguments: str) -> None:
    subprocess.run(["patchelf", *arguments], check=True)


def notice_of(library: pathlib.Path) -> str:
    """The copyright file of the Debian package that installed LIBRARY."""
    owner = subprocess.run(["dpkg-query", "-S", str(library)], capture_output=True, text=True)
    package = owner.stdout.split(":", 1)[0].strip()
    copyright_file = pathlib.Path("/usr/share/doc", package, "copyright")
    if owner.returncode != 0 or not copyright_file.is_file():
        raise SystemExit(f"manylinux: no licence text found for {library}")
    return f"\n==== {library.name} (Debian package {package})\n\n{copyright_file.read_text()}"


def repair(folder: pathlib.Path, library_dirs: list[pathlib.Path]) -> int:
    notices = folder / "THIRD-PARTY-NOTICES"
    bundled: set[str] = set()
    while True:
        elves = folder_elves(folder)
        machines = {elf.machine for elf in elves.values()}
        loaders = [name for number, name in ARCHES.values() if {number} == machines]
        if not loaders:
            print(f"manylinux: {folder} holds no ELF files of one known arch", file=sys.stderr)
            return 1
        outside = outside_needs(elves, loaders[0])
        if not outside:
            return 0
        library, users = next(iter(outside.items()))
        if library in bundled:
            print(f"manylinux: {', '.join(users)} still need {library} after its copy", file=sys.stderr)
            return 1
        bundled.add(library)
        found = next((d / library for d in library_dirs if (d / library).exists()), None)
        if found is None:
            print(f"manylinux: {library}, needed by {', '.join(users)}, is in none of "
                  f"{', '.join(map(str, library_dirs))}", file=sys.stderr)
            return 1
        found = found.resolve()
        stem, _, suffix = library.partition(".so")
        copy = folder / f"{stem}-{hashlib.sha256(found.read_bytes()).hexdigest()[:8]}.so{suffix}"
        shutil.copyfile(found, copy)
        # One change a call: patchelf 0.14 gives both the last value when asked for two.
        patchelf("--set-soname", copy.name, str(copy))
        patchelf("--set-rpath", "$ORIGIN", str(copy))
        for user in users:
            patchelf("--replace-needed", library, copy.name, str(folder / user))
        with notices.open("a") as text:
            text.write(notice_of(found))
        print(f"bundled {found} as {copy.name}, for {', '.join(users)}")


def tag(folder: pathlib.Path, arch: str) -> int:
    floor = lowest_floor(newest_versions(folder_elves(folder)))
    if floor is None:
        print(f"manylinux: {folder} needs newer runtimes than any known policy admits", file=sys.stderr)
        return 1
    print(f"manylinux_2_{floor}_{arch}")
    return 0


def show(wheel: pathlib.Path) -> list[str]:
    """Prints what the wheel needs of the system; returns its violations."""
    match = re.search(r"-manylinux_2_(\d+)_(\w+)\.whl$", wheel.name)
    if not match or match[2] not in ARCHES:
        return [f"{wheel.name}: not tagged manylinux_2_NN_<arch> for a known arch"]
    claimed, arch = int(match[1]), match[2]
    machine, loader = ARCHES[arch]
    problems = []
    elves: dict[str, Elf] = {}
    with zipfile.ZipFile(wheel) as archive:
        for member in archive.namelist():
            data = archive.read(member)
            if is_elf(data):
                try:
                    elves[pathlib.PurePosixPath(member).name] = elf = read_elf(data)
                except Malformed as error:
                    problems.append(f"{member}: {error}")
                    continue
                if elf.machine != machine:
                    problems.append(f"{member}: ELF machine {elf.machine}, not {arch}'s {machine}")
    newest = newest_versions(elves)
    floor = lowest_floor(newest)
    needs = ", ".join(f"{family}_{'.'.join(map(str, v))}" for family, v in sorted(newest.items()))
    verdict = f"consistent with manylinux_2_{floor}_{arch}" if floor else "fits no known policy"
    print(f"{wheel.name}: {len(elves)} ELF files; needs {needs}; {verdict}")
    if floor is None or floor > claimed:
        problems.append(f"{wheel.name}: its files need more than manylinux_2_{claimed} admits")
    for library, users in outside_needs(elves, loader).items():
        problems.append(f"{wheel.name}: {', '.join(users)} need {library}, "
                        "which is neither in the wheel nor on the manylinux list")
    return problems


def main(arguments: list[str]) -> int:
    command, *rest = arguments or [""]
    if command == "repair" and len(rest) >= 2:
        return repair(pathlib.Path(rest[0]), [pathlib.Path(d) for d in rest[1:]])
    if command == "tag" and len(rest) == 2:
        return tag(pathlib.Path(rest[0]), rest[1])
    if command == "show" and rest:
        problems = [problem for wheel in rest for problem in show(pathlib.Path(wheel))]
        for problem in problems:
            print(f"manylinux: {problem}", file=sys.stderr)
        return 1 if problems else 0
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
