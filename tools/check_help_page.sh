#!/usr/bin/env bash
# Renders the help page beside the program in headless Chromium: the picture must not be blank
# and the page's text must hold its section titles. Run by CTest: check_help_page.sh <build>
# Skips (exit 0) only when Chromium is missing and cannot be installed here.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${TAVRO_BUILD:-$root/build}}
page="$build/bin/tavro.html"
[ -f "$page" ] || { echo "help page: $page is missing" >&2; exit 1; }

browser=""
find_browser() {
  local b
  for b in chromium chromium-browser; do
    if command -v "$b" >/dev/null 2>&1; then browser=$b; return 0; fi
  done
  return 1
}
if ! find_browser; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  if { [ -z "$sudo" ] || command -v sudo >/dev/null 2>&1; } &&
     $sudo apt-get install -y -q --no-install-recommends chromium >/dev/null 2>&1 && find_browser; then
    :
  else
    echo "help page: skipped, chromium is not installed and cannot be installed"
    exit 0
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No sandbox: CTest may run as root; a profile of its own so no running browser is disturbed.
flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-extensions
       --user-data-dir="$work/profile" --hide-scrollbars --window-size=1024,1400
       --run-all-compositor-stages-before-draw --virtual-time-budget=3000)
url="file://$page"

timeout 120 "$browser" "${flags[@]}" --dump-dom "$url" >"$work/dom.html" 2>"$work/dom.err"
if [ ! -s "$work/dom.html" ]; then
  echo "help page: chromium produced no DOM" >&2; cat "$work/dom.err" >&2; exit 1
fi
missing=0
for title in "Tavro Help" "Running Tavro on Windows" "Running Tavro under Wine" "Command line" \
             "Keys of the input line" "Keys of the output pane" "Command history" "Name completion" \
             "Paging and pausing output" "Command lists and macros" "Slash commands" "Menus" \
             "Settings" "Files beside the program" \
             "TabWidth" "WordDelims" "HigherProirity" "CmdAndQuit" "pipecmd.exe" "Lucida Console" \
             "Edit Macros..." "Pipe output thru" "/?" "between the left and the right edge"; do
  if ! grep -qF -- "$title" "$work/dom.html"; then echo "help page: missing \"$title\"" >&2; missing=1; fi
done
# No scripts: the page must read the same with them off.
if grep -qi '<script' "$page"; then echo "help page: holds a script" >&2; missing=1; fi

timeout 120 "$browser" "${flags[@]}" --screenshot="$work/page.png" "$url" >/dev/null 2>"$work/shot.err"
if [ ! -s "$work/page.png" ]; then
  echo "help page: chromium produced no picture" >&2; cat "$work/shot.err" >&2; exit 1
fi
# A rendered page has text on its background: many colours and a spread of lightness.
colours=$(convert "$work/page.png" -format '%k' info: 2>/dev/null || echo 0)
spread=$(convert "$work/page.png" -colorspace Gray -format '%[fx:standard_deviation*1000]' info: 2>/dev/null || echo 0)
spread=${spread%.*}
echo "help page: $colours colours, lightness spread $spread"
if [ "${colours:-0}" -lt 50 ] || [ "${spread:-0}" -lt 20 ]; then
  echo "help page: the rendered page looks blank" >&2; missing=1
fi
if [ -n "${TAVRO_HELP_SHOT:-}" ]; then cp "$work/page.png" "$TAVRO_HELP_SHOT"; fi
[ "$missing" = 0 ] && echo "help page: ok"
exit "$missing"
