# Sourced by the scripts: starts a private Xvfb unless told to use an existing DISPLAY,
# and a project-local Wine prefix. Everything started here is stopped by tavro_cleanup.
tavro_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${TAVRO_BUILD:=$tavro_root/build}"
export TAVRO_BUILD
export WINEPREFIX="${WINEPREFIX:-$TAVRO_BUILD/wineprefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
tavro_xvfb_pid=""

tavro_start_xvfb() {
  local n
  for n in $(seq 91 140); do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    tavro_xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then export DISPLAY=":$n"; return 0; fi
      kill -0 "$tavro_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$tavro_xvfb_pid" 2>/dev/null; tavro_xvfb_pid=""
  done
  echo "xvfb: could not start a display" >&2
  return 1
}

tavro_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  tavro_wine_fonts
}

# Wine has no "Lucida Console", Tavro's default face; without a replacement Wine falls back to
# a proportional font. Map it to a fixed-pitch font from Debian's packages, once per prefix.
tavro_wine_fonts() {
  local marker="$WINEPREFIX/.tavro-fonts-1"
  [ -f "$marker" ] && return 0
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Lucida Console" /t REG_SZ \
    /d "DejaVu Sans Mono" /f >/dev/null 2>&1 || { echo "wine: could not map Lucida Console" >&2; return 0; }
  wineserver -w
  touch "$marker"
}

tavro_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$tavro_xvfb_pid" ]; then kill "$tavro_xvfb_pid" 2>/dev/null || true; wait "$tavro_xvfb_pid" 2>/dev/null || true; fi
}
