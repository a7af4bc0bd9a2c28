#!/usr/bin/env bash
# Packs the build with CPack and checks the Debian package: its control data (dependencies found by
# dpkg-shlibdeps, the SVG plugin's library among them) and its contents.
# Usage: debian_package.sh <build folder>. Exit status: 0 passed, 1 failed, 77 skipped.
set -uo pipefail
BUILD="${1:?usage: debian_package.sh <build folder>}"
for Tool in cpack dpkg-deb dpkg-shlibdeps file; do
    command -v "$Tool" >/dev/null 2>&1 || { echo "SKIP: $Tool is not installed"; exit 77; }
done
WORK="$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-package.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$WORK" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
DEB="$(ls "$WORK"/nvlkelvarn_*.deb 2>/dev/null | head -n1)"
[ -n "$DEB" ] || fail "no nvlkelvarn_*.deb was written"
[[ "$(basename "$DEB")" =~ ^nvlkelvarn_[0-9.]+_[a-z0-9]+\.deb$ ]] || fail "unexpected package name $(basename "$DEB")"

INFO="$(dpkg-deb --info "$DEB")"
field() { sed -n "s/^ $1: //p" <<<"$INFO"; }
[ "$(field Package)" = nvlkelvarn ] || fail "package name is '$(field Package)'"
[ -n "$(field Version)" ] || fail "no version"
DEPENDS="$(field Depends)"
for Lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6network6 libqt6svg6 qt6-translations-l10n libssl3 libc6; do
    grep -qE "(^|, )$Lib( |,|$)" <<<"$DEPENDS" || fail "Depends lacks $Lib: $DEPENDS"
done
echo "ok: Depends: $DEPENDS"

CONTENTS="$(dpkg-deb --contents "$DEB" | awk '{print $6}')"
ID=org.nvlkelvarn.Kelvarn
for File in ./usr/bin/nvlkelvarn ./usr/bin/kvlocker ./usr/share/nvlkelvarn/transl.dt \
    ./usr/share/applications/$ID.desktop ./usr/share/metainfo/$ID.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/$ID.svg ./usr/share/icons/hicolor/48x48/apps/$ID.png \
    ./usr/share/man/man1/kvlocker.1.gz; do
    grep -qxF "$File" <<<"$CONTENTS" || fail "$File is not in the package"
done
! grep -qE '/(test_|bench|render_|crash_helper)' <<<"$CONTENTS" || fail "the package holds build or test programs"
echo "ok: $(grep -c -v '/$' <<<"$CONTENTS") files in $(basename "$DEB")"
echo PASS
