#!/usr/bin/env bash
# Installs what building, running and testing Tavro need, when something is missing.
# Debian packages only; apt-get runs once, after 'apt-get update'.
set -eu
need=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || need+=(cmake)
have make || need+=(make)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
have wine || need+=(wine)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have Xvfb || need+=(xvfb)
have xdpyinfo || need+=(x11-utils)
have import || need+=(imagemagick)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -n "$(fc-list 2>/dev/null | grep -i 'DejaVu Sans Mono')" ] || need+=(fonts-dejavu-core)
# The native sanitizer build and the fuzz targets: clang with its sanitizer runtimes and libFuzzer.
have clang++ || need+=(clang)
clang_major=$(clang++ -dumpversion 2>/dev/null | cut -d. -f1 || true)
[ -f "$(clang++ -print-resource-dir 2>/dev/null || true)/lib/linux/libclang_rt.fuzzer-x86_64.a" ] ||
  need+=("libclang-rt-${clang_major:-14}-dev")
have chromium || need+=(chromium)   # renders the help page in the tests
have zip || need+=(zip)             # make dist
have xwininfo || need+=(x11-utils)  # screenshots find the virtual desktop window
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi
