# The Debian packages the project needs, and the function that installs the
# missing ones; sourced by scripts/setup and scripts/fuzz.

# Building and testing: compilers and build tools, GoogleTest, JSON, the
# USB serial enumeration, Qt 6 and what the window tests and screenshots use
# (a virtual X server, window lookup, the Japanese design font); the icon
# drawing, the checks of the desktop entry, metainfo and manual pages, the
# Debian package's tools, and the text extraction that checks the graph
# report's PDF.
DORV_PACKAGES=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
  libserialport-dev
  qt6-base-dev libgl-dev
  xvfb xauth xdotool x11-utils
  fonts-ipafont-gothic fonts-liberation
  librsvg2-bin desktop-file-utils appstream dpkg-dev groff-base
  poppler-utils
)

# The fuzz targets: clang with its runtime libraries (the fuzzer's included).
DORV_FUZZ_PACKAGES=(clang libclang-rt-dev)

# The Windows build (scripts/build-windows) and its tests under Wine: the
# mingw-w64 cross compiler with POSIX threads, GoogleTest's source, the JSON
# headers, Wine (64-bit), flock for the Wine prefix's first use, the virtual X
# server of the window's tests and the keys and clicks they send, the Japanese
# font mapped into the prefix, the program icon's drawing, and the installer's
# and the zip's tools (scripts/package-windows, and unzip for its test).
DORV_WINDOWS_PACKAGES=(
  cmake make
  g++-mingw-w64-x86-64-posix
  googletest nlohmann-json3-dev
  wine wine64
  util-linux
  xvfb xauth xdotool
  fonts-ipafont-gothic
  librsvg2-bin
  nsis zip unzip
)

# Installs those of the given packages that are missing (apt-get, as root or
# through sudo).
dorv_install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "setup: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
