#!/usr/bin/env bash
# The bash completion of mirvok-cli, through bash-completion as an
# interactive shell loads it: each row is a command line being typed (the
# cursor at its end) and what Tab must offer, or must not.
#
#   bash_completion_test.sh MIRVOK-CLI
set -uo pipefail
cli=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
library=/usr/share/bash-completion/bash_completion
[ -r "$library" ] || { echo "bash-completion is not installed: skipped"; exit 77; }
# shellcheck disable=SC1090
source "$library"
source "$root/packaging/bash-completion/mirvok-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir roms
touch firmware.s28 roms/other.mot
# COM7 is a device that exists; COM9 one that does not, which is not listed.
printf '[Application]\r\nApp=Mirvok\r\n[Ports]\r\nCOM7=/dev/null\r\nCOM9=%s/gone\r\n' "$work" >ports.ini

# Offers for LINE, one per line, sorted. Words split as bash splits them
# for completion: "=" stands alone.
offers() {
    local line="$1" word
    COMP_WORDS=()
    for word in $line; do
        if [[ $word == --*=* ]]; then
            COMP_WORDS+=("${word%%=*}" "=" "${word#*=}")
        else
            COMP_WORDS+=("$word")
        fi
    done
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$cli
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$cli ${line#* }"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _mirvok_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

failures=0
check() {  # check LINE EXPECTED [ABSENT...]: EXPECTED is every offer (blanks between)
    local line="$1" expected="$2" got
    got=$(offers "$line" | xargs)
    if [ "$got" != "$expected" ]; then
        echo "FAIL: '$line' offers '$got', not '$expected'"
        failures=$((failures + 1))
    fi
}
contains() {  # contains LINE WANTED... : each offered (among others)
    local line="$1" got wanted
    shift
    got=$(offers "$line")
    for wanted in "$@"; do
        if [[ $wanted == !* ]]; then
            grep -qxF -- "${wanted#!}" <<<"$got" && { echo "FAIL: '$line' offers ${wanted#!}"; failures=$((failures + 1)); }
        else
            grep -qxF -- "$wanted" <<<"$got" || { echo "FAIL: '$line' lacks $wanted"; failures=$((failures + 1)); }
        fi
    done
}

# Commands and flags.
check "mirvok-cli " "backup check download dsw ports recover version"
check "mirvok-cli d" "download dsw"
check "mirvok-cli --" "--help --ini --json --transcript --version --yes"
contains "mirvok-cli download --" --port --mode --terminal --download-mode --blocks --font-rom --wait \
    --line-check --line --special --ini --yes '!--summary' '!--variant' '!--cover-retries'
check "mirvok-cli check --" "--blocks --help --ini --json --summary --transcript --version --yes"
check "mirvok-cli ports --" "--help --ini --json --probe --transcript --version --yes"
contains "mirvok-cli --ini ports.ini version --" --variant --port '!--mode'
contains "mirvok-cli recover --c" --cover-retries
# Values.
check "mirvok-cli download --mode " "0 1 2 3 4 5 6 7 8"
check "mirvok-cli download --mode=" "0 1 2 3 4 5 6 7 8"
check "mirvok-cli download --line-check " "0 1"
check "mirvok-cli version --variant " "? b"
check "mirvok-cli download --wait 1" "1000 10000"
# Ports: those the program lists through the settings file of the line.
contains "mirvok-cli --ini ports.ini download --port " 7 all '!9'
contains "mirvok-cli download --" --fail-fast --retries --watch --identify --log --junit \
    '!--station-child' '!--attempt' '!--completion-table'
check "mirvok-cli backup --cover-retries " ""
contains "mirvok-cli dsw --" '!--watch' '!--log'
contains "mirvok-cli dsw --ini=ports.ini --port CO" COM7 '!COM9'
check "mirvok-cli dsw --ini ports.ini --port 7" "7"
# Files: for download and check, one; after --ini and --transcript.
check "mirvok-cli download f" "firmware.s28"
check "mirvok-cli check --blocks 111111111 r" "roms"
check "mirvok-cli download firmware.s28 " ""
check "mirvok-cli dsw f" ""
# A port listing above may have saved the port map, which leaves the
# settings file's lock file beside it (whether it did depends on the serial
# devices of the machine); without it, one file starts with "p".
rm -f ports.ini.lock
check "mirvok-cli --ini p" "ports.ini"
check "mirvok-cli download --log=f" "firmware.s28"

if [ "$failures" -ne 0 ]; then
    echo "bash completion: $failures failed"
    exit 1
fi
echo "bash completion: every row passed"
