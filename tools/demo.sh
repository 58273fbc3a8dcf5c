#!/usr/bin/env bash
# The demo: the simulated card reader on a pseudo-terminal and the program
# attached to it.
set -euo pipefail
build=$1; shift
exec "$build/src/ui/qt/mirvok" "$@"
