# Shell helpers for running the program on a real Wayland compositor: weston nested in Xvfb (its x11
# backend draws its output into an X window, and XTEST input on the outer X server reaches the program
# through it), or weston's headless backend; sway on its x11 backend. Sourced after scripts/e2e.sh.

# The compositor, a cursor theme (without one weston draws the pointer as a black square, which the
# pictures would take for part of the client area) and the X side.
WAYLAND_PACKAGES=(weston adwaita-icon-theme "${XVFB_PACKAGES[@]}")

# start_weston BACKEND [WIDTHxHEIGHT] [SCALE]: starts weston on a socket of its own in a fresh XDG_RUNTIME_DIR
# (mode 0700) with a plain background, no panel and no animations, rendering in software (pixman). For the
# x11 backend the output window is WIDTHxHEIGHT on $DISPLAY at (0, 0), its output of that integer scale
# (default 1: WIDTHxHEIGHT is then in the desktop's units, the window that times larger). Sets WESTON_PID, WESTON_SOCKET,
# WESTON_RUNTIME and, for the x11 backend, WESTON_WINDOW. Waits until the socket takes clients.
start_weston() {
  local backend=$1 size=${2:-800x600} scale=${3:-1} i
  WESTON_RUNTIME=$(mktemp -d)
  chmod 700 "$WESTON_RUNTIME"
  WESTON_SOCKET=zarvo1-weston-$$
  cat >"$WESTON_RUNTIME/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff3060a0
panel-position=none
locking=false
animation=none
close-animation=none
startup-animation=none
focus-animation=none
EOF
  XDG_RUNTIME_DIR=$WESTON_RUNTIME weston --backend="$backend-backend.so" --socket="$WESTON_SOCKET" \
    --width="${size%x*}" --height="${size#*x}" --scale="$scale" --use-pixman --config="$WESTON_RUNTIME/weston.ini" \
    >"$WESTON_RUNTIME/log" 2>&1 &
  WESTON_PID=$!
  WESTON_WINDOW=
  for i in $(seq 100); do
    if [ -S "$WESTON_RUNTIME/$WESTON_SOCKET" ] && XDG_RUNTIME_DIR=$WESTON_RUNTIME WAYLAND_DISPLAY=$WESTON_SOCKET \
       weston-info >/dev/null 2>&1; then
      break
    fi
    kill -0 "$WESTON_PID" 2>/dev/null || { cat "$WESTON_RUNTIME/log" >&2; echo "weston did not start" >&2; return 1; }
    sleep 0.1
  done
  [ "$backend" = x11 ] || return 0
  for i in $(seq 100); do
    WESTON_WINDOW=$(xwininfo -root -children 2>/dev/null | awk '/"Weston Compositor/ {print $1; exit}') || true
    if [ -n "$WESTON_WINDOW" ]; then
      # weston follows the X pointer's moves, not its place, and stops at its output's edges: a move to the
      # corner lines the two up, and from then on a place on the X screen is the same place in the output
      # (keep the pointer inside the output).
      xdotool mousemove 0 0
      # Until weston draws its output the window is black all over, which would pass for a client area.
      wait_until 10 output_drawn || { echo "weston drew no output" >&2; return 1; }
      return 0
    fi
    sleep 0.1
  done
  echo "weston's output window did not appear" >&2
  return 1
}

# stop_weston: stops the compositor start_weston started, by its process id, and removes its directory.
stop_weston() {
  [ -n "${WESTON_PID:-}" ] && stop_process "$WESTON_PID"
  WESTON_PID=
  [ -n "${WESTON_RUNTIME:-}" ] && rm -rf "$WESTON_RUNTIME"
  WESTON_RUNTIME=
}

# on_weston COMMAND...: runs a command as a client of that compositor only (no X display).
on_weston() {
  env -u DISPLAY XDG_RUNTIME_DIR="$WESTON_RUNTIME" WAYLAND_DISPLAY="$WESTON_SOCKET" "$@"
}

# output_shot FILE: weston's output as the outer X server shows it.
output_shot() {
  import -silent -window "$WESTON_WINDOW" "png:$1"
}

# output_drawn: weston's output shows its background (blue), not the black of a window not drawn yet.
output_drawn() {
  local shot drawn=
  shot=$(mktemp --suffix=.png)
  output_shot "$shot" && drawn=$("$CONVERT" "$shot" -format '%[fx:mean > 0.05]' info: 2>/dev/null)
  rm -f "$shot"
  [ "$drawn" = 1 ]
}

# find_client_area FILE: prints the program's client area in weston's output as WIDTHxHEIGHT+X+Y: the
# bounding box of the pure black pixels (the background is blue, the title bar dark grey), eroded and grown
# back by 2 pixels so that a thin outline (the pointer) does not count. Prints nothing without one.
find_client_area() {
  local box x0 y0 x1 y1
  # A frame of the non-black colour round the picture, so the box is measured against it even where the
  # client area reaches the output's edges (maximised); it shifts the box by 1 and widens the picture by 2.
  box=$(convert "$1" -fill white -opaque black -fill black +opaque white -morphology Erode Square:2 \
        -bordercolor black -border 1 -format '%@ %w %h' info: 2>/dev/null)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]] || return 0
  [ "${BASH_REMATCH[1]}" -gt 20 ] || return 0
  local bx=$((BASH_REMATCH[3] - 1)) by=$((BASH_REMATCH[4] - 1)) w=$((BASH_REMATCH[5] - 2)) h=$((BASH_REMATCH[6] - 2))
  x0=$((bx > 2 ? bx - 2 : 0))
  y0=$((by > 2 ? by - 2 : 0))
  x1=$((bx + BASH_REMATCH[1] + 2)) y1=$((by + BASH_REMATCH[2] + 2))
  [ "$x1" -le "$w" ] || x1=$w
  [ "$y1" -le "$h" ] || y1=$h
  echo "$((x1 - x0))x$((y1 - y0))+$x0+$y0"
}

# await_client_area SECONDS: waits for the program's window to show in weston's output; sets area (and
# area_w, area_h, area_x, area_y) and returns 0, or returns 1 when none showed in time. With look_file set
# to a file, the output as that look saw it is kept there, and look_ms says when it was taken.
await_client_area() {
  local deadline=$(($(now_ms) + $1 * 1000)) shot taken
  shot=$(mktemp --suffix=.png)
  area=
  while [ "$(now_ms)" -lt "$deadline" ]; do
    taken=$(now_ms)
    output_shot "$shot"
    area=$(find_client_area "$shot")
    [ -n "$area" ] && break
    sleep 0.1
  done
  if [ -n "${look_file:-}" ]; then
    mv -f "$shot" "$look_file"
    look_ms=$taken
  fi
  rm -f "$shot"
  [ -n "$area" ] || return 1
  [[ $area =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]
  area_w=${BASH_REMATCH[1]} area_h=${BASH_REMATCH[2]} area_x=${BASH_REMATCH[3]} area_y=${BASH_REMATCH[4]}
}

# start_sway: starts sway (it refuses to run as root, so as nobody) on the x11 backend in $DISPLAY, rendering
# in software, with title bars drawn by it, in a fresh runtime folder of nobody's. Sets SWAY_PID,
# SWAY_RUNTIME, SWAY_SOCKET, SWAY_IPC and SWAY_OUTPUT (its output window on the X screen). Waits until the
# socket is there.
start_sway() {
  SWAY_RUNTIME=$(mktemp -d)
  printf 'default_border normal\n' >"$SWAY_RUNTIME/config"
  chown -R nobody "$SWAY_RUNTIME"
  chmod 700 "$SWAY_RUNTIME"
  setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$SWAY_RUNTIME" XDG_RUNTIME_DIR="$SWAY_RUNTIME" \
    WLR_BACKENDS=x11 WLR_RENDERER=pixman sway -c "$SWAY_RUNTIME/config" >"$SWAY_RUNTIME/log" 2>&1 &
  SWAY_PID=$!
  wait_until 10 eval 'ls "$SWAY_RUNTIME" | grep -q "^wayland-[0-9]*$" && ls "$SWAY_RUNTIME"/sway-ipc.* >/dev/null 2>&1' ||
    { echo "sway did not start" >&2; return 1; }
  SWAY_SOCKET=$(ls "$SWAY_RUNTIME" | grep '^wayland-[0-9]*$' | head -n 1)
  SWAY_IPC=$(ls "$SWAY_RUNTIME"/sway-ipc.* | head -n 1)
  SWAY_OUTPUT=$(xwininfo -root -children | awk '/"wlroots/ {print $1; exit}')
}

# on_sway COMMAND...: sends sway a command through its IPC socket (swaymsg), quietly.
on_sway() { SWAYSOCK=$SWAY_IPC swaymsg "$@" >/dev/null; }

# stop_sway: stops the sway start_sway started, by its process id, and removes its folder.
stop_sway() {
  [ -n "${SWAY_PID:-}" ] && stop_process "$SWAY_PID"
  SWAY_PID=
  [ -n "${SWAY_RUNTIME:-}" ] && rm -rf "$SWAY_RUNTIME"
  SWAY_RUNTIME=
}

# KWin nested in Xvfb, for the fractional scales (it offers wp_fractional_scale_manager_v1), and swaybg for a
# plain background (without a desktop shell KWin's is black, like the program's client area).
KWIN_PACKAGES=(kwin-wayland swaybg "${XVFB_PACKAGES[@]}")

# start_kwin WIDTHxHEIGHT SCALE: starts KWin on the x11 backend in $DISPLAY, its output WIDTHxHEIGHT in the
# desktop's units at SCALE (1.25, 1.5...; the output window is that times larger), on a socket of its own in
# a fresh XDG_RUNTIME_DIR, with the weston stage's blue background. The binary carries a file capability
# these machines refuse to grant, and a copy run from another path does not find KWin's own Qt platform
# plugin: a copy without the capability is bound over the binary's own path in a private mount namespace.
# Sets KWIN_PID, KWIN_RUNTIME, KWIN_SOCKET and KWIN_WINDOW (the output window); waits until the socket takes
# clients and the background shows.
start_kwin() {
  local size=$1 scale=$2 i
  KWIN_RUNTIME=$(mktemp -d)
  chmod 700 "$KWIN_RUNTIME"
  KWIN_SOCKET=zarvo1-kwin-$$
  cp /usr/bin/kwin_wayland "$KWIN_RUNTIME/kwin_wayland"
  # shellcheck disable=SC2016  # expanded by the inner shell
  XDG_RUNTIME_DIR=$KWIN_RUNTIME KWIN_COMPOSE=Q unshare --mount sh -c \
    'mount --bind "$0" /usr/bin/kwin_wayland && exec /usr/bin/kwin_wayland "$@"' "$KWIN_RUNTIME/kwin_wayland" \
    --x11-display "$DISPLAY" --socket "$KWIN_SOCKET" --width "${size%x*}" --height "${size#*x}" --scale "$scale" \
    >"$KWIN_RUNTIME/log" 2>&1 &
  KWIN_PID=$!
  for i in $(seq 150); do
    [ -S "$KWIN_RUNTIME/$KWIN_SOCKET" ] && on_kwin weston-info >/dev/null 2>&1 && break
    kill -0 "$KWIN_PID" 2>/dev/null || { cat "$KWIN_RUNTIME/log" >&2; echo "KWin did not start" >&2; return 1; }
    sleep 0.1
  done
  on_kwin swaybg -c '#3060a0' >"$KWIN_RUNTIME/background.log" 2>&1 &
  KWIN_BACKGROUND_PID=$!
  KWIN_WINDOW=$(xwininfo -root -children 2>/dev/null | awk '/"KDE Wayland Compositor/ {print $1; exit}')
  [ -n "$KWIN_WINDOW" ] || { echo "KWin's output window did not appear" >&2; return 1; }
  WESTON_WINDOW=$KWIN_WINDOW  # output_shot and await_client_area read this compositor's output
  xdotool mousemove 0 0
  wait_until 10 eval '[ "$(import -silent -window "$KWIN_WINDOW" png:- | convert png:- -format "%[pixel:p{5,5}]" info:)" = "srgb(48,96,160)" ]' ||
    { echo "KWin's background did not show" >&2; return 1; }
}

# kwin_startable: succeeds where start_kwin can make its private mount namespace; otherwise fails, printing
# why (in a chroot, say, whose root is no mount point, unshare cannot make the namespace's mounts private).
kwin_startable() {
  local why
  why=$(unshare --mount true 2>&1) && return 0
  printf '%s\n' "${why:-unshare --mount failed}" | head -n 1
  return 1
}

# stop_kwin: stops what start_kwin started, by their process ids, and removes its folder.
stop_kwin() {
  [ -n "${KWIN_BACKGROUND_PID:-}" ] && stop_process "$KWIN_BACKGROUND_PID"
  [ -n "${KWIN_PID:-}" ] && stop_process "$KWIN_PID"
  KWIN_PID= KWIN_BACKGROUND_PID=
  [ -n "${KWIN_RUNTIME:-}" ] && rm -rf "$KWIN_RUNTIME"
  KWIN_RUNTIME=
}

# on_kwin COMMAND...: runs a command as a client of that compositor only (no X display).
on_kwin() {
  env -u DISPLAY XDG_RUNTIME_DIR="$KWIN_RUNTIME" WAYLAND_DISPLAY="$KWIN_SOCKET" "$@"
}
