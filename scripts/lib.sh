# Shared shell helpers for the project's scripts: logging, and package installs by purpose. Sourced, not run.
#
# Packages come in groups named by what needs them. `need_packages GROUP PKG...` installs a group that a
# stage cannot do without: when apt cannot install it, the script stops with apt's own reason, naming the
# group. `want_packages GROUP PKG...` installs an optional group and returns non-zero instead, leaving the
# reason in ZARVO1_APT_REASON. Neither ever lets apt remove or downgrade a package: the plan is simulated
# first and refused when it would. The package lists are fetched at most once per run of the test command
# (the stages inherit ZARVO1_APT_UPDATED), and a failed fetch is tried once more.

# Prints a stage heading.
say() { printf '\n== %s\n' "$*"; }

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get as root, non-interactive, waiting up to 10 minutes for another package manager to finish instead
# of failing on its lock.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -o APT::Get::List-Cleanup=0 "$@"
}

# The packages among the arguments that are not installed yet, one a line.
missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf '%s\n' "$p"
  done
}

# Fetches the package lists, once per run; an index that fails to download is fetched once more. When it
# still fails the lists that did arrive are used, with a warning: the groups that need the missing index
# then fail with apt's own reason. A failed index of a foreign architecture only (a package list of
# binary-arm64, say) leaves every native group as installable as before: the warning says so.
apt_update() {
  [ -n "${ZARVO1_APT_UPDATED:-}" ] && return 0
  local log try native
  native=$(dpkg --print-architecture)
  log=$(mktemp)
  for try in 1 2; do
    if apt_get update -q >"$log" 2>&1 && ! grep -qE '^(W|E): (Failed to fetch|Some index files failed)' "$log"; then
      break
    fi
    if [ "$try" -eq 2 ]; then
      ZARVO1_APT_FETCH_FAILED=$(grep -m 1 -oE 'Failed to fetch [^ ]+' "$log" | sed 's/^Failed to fetch //')
      export ZARVO1_APT_FETCH_FAILED
      if foreign_failures_only "$native" <"$log"; then
        echo "warning: the package lists of a foreign architecture could not be fetched; the native ones were:" >&2
      else
        echo "warning: some package lists could not be fetched; going on with those that were:" >&2
      fi
      grep -E '^(W|E): ' "$log" | head -n 2 >&2
    fi
  done
  rm -f "$log"
  ZARVO1_APT_UPDATED=1
  export ZARVO1_APT_UPDATED
}

# foreign_failures_only NATIVE < LOG: the fetches that failed in apt-get update's LOG were all package lists
# of architectures other than NATIVE (binary-arm64/Packages, say): the release files and the native lists came.
foreign_failures_only() {
  local failed
  failed=$(grep -oE 'Failed to fetch [^ ]+' | sed 's/^Failed to fetch //')
  [ -n "$failed" ] && ! grep -vqE '/binary-[a-z0-9]+/' <<<"$failed" && ! grep -qE "/binary-($1|all)/" <<<"$failed"
}

# apt's reason, in at most two lines, from the output of a failed apt-get.
apt_reason() {
  local lines
  lines=$(grep -E '^ [^ ].*: (Depends|PreDepends|Conflicts|Breaks): |^E: ' "$1" | grep -v 'E: Unable to correct problems' |
    head -n 2)
  [ -n "$lines" ] || lines=$(grep -v '^\(Reading\|Building\|NOTE\|Note\)' "$1" | tail -n 2)
  printf '%s\n' "$lines" | sed 's/^ *//'
}

# Would installing these packages remove or downgrade anything? Prints what, one a line; empty when not.
apt_plan_harm() {
  awk '
    /^Remv / { print "removes " $2; next }
    /^Inst / && $3 ~ /^\[/ {
      old = substr($3, 2, length($3) - 2); new = substr($4, 2)
      print "upgrade-check " $2 " " old " " new
    }' "$1" | while read -r what name old new; do
    if [ "$what" = removes ]; then
      echo "removes $name"
    elif dpkg --compare-versions "$new" lt "$old"; then
      echo "downgrades $name from $old to $new"
    fi
  done
}

# install_group GROUP PKG...: installs the missing packages of one group. Returns 0 when they are all
# installed, non-zero with the reason in ZARVO1_APT_REASON otherwise.
install_group() {
  local group=$1 missing
  shift
  ZARVO1_APT_REASON=
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  # A package named PKG:ARCH of an architecture dpkg does not take yet: the architecture is added for it,
  # and the package lists fetched again to take in its index.
  local native arch added=()
  native=$(dpkg --print-architecture)
  for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*:\([a-z0-9]*\)$/\1/p' | sort -u); do
    [ "$arch" = "$native" ] || [ "$arch" = any ] || [ "$arch" = all ] && continue
    dpkg --print-foreign-architectures | grep -qx "$arch" && continue
    as_root dpkg --add-architecture "$arch"
    added+=("$arch")
    ZARVO1_APT_UPDATED=
  done
  apt_update
  if ! install_planned "$group" "${missing[@]}"; then
    # An architecture added for nothing would make every later fetch of the lists ask for it again, and a
    # missing index of it warn on every fetch: it goes again when none of its packages got installed.
    for arch in "${added[@]}"; do
      if ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx "$arch"; then
        as_root dpkg --remove-architecture "$arch"
      fi
    done
    return 1
  fi
}

# install_planned GROUP PKG...: simulates the install, refuses a plan that removes or downgrades anything,
# then installs.
install_planned() {
  local group=$1 log harm
  shift
  local missing=("$@")
  log=$(mktemp)
  # The plan first: apt says what it would do without doing it.
  if ! apt_get install -s -y -q --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    ZARVO1_APT_REASON=$(apt_reason "$log")
    rm -f "$log"
    return 1
  fi
  harm=$(apt_plan_harm "$log")
  if [ -n "$harm" ]; then
    ZARVO1_APT_REASON="installing it would change other packages, which this script never does: $(printf '%s' "$harm" | head -n 3 | tr '\n' ';' | sed 's/;$//; s/;/; /g')"
    rm -f "$log"
    return 1
  fi
  echo "installing ($group): ${missing[*]}"
  if ! apt_get install -y -q --no-install-recommends --no-remove "${missing[@]}" >"$log" 2>&1; then
    ZARVO1_APT_REASON=$(apt_reason "$log")
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# need_packages GROUP PKG...: a group the script cannot do without. Stops the script with apt's reason.
need_packages() {
  local group=$1
  if ! install_group "$@"; then
    printf 'cannot install the packages for %s:\n%s\n' "$group" "$ZARVO1_APT_REASON" | sed '2,$s/^/  /' >&2
    exit 1
  fi
}

# want_packages GROUP PKG...: an optional group. Returns non-zero, with the reason in ZARVO1_APT_REASON, when
# it cannot be installed.
want_packages() {
  install_group "$@"
}

# The kinds of work, each with the packages it needs.
# Configure and build the native program, its unit tests and benchmark.
BUILD_PACKAGES=(cmake g++ make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev libxcb1-dev
  libxcb-shm0-dev libxcb-xkb-dev libxkbcommon-x11-dev libwayland-dev wayland-protocols libxkbcommon-dev)
# The event fuzzer: clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(cmake make clang libclang-rt-14-dev)
# The static checks.
LINT_PACKAGES=(clang-tidy clang-format)
# The Windows cross build and the checks of what the executable carries.
WINDOWS_BUILD_PACKAGES=(cmake make python3 g++-mingw-w64-i686 binutils-mingw-w64-i686 icoutils imagemagick)
# The 64-bit twin of the Windows program and the Wine that runs it.
WINDOWS_RUN64_PACKAGES=(wine wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
# Making the Debian package, and the platform's own checks of it.
DEB_PACKAGES=(dpkg-dev file)
PACKAGE_CHECK_PACKAGES=(lintian appstream desktop-file-utils man-db)
# The web page: WebAssembly from Debian's emscripten (its prebuilt, frozen C and C++ libraries), GoogleTest's
# sources compiled with it, and node to run the tests.
WEB_PACKAGES=(cmake make python3 emscripten nodejs node-acorn googletest)
# XScreenSaver, which runs the display mode in the saver's stage.
SAVER_PACKAGES=(xscreensaver)
# The 32-bit Wine: optional, since a package source may not supply it and a kernel may not run it.
WINDOWS_RUN32_PACKAGES=(wine wine32:i386)
# The web page in real browsers: chromium headless and the node script that drives it, the web server.
WEB_TEST_PACKAGES=(chromium nodejs python3)
# The same checks in firefox-esr: optional, where the package sources supply it; node-ws is the WebSocket
# client for a node that has none of its own (before 22).
WEB_FIREFOX_PACKAGES=(firefox-esr node-ws)

# The cross builds for the Raspberry Pi (arm64, armhf) and for a big-endian machine (s390x), and their runs
# under emulation: the build machine's own tools (its wayland-scanner generates the protocol code for every
# target) and qemu's user-mode emulators, which run a foreign program directly.
CROSS_PACKAGES=(cmake make pkg-config python3 qemu-user-static libwayland-bin wayland-protocols)
# The foreign architectures the cross builds are for, each with its GNU triplet.
CROSS_ARCHITECTURES=(arm64 armhf s390x)
declare -A CROSS_TRIPLET=([arm64]=aarch64-linux-gnu [armhf]=arm-linux-gnueabihf [s390x]=s390x-linux-gnu)
# cross_target_packages ARCH: one target's compilers and, in its multiarch folders, the libraries the program
# links, GoogleTest for its unit tests and the C++ library they all run with. One package a line.
cross_target_packages() {
  printf '%s\n' "crossbuild-essential-$1"
  printf '%s\n' libxcb1-dev libxcb-shm0-dev libxcb-xkb-dev libxkbcommon-x11-dev libwayland-dev libxkbcommon-dev \
    libgtest-dev libstdc++6 | sed "s/\$/:$1/"
}

# The older name: a required group named by its packages.
ensure_packages() {
  need_packages "$*" "$@"
}

# release_program [TARGET...]: installs what the native build needs and builds the release program and what
# installing it takes (the compressed manual page and changelog), and the further targets named, quietly
# unless it fails. Prints nothing; the program is build/release/zarvo1.
release_program() {
  need_packages "the native build" "${BUILD_PACKAGES[@]}"
  local log
  log=$(mktemp)
  if ! { cmake --preset release >"$log" 2>&1 && cmake --build --preset release -j "$(nproc)" --target zarvo1 zarvo1-docs "$@" >>"$log" 2>&1; }; then
    tail -n 30 "$log" >&2
    rm -f "$log"
    echo "the release build of the program failed" >&2
    exit 1
  fi
  rm -f "$log"
}

# Node's module folder of Debian's packages: emscripten's own scripts need acorn from it, which a node that is
# not Debian's (first on PATH, or at /usr/bin from another source) does not look in by itself.
web_environment() {
  case ":${NODE_PATH:-}:" in
    *:/usr/share/nodejs:*) ;;
    *) export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH} ;;
  esac
}

# web_site: installs what the web build needs and builds the site, quietly unless it fails. Prints nothing;
# the site is build/web/site/ (index.html, zarvo1.js, zarvo1.wasm, favicon.png).
web_site() {
  need_packages "the web build" "${WEB_PACKAGES[@]}"
  web_environment
  local log
  log=$(mktemp)
  if ! { cmake --preset web >"$log" 2>&1 &&
    cmake --build --preset web -j "$(nproc)" --target zarvo1 zarvo1-site >>"$log" 2>&1; }; then
    tail -n 30 "$log" >&2
    rm -f "$log"
    echo "the web build of the site failed" >&2
    exit 1
  fi
  rm -f "$log"
}

# serve_site DIR [LOG]: serves DIR on 127.0.0.1 on a free port in the background, writing each request to
# LOG when given. Sets SITE_URL to its address and SITE_PID to the server's process (stop it with
# kill "$SITE_PID").
serve_site() {
  local out
  out=$(mktemp)
  python3 scripts/serve-site.py "$1" ${2:+--log "$2"} >"$out" 2>&1 &
  SITE_PID=$!
  SITE_URL=
  local i
  for i in $(seq 1 100); do
    SITE_URL=$(head -n 1 "$out")
    [ -n "$SITE_URL" ] && break
    kill -0 "$SITE_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$SITE_URL" ] || ! [[ $SITE_URL == http://127.0.0.1:* ]]; then
    cat "$out" >&2
    rm -f "$out"
    echo "the site could not be served" >&2
    return 1
  fi
  rm -f "$out"
}
