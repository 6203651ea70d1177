#!/usr/bin/env bash
# Takes docs/screenshot.png: the server on a virtual desktop (Xvfb, openbox, tint2 as the tray),
# its window opened by a double-click on the tray icon, with the log lines of a few requests and a
# problem above them.
# Usage: tools/make-screenshot.sh [path of quillmarch-varo-server] [output png]
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/src/shell/quillmarch-varo-server}")
output=$(realpath -m "${2:-docs/screenshot.png}")
for tool in Xvfb openbox tint2 xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

source tools/virtual-desktop.sh
start_virtual_desktop "$work"

# A private home with two stored Totocalcio systems and the ports in the settings file.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
make_archive "$HOME/Documents"
settings="$XDG_CONFIG_HOME/Quillmarch/Quillmarch Varo Server"
mkdir -p "$settings"
# A mistyped [Accesso] Reti entry: a problem the message area shows above the log, while this
# computer's own requests are still answered.
printf '[Comunicazione]\nInPort=%s\nOutPort=%s\n[Accesso]\nReti=192.168.1.0/33\n' "$in_port" "$out_port" \
  >"$settings/QuillmarchvaroServer.ini"

"$program" >"$work/program.out" 2>"$work/program.err" &
pids+=($!)
icon_visible() { xdotool search --onlyvisible --class quillmarch-varo-server >"$work/icon" 2>/dev/null; }
wait_for 10 icon_visible
icon=$(head -n1 "$work/icon")
shoot_window "$icon" "$in_port" "$out_port" "$output"
