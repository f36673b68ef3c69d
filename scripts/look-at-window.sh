#!/usr/bin/env bash
# Looks at the real program on a real X display, as an operator would: Xvfb
# and openbox in a private network namespace with the device lab, the
# program driven with xdotool, one screenshot per step.
#
#   bash scripts/look-at-window.sh OUTDIR [DISPLAY]      (DISPLAY default :32)
#
# The walk runs twice, once with each shipped language: search, double-click,
# login, choose a patch, update to the end and the reboot, search and log in
# again, the console and the access code, every page, the tutorial, and in
# English a switch to Chinese from the console. Pictures land in OUTDIR as
# NN-<lang>-<step>.png (the window only, or the dialog the step opened).
# Needs: xvfb openbox xdotool imagemagick, and a built build/bin.
# Exits non-zero when the display, the lab or the program did not start, or
# when a step did not go as the walk expects (each is told on stderr).
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${TOVARIN_IN_NETNS:-}" != 1 ]; then
  exec bash "$root/scripts/netns-run.sh" bash "$0" "$@"
fi
out="${1:?usage: look-at-window.sh OUTDIR [DISPLAY]}"
display="${2:-:32}"
bin="$root/build/bin"
source "$root/scripts/lab.sh"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
problems=0
problem() {
  echo "$*" >&2
  problems=$((problems + 1))
}

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if ! xdpyinfo >/dev/null 2>&1; then
  echo "Xvfb did not start on $display:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
if ! kill -0 "${pids[-1]}" 2>/dev/null; then
  echo "openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

n=0
lang=en
win=""
# One picture of a window: the main window with its title bar, or a dialog.
shot() {  # shot STEP [WINDOW]
  local w="${2:-$win}"
  n=$((n + 1))
  local file
  file="$(printf '%s/%02d-%s-%s.png' "$out" "$n" "$lang" "$1")"
  import -frame -window "$w" "$file" 2>/dev/null || import -window "$w" "$file"
  echo "$file"
}
# Clicks at a point of the main window's client area.
click() { xdotool mousemove --window "$win" "$1" "$2" click "${3:-1}"; sleep "${4:-0.6}"; }
dblclick() { xdotool mousemove --window "$win" "$1" "$2" click --repeat 2 --delay 80 1; sleep 0.8; }
# The program's boxes and dialogs, by their titles (Qt's in either language).
dialogs='^(Tovarin|Asking|Warning|Error|Open|打开|请选择目录|询问|警告)$'
# Waits up to $1 seconds for one of them to come up; prints its id.
wait_dialog() {
  local a
  for _ in $(seq $(($1 * 5))); do
    a="$(xdotool search --onlyvisible --name "$dialogs" 2>/dev/null | grep -vx "$win" | tail -1)"
    if [ -n "$a" ]; then
      xdotool windowactivate --sync "$a" 2>/dev/null
      sleep 0.4
      echo "$a"
      return 0
    fi
    sleep 0.2
  done
  return 1
}
# Types a file's path into the file dialog that is up and opens it.
choose_file() {  # choose_file PATH [STEP]
  local d
  d="$(wait_dialog 5)" || { problem "no file dialog"; return 1; }
  [ -n "${2:-}" ] && shot "$2" "$d"
  xdotool key ctrl+a
  xdotool type --delay 15 "$1"
  xdotool key Return
  sleep 1
}
# Shoots and answers (Enter) each box that comes up, at most $2 of them.
answer_boxes() {  # answer_boxes STEP COUNT SECONDS
  local d i
  for i in $(seq "$2"); do
    d="$(wait_dialog "$3")" || return 0
    shot "$1" "$d"
    xdotool key Return
    sleep 0.8
  done
}
# Shoots the dialog that is up and answers it with Enter (its default button).
answer_dialog() {  # answer_dialog STEP SECONDS
  local d
  d="$(wait_dialog "$2")" || { problem "no dialog for $1"; return 1; }
  shot "$1" "$d"
  xdotool key Return
  sleep 0.8
}
console() {  # console COMMAND: shows the console, runs COMMAND, stays shown
  # Ctrl+` opens it wherever the focus is (a backtick in a field is text).
  xdotool key ctrl+grave
  sleep 0.4
  xdotool key ctrl+a BackSpace
  xdotool type --delay 40 "$1"
  sleep 0.3
  xdotool key Return
  sleep 0.8
}

# The page tabs lie along the top of the pages (client y 12), left to right:
# file page, firmware, Options, patch maker. Their widths follow the captions.
declare -A tab_en=([files]=50 [update]=130 [options]=215 [patchmaker]=300)
declare -A tab_zh=([files]=55 [update]=125 [options]=185 [patchmaker]=250)
tab() {
  local -n xs="tab_$lang"
  click "${xs[$1]}" 12
}

# Logs in to the first camera (CAM0001A, 127.0.0.2) from the open panel.
login_first() {
  dblclick 520 45
  click 321 229
  xdotool key ctrl+a
  xdotool type --delay 20 127.0.0.2
  click 316 290 1 2
}

walk() {  # walk en|zh
  lang="$1"
  local app="$work/app-$lang"
  mkdir -p "$app"
  cp -r "$bin/tovarin" "$bin/libkestrum.so" "$bin/liblorvex.so" "$bin/language" "$bin/help" "$app/"
  local name=English
  [ "$lang" = zh ] && name="简体中文"
  sed -i "s/^language=.*/language=$name/" "$app/language/language.ext"

  start_lab "$work/lab-$lang.log" --world "$bin/world/lab.ini" || exit 1
  local lab=$LAB_PID
  pids+=($lab)

  (cd "$app" && exec ./tovarin) >"$work/tovarin-$lang.log" 2>&1 &
  local prog=$!
  pids+=($prog)
  win=""
  for _ in $(seq 100); do
    win="$(xdotool search --onlyvisible --name '^Tovarin' 2>/dev/null | head -1)"
    [ -n "$win" ] && break
    kill -0 "$prog" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$win" ]; then
    echo "the program's window did not come up:" >&2
    cat "$work/tovarin-$lang.log" >&2
    exit 1
  fi
  xdotool windowactivate --sync "$win" 2>/dev/null
  sleep 2.5
  shot search

  # The first camera of the list fills the login fields.
  dblclick 520 45
  shot double-click
  click 316 290 1 1.5
  shot login

  # The patch area opens Qt's file dialog.
  click 168 122 1 1.5
  choose_file "$bin/world/patches/47RKT2011.patch" file-dialog
  xdotool mousemove --window "$win" 400 300
  sleep 0.6
  shot patch-chosen
  # Hover unfolds the help memo. FirmwareUpdate asks for the patch again,
  # then the question; the run ends with the reboot's message.
  xdotool mousemove --window "$win" 64 251
  sleep 1
  shot update-help
  click 64 251 1 0.2
  choose_file "$bin/world/patches/47RKT2011.patch"
  answer_dialog update-question 5
  sleep 1.5
  shot updating
  answer_boxes reboot-message 3 60
  shot rebooted
  # The camera is back after its reboot time; search and log in again.
  sleep 3
  click 555 325 1 3
  shot search-again
  login_first

  # A failure tip in red: a patch for the other hardware is refused.
  click 168 122 1 1.5
  choose_file "$bin/world/patches/52HQX3002.patch"
  click 64 251 1 0.2
  choose_file "$bin/world/patches/52HQX3002.patch"
  answer_dialog refused-question 5
  sleep 3
  answer_boxes refused-box 2 3
  xdotool mousemove --window "$win" 400 300
  sleep 0.4
  shot update

  # The console and the access code; Enter in the console keeps the focus.
  console qelvomtr
  shot console
  xdotool key grave
  sleep 0.6
  shot console-hidden
  # Log in again so the file page lists the camera's storage.
  click 8 240 1 1
  login_first
  tab files
  sleep 1
  shot files
  tab options
  shot options
  tab patchmaker
  shot patchmaker
  tab update
  shot update-page
  # The tutorial, from the unfolded login panel.
  click 8 240 1 1
  click 562 447 1 1.5
  local tutor
  tutor="$(xdotool search --onlyvisible --name '^Tutor_Form' | head -1)"
  # It fades in; then it is dragged fully onto the screen for the picture.
  sleep 2
  [ -n "$tutor" ] && xdotool windowmove "$tutor" 40 40 && sleep 0.5
  [ -n "$tutor" ] && shot tutorial "$tutor"
  [ -n "$tutor" ] && xdotool key --window "$tutor" Escape
  xdotool windowactivate --sync "$win" 2>/dev/null
  sleep 0.5

  if [ "$lang" = en ]; then
    # The language switched at run time, Qt's own texts included.
    console "language:chinese"
    xdotool key grave
    sleep 0.5
    shot switched-login
    lang=zh
    click 8 240 1 1
    tab options
    shot switched-options
    click 560 40 1 1.5
    if d="$(wait_dialog 5)"; then
      shot switched-folder-browser "$d"
      xdotool key Escape
      sleep 0.6
    fi
    lang=en
  fi

  # Closing from the title bar's close box (its right end) ends the program.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove --window "$win" $((WIDTH - 9)) -11 click 1
  sleep 2
  if kill -0 "$prog" 2>/dev/null; then
    problem "the close box did not close the program"
  else
    echo "closed from the title bar"
  fi
  kill "$prog" "$lab" 2>/dev/null
  wait "$prog" "$lab" 2>/dev/null
}

walk en
walk zh
echo "pictures in $out"
if [ "$problems" -gt 0 ]; then
  echo "$problems step(s) did not go as expected" >&2
  exit 1
fi
