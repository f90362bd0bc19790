#!/usr/bin/env bash
# Builds the download for Windows users: a zip with the 64-bit and the 32-bit program, each
# beside its environment batch file and help page, and a short read-me.
#   tools/dist.sh            ->  <build>/dist/tavro-<version>-windows.zip
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
: "${TAVRO_BUILD:=$root/build}"
"$root/tools/build.sh" x86_64 "$TAVRO_BUILD"
"$root/tools/build.sh" i686 "$TAVRO_BUILD/i686"

version_part() { sed -n "s/^#define TAVRO_VERSION_$1 \([0-9]*\)$/\1/p" "$root/src/app/version.h"; }
version="$(version_part MAJOR).$(version_part MINOR)"
[[ $version =~ ^[0-9]+\.[0-9]+$ ]] || { echo "dist: no version in src/app/version.h" >&2; exit 1; }
name="tavro-$version-windows"
out="$TAVRO_BUILD/dist"
stage="$out/$name"
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage"

# Tavro looks for tavro.html and tavroEnv.bat beside tavro.exe: each folder is complete.
for arch in x86_64 i686; do
  bin="$TAVRO_BUILD/bin"
  [ "$arch" = i686 ] && bin="$TAVRO_BUILD/i686/bin"
  mkdir -p "$stage/$arch"
  for f in tavro.exe tavroEnv.bat tavro.html; do
    [ -f "$bin/$f" ] || { echo "dist: $bin/$f is missing" >&2; exit 1; }
    cp "$bin/$f" "$stage/$arch/"
  done
done

# The read-me in Windows line ends, so Notepad shows it right.
sed 's/$/\r/' > "$stage/README.txt" <<EOF
Tavro $version - Better Command Shell (CMD) with support for ^C and ^V

Tavro is a window in front of the Windows command processor, cmd.exe: an output
pane whose text you can select and copy, and an input line with the console's
editing keys, history, name completion and macros.

Which folder
  x86_64\\   64-bit Windows
  i686\\     32-bit Windows (also runs on 64-bit Windows)

Installing
  Copy one folder where you like, for example to "C:\\Tools\\Tavro", and start
  tavro.exe. Nothing else is needed. The folder must be writable: Tavro keeps
  its settings (tavro.ini), command lists and macros (tavro.ing) and logs
  (tavro.log, tavro.err) beside the program.

  Keep tavro.html (the help, opened by Help > Help...) and tavroEnv.bat (used by
  Edit > Sync Environments, Ctrl+E) beside tavro.exe.

First start
  Tavro prints a short notice. Nothing is saved until you press Enter in the
  input line at the bottom of the window.

Help
  Open tavro.html in any browser for every key, menu, slash command and setting.
  Help > Function Keys... prints a summary of the function keys in the window.
EOF

(cd "$out" && rm -f "$name.zip" && zip -q -X -r "$name.zip" "$name")
echo "dist: $out/$name.zip"
unzip -l "$out/$name.zip"
