#!/usr/bin/env python3
"""Times tarnwick-join against ffmpeg on two deterministic sets of MP3 files.

Prints one `name value unit` line per figure: medians of wall time, CPU time,
peak memory and speed (multiple of real time) for each program and set, the
ratio ffmpeg/tarnwick, and the encoder-alone figure that bounds a join with one
encoder stream. Run through bench/run.sh, which builds and installs what it needs.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

SAME = dict(name="same", seconds=180, files=[(44100, 2)] * 12)
MIXED = dict(name="mixed", seconds=120,
             files=[(44100, 2), (22050, 1), (48000, 2), (32000, 2), (44100, 1), (24000, 1)])


def make_set(bindir, outdir, recipe):
    folder = os.path.join(outdir, recipe["name"])
    os.makedirs(folder, exist_ok=True)
    paths = []
    for i, (rate, channels) in enumerate(recipe["files"]):
        path = os.path.join(folder, f"{recipe['name']}-{i:02d}-{rate}-{channels}.mp3")
        if not os.path.exists(path):
            subprocess.run([os.path.join(bindir, "tarnwick-mkfixture"), "--rate", str(rate),
                            "--channels", str(channels), "--seconds", str(recipe["seconds"]),
                            "--signal", "sweep" if i % 2 == 0 else "noise", "--level", "-12",
                            "--seed", str(i + 1), "--bitrate", "128", path], check=True)
        paths.append(path)
    return paths


def measure(cmd, env=None):
    """Runs cmd; returns (wall s, cpu s, peak KiB)."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"command failed: {' '.join(cmd)}\n{err}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def tarnwick_cmd(bindir, paths, out, mixed):
    cmd = [os.path.join(bindir, "tarnwick-join"), "-q", "--overwrite", "-b", "128", "--channels", "auto"]
    if mixed:
        cmd += ["--rate", "44100"]
    return cmd + ["-o", out] + paths


def ffmpeg_cmd(paths, out, mixed, workdir):
    enc = ["-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "9", "-reservoir", "0"]
    if not mixed:
        listfile = os.path.join(workdir, "concat.txt")
        with open(listfile, "w") as f:
            for p in paths:
                f.write("file '%s'\n" % p.replace("'", "'\\''"))
        return ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "concat", "-safe", "0", "-i", listfile,
                "-map", "0:a", "-map_metadata", "-1"] + enc + [out]
    cmd = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y"]
    for p in paths:
        cmd += ["-i", p]
    graph = "".join(f"[{i}:a]aformat=sample_rates=44100:channel_layouts=stereo[a{i}];" for i in range(len(paths)))
    graph += "".join(f"[a{i}]" for i in range(len(paths))) + f"concat=n={len(paths)}:v=0:a=1[out]"
    return cmd + ["-filter_complex", graph, "-map", "[out]", "-map_metadata", "-1"] + enc + ["-ar", "44100",
                                                                                           "-ac", "2", out]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True, help="folder of the release build's programs")
    ap.add_argument("--out", required=True, help="work folder for the sets and outputs")
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    args.out = os.path.abspath(args.out)
    args.bin = os.path.abspath(args.bin)

    for recipe in (SAME, MIXED):
        mixed = recipe is MIXED
        paths = make_set(args.bin, args.out, recipe)
        audio_seconds = recipe["seconds"] * len(paths)
        out_t = os.path.join(args.out, f"{recipe['name']}-tarnwick.mp3")
        out_f = os.path.join(args.out, f"{recipe['name']}-ffmpeg.mp3")
        results = {"tarnwick": [], "ffmpeg": []}
        encoder_runs = []
        encoder_cmd = [os.path.join(args.bin, "tarnwick-bench-encode"), "--rate", "44100", "--channels", "2",
                       "--bitrate", "128"] + paths
        for _ in range(args.runs):
            results["tarnwick"].append(measure(tarnwick_cmd(args.bin, paths, out_t, mixed)))
            results["ffmpeg"].append(measure(ffmpeg_cmd(paths, out_f, mixed, args.out)))
            enc = subprocess.run(encoder_cmd, check=True, capture_output=True, text=True)
            encoder_runs.append(float(enc.stdout.split()[0]))
        encoder_alone = statistics.median(encoder_runs)

        medians = {}
        for prog, runs in results.items():
            wall = statistics.median(r[0] for r in runs)
            cpu = statistics.median(r[1] for r in runs)
            peak = statistics.median(r[2] for r in runs) / 1024.0
            medians[prog] = wall
            print(f"{recipe['name']}.{prog}.wall {wall:.3f} s")
            print(f"{recipe['name']}.{prog}.cpu {cpu:.3f} s")
            print(f"{recipe['name']}.{prog}.peak_memory {peak:.1f} MiB")
            print(f"{recipe['name']}.{prog}.speed {audio_seconds / wall:.1f} x")
        print(f"{recipe['name']}.tarnwick.wall_less_start {medians['tarnwick'] - 0.5:.3f} s")
        print(f"{recipe['name']}.encoder_alone {encoder_alone:.3f} s")
        print(f"{recipe['name']}.tarnwick_vs_encoder_alone {(medians['tarnwick'] - 0.5) / encoder_alone:.3f} ratio")
        print(f"{recipe['name']}.ffmpeg_over_tarnwick {medians['ffmpeg'] / medians['tarnwick']:.3f} ratio")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
