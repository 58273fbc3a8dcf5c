#!/usr/bin/env bash
# Checks the Debian package as Debian's tools do (lintian, desktop-file-validate,
# appstreamcli), installs it on this machine with apt-get, checks what it
# holds, starts mirvok-cli and the window as a user's first start would, and
# removes it again, checking that nothing is left behind.
#
#   tools/package-test.sh build/mirvok_9.0.1_amd64.deb
#
# Runs as root (CI does); refuses to touch a mirvok that is installed already.
set -euo pipefail
deb=$(realpath "$1")
fail() { echo "package test: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root to install the package"
if dpkg-query -W -f='${Status}' mirvok 2>/dev/null | grep -q "ok installed"; then
    fail "a mirvok package is installed already; it is left alone"
fi

# What the package says and holds.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6serialport6 libc6 libstdc++6; do
    [[ $depends == *"$lib"* ]] || fail "no dependency on $lib"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/mirvok ./usr/bin/mirvok-station ./usr/bin/mirvok-cli ./usr/bin/mirvok-sim \
         ./usr/share/applications/mirvok.desktop ./usr/share/applications/mirvok-station.desktop \
         ./usr/share/icons/hicolor/scalable/apps/mirvok.svg \
         ./usr/share/icons/hicolor/48x48/apps/mirvok.png \
         ./usr/share/icons/hicolor/256x256/apps/mirvok.png \
         ./usr/share/man/man1/mirvok.1.gz ./usr/share/man/man1/mirvok-station.1.gz ./usr/share/man/man1/mirvok-cli.1.gz ./usr/share/man/man1/mirvok-sim.1.gz \
         ./usr/share/doc/mirvok/README.md ./usr/share/doc/mirvok/demo.s28 \
         ./usr/share/doc/mirvok/copyright ./usr/share/doc/mirvok/changelog.gz \
         ./usr/share/metainfo/invalid.mirvok.Mirvok.metainfo.xml \
         ./usr/share/bash-completion/completions/mirvok-cli; do
    grep -qxF "$f" <<<"$contents" || fail "the package lacks $f"
done

# Debian's checks: no lintian error, and no warning but those that
# packaging/debian/lintian-notes explains; the desktop entry and the AppStream
# description as the desktop and the software centres read them.
notes=$(dirname "$0")/../packaging/debian/lintian-notes
explained=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$notes" | awk '{print $1}' | paste -sd, -)
lintian_options=(--fail-on error,warning --tag-display-limit 0)
[ -n "$explained" ] && lintian_options+=(--suppress-tags "$explained")
status=0
findings=$(lintian "${lintian_options[@]}" "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$findings" || true
[ "$status" -eq 0 ] || fail "lintian reports an error or an unexplained warning"
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/mirvok.desktop" || fail "desktop-file-validate"
desktop-file-validate "$unpacked/usr/share/applications/mirvok-station.desktop" ||
    fail "desktop-file-validate mirvok-station"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/invalid.mirvok.Mirvok.metainfo.xml" \
    || fail "appstreamcli validate"
rm -rf "$unpacked"

apt() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=120 "$@"
}
# A user with a home of their own and no XDG_CONFIG_HOME.
as_user() {
    env -u XDG_CONFIG_HOME HOME="$home" "$@"
}

home=$(mktemp -d)
remove() {
    apt purge mirvok >/dev/null 2>&1 || true
    rm -rf "$home"
}
trap remove EXIT

apt install --no-install-recommends "$deb" >/dev/null
installed=$(dpkg -L mirvok)

# Outputs are taken whole before they are searched: grep -q stops reading at
# the first match, and the program writing the rest would fail on the
# closed pipe (pipefail).
help=$(/usr/bin/mirvok-cli --help) || fail "mirvok-cli --help"
grep -q "^Usage: mirvok-cli" <<<"$help" || fail "mirvok-cli --help"
version=$(dpkg-deb -f "$deb" Version)
[ "$(/usr/bin/mirvok-cli --version)" = "mirvok-cli $version" ] || fail "mirvok-cli --version is not $version"
[ "$(/usr/bin/mirvok --version)" = "mirvok $version" ] || fail "mirvok --version is not $version"
[ "$(/usr/bin/mirvok-station --version)" = "mirvok-station $version" ] ||
    fail "mirvok-station --version is not $version"

# A first start: the settings go to the user's folder, never beside /usr/bin.
ini="$home/.config/mirvok/Mirvok.ini"
help=$(as_user /usr/bin/mirvok-cli --help) || fail "mirvok-cli --help as a user"
grep -qxF "Settings file: $ini" <<<"$help" || fail "mirvok-cli --help does not name $ini"
as_user /usr/bin/mirvok-cli ports >/dev/null 2>&1 || fail "mirvok-cli ports"
grep -q "App=Mirvok" "$ini" || fail "the first start of mirvok-cli wrote no settings to $ini"
rm -rf "$home/.config"
# The window's first start: it writes its settings and stays open until it is
# stopped.
# (env itself, not a shell function, so that $! is the window's process)
env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen /usr/bin/mirvok >/dev/null 2>&1 &
window=$!
for _ in $(seq 300); do
    grep -qs "App=Mirvok" "$ini" && break
    sleep 0.1
done
sleep 1
kill -0 "$window" 2>/dev/null || fail "the window ended by itself"
kill "$window"
wait "$window" || true
grep -q "App=Mirvok" "$ini" || fail "the first start of the window wrote no settings to $ini"
[ ! -e /usr/bin/Mirvok.ini ] || fail "a settings file was written to /usr/bin"

apt purge mirvok >/dev/null
while read -r path; do
    [ -f "$path" ] && fail "$path is left after removal"
done <<<"$installed"
echo "package test: installed, started and removed $(basename "$deb")"
