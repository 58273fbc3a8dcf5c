#!/usr/bin/env bash
# Checks every tracked C++ file against the project's .clang-format without
# changing it; lists the files that differ and fails when there are any.
#
#   tools/check-format.sh            # the whole tree
#   tools/check-format.sh FILE...    # only these files
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "check-format: clang-format is not installed (Debian: clang-format)" >&2; exit 2; }

if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.hpp' '*.cc')
fi
bad=()
for f in "${files[@]}"; do
    "$format" --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${bad[@]}"
    echo "check-format: ${#bad[@]} of ${#files[@]} files differ from .clang-format (fix: $format -i FILE)" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
