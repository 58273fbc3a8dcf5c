#!/usr/bin/env bash
# The demo: the simulated card reader (mirvok-sim) on a pseudo-terminal,
# mapped as port COM1 in a settings file of the demo's own, and the program
# attached to it: the window when a display is present, otherwise a real-time
# download of samples/demo.s28 by mirvok-cli with its progress bar.
#
#   tools/demo.sh BUILD_DIR [--window|--cli] [mirvok-cli options...]
#
# --window or --cli chooses the front end whatever the display; further
# options go to `mirvok-cli download` (e.g. --mode 4, or --download-mode, for
# which the simulated device starts in the download mode given).
# The simulator is stopped on every way out.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [--window|--cli] [options]}" && pwd)
shift

frontend=auto
case "${1:-}" in
    --window) frontend=window; shift ;;
    --cli) frontend=cli; shift ;;
esac
if [ "$frontend" = auto ]; then
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then frontend=window; else frontend=cli; fi
fi

sim=$build/src/sim/program/mirvok-sim
window=$build/src/ui/qt/mirvok
cli=$build/src/cli/program/mirvok-cli
sample=$root/samples/demo.s28
port=1

# Everything the demo writes stays in its own folder: the settings file, the
# port link and a hard link to (or copy of) the window program, which reads
# the settings file beside itself; the settings of the real program are
# never touched.
demo=$build/demo
link=$demo/card-reader
ini=$demo/Mirvok.ini
mkdir -p "$demo"

need() {
    [ -x "$1" ] && return 0
    echo "demo: $1 is missing; build it first (./mirvok.sh build)" >&2
    exit 1
}
need "$sim"
if [ "$frontend" = window ]; then need "$window"; else need "$cli"; fi

sim_pid=""
stop_simulator() {
    [ -n "$sim_pid" ] || return 0
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
    rm -f "$link"
}
trap stop_simulator EXIT

# The device waits in terminal mode, to be switched by "PA" and "*+"; when
# the command line says it is in download mode already, it starts in the
# download mode asked for (8 unless --mode says otherwise).
simulator_options() {
    local mode=8 ready=0
    while [ $# -gt 0 ]; do
        case "$1" in
            --mode) mode=${2:-8}; shift ;;
            --mode=*) mode=${1#--mode=} ;;
            --download-mode) ready=1 ;;
            --terminal) ready=0 ;;
        esac
        shift
    done
    [ $ready -eq 1 ] && echo "--set start-download=$mode"
    return 0
}

start_simulator() {
    rm -f "$link"
    # No console: standard input at its end leaves the device running.
    # shellcheck disable=SC2046  # the options are words without blanks
    "$sim" --link "$link" $(simulator_options "$@") </dev/null >"$demo/sim.out" 2>"$demo/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -L "$link" ] && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "demo: mirvok-sim did not start:" >&2
    cat "$demo/sim.log" >&2
    exit 1
}

# The settings file in the program's own form (CP932, CR LF): terminal mode,
# so the device is first switched by command texts; download mode 8
# (115200 baud); no start delay; the sample file chosen; COM1 the simulator.
write_settings() {
    {
        printf '[Application]\nApp=Mirvok\n'
        printf '[Display]\nTop= 0\nleft= 0\n'
        printf '[Option]\nLinechk= 1\n'
        printf '[Comm]\nPort= %d\nSetting=9600,E,8,1\nStTimer= 0\n' "$port"
        printf '[Mode]\nCRmode= 0\nDownloadno= 8\n'
        printf '[File]\nFilename=%s\nDirectory=%s\nFile1=%s\n' "$sample" "$(dirname "$sample")" "$sample"
        printf '[Special]\nSpno= 0\n'
        printf '[Ports]\nCOM%d=%s\n' "$port" "$link"
    } | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$ini.tmp"
    mv -f "$ini.tmp" "$ini"
}

run_window() {
    ln -f "$window" "$demo/mirvok" 2>/dev/null || cp -f "$window" "$demo/mirvok"
    echo "demo: the window is attached to the simulated card reader on COM$port ($link)."
    echo "demo: press ﾀﾞｳﾝﾛｰﾄﾞ開始 to send $(basename "$sample"); close the window to end."
    "$demo/mirvok" "$sample" || true
}

run_cli() {
    echo "demo: mirvok-cli download $(basename "$sample") to the simulated card reader on COM$port"
    "$cli" download "$sample" --port "$port" --mode 8 --ini "$ini" "$@"
}

if [ "$frontend" = cli ]; then start_simulator "$@"; else start_simulator; fi
write_settings
if [ "$frontend" = window ]; then
    run_window
else
    run_cli "$@"
fi
