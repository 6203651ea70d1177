#!/usr/bin/env bash
# Takes docs/screenshot-windows.png: the Windows server under Wine on a virtual desktop (Xvfb,
# openbox, tint2 as the tray), its window opened by a double-click on the tray icon, with the log
# lines of a few requests and a problem above them.
# Usage: tools/make-screenshot-windows.sh [path of quillmarch-varo-server.exe] [output png]
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/windows/src/shell/quillmarch-varo-server.exe}")
output=$(realpath -m "${2:-docs/screenshot-windows.png}")
for tool in Xvfb openbox tint2 xdotool xwininfo import python3 wine wineserver; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# Wine's server ends the prefix's programs.
end_first() { wineserver -k </dev/null >/dev/null 2>&1 || true; }
source tools/virtual-desktop.sh
# A Wine prefix of its own, with a home that its user folders link to; no Mono or Gecko.
export WINEPREFIX="$work/prefix" HOME="$work/home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine spells Unix file names in the locale's character set: ASCII where no LANG is set.
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX" "$HOME"
start_virtual_desktop "$work"

# Wine's services first, away from any terminal, or the program waits for them.
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
user=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 ! -name Public -printf '%f\n' | head -n1)
profile="$WINEPREFIX/drive_c/users/$user"

# Documents a folder of its own with two stored Totocalcio systems; the ports in the settings file.
rm -f "$profile/Documents"
make_archive "$profile/Documents"
settings="$profile/AppData/Roaming/Quillmarch/Quillmarch Varo Server"
mkdir -p "$settings"
# A mistyped [Accesso] Reti entry: a problem the message area shows above the log, while this
# computer's own requests are still answered.
printf '[Comunicazione]\r\nInPort=%s\r\nOutPort=%s\r\n[Accesso]\r\nReti=192.168.1.0/33\r\n' "$in_port" "$out_port" \
  >"$settings/QuillmarchvaroServer.ini"

wine "$program" </dev/null >"$work/program.out" 2>"$work/program.err" &
pids+=($!)
# The icon is Wine's explorer window docked in the panel; its other windows hang from the root.
icon_docked() {
  local window
  for window in $(xdotool search --onlyvisible --classname 'explorer\.exe' 2>/dev/null); do
    if ! xwininfo -children -id "$window" | grep -q 'Parent window id: .*(the root window)'; then
      echo "$window" >"$work/icon"
      return 0
    fi
  done
  return 1
}
wait_for 60 icon_docked
icon=$(head -n1 "$work/icon")
shoot_window "$icon" "$in_port" "$out_port" "$output"
