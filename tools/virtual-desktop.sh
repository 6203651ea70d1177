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

# Makes the game folders below the Documents folder $1 with two stored Totocalcio systems, and sets
# in_port and out_port to two UDP ports that were free a moment ago.
make_archive() {
  local archive="$1/Quillmarch/Quillmarch Varo Server"
  mkdir -p "$archive/Totocalcio" "$archive/Totogol"
  read -r in_port out_port < <(python3 -c '
import socket
s = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
  python3 - "$archive/Totocalcio" <<'PY'
import sys
folder = sys.argv[1]
# Columns of 14 sign bytes: 1 = "1", 2 = "X", 4 = "2"; a few doubles and triples.
columns = [bytes([1, 2, 4, 3, 1, 1, 2, 4, 1, 2, 7, 1, 4, 2])] * 3
open(folder + "/Domenica.tcl.101", "wb").write(b"".join(columns))
open(folder + "/Sistema ridotto.tcl.102", "wb").write(bytes([1, 2, 4, 1, 2, 4, 1, 2, 4, 1, 2, 4, 1, 2]) * 70)
PY
}

# Whether the main window is on screen; its id goes to $work/window.
window_shown() {
  xdotool search --onlyvisible --name '^Quillmarch Varo Server 1\.15$' >"$work/window" 2>/dev/null
}

# Double-clicks the tray icon window $1, waits for the main window, sends a few requests to the
# input port $2 with replies at the output port $3, and takes the window into the picture $4.
shoot_window() {
  local icon=$1 in_port=$2 out_port=$3 output=$4 window
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click --repeat 2 --delay 80 1
  wait_for 10 window_shown
  window=$(head -n1 "$work/window")
  xdotool mousemove 0 0  # no tip over the picture

  # A list of each game, the summary and first ticket of one system, and a delete of a missing code.
  python3 - "$in_port" "$out_port" <<'PY'
import socket, struct, sys
in_port, out_port = int(sys.argv[1]), int(sys.argv[2])
replies = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
replies.bind(("127.0.0.1", out_port))
replies.settimeout(10)
client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
def ask(command, sub, payload):
    header = bytes(8) + struct.pack(">HH", len(payload), 0) + bytes(8) + struct.pack(">HB", command, sub)
    client.sendto(header + payload, ("127.0.0.1", in_port))
    replies.recv(9000)
ask(510, 1, bytes([1, 0, 1, 0, 62]))       # list Totocalcio, positions 1 to 62
ask(510, 1, bytes([2, 0, 1, 0, 62]))       # list Totogol
ask(520, 1, bytes([0, 0, 0, 101]))         # summary of code 101
ask(520, 2, bytes([0, 0, 0, 102, 0, 1]))   # ticket 1 of code 102
ask(510, 2, bytes([1, 0, 0, 0, 99]))       # delete code 99, which does not exist
PY
  sleep 1
  mkdir -p "$(dirname "$output")"
  import -frame -window "$window" "$output"
  echo "written: $output"
}
