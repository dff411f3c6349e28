# The helpers of the end-to-end stages (test-e2e-linux, test-e2e-wayland, test-storm, test-package,
# test-windows, test-web) and of the scripts that run the program on a virtual X server (run, measure-*,
# make-screenshots), defined here once. Sourced, not run; sources scripts/lib.sh and scripts/xvfb.sh itself.
# A stage that runs on a Wayland compositor sources scripts/wayland.sh after this file.
#
# Counting (each stage ends with "N passed, N failed" and a non-zero status on any failure)
#   case="..."; pass [FIGURES] | fail REASON    one line per case: "PASS  case (figures)", "FAIL  case: reason"
#   summary                                     the failed cases again, the $stage_note if any, then
#                                               "N passed, N failed" after the $stage_label if any; returns
#                                               non-zero when any failed: end the stage with it
#   abort_stage REASON                          fails $case, prints the summary and exits: nothing can follow
# Waiting (bounded waits on a condition; a fixed sleep only where the time is what is checked)
#   wait_until SECONDS COMMAND...               runs COMMAND every 50 ms until it succeeds
#   now_ms                                      the clock in milliseconds
# Processes
#   stop_process PID                            ends a process the script started: TERM, after 3 s KILL
#   in_event_loop PID                           the process sleeps in its wait for the next tick
#   status_field PID FIELD                      a number from /proc/PID/status (VmRSS, ...)
#   cpu_ns PID                                  the CPU time PID has run, in nanoseconds
# The program ($program, its pid in $pid, its stderr in $work/stderr)
#   program_or_build [PROGRAM]                  sets program: PROGRAM, or the release build, built here
#   start_program                               (xvfb.sh) starts it on X and waits for its window: sets pid, win
#   find_window PID [SECONDS]                   (xvfb.sh) waits for the visible window "Zarvo1" of PID
#   await_end SECONDS                           waits for it to end: sets status and gone_ms
#   stop_program                                ends it if it still runs
#   stderr_excerpt [FILE]                       the start of what it said (FILE, default $work/stderr), without
#                                               the protocol log WAYLAND_DEBUG adds; no_window: the case fails
#                                               on a window that did not show, with that excerpt
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
# The cases both window systems share (test-e2e-linux and test-e2e-wayland run them on their window)
#   shared_cases_first                          the picture changes; a Shift click; a left click
#   shared_cases_last                           other keys and the middle button; Escape, which ends it
# The X server (xvfb.sh): start_xvfb [WxH[xDEPTH]], stop_xvfb, snapshot WINDOW FILE, window_size WINDOW;
# Wayland compositors (wayland.sh): start_weston, stop_weston, on_weston, await_client_area, start_sway,
# stop_sway, on_sway.

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

# ---- waiting and processes --------------------------------------------------------------------------------

# now_ms: the clock, in milliseconds.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# wait_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds, for at most SECONDS (a
# fraction allowed); returns 1 when it never did. What the tests wait on instead of a fixed sleep: a
# condition, with a bound.
wait_until() {
  local deadline=$(($(now_ms) + $(awk -v s="$1" 'BEGIN {printf "%d", s * 1000}')))
  shift
  until "$@"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# stop_process PID: ends a process this script started: asks it to stop, and after 3 s forces it.
stop_process() {
  local pid=$1 i
  kill "$pid" 2>/dev/null || true
  for i in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# in_event_loop PID: succeeds while process PID sleeps in its wait for the next tick or event, as
# /proc/PID/wchan names the kernel function it sleeps in: poll (poll_schedule_timeout, do_sys_poll), the
# wait of both Linux hosts. Those are names, the same on every architecture, not system-call numbers. A
# round trip to the display server waits in poll too, but only for an instant: the wait must be seen on two
# readings 20 ms apart.
in_event_loop() {
  sleeps_waiting "$1" && sleep 0.02 && sleeps_waiting "$1"
}
sleeps_waiting() {
  local where
  # The file ends without a newline, so read would report a failure for the name it did read.
  where=$(cat "/proc/$1/wchan" 2>/dev/null) || return 1
  [[ ${where%%.*} =~ ^(poll_schedule_timeout|do_sys_poll|do_poll)$ ]]
}

# status_field PID FIELD: a field of /proc/PID/status (VmRSS, voluntary_ctxt_switches, ...), number only.
status_field() { awk -v f="$2:" '$1 == f {print $2}' "/proc/$1/status"; }
# cpu_ns PID: the CPU time the process has run so far, in nanoseconds (/proc/PID/schedstat).
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }

# ---- the program -------------------------------------------------------------------------------------------

# program_or_build [PROGRAM]: the program under test is PROGRAM; without one the release program is built
# (scripts/lib.sh) and used.
program_or_build() {
  program=${1:-}
  [ -n "$program" ] || { release_program; program=build/release/zarvo1; }
  [ -x "$program" ] || { echo "no program at $program"; exit 1; }
}

# await_end SECONDS: waits up to SECONDS, looking every 10 ms, for the program to end. Sets status (its exit
# status) and gone_ms (when it was seen gone, by now_ms); returns 1 if it is still running.
await_end() {
  gone_ms=
  local deadline=$(($(now_ms) + $1 * 1000))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.01
  done
  gone_ms=$(now_ms)
  wait "$pid"
  status=$?
  pid=
}

# stop_program: ends the program under test if it is still running, and forgets it.
stop_program() {
  [ -n "${pid:-}" ] || return 0
  stop_process "$pid"
  pid=
}

# stderr_excerpt [FILE]: the first 300 characters the program wrote to FILE (default $work/stderr), leaving
# out the protocol log that WAYLAND_DEBUG writes there (lines that start with its time stamp in brackets).
stderr_excerpt() {
  grep -aEv '^\[ *[0-9]+\.[0-9]+\] ' "${1:-$work/stderr}" | head -c 300
}
# no_window: the case fails because the program's window did not show; says what the program said.
no_window() { fail "no window showed; stderr: $(stderr_excerpt)"; }

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

# ---- the cases both window systems share -------------------------------------------------------------------

# Run on the program's window as the stage shows it: running ($pid), just opened (503 x 380, its picture
# through shot and its input through click_at, as the stage defines them), with the keyboard focus. The
# stage's own cases on the same window go between the two calls. Needs $work.

# shared_cases_first: the picture changes over time; a Shift click gives the trails a new colour; a left
# click scatters the chain and keeps the trails.
shared_cases_first() {
  case="the picture changes over time"
  shot "$work/t0.png"
  wait_until 1.5 shows_change "$work/t0.png" "$work/t1.png"
  if [ "$(differing "$work/t0.png" "$work/t1.png")" -gt 0 ]; then pass; else fail "no pixel changed in 1.5 s"; fi

  case="a Shift click gives the trails a new colour"
  local n k
  n=$(bright_trails)
  if [ "$n" -ge 3 ]; then pass; else fail "only $n bright pixels after three Shift clicks"; fi

  case="a left click scatters the chain and keeps the trails"
  shot "$work/before-left.png"
  click_at 1 100 100
  wait_until 5 shows_change "$work/before-left.png" "$work/after-left.png"  # a tick shown since the click
  k=$(kept "$work/before-left.png" "$work/after-left.png")
  if [ "$k" -ge 95 ]; then pass; else fail "only $k% of the trails are left"; fi
}

# shared_cases_last: other keys and the middle button do not end the program; Escape with modifiers ends it
# with status 0, and it reported nothing.
shared_cases_last() {
  case="other keys and the middle button do not end the program"
  xdotool key a space Return F1 ctrl+q alt+F4 ctrl+c shift+a Caps_Lock Caps_Lock
  click_at 2 50 50
  sleep 0.5  # still running half a second later: the time is what is checked
  if kill -0 "$pid" 2>/dev/null; then pass; else fail "the program ended"; fi

  case="Escape with modifiers ends the program with status 0, and it reported nothing"
  xdotool key ctrl+shift+Escape
  await_end 5 || status=running
  if [ "$status" = 0 ] && [ ! -s "$work/stderr" ]; then pass; else fail "status $status; stderr: $(stderr_excerpt)"; fi
}
