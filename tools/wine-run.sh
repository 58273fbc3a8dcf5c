#!/usr/bin/env bash
# Runs a Windows program under Wine: the Windows build's tests and programs.
#   wine-run.sh [--prefix=DIR] PROGRAM.exe [ARGS...]
# The prefix is throw-away (by default one per user in the temporary folder)
# and made on first use; Wine's own diagnostics are silenced.
set -euo pipefail
prefix=${MIRVOK_WINEPREFIX:-${TMPDIR:-/tmp}/mirvok-wine-$(id -u)}
case "${1:-}" in
    --prefix=*) prefix=${1#--prefix=}; shift ;;
esac
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)  # Wine takes absolute paths only
export WINEDEBUG=-all
# No Mono or Gecko installer dialogues while the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot --init >/dev/null 2>&1 || true
            wineserver -w || true
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
