#!/bin/sh
# Sets up, builds and runs Corvane on Debian 12. One script serves the README's two commands and CI.
#
#   scripts/setup.sh run     install the packages, build, start cv
#   scripts/setup.sh test    install the packages, build, run the whole test suite
#   scripts/setup.sh asan    build the core with AddressSanitizer and UndefinedBehaviorSanitizer
#                            and run the core tests
#   scripts/setup.sh fuzz    build the fuzz targets with clang and run each for FUZZ_SECONDS
#                            (default 15) from the sample archives
#   scripts/setup.sh deps    only install the packages
#
# Run as root (or prefix apt-get with sudo). BUILD_DIR chooses the build folder (default: build).
set -eu

cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

# Build and run (7zip and arj are the outside archivers that add to and delete from archives).
PACKAGES_BUILD="build-essential cmake ninja-build pkg-config ccache qt6-base-dev libxkbcommon-dev libx11-dev libxcb1-dev
  fonts-dejavu-core fonts-liberation2 tzdata zlib1g-dev libarchive-dev liblhasa-dev libmspack-dev
  7zip arj"
# Tests and screenshots.
PACKAGES_TEST="libgtest-dev xvfb xauth dosfstools clang libclang-rt-14-dev"

install_packages() {
  if [ "${CORVANE_SKIP_APT:-0}" = 1 ]; then
    return
  fi
  export DEBIAN_FRONTEND=noninteractive
  missing=""
  for p in $PACKAGES_BUILD $PACKAGES_TEST; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    apt-get -o DPkg::Lock::Timeout=600 update -q
    # shellcheck disable=SC2086
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends $missing
  fi
}

jobs() { echo "${CORVANE_JOBS:-2}"; }

build() {
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$BUILD_DIR" -j "$(jobs)"
}

case "${1:-}" in
  deps)
    install_packages
    ;;
  run)
    install_packages
    build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display: starting cv under xvfb-run -a." >&2
      exec xvfb-run -a "$BUILD_DIR/corvane/cv"
    fi
    exec "$BUILD_DIR/corvane/cv"
    ;;
  test)
    install_packages
    build
    cd "$BUILD_DIR"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(jobs)"
    ;;
  asan)
    install_packages
    BUILD_DIR=${ASAN_BUILD_DIR:-build-asan}
    build -DCORVANE_SANITIZE=ON -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_BENCH=OFF
    cd "$BUILD_DIR"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --output-on-failure -j "$(jobs)" -L core
    ;;
  fuzz)
    install_packages
    BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
    CC=clang CXX=clang++ build -DCORVANE_FUZZ=ON -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_TESTS=OFF \
      -DCORVANE_BUILD_BENCH=OFF
    seconds=${FUZZ_SECONDS:-15}
    for program in "$BUILD_DIR"/tests/fuzz/fuzz_*; do
      target=${program##*/fuzz_}
      seeds="$BUILD_DIR/fuzz-seeds/$target"
      rm -rf "$BUILD_DIR/fuzz-found/$target"
      mkdir -p "$seeds" "$BUILD_DIR/fuzz-found/$target" "$BUILD_DIR/fuzz-corpus-$target"
      # Seeds: the sample files of the reader's kind (every archive for detection).
      case "$target" in
        detect) find tests/corpus/archives -type f -exec cp {} "$seeds/" \; ;;
        settings) cp data/tb.ini data/arc.ini data/fc.ini "$seeds/" ;;
        resources) find tests/corpus/pe tests/core/resources/fixtures -type f -exec cp {} "$seeds/" \; 2>/dev/null || true ;;
        *) find tests/corpus/archives/"$target" tests/core/archive/fixtures/"$target" -type f \
             -exec cp {} "$seeds/" \; 2>/dev/null || true ;;
      esac
      echo "fuzz_$target: $seconds s"
      # An impossible allocation asked for by a library (libarchive on a hostile size) gets NULL,
      # as malloc answers in a normal build, and the library's own check runs.
      ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$program" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$BUILD_DIR/fuzz-found/$target/" \
        "$BUILD_DIR/fuzz-corpus-$target" "$seeds" 2>&1 | grep -E "^(stat::number_of_executed_units|#[0-9]+ *DONE|==[0-9]+==ERROR|SUMMARY)" || true
      if ls "$BUILD_DIR/fuzz-found/$target/"* >/dev/null 2>&1; then
        echo "fuzz_$target found a fault: $(ls "$BUILD_DIR/fuzz-found/$target/")" >&2
        exit 1
      fi
    done
    ;;
  *)
    echo "usage: $0 run|test|asan|fuzz|deps" >&2
    exit 2
    ;;
esac
