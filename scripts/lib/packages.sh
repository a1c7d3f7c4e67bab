# Debian packages the build and the tests need, and a function that installs the missing ones.
SHEETPACK_PACKAGES=(
  cmake make g++ googletest libgtest-dev zlib1g-dev libutfcpp-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libz-mingw-w64-dev
  wine wine64 xvfb xauth imagemagick
  python3-pytest python3-pefile python3-olefile python3-msoffcrypto-tool python3-xlrd libreoffice-calc llvm-14 time
  fonts-wine fonts-liberation xdotool
  clang-14 libclang-rt-14-dev
  libssl-dev
  ccache
)

# Installs the packages given (default: all of the above) that are not installed yet.
# Quick when nothing is missing: one dpkg-query, no apt-get.
ensure_packages() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${SHEETPACK_PACKAGES[@]}")
  local missing=()
  local pkg
  for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Whether this machine's kernel runs 32-bit x86 programs at all (some virtual machines' kernels
# are built without IA-32 emulation): a 93-byte ELF program that only exits, run once.
kernel_runs_32_bit_programs() {
  local probe
  probe=$(mktemp)
  printf '%b' '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00' \
    '\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00' \
    '\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 0 ]
}

BINFMT=/proc/sys/fs/binfmt_misc
I386_EMULATOR=/usr/bin/qemu-i386-static

# Where the kernel runs no 32-bit program (a kernel built or booted without IA-32
# emulation), Debian's user-mode emulator can run them instead, once the kernel hands it
# every i386 ELF program. Debian ships no such entry on amd64, so one is written, with the
# F flag: the kernel opens the emulator now, so it is found from any mount namespace and
# root. Whatever was registered before stays as it was.
register_i386_emulator() {
  local sudo=("$@")
  ensure_packages qemu-user-static || return 1
  if [ ! -e "$BINFMT/register" ]; then
    "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null || return 1
  fi
  if [ "$(cat "$BINFMT/status" 2>/dev/null)" = "disabled" ]; then
    echo "binfmt_misc is disabled on this machine: not turning it on" >&2
    return 1
  fi
  [ -e "$BINFMT/sheetpack-i386" ] && return 0
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":sheetpack-i386:M::$magic:$mask:$I386_EMULATOR:F" | "${sudo[@]}" tee "$BINFMT/register" >/dev/null
}

# Whether an enabled binfmt_misc entry takes i386 ELF programs: the kernel asks those
# entries before its own ELF loader, so such programs then run emulated, whoever registered it.
i386_runs_emulated() {
  local entry
  for entry in "$BINFMT"/*; do
    case "$entry" in */register | */status) continue ;; esac
    grep -qx enabled "$entry" 2>/dev/null &&
      grep -qx 'magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null && return 0
  done
  return 1
}

# Debian's 32-bit Wine (wine32, of the i386 architecture, which is added when missing):
# without it Wine runs no 32-bit program. On a kernel without 32-bit support the i386
# emulator can run it, but each 32-bit process then starts minutes late on a busy machine
# and a new Wine prefix takes minutes to make: it is used only when asked for with
# SHEETPACK_EMULATED_32_BIT ("chosen": the scenarios marked to run in every run; "all":
# every 32-bit test), and SHEETPACK_WINE32_EMULATED=1 is exported then. When wine32 cannot
# be installed (the i386 archive can fall out of step with amd64 for a while) or cannot run,
# SHEETPACK_NO_WINE32 is set to the reason and exported: the 32-bit tests are then skipped
# with it, and the rest still runs.
ensure_wine32() {
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  if [ -n "${SHEETPACK_EMULATED_32_BIT:-}" ]; then
    kernel_runs_32_bit_programs || register_i386_emulator "${sudo[@]}" || true
  fi
  local reason=""
  if ! kernel_runs_32_bit_programs; then
    reason="this machine's kernel cannot run 32-bit programs (no IA-32 emulation)"
    [ -n "${SHEETPACK_EMULATED_32_BIT:-}" ] && reason+=", and no emulator could be registered for them"
  elif i386_runs_emulated; then
    if [ -n "${SHEETPACK_EMULATED_32_BIT:-}" ]; then
      SHEETPACK_WINE32_EMULATED=1
      export SHEETPACK_WINE32_EMULATED
    else
      reason="32-bit programs run only emulated here (SHEETPACK_EMULATED_32_BIT=chosen or all runs them)"
    fi
  fi
  if [ -n "$reason" ]; then
    SHEETPACK_NO_WINE32=$reason
    export SHEETPACK_NO_WINE32
    echo "WARNING: ${SHEETPACK_NO_WINE32}: every 32-bit test is skipped" >&2
    # An installed wine32 would still be chosen by Wine for the 32-bit side of every new
    # prefix, and fail to start or take minutes: only Wine's 64-bit loader is used here.
    if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
      DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq wine32:i386 >/dev/null 2>&1 || true
    fi
    return 0
  fi
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    return 0
  fi
  echo "Installing: wine32:i386"
  local log
  log=$(mktemp)
  if { dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386; } &&
    "${sudo[@]}" apt-get update -qq >"$log" 2>&1 &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 \
      >>"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  SHEETPACK_NO_WINE32="wine32 (i386) could not be installed: $(grep -m1 '^E:' "$log" || tail -n1 "$log")"
  export SHEETPACK_NO_WINE32
  rm -f "$log"
}
