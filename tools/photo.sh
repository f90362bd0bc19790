# Sourced by run.sh and screenshots.sh (after xvfb.sh): photographs Tavro inside a Wine virtual
# desktop, where Wine draws the window frame, title bar and menu bar as Windows would.
#
#   tavro_photograph <output.png> <driver.exe> [driver arguments...]
#
# The driver (tests/tavro_demo.exe or the screenshot scenes) is started on the desktop with
# --ready-file R --wait-file D added; it prepares Tavro and writes R; the desktop window is
# then captured and D touched, so the driver closes Tavro. False when the driver failed.
tavro_desktop_name=Tavro
tavro_desktop_size=1024x768

tavro_desktop_window() {
  xwininfo -root -tree 2>/dev/null |
    awk -v name="\"$tavro_desktop_name - Wine desktop\"" 'index($0, name) { print $1; exit }'
}

tavro_photograph() {
  local shot=$1 driver=$2
  shift 2
  local ready done_file
  ready=$(mktemp -u "${TMPDIR:-/tmp}/tavro-ready.XXXXXX")
  done_file=$(mktemp -u "${TMPDIR:-/tmp}/tavro-done.XXXXXX")
  rm -f "$shot"
  local exe
  exe=$(winepath -w "$driver" 2>/dev/null) || exe=$driver
  wine explorer "/desktop=$tavro_desktop_name,$tavro_desktop_size" "$exe" \
    --ready-file "$ready" --wait-file "$done_file" "$@" &
  local pid=$! _
  for _ in $(seq 1 1800); do
    [ -f "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -f "$ready" ]; then
    echo "photo: $(basename "$driver") did not get Tavro ready" >&2
    touch "$done_file"; wait "$pid" 2>/dev/null || true
    rm -f "$ready" "$done_file"
    return 1
  fi
  sleep 0.5   # let the last paint reach the screen
  local window
  window=$(tavro_desktop_window)
  if [ -n "$window" ]; then
    import -window "$window" "$shot"
  else
    import -window root "$shot"
  fi
  touch "$done_file"
  # The desktop process stays while the driver ends Tavro; give it time, then go on.
  local i
  for i in $(seq 1 300); do
    [ -n "$(tavro_desktop_window)" ] || break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$ready" "$done_file"
  [ -s "$shot" ]
}
