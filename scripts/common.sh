# Shared by scripts/run, scripts/test and scripts/bench (sourced, not run).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

BUILD_PACKAGES=(build-essential pkg-config cmake ninja-build
  libgtk-4-dev libmpg123-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  portaudio19-dev libzip-dev fonts-dejavu-core librsvg2-common)
TEST_PACKAGES=(googletest libgtest-dev xvfb xauth xdotool imagemagick lame sox
  mpg123 flac vorbis-tools opus-tools wavpack ffmpeg zip jackd2 ccache dbus-daemon playerctl libglib2.0-bin openbox x11-utils
  desktop-file-utils appstream man-db strace)
# Optional: the fuzz targets (scripts/fuzz, and a short stage of scripts/test) need them.
FUZZ_PACKAGES=(clang libfuzzer-14-dev)

# True when clang can build and link libFuzzer programs.
have_fuzzer() {
  command -v clang++ >/dev/null || return 1
  local dir
  dir=$(mktemp -d) || return 1
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' >"$dir/t.cpp"
  clang++ -fsanitize=fuzzer "$dir/t.cpp" -o "$dir/t" >/dev/null 2>&1
  local r=$?
  rm -rf "$dir"
  return $r
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs, with apt-get, only the packages that are not installed yet.
# `apt-get update` runs only when something is missing.
ensure_packages() {
  local missing=() p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if ! command -v apt-get >/dev/null; then
    echo "missing packages: ${missing[*]} (no apt-get here: install them by hand)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Options of the normal build directory (build/).
build_options() {
  local tests=OFF
  [ "$(dpkg-query -W -f='${db:Status-Status}' libgtest-dev 2>/dev/null || true)" = installed ] && tests=ON
  [ -f /usr/local/lib/cmake/GTest/GTestConfig.cmake ] && tests=ON
  echo "-DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVLOX_TESTS=$tests -DRAVLOX_BENCH=ON"
}

njobs() { echo "${RAVLOX_JOBS:-$(nproc 2>/dev/null || echo 2)}"; }

# configure_build DIR [cmake options...]: configures once (again only when
# the options change), then builds with the given targets in $TARGETS.
configure_build() {
  local dir=$1; shift
  local gen=() launcher=()
  command -v ninja >/dev/null && gen=(-G Ninja)
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  local want="$* ${launcher[*]}"
  if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$dir/.ravlox-options" 2>/dev/null)" != "$want" ]; then
    # An existing build directory keeps the generator it was made with.
    [ -f "$dir/CMakeCache.txt" ] && gen=()
    cmake -S "$ROOT" -B "$dir" "${gen[@]}" "${launcher[@]}" "$@"
    echo "$want" > "$dir/.ravlox-options"
  fi
  local targets=()
  for t in ${TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$(njobs)" "${targets[@]}"
}
