#!/usr/bin/env bash
# Tavelin on a Debian machine: installs what is missing, builds, then runs the program or the tests.
#   ./tavelin.sh run    builds Tavelin.exe alone and starts it under Wine (on a virtual screen when
#                       there is no display: a screenshot of the main window is saved, then it is
#                       closed)
#   ./tavelin.sh test   builds and runs every test, natively and under Wine (each fuzz target for
#                       20 s among them)
#   ./tavelin.sh fuzz [seconds]  builds the fuzz targets and runs each for that long (300 s unless
#                       told), one after the other; what they find is in build/fuzz/artifacts/
#   ./tavelin.sh properties [runs]  builds the native tests and tries the run's properties with
#                       that many random sequences each (5000 unless told; the test command tries 6000 from one seed)
#   ./tavelin.sh package  builds Tavelin.exe if needed, then its Windows Installer package
#                       dist/Tavelin-<version>.msi and the portable dist/Tavelin-<version>.zip
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)

packages=(g++ cmake ninja-build googletest g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          binutils-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 wine64 xvfb xauth xdotool
          imagemagick fonts-liberation fonts-wine x11-utils xserver-xephyr
          libxinerama1:i386 librapidcheck-dev clang libclang-rt-dev)
# Making the packages (wixl, msibuild, zip) and trying them in the tests (msiinfo, unzip).
package_tools=(wixl msitools zip unzip)

. "$top/scripts/install-packages.sh"

build() {
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$top/build"
}

# Only what running needs: Tavelin.exe, in the same directory and with the same settings as the
# cross build that "test" drives, which builds every test and the sanitizer builds besides.
build_program() {
  cmake -S "$top" -B "$top/build/win" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$top/build/win" --target Tavelin
}

run() {
  . "$top/scripts/wine-env.sh"
  export WINEPREFIX=${WINEPREFIX:-$top/build/wine-run}
  local exe=$top/build/win/Tavelin.exe
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    [ -f "$WINEPREFIX/user.reg" ] || "$top/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null
    wine_caption_font
    exec wine "$exe"
  fi
  "$top/scripts/screenshot-main.sh" "$exe" "$top/build/screenshots/main-window.png"
}

package() {
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$top/build" --target windows
  "$top/packaging/make-packages.sh" "$top/build/win" "$top/dist"
}

# Each fuzz target for longer, from its seeds and what earlier runs found (build/fuzz/corpus/).
fuzz() {
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$top/build" --target fuzz
  local t name status=0
  for t in "$top"/tests/fuzz/*.cpp; do
    name=$(basename "$t" .cpp)
    "$top/scripts/fuzz-run.sh" "$top/build/fuzz/$name" "$top/tests/fuzz/$name" "$1" || status=1
  done
  return $status
}

case "${1:-}" in
  run) install_packages "${packages[@]}"; build_program; run ;;
  test) install_packages "${packages[@]}" "${package_tools[@]}"; build; cd "$top/build"
        status=0
        ctest --output-on-failure -j2 -E '^fuzz\.' || status=$?
        # The fuzz targets two at a time (each takes one core), verbosely: the log shows each
        # one's closing line, under its test number.
        ctest --output-on-failure -V -j2 -R '^fuzz\.' || status=$?
        exit $status ;;
  package) install_packages "${packages[@]}" "${package_tools[@]}"; package ;;
  fuzz) install_packages "${packages[@]}"; fuzz "${2:-300}" ;;
  properties) install_packages "${packages[@]}"
              cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
              cmake --build "$top/build" --target tavelin_host_tests
              RC_PARAMS="max_success=${2:-5000}" "$top/build/tavelin_host_tests" --gtest_filter='RunSession.*' ;;
  *) echo "usage: $0 run|test|package|fuzz [seconds]|properties [runs]" >&2; exit 2 ;;
esac
