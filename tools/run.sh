#!/usr/bin/env bash
# Starts Tavro under Wine. With a DISPLAY the window opens there; without one a private Xvfb
# is started, a short demonstration is typed into Tavro, a screenshot is saved and Tavro closed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/xvfb.sh"
bin="$TAVRO_BUILD/bin"
headless=0
[ -n "${DISPLAY:-}" ] || headless=1
trap tavro_cleanup EXIT
[ "$headless" = 1 ] && tavro_start_xvfb
tavro_wine_prefix

# Under Wine the slave is the project's line-mode command processor.
if [ ! -f "$bin/tavro.ini" ]; then
  printf '[Misc]\r\nApp=%s\r\n' "$(winepath -w "$bin/pipecmd.exe" 2>/dev/null)" > "$bin/tavro.ini"
fi

if [ "$headless" = 0 ]; then
  cd "$bin"
  wine tavro.exe "$@"
  exit 0
fi

# Headless: the demo starts Tavro on a Wine virtual desktop, so the picture shows the whole
# window with its frame, title bar and menu bar; it types a few commands and waits for us.
. "$root/tools/photo.sh"
shot="$TAVRO_BUILD/tavro-demo.png"
if ! tavro_photograph "$shot" "$TAVRO_BUILD/tests/tavro_demo.exe"; then
  echo "run: no screenshot" >&2
  exit 1
fi
echo "Screenshot of Tavro: $shot"
