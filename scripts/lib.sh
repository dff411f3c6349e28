# Shared shell helpers for the project's scripts: package installs and logging. Sourced, not run.

# Prints a stage heading.
say() { printf '\n== %s\n' "$*"; }

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages among the arguments that are not installed yet. A package written
# name:i386 needs the i386 architecture, which is added first when missing.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    ZARVO1_APT_UPDATED=
  fi
  if [ -z "${ZARVO1_APT_UPDATED:-}" ]; then
    as_root apt-get update -q
    ZARVO1_APT_UPDATED=1
  fi
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# The packages that configure and build the native program, its tests and benchmark.
BUILD_PACKAGES=(cmake g++ make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev libx11-dev)

# The packages of the event fuzzer: clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(cmake make clang libclang-rt-14-dev)

# The packages of the static checks.
LINT_PACKAGES=(clang-tidy clang-format)
