#!/usr/bin/env bash
# Set-up and entry point on a fresh Debian machine: installs what is missing,
# configures and builds, then runs the demo or the whole test suite.
#
#   ./mirvok.sh demo   the program's main job against the simulated card reader
#   ./mirvok.sh test   the whole test suite (normal and sanitizer builds)
#   ./mirvok.sh build  build only
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

packages=(cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev
          qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev
          fonts-noto-cjk xvfb xauth srecord libclang-rt-14-dev tmux
          minicom python3-serial time ccache)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() {  # build DIR [cmake options...]
    local dir=$1; shift
    local launcher=()
    # A compiler cache makes rebuilds across build trees and checkouts cheap.
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVOK_WERROR=ON "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# The normal build is the Release build a packager makes (with the tests), so
# that CI compiles Release once and the package comes from the tested build.
build_normal() {
    build build -DCMAKE_BUILD_TYPE=Release
}

run_tests() {  # run_tests DIR
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
}

run_fuzzers() {  # every fuzz target of the clang build, for a bounded time
    local dir=build-fuzz
    # Fuzz targets are part of every clang build; no option needed.
    build "$dir" -DCMAKE_CXX_COMPILER=clang++ -DMIRVOK_BUILD_QT=OFF
    local found=0
    for f in "$dir"/fuzz/*fuzz*; do
        [ -x "$f" ] || continue
        found=1
        local name corpus
        name=$(basename "$f")
        corpus=$(mktemp -d)
        cp -r "$root/tests/fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
        echo "fuzzing $name for ${MIRVOK_FUZZ_SECONDS:-60} s"
        "$f" -max_total_time="${MIRVOK_FUZZ_SECONDS:-60}" -timeout=5 -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
        rm -rf "$corpus"
    done
    [ $found -eq 1 ] || echo "no fuzz targets"
}

cmd=${1:-demo}
shift || true
case "$cmd" in
    build)
        install_missing
        build_normal
        ;;
    test)
        install_missing
        export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
        export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
        build_normal
        build build-asan -DMIRVOK_SANITIZE=ON
        [ -d "$root/tests/fuzz" ] && run_fuzzers
        echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
        run_tests build-asan
        echo "== normal build"
        run_tests build
        ;;
    demo)
        install_missing
        build_normal
        exec "$root/tools/demo.sh" "$root/build" "$@"
        ;;
    *)
        echo "usage: $0 [demo|test|build]" >&2
        exit 2
        ;;
esac
