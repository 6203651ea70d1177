#!/usr/bin/env bash
# Sourced by the screenshot scripts: a virtual desktop (Xvfb, openbox, tint2 as the tray) and the
# ending of everything they start. Sourcing makes a work folder, $work, and an EXIT trap that
# calls the caller's end_first if it defines one, ends every process in pids and removes $work.
if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  echo "to be sourced by a screenshot script" >&2
  exit 1
fi

work=$(mktemp -d)
pids=()
cleanup() {
  # What the caller must end while the desktop is still there, such as Wine's server.
  if declare -F end_first >/dev/null; then end_first; fi
  # Every process started here is ended by its own id.
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  echo "timed out: $*" >&2
  return 1
}

# Starts the desktop with its logs in folder $1, exports DISPLAY and returns once the tray is up.
start_virtual_desktop() {
  local logs=$1
  Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp 3>"$logs/display" 2>"$logs/xvfb.err" &
  pids+=($!)
  wait_for 10 test -s "$logs/display"
  DISPLAY=":$(head -n1 "$logs/display")"
  export DISPLAY
  openbox >"$logs/openbox.log" 2>&1 &
  pids+=($!)
  tint2 -c /etc/xdg/tint2/tint2rc >"$logs/tint2.log" 2>&1 &
  pids+=($!)
  wait_for 10 grep -q "systray started" "$logs/tint2.log"
  sleep 1
}
