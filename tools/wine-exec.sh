#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix; CTest uses it as the emulator.
# The caller (tools/test.sh, tools/run.sh) starts Xvfb and exports DISPLAY.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${TAVRO_BUILD:=$here/build}"
: "${WINEPREFIX:=$TAVRO_BUILD/wineprefix}"
export WINEPREFIX
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
