#!/usr/bin/env bash
# The Windows downloads from a Windows build: the portable .zip and the
# installer, both holding mirvok.exe, mirvok-station.exe, mirvok-cli.exe, the README, the sample
# and the licence text. Programs, uninstaller and installer are signed when
# sign.sh is given a certificate (see there).
#
#   package.sh BUILD_DIR OUT_DIR [VERSION]
#
# writes OUT_DIR/mirvok-VERSION-windows.zip and OUT_DIR/mirvok-VERSION-setup.exe
# and prints their paths. VERSION defaults to the project version of the build;
# another one only renames the installer (the tests build an "earlier" one).
# MIRVOK_INSTALLER_COMPRESSOR (zlib, bzip2) replaces the installer's solid
# LZMA, for tests that want it made fast rather than small.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
version=${3:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}
[ -n "$version" ] || { echo "package.sh: no project version in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/mirvok-$version"
mkdir "$stage"
cp "$build/src/ui/win32/mirvok.exe" "$build/src/cli/program/mirvok-station.exe" \
   "$build/src/cli/program/mirvok-cli.exe" "$stage/"
cp "$root/README.md" "$root/samples/demo.s28" "$stage/"
cp "$root/LICENSE" "$stage/LICENSE.txt"
"$here/sign.sh" "$stage/mirvok.exe" "$stage/mirvok-station.exe" "$stage/mirvok-cli.exe"

zip="$out/mirvok-$version-windows.zip"
rm -f "$zip"
(cd "$work" && zip -qr "$zip" "mirvok-$version")

setup="$out/mirvok-$version-setup.exe"
defines=(-DINFO="$build/packaging/windows/ProgramInfo.nsh" -DSTAGE="$stage" -DOUTFILE="$setup" -DVERSION="$version")
[ -n "${MIRVOK_SIGN_CERT:-}${MIRVOK_SIGN_KEY:-}" ] && defines+=(-DSIGN="$here/sign.sh")
[ -n "${MIRVOK_INSTALLER_COMPRESSOR:-}" ] && defines+=(-DCOMPRESSOR="$MIRVOK_INSTALLER_COMPRESSOR")
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$here/mirvok.nsi" >&2
echo "$zip"
echo "$setup"
