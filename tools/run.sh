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

# Headless: the demo starts Tavro, types a few commands and waits; we take the picture.
shot="$TAVRO_BUILD/tavro-demo.png"
ready="$TAVRO_BUILD/demo.ready"
done_file="$TAVRO_BUILD/demo.done"
rm -f "$ready" "$done_file" "$shot"
"$root/tools/wine-exec.sh" "$TAVRO_BUILD/tests/tavro_demo.exe" --ready-file "$ready" --wait-file "$done_file" &
demo=$!
for _ in $(seq 1 1200); do
  [ -f "$ready" ] && break
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.1
done
if [ ! -f "$ready" ]; then
  echo "run: the demo did not get Tavro ready" >&2
  touch "$done_file"; wait "$demo" || true
  exit 1
fi
import -window root "$shot"
touch "$done_file"
wait "$demo" || true
echo "Screenshot of Tavro: $shot"
