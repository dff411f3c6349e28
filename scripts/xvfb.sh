# Shell helpers for running the program on a virtual X server: start and stop Xvfb, start the program and
# find its window, read the window's size and pixels, send it the window manager's close request. Sourced
# through scripts/e2e.sh, which defines the generic helpers these call (stop_process, now_ms).

# What these helpers and the end-to-end tests call: the X server, the input driver (XTEST), ImageMagick,
# the X utilities, and Python for the one X request no utility here sends.
XVFB_PACKAGES=(xvfb xdotool imagemagick x11-utils python3)

# start_xvfb [WIDTHxHEIGHT[xDEPTH]]: starts Xvfb on a display number that is free (Xvfb picks it), in 24-bit
# colour unless another depth is given. Sets XVFB_PID and exports DISPLAY. ZARVO1_XVFB_ARGS adds options,
# e.g. "-extension MIT-SHM" for a server that shares no memory, as a remote display.
start_xvfb() {
  local size=${1:-1280x1024} dir i
  [[ $size == *x*x* ]] || size+=x24
  dir=$(mktemp -d)
  # -noreset: an X server resets itself when its last client leaves, and refuses connections meanwhile, so
  # a program started right after the one before could not open the display. A desktop always has a client.
  # shellcheck disable=SC2086  # the options are words, split on purpose
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset ${ZARVO1_XVFB_ARGS:-} 3>"$dir/display" 2>"$dir/log" &
  XVFB_PID=$!
  for i in $(seq 100); do
    [ -s "$dir/display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || { cat "$dir/log" >&2; echo "Xvfb did not start" >&2; return 1; }
    sleep 0.1
  done
  [ -s "$dir/display" ] || { echo "Xvfb did not report its display" >&2; return 1; }
  DISPLAY=":$(head -n 1 "$dir/display")"
  export DISPLAY
  # The server has said which display it is; wait until it takes a client, so the first one is not refused.
  for i in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
  done
  xwininfo -root >/dev/null 2>&1 || { cat "$dir/log" >&2; echo "Xvfb on $DISPLAY takes no client" >&2; return 1; }
  rm -rf "$dir"
}

# stop_xvfb: stops the X server that start_xvfb started, by its process id.
stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 0
  stop_process "$XVFB_PID"
  XVFB_PID=
}

# find_window PID [SECONDS]: prints the id of the visible window with the caption "Zarvo1" that process PID
# owns, waiting up to SECONDS (10 by default) for it to appear; fails at once when the process ends.
find_window() {
  local pid=$1 deadline id
  deadline=$(($(now_ms) + ${2:-10} * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    id=$(xdotool search --onlyvisible --pid "$pid" --name '^Zarvo1$' 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# snapshot WINDOW FILE: saves the window's pixels (read back from the X server) as a PNG.
snapshot() {
  import -silent -window "$1" "png:$2"
}

# window_size WINDOW: the window's size as WIDTHxHEIGHT, as the X server has it.
window_size() {
  xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'
}

# close_window WINDOW: asks the window to close as a window manager does when the user clicks its close
# button (a WM_DELETE_WINDOW message); there is no window manager here to do it, and no utility here sends
# that message, so Python does, through Xlib.
close_window() {
  python3 - "$1" <<'PY'
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
event = Event()
event.xclient.type = 33  # ClientMessage
event.xclient.window = int(sys.argv[1])
event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x11.XSendEvent(display, event.xclient.window, 0, 0, ctypes.byref(event))
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

# start_program: starts the program under test, $program (with the shell's limits), its errors going to
# $work/stderr, and waits for its window; sets pid and win.
start_program() {
  "$program" 2>"$work/stderr" &
  pid=$!
  win=$(find_window "$pid") || { win=; return 1; }
}

