# Sourced by everything that runs Windows programs: picks the Wine loader this machine can
# start and defines `wine`, `wineboot` and `wineserver` as functions that use it.
#
# Debian's Wine starts every 32-bit Windows program through its 32-bit Linux loader, which
# cannot execute where the kernel has IA-32 emulation switched off. There only 64-bit
# Windows programs run, through the 64-bit loader named in WINELOADER, so the tests run on
# the x86_64 build. Where 32-bit Linux programs start only through an emulator (a binfmt
# entry for i386), the 64-bit loader is chosen too: a process there takes about a minute.
#
# After sourcing, `wine_pick` returns 1 (having printed one line naming what is missing)
# when neither loader can run; otherwise it exports
#   FLICKWELL_WINE_LOADER  the loader
#   FLICKWELL_WINE_BITS    32 where 32-bit programs start natively, else 64
#   FLICKWELL_PRESET       mingw or mingw64, the build whose tests run here
#   FLICKWELL_BUILD_DIR    build or build64
#   FLICKWELL_REG_VIEW     /reg:32 or /reg:64, the registry view that build's programs use
# and says once which it chose (child processes inherit the choice and stay quiet).
# FLICKWELL_WINE_BITS=64 set beforehand forces the 64-bit loader.

FLICKWELL_WINE32=${FLICKWELL_WINE32:-/usr/lib/wine/wine}
FLICKWELL_WINE64=${FLICKWELL_WINE64:-/usr/lib/wine/wine64}

# Prints the name of an enabled binfmt_misc entry that runs i386 Linux programs through an
# emulator, if there is one.
wine_i386_emulator_entry() {
    local entry
    for entry in /proc/sys/fs/binfmt_misc/*; do
        [ -f "$entry" ] || continue
        case $(basename "$entry") in register | status) continue ;; esac
        if grep -qx enabled "$entry" 2>/dev/null && grep -q '^interpreter .*i386' "$entry"; then
            basename "$entry"
            return 0
        fi
    done
    return 1
}

wine_pick() {
    if [ -n "${FLICKWELL_WINE_LOADER:-}" ] && [ -x "$FLICKWELL_WINE_LOADER" ]; then
        [ "${FLICKWELL_WINE_BITS:-}" = 64 ] && export WINELOADER=$FLICKWELL_WINE_LOADER
        return 0
    fi
    local why64="" why32="" emulator=""
    if [ ! -x "$FLICKWELL_WINE64" ]; then
        why64="$FLICKWELL_WINE64 is missing (Debian package wine64)"
    elif ! "$FLICKWELL_WINE64" --version >/dev/null 2>&1; then
        why64="$FLICKWELL_WINE64 does not start"
    fi
    if [ -n "$why64" ]; then
        # The tests' prefixes are 64-bit: even the 32-bit loader needs the 64-bit one.
        echo "wine: cannot run the tests here: $why64" >&2
        return 1
    fi
    if [ "${FLICKWELL_WINE_BITS:-}" = 64 ]; then
        why32="64-bit chosen by FLICKWELL_WINE_BITS"
    elif [ ! -x "$FLICKWELL_WINE32" ]; then
        why32="$FLICKWELL_WINE32 is missing (Debian package wine32:i386)"
    elif ! "$FLICKWELL_WINE32" --version >/dev/null 2>&1; then
        why32="this machine cannot start 32-bit Linux programs (kernel IA-32 emulation off)"
    elif emulator=$(wine_i386_emulator_entry); then
        why32="32-bit Linux programs start only through the emulator entry '$emulator' (slow)"
    fi

    if [ -z "$why32" ]; then
        export FLICKWELL_WINE_LOADER=$FLICKWELL_WINE32 FLICKWELL_WINE_BITS=32
        export FLICKWELL_PRESET=mingw FLICKWELL_BUILD_DIR=build FLICKWELL_REG_VIEW=/reg:32
        unset WINELOADER
        echo "wine: 32-bit loader $FLICKWELL_WINE_LOADER; testing the i686 build (build/)" >&2
    else
        export FLICKWELL_WINE_LOADER=$FLICKWELL_WINE64 FLICKWELL_WINE_BITS=64
        export FLICKWELL_PRESET=mingw64 FLICKWELL_BUILD_DIR=build64 FLICKWELL_REG_VIEW=/reg:64
        export WINELOADER=$FLICKWELL_WINE64
        echo "wine: 64-bit loader $FLICKWELL_WINE_LOADER, as $why32;" \
             "testing the x86_64 build (build64/)" >&2
    fi
}

wine() { "$FLICKWELL_WINE_LOADER" "$@"; }
wineboot() { "$FLICKWELL_WINE_LOADER" wineboot "$@"; }
wineserver() {
    if [ -x /usr/lib/wine/wineserver ]; then /usr/lib/wine/wineserver "$@"; else command wineserver "$@"; fi
}
