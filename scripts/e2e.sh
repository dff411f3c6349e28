# The helpers of the end-to-end stages (test-e2e-linux, test-e2e-wayland, test-storm, test-package,
# test-windows), defined here once. Sourced, not run; sources scripts/lib.sh and scripts/xvfb.sh itself. A
# stage that runs on weston sources scripts/wayland.sh after this file.
#
# Counting (each stage ends with "N passed, N failed" and a non-zero status on any failure)
#   case="..."; pass [FIGURES] | fail REASON    one line per case: "PASS  case (figures)", "FAIL  case: reason"
#   summary                                     the failed cases again, the $stage_note if any, then
#                                               "N passed, N failed" after the $stage_label if any; returns
#                                               non-zero when any failed: end the stage with it
#   abort_stage REASON                          fails $case, prints the summary and exits: nothing can follow
# Waiting (bounded waits on a condition; a fixed sleep only where the time is what is checked)
#   wait_until SECONDS COMMAND...               (xvfb.sh) runs COMMAND every 50 ms until it succeeds
#   now_ms                                      (xvfb.sh) the clock in milliseconds
#   in_event_loop PID                           (xvfb.sh) the process sleeps in its wait for the next tick
# The program ($program, its pid in $pid, its stderr in $work/stderr)
#   program_or_build [PROGRAM]                  sets program: PROGRAM, or the release build, built here
#   start_program                               (xvfb.sh) starts it and waits for its window: sets pid, win
#   find_window PID [SECONDS]                   (xvfb.sh) waits for the visible window "Zarvo1" of PID
#   await_end SECONDS                           (xvfb.sh) waits for it to end: sets status and gone_ms
#   stop_program                                ends it if it still runs; stop_process PID (xvfb.sh) ends any
# The picture: the X window $win, or the part $area (WIDTHxHEIGHT+X+Y) of it when set (a client area in
# weston's output); pictures are PNG files
#   shot FILE                                   saves the picture now
#   lit FILE [GEOMETRY] [LEVEL]                 pixels (within GEOMETRY) whose brightest channel is above LEVEL
#   kept BEFORE AFTER [GEOMETRY]                % of the pixels lit in BEFORE still lit in AFTER
#   differing A B                               pixels that differ (all of B's when the sizes differ)
#   shows_change BEFORE AFTER                   shoots AFTER; succeeds when it differs from BEFORE
#   shows_kept BEFORE AFTER OP PERCENT [GEOM]   shoots AFTER; succeeds when kept compares with PERCENT by OP
#   shows_lit FILE COUNT                        shoots FILE; succeeds when at least COUNT pixels are lit
#   bright_trails                               Shift-clicks until the trails are bright; prints how many
#   window_icons WINDOW, icon_words PNG         a window's icons and a PNG as "W H ARGB...", one a line
# Input (real: XTEST)
#   click_at BUTTON X Y [KEY...]                clicks at (X, Y) of the picture with KEYs held, then
#                                               pointer_away (nothing here; the weston stage's moves the
#                                               pointer off the picture, where weston draws it)
#   has_focus                                   $win has the keyboard focus
#   close_window WINDOW                         (xvfb.sh) the close request a window manager sends
# The X server (xvfb.sh): start_xvfb [WxH[xDEPTH]], stop_xvfb, snapshot WINDOW FILE, window_size WINDOW,
# status_field PID FIELD; weston (wayland.sh): start_weston, stop_weston, on_weston, await_client_area.

. "${BASH_SOURCE[0]%/*}/lib.sh"
. "${BASH_SOURCE[0]%/*}/xvfb.sh"

# ImageMagick's own convert, by its path: another one earlier on PATH may not be it.
CONVERT=/usr/bin/convert

# ---- counting ----------------------------------------------------------------------------------------------

passed=0
failed=0
failures=()
case=
stage_label=
stage_note=
pass() {
  passed=$((passed + 1))
  echo "PASS  $case${1:+ ($1)}"
}
fail() {
  failed=$((failed + 1))
  failures+=("$case: $*")
  echo "FAIL  $case: $*"
}
summary() {
  if [ "$failed" -ne 0 ]; then
    echo
    echo "failed:"
    printf '  %s\n' "${failures[@]}"
  fi
  [ -z "$stage_note" ] || printf '\nnote: %s\n' "$stage_note"
  echo
  echo "${stage_label:+$stage_label: }$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
abort_stage() {
  fail "$@"
  summary
  exit 1
}

# ---- the program -------------------------------------------------------------------------------------------

# program_or_build [PROGRAM]: the program under test is PROGRAM; without one the release program is built
# (scripts/lib.sh) and used.
program_or_build() {
  program=${1:-}
  [ -n "$program" ] || { release_program; program=build/release/zarvo1; }
  [ -x "$program" ] || { echo "no program at $program"; exit 1; }
}

# stop_program: ends the program under test if it is still running, and forgets it.
stop_program() {
  [ -n "${pid:-}" ] || return 0
  stop_process "$pid"
  pid=
}

# ---- the picture -------------------------------------------------------------------------------------------

shot() {
  if [ -n "${area:-}" ]; then
    snapshot "$win" "$1.whole.png" && "$CONVERT" "$1.whole.png" -crop "$area" +repage "png:$1"
    rm -f "$1.whole.png"
  else
    snapshot "$win" "$1"
  fi
}

# The pixels whose brightest channel is above LEVEL (0..255) as white, the others black, for the crop
# GEOMETRY when one is given.
lit_mask() {
  local crop=()
  [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
  "$CONVERT" "$1" "${crop[@]}" -separate -evaluate-sequence max \
    -threshold "$(awk -v l="${3:-0}" 'BEGIN {print l / 255 * 100}')%" "${@:4}"
}

lit() {
  lit_mask "$1" "${2:-}" "${3:-0}" -format '%[fx:round(mean*w*h)]' info:
}

kept() {
  local masks total both
  masks=$(mktemp -d)
  lit_mask "$1" "${3:-}" 0 "$masks/before.png"
  lit_mask "$2" "${3:-}" 0 "$masks/after.png"
  total=$("$CONVERT" "$masks/before.png" -format '%[fx:round(mean*w*h)]' info:)
  if [ "$total" -gt 0 ] && [ "$(identify -format '%wx%h' "$masks/before.png")" = "$(identify -format '%wx%h' "$masks/after.png")" ]; then
    both=$("$CONVERT" "$masks/before.png" "$masks/after.png" -compose multiply -composite -format '%[fx:round(mean*w*h)]' info:)
    echo $((100 * both / total))
  else
    echo 0
  fi
  rm -rf "$masks"
}

differing() {
  local a b
  a=$(identify -format '%wx%h' "$1") b=$(identify -format '%wx%h' "$2")
  if [ "$a" != "$b" ]; then
    echo $((${b%x*} * ${b#*x}))
  else
    compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'
  fi
}

shows_change() { shot "$2" && [ "$(differing "$1" "$2")" -gt 0 ]; }
shows_kept() { shot "$2" && test "$(kept "$1" "$2" "${5:-}")" "$3" "$4"; }
shows_lit() { shot "$1" && [ "$(lit "$1")" -ge "$2" ]; }

# bright_trails: Shift-clicks until the trails take a bright colour; prints the number of bright pixels. The
# target colour that the chain drifts to on its own stays dark for many seconds after a start, so bright
# pixels this soon come from the new colour. A new colour is now and then a dark one: hence up to three
# clicks. Each colour is given 3 s of trails, a fixed time: the cases after it count on trails that grew
# that long. Needs $work.
bright_trails() {
  local attempt n=0
  for attempt in 1 2 3; do
    click_at 1 250 190 shift
    sleep 3
    shot "$work/bright.png"
    n=$(lit "$work/bright.png" "" 100)
    [ "$n" -ge 3 ] && break
  done
  echo "$n"
}

window_icons() {
  xprop -notype -id "$1" 32c _NET_WM_ICON 2>/dev/null | sed 's/^[^=]*=//' | tr ',' '\n' | awk '
    $1 !~ /^[0-9]+$/ { next }
    left == 0 && w == "" { w = $1; line = $1; next }
    left == 0 { left = w * $1; line = line " " $1; if (left == 0) { print line; w = "" } next }
    { line = line " " $1; if (--left == 0) { print line; w = "" } }'
}
icon_words() {
  identify -format '%w %h' "png:$1"
  "$CONVERT" "png:$1" -depth 8 rgba:- | od -An -v -tu1 -w4 | awk '{printf " %.0f", $4 * 16777216 + $1 * 65536 + $2 * 256 + $3}'
  echo
}

# ---- input -------------------------------------------------------------------------------------------------

click_at() {
  local button=$1 x=$2 y=$3 k
  shift 3
  xdotool mousemove --window "$win" "$((${area_x:-0} + x))" "$((${area_y:-0} + y))"
  for k in "$@"; do xdotool keydown "$k"; done
  xdotool click "$button"
  for k in "$@"; do xdotool keyup "$k"; done
  pointer_away
}
# On X11 a shot of a window leaves the pointer out; a stage on weston, where it does not, redefines this.
pointer_away() { :; }

has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ]; }
