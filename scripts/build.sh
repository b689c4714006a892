#!/usr/bin/env bash
# Configures (once) and builds the project. BUILD_DIR and BUILD_TYPE may be set.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@"
fi
cmake --build "$BUILD_DIR" --parallel "${VANTOR_JOBS:-$(nproc)}"
