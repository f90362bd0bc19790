#!/usr/bin/env bash
# Regenerates the pictures in docs/: Tavro under Wine on a private Xvfb, each picture the whole
# window on a Wine virtual desktop. Needs the x86_64 build (make build).
#   docs/tavro-command.png  a command with its output and an error line in the error colour
#   docs/tavro-history.png  the F7 menu of previous commands
#   docs/tavro-paging.png   Tavro's own pager waiting after a page
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/xvfb.sh"
docs="$root/docs"
tests="$TAVRO_BUILD/tests"
for f in "$TAVRO_BUILD/bin/tavro.exe" "$TAVRO_BUILD/bin/pipecmd.exe" "$root/tests/e2e/harness.cpp"; do
  [ -f "$f" ] || { echo "screenshots: $f is missing; build first (make build)" >&2; exit 1; }
done

# The scene driver uses the end-to-end harness; it is built here, beside the tests, where the
# harness looks for the programs.
driver="$tests/tavro_scenes.exe"
sources=("$root/tools/screenshots/scenes.cpp" "$root/tests/e2e/harness.cpp" "$root/tests/e2e/harness_text.cpp")
stale=0
[ -f "$driver" ] || stale=1
for s in "${sources[@]}" "$root/tests/e2e/harness.h" "$root/tests/e2e/harness_text.h"; do
  [ "$s" -nt "$driver" ] && stale=1
done
if [ "$stale" = 1 ]; then
  echo "screenshots: building $(basename "$driver")"
  mkdir -p "$tests"
  x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -fno-exceptions \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 \
    -I"$root/tests/e2e" "${sources[@]}" -o "$driver" \
    -static -static-libgcc -static-libstdc++ -luser32 -lkernel32
fi

trap tavro_cleanup EXIT
tavro_start_xvfb
tavro_wine_prefix
. "$root/tools/photo.sh"
tavro_desktop_size=960x660   # the scenes' window with a margin
mkdir -p "$docs"
failed=0
for scene in command history paging; do
  shot="$docs/tavro-$scene.png"
  if tavro_photograph "$shot" "$driver" --scene "$scene"; then
    echo "screenshots: $shot"
  else
    echo "screenshots: the $scene picture failed" >&2
    failed=1
  fi
  wineserver -w   # the next scene starts on a fresh desktop
done
exit "$failed"
