#!/usr/bin/env python3
"""What the build ships, as python3-pefile reads it: every program is of the build's machine
type, links nothing but libraries every Windows has (a MinGW runtime DLL left unlinked
would stop the program on a clean system), and the saver and the control export their
entry points by plain name; the saver and the wizard carry a manifest asking for per-monitor
DPI awareness (PerMonitorV2, and true/pm for Windows 8.1); the i686 programs that carry the
player hold no unwind tables beyond the empty list's start and end (no exceptions, no
unwinder: cmake/no_exceptions.cmake), and those on both machines carry no type names of the
engine's classes (built without run-time type information).

    check_shipped_pe.py i386|amd64 FILE..."""

import os
import re
import sys

import pefile

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
SYSTEM_LIBRARIES = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                    "ole32.dll", "oleaut32.dll", "comctl32.dll", "comdlg32.dll",
                    "shlwapi.dll", "msvcrt.dll", "version.dll", "mpr.dll",
                    # sound: waveOut, and the Audio Compression Manager for MP3 (Windows 95 on)
                    "winmm.dll", "msacm32.dll"}
EXPORTS = {
    "template.scr": {"ScreenSaverProc", "ScreenSaverConfigureDialog", "RegisterDialogClasses"},
    "FlickwellPlayer.dll": {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                            "DllUnregisterServer", "DllInstall"},
}

# The programs that carry the player, built without exceptions; on i686 the libraries'
# unwind tables are dropped at link, leaving crtbegin's few entries and the end marker.
WITHOUT_UNWIND_TABLES = {"template.scr", "FlickwellPlayer.dll"}
MOST_UNWIND_BYTES = 256

# The programs that carry the player: the engine and the control are built without run-time
# type information, so none of their classes' mangled names may be in them.
WITHOUT_TYPE_NAMES = {"template.scr", "FlickwellPlayer.dll"}
ENGINE_TYPE_NAME = re.compile(rb"N(4avm1|4avm2|6render|8timeline|3swf|5video|5sound|6engine)[0-9]")

# Programs whose windows must draw at each monitor's own pixels.
DPI_AWARE = {"template.scr", "qmwizard.exe"}
RT_MANIFEST = 24


def manifest(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == RT_MANIFEST:
            for name in kind.directory.entries:
                for lang in name.directory.entries:
                    data = lang.data.struct
                    return pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    return None


def faults(path, machine):
    pe = pefile.PE(path)
    name = os.path.basename(path)
    if pe.FILE_HEADER.Machine != machine:
        yield f"{name}: machine {pe.FILE_HEADER.Machine:#x}, not {machine:#x}"
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        library = entry.dll.decode().lower()
        if library not in SYSTEM_LIBRARIES:
            yield f"{name}: imports {library}, which Windows does not carry"
    wanted = EXPORTS.get(name, set())
    exported = {s.name.decode() for s in pe.DIRECTORY_ENTRY_EXPORT.symbols if s.name} \
        if hasattr(pe, "DIRECTORY_ENTRY_EXPORT") else set()
    for missing in sorted(wanted - exported):
        yield f"{name}: does not export {missing} by that name"
    if name in WITHOUT_UNWIND_TABLES and machine == MACHINES["i386"]:
        for section in pe.sections:
            size = section.Misc_VirtualSize
            if section.Name.rstrip(b"\0") == b".eh_fram" and size > MOST_UNWIND_BYTES:
                yield f"{name}: carries {size} bytes of unwind tables"
    if name in WITHOUT_TYPE_NAMES:
        found = ENGINE_TYPE_NAME.search(pe.__data__)
        if found:
            yield f"{name}: carries type names of the engine, such as {found.group(0).decode()}"
    if name in DPI_AWARE:
        text = manifest(pe)
        if text is None:
            yield f"{name}: carries no manifest"
        else:
            for wanted_text in (">PerMonitorV2", ">true/pm<"):
                if wanted_text not in text.replace(" ", ""):
                    yield f"{name}: its manifest does not ask for {wanted_text.strip('<>')} DPI awareness"


def main(argv):
    machine = MACHINES[argv[1]]
    bad = [fault for path in argv[2:] for fault in faults(path, machine)]
    print("\n".join(bad) if bad else f"{len(argv) - 2} files checked: {argv[1]}, system imports")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
