#!/usr/bin/env bash
# Set-up and entry point on a fresh Debian machine: installs what is missing,
# configures and builds, then runs the demo or the whole test suite.
#
#   ./mirvok.sh demo     the program's main job against the simulated card reader
#   ./mirvok.sh test     the whole test suite (normal, sanitizer and Windows builds)
#   ./mirvok.sh build    build only
#   ./mirvok.sh windows  the Windows build (MinGW-w64) in build-windows/, its tests under Wine
#   ./mirvok.sh package  the Debian package, the Windows .zip and the Windows installer
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

packages=(clang-format cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev
          qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev
          fonts-noto-cjk xvfb xauth srecord libclang-rt-14-dev tmux
          minicom python3-serial time ccache ser2net
          help2man librsvg2-bin dpkg-dev file zip
          lintian desktop-file-utils appstream bash-completion
          nsis osslsigncode openssl nlohmann-json3-dev libssl-dev
          g++-mingw-w64-x86-64-posix wine wine64 fonts-wine)

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
# The programs know their installed folder (/usr/bin) from the prefix. It
# carries Debian's hardening flags, all of them (stack protector, fortified
# calls, full RELRO with immediate binding, PIE), as a Debian package build
# would: they come from dpkg-buildflags here, never from CMakeLists.txt, so
# that another packager keeps the choice of flags.
build_normal() {
    local flags=()
    if command -v dpkg-buildflags >/dev/null; then
        export DEB_BUILD_MAINT_OPTIONS=hardening=+all
        flags=(-DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
               -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)")
    fi
    build build -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr "${flags[@]}"
}

package_deb() {  # the Debian package from the normal build, in build/
    rm -f "$root"/build/mirvok_*.deb
    (cd "$root/build" && cpack -G DEB >/dev/null)
    ls "$root"/build/mirvok_*.deb
}

# The Windows .zip and installer from build-windows/, signed when
# MIRVOK_SIGN_CERT and MIRVOK_SIGN_KEY name a certificate and its key
# (packaging/windows/sign.sh).
package_windows() {
    build_windows
    "$root/packaging/windows/package.sh" "$root/build-windows" "$root/build-windows"
}

# The Windows build: every program linked statically, its tests under Wine
# (the toolchain file names the MinGW-w64 compilers, CMake the emulator). Its
# end-to-end tests run mirvok-cli.exe against mirvok-sim of the Linux
# build in build/.
build_windows() {
    build build-windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
          -DMIRVOK_SIM_PROGRAM="$root/build/src/sim/program/mirvok-sim"
    check_no_dll_beside build-windows
}

# Fails when a Windows program imports a DLL that a bare Windows lacks (the
# compiler's runtime, libstdc++, winpthread): it would need it beside it.
check_no_dll_beside() {  # check_no_dll_beside DIR
    local system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|winmm|setupapi|cfgmgr32|ws2_32|uxtheme|version|bcrypt|imm32|api-ms-win-.*)\.dll$'
    local exe dll bad=0
    while IFS= read -r -d '' exe; do
        while read -r dll; do
            if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
                echo "$exe needs $dll beside it" >&2
                bad=1
            fi
        done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
    done < <(find "$1" -name '*.exe' -not -path '*prefix/*' -print0)
    return $bad
}

# Fresh Wine prefixes for every run: nothing left from an earlier one counts.
# Windows' windows need an X display under Wine; without one Xvfb serves.
run_windows_tests() {
    rm -rf build-windows/wine-prefix build-windows/wine-e2e-prefix build-windows/wine-remote-prefix
    if [ -n "${DISPLAY:-}" ]; then
        (windows_test_run)
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "set -euo pipefail; $(declare -p root);
            $(declare -f run_tests wine_prefix_servers windows_test_run); windows_test_run"
    fi
}

# The prefix that every test program of the Windows build runs in (CMake's
# emulator), and the end-to-end tests' own, which restart their server when
# they map a port and keep it alive the same way meanwhile.
wine_prefix_servers() {  # wine_prefix_servers start|stop
    local shared="$root/build-windows/wine-prefix"
    if [ "$1" = start ]; then
        "$root/tools/wine-run.sh" --prefix="$shared" cmd /c exit >/dev/null 2>&1
        WINEPREFIX="$shared" wineserver -w  # the one that made the prefix is gone
        WINEPREFIX="$shared" wineserver -p >/dev/null 2>&1
        # Wine's own services start with the first program and live as long
        # as the server, holding that program's output open: started here,
        # not by a test whose output CTest reads to the end.
        "$root/tools/wine-run.sh" --prefix="$shared" cmd /c exit >/dev/null 2>&1
        return
    fi
    local prefix
    for prefix in "$shared" "$root/build-windows/wine-e2e-prefix" "$root/build-windows/window-e2e/prefix"; do
        if [ -d "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; fi
    done
}

# One wineserver for the shared prefix, alive from before the first test to
# after the last: Wine ends an idle server a few seconds after its last
# program, and a test starting just then finds the server's socket closing
# ("recvmsg: Connection reset by peer"). Ended on every way out: tests
# failed, the run interrupted.
windows_test_run() {
    trap 'wine_prefix_servers stop' EXIT
    trap 'exit 130' INT TERM
    wine_prefix_servers start
    run_tests build-windows
}

run_tests() {  # run_tests DIR
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
}

# Tests the superuser passes for the wrong reason (it writes into read-only
# folders), run again as an unprivileged user when we are root, as in CI.
run_unprivileged_tests() {  # run_unprivileged_tests DIR
    [ "$(id -u)" -eq 0 ] || return 0
    local tmp out
    tmp=$(mktemp -d)
    chmod 755 "$tmp"
    install -m 755 "$1/tests/startup_tests" "$tmp/"
    echo "== read-only settings folder, as the user nobody"
    out=$(cd "$tmp" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        ./startup_tests --gtest_filter='SettingsFile.ReadOnly*' 2>&1) || { echo "$out"; rm -rf "$tmp"; return 1; }
    rm -rf "$tmp"
    if echo "$out" | grep -q SKIPPED || ! echo "$out" | grep -q '\[  PASSED  \] 1 test'; then
        echo "$out"
        return 1
    fi
    echo "$out" | tail -n 1
}

# The sanitizer build is the clang build: CI compiles the tree with both
# compilers (the normal build with g++) and no third time. Its fuzz targets
# come with it (every clang build has them).
build_sanitized() {
    build build-asan -DCMAKE_CXX_COMPILER=clang++ -DMIRVOK_SANITIZE=ON
}

run_fuzzers() {  # run_fuzzers DIR: every fuzz target of a clang build, for a bounded time
    local dir=$1
    local found=0
    for f in "$dir"/fuzz/*fuzz*; do
        [ -x "$f" ] || continue
        found=1
        local name corpus
        name=$(basename "$f")
        corpus=$(mktemp -d)
        cp -r "$root/tests/fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
        echo "fuzzing $name for ${MIRVOK_FUZZ_SECONDS:-45} s"
        "$f" -max_total_time="${MIRVOK_FUZZ_SECONDS:-45}" -timeout=5 -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
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
        echo "== formatting (.clang-format)"
        "$root/tools/check-format.sh"
        build_normal
        build_sanitized
        build_windows
        run_fuzzers build-asan
        echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
        run_tests build-asan
        echo "== Windows build under Wine"
        run_windows_tests
        echo "== normal build"
        run_tests build
        run_unprivileged_tests build
        echo "== Debian package: install, first start, removal"
        "$root/tools/package-test.sh" "$(package_deb)"
        ;;
    package)
        install_missing
        build_normal
        package_deb
        package_windows
        ;;
    windows)
        install_missing
        build_normal  # mirvok-sim for the end-to-end tests under Wine
        build_windows
        run_windows_tests
        ;;
    demo)
        install_missing
        build_normal
        exec "$root/tools/demo.sh" "$root/build" "$@"
        ;;
    *)
        echo "usage: $0 [demo|test|build|windows|package]" >&2
        exit 2
        ;;
esac
