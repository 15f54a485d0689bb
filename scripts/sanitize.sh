#!/usr/bin/env bash
# Builds the layers without widgets with a sanitizer and runs their tests.
# Usage: scripts/sanitize.sh thread|address
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:?usage: sanitize.sh thread|address}
build=build-$kind
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_WIDGETS=OFF -DTARNWICK_SANITIZE="$kind"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
