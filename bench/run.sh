#!/usr/bin/env bash
# Builds in release mode, installs ffmpeg for the comparison (benchmark only)
# and runs the join benchmark. Usage: bench/run.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh ffmpeg
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WIDGETS=OFF >/dev/null
cmake --build build-release --target tarnwick-join tarnwick-mkfixture tarnwick-bench-encode lame_enc
mkdir -p bench/out
python3 bench/join_bench.py --bin build-release/bin --out bench/out --runs "${1:-5}"
