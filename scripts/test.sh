#!/usr/bin/env bash
# Set-up, build and every test in one command (the README's test command).
# BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
