#!/usr/bin/env bash
# The main job on a fresh machine: set-up, build, make three short MP3 files
# of different rates and channel counts, and join them with tarnwick-join.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tarnwick-join tarnwick-mkfixture lame_enc

bin=$build/bin
mkdir -p demo
"$bin/tarnwick-mkfixture" --rate 44100 --channels 2 --seconds 4 --signal sine --freq 440 demo/"01 Stereo 44100.mp3"
"$bin/tarnwick-mkfixture" --rate 22050 --channels 1 --seconds 3 --signal sweep demo/"02 Mono 22050.mp3"
"$bin/tarnwick-mkfixture" --rate 48000 --channels 2 --seconds 5 --signal sine --freq 660 demo/"03 Stereo 48000.mp3"

# Prints: path, duration, rate, channels and bit rate of the joined file.
"$bin/tarnwick-join" --overwrite -o demo/joined.mp3 demo/0*.mp3 | awk -F'\t' \
    '{ printf "Joined file: %s\nDuration:    %s\nFormat:      %s, %s channel(s), %s\n", $1, $2, $3, $4, $5 }'
