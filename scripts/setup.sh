#!/bin/sh
# Sets up, builds and runs Corvane on Debian 12. One script serves the README's two commands and CI.
#
#   scripts/setup.sh run     install the packages, build, start cv
#   scripts/setup.sh test    install the packages, build, run the whole test suite
#   scripts/setup.sh asan    build the core with AddressSanitizer and UndefinedBehaviorSanitizer
#                            and run the core tests
#   scripts/setup.sh deps    only install the packages
#
# Run as root (or prefix apt-get with sudo). BUILD_DIR chooses the build folder (default: build).
set -eu

cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

# Build and run.
PACKAGES_BUILD="build-essential cmake ninja-build pkg-config ccache qt6-base-dev libxkbcommon-dev libx11-dev libxcb1-dev
  fonts-dejavu-core fonts-liberation2 tzdata"
# Tests and screenshots.
PACKAGES_TEST="libgtest-dev xvfb xauth dosfstools"

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
  *)
    echo "usage: $0 run|test|asan|deps" >&2
    exit 2
    ;;
esac
