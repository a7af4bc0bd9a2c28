#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed tree: every file in place,
# the desktop entry and the AppStream metadata valid, and the installed program starting from that
# prefix alone (no file of the build tree) and showing its first window in the stored language.
# Usage: install_tree.sh <build folder>. Exit status: 0 passed, 1 failed, 77 skipped.
set -uo pipefail
readonly SKIP=77
BUILD="${1:?usage: install_tree.sh <build folder>}"
for Tool in desktop-file-validate appstreamcli Xvfb openbox wmctrl xdotool; do
    command -v "$Tool" >/dev/null 2>&1 || { echo "SKIP: $Tool is not installed (script/bootstrap installs it)"; exit "$SKIP"; }
done

WORK="$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-install.XXXXXX")"
PIDS=()
cleanup() {
    local Pid
    for Pid in "${PIDS[@]}"; do kill "$Pid" 2>/dev/null; done
    for Pid in "${PIDS[@]}"; do wait "$Pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

PREFIX="$WORK/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }

ID=org.nvlkelvarn.Kelvarn
EXPECTED=(
    bin/nvlkelvarn bin/kvlocker
    share/nvlkelvarn/transl.dt
    share/applications/$ID.desktop
    share/metainfo/$ID.metainfo.xml
    share/icons/hicolor/scalable/apps/$ID.svg
    share/man/man1/kvlocker.1.gz
)
for Size in 16 24 32 48 64 128 256; do EXPECTED+=("share/icons/hicolor/${Size}x${Size}/apps/$ID.png"); done
for File in "${EXPECTED[@]}"; do
    [ -s "$PREFIX/$File" ] || fail "$File is missing from the installed tree"
done
[ -x "$PREFIX/bin/nvlkelvarn" ] && [ -x "$PREFIX/bin/kvlocker" ] || fail "the programs are not executable"
# Nothing but what a user needs: no tests, benchmarks or build tools.
UNEXPECTED="$(cd "$PREFIX" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${EXPECTED[@]}" | sort))"
[ -z "$UNEXPECTED" ] || fail "unexpected installed files: $UNEXPECTED"
echo "ok: ${#EXPECTED[@]} files installed"

Icon="$(sed -n 's/^Icon=//p' "$PREFIX/share/applications/$ID.desktop")"
[ "$Icon" = "$ID" ] || fail "the desktop entry names icon '$Icon', installed is '$ID'"
Exec="$(sed -n 's/^Exec=//p' "$PREFIX/share/applications/$ID.desktop")"
[ -x "$PREFIX/bin/${Exec%% *}" ] || fail "the desktop entry runs '$Exec', which is not installed in bin/"
desktop-file-validate "$PREFIX/share/applications/$ID.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$PREFIX/share/metainfo/$ID.metainfo.xml" >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log" >&2; fail "the AppStream metadata is not valid"; }
zcat "$PREFIX/share/man/man1/kvlocker.1.gz" | grep -q '^\.TH KVLOCKER 1' || fail "the manual page is not a kvlocker(1) page"
"$PREFIX/bin/kvlocker" --help >/dev/null || fail "the installed kvlocker does not run"
echo "ok: desktop entry, metadata and manual page valid"

# The installed program, in a fresh home whose stored language is German: its first window must
# come up translated, which it can only be with the installed catalogue.
mkdir -p "$WORK/home" "$WORK/config/NVL Kelvarn" "$WORK/runtime"
chmod 700 "$WORK/home" "$WORK/config" "$WORK/runtime"
printf '[General]\nCurrentLanguage=de\n' >"$WORK/config/NVL Kelvarn/preferences.ini"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
# The start-up's update check goes to a local port where nothing listens, never to the maker's server.
export KELVARN_UPDATE_URL=http://127.0.0.1:9
if [ -z "${LSAN_OPTIONS:-}" ] && [ -n "${KELVARN_SOURCE_DIR:-}" ]; then
    export LSAN_OPTIONS="suppressions=$KELVARN_SOURCE_DIR/tests/lsan.supp:print_suppressions=0"
fi
exec {Fd}>"$WORK/display"
Xvfb -displayfd "$Fd" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
exec {Fd}>&-
for _ in $(seq 100); do grep -q '^[0-9]' "$WORK/display" 2>/dev/null && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$WORK/display")"
openbox >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done

# From a folder of its own, so that nothing is found relative to the working folder either.
(cd "$WORK" && exec "$PREFIX/bin/nvlkelvarn") >"$WORK/app.log" 2>&1 &
APP=$!
PIDS+=("$APP")
Found=""
for _ in $(seq 200); do
    Found="$(xdotool search --onlyvisible --pid "$APP" --name '^ Passwort festlegen$' 2>/dev/null | head -n1)"
    [ -n "$Found" ] && break
    kill -0 "$APP" 2>/dev/null || break
    sleep 0.1
done
[ -n "$Found" ] || { wmctrl -l >&2; cat "$WORK/app.log" >&2; fail "the installed program showed no translated set-password window"; }
wmctrl -l | grep -q 'NVL Kelvarn 2.3' || fail "the installed program's main window is missing"
echo "ok: the installed program started from $PREFIX and showed its first window in German"
echo PASS
