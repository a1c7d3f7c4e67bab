# Debian packages the build and the tests need, and a function that installs the missing ones.
SHEETPACK_PACKAGES=(
  cmake make g++ googletest libgtest-dev zlib1g-dev libutfcpp-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libz-mingw-w64-dev
  wine wine64 xvfb xauth imagemagick
  python3-pytest python3-pefile python3-olefile libreoffice-calc llvm-14 time
  fonts-wine fonts-liberation xdotool
  clang-14 libclang-rt-14-dev
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
