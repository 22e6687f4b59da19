#!/usr/bin/env python3
"""The interpreter against its anchors, measured side by side in one run.

Runs lcg, sieve and fib as C (gcc -O2), as Lua 5.4 and as QX images under `orva --headless`,
each the median wall time of several whole-process runs, and prints a table with the ratios and
the QX instructions executed per second (counted by a separate `orva --stats` run). Then the
start-up overhead: loading an empty program and running its messages 1 and 2 (and the quit).

Usage: run.py [--build BUILD_DIR] [--anchors ANCHOR_DIR] [--runs N]
"""
import argparse, os, re, statistics, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.abspath(__file__))
repo = os.path.dirname(os.path.dirname(here))

ap = argparse.ArgumentParser()
ap.add_argument("--build", default=os.path.join(repo, "build"))
ap.add_argument("--anchors", default=os.path.join(repo, "..", "shared", "bench"))
ap.add_argument("--runs", type=int, default=5)
args = ap.parse_args()
if not all(os.path.isfile(os.path.join(args.anchors, n)) for n in ("lcg.c", "lcg.lua")):
    sys.exit(f"bench/vm: no anchors in {os.path.abspath(args.anchors)}; "
             "pass --anchors with the folder that holds lcg.c, lcg.lua, sieve.* and fib.*")

orva = os.path.join(args.build, "orva")
games = os.path.join(args.build, "bench", "vm")
scratch = tempfile.mkdtemp(prefix="orva-bench-")
checksums = {"lcg": 3513640281, "sieve": 148933, "fib": 2178309}


def median_time(cmd, runs):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - t)
    return statistics.median(times)


def orva_cmd(name, *extra):
    return [orva, "--headless", "--data-dir", os.path.join(scratch, "data"), *extra,
            os.path.join(games, name)]


def qx_checksum(name):
    """The program leaves its checksum at address 264; read it from a dump of the image."""
    dump = os.path.join(scratch, name + ".dump")
    subprocess.run(orva_cmd(name, "--dump-image", dump), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(dump, "rb") as f:
        f.seek(264)
        return int.from_bytes(f.read(4), "little")


def qx_instructions(name):
    err = subprocess.run(orva_cmd(name, "--stats"), capture_output=True, text=True).stderr
    m = re.search(r"(\d+) instructions executed", err)
    return int(m.group(1)) if m else 0


for name in checksums:
    subprocess.run(["gcc", "-O2", "-o", os.path.join(scratch, name),
                    os.path.join(args.anchors, name + ".c")], check=True)

print(f"{'program':8} {'C -O2':>8} {'Lua 5.4':>8} {'QX':>8} {'Lua/QX':>7} {'QX/C':>6}"
      f" {'QX instructions':>16} {'M instr/s':>10}")
ok = True
for name, expected in checksums.items():
    got = qx_checksum(name)
    if got != expected:
        print(f"{name}: checksum {got}, expected {expected}", file=sys.stderr)
        ok = False
    c = median_time([os.path.join(scratch, name)], args.runs)
    lua = median_time(["lua5.4", os.path.join(args.anchors, name + ".lua")], args.runs)
    qx = median_time(orva_cmd(name), args.runs)
    n = qx_instructions(name)
    print(f"{name:8} {c:8.3f} {lua:8.3f} {qx:8.3f} {lua / qx:7.2f} {qx / c:6.1f}"
          f" {n:16,} {n / qx / 1e6:10.0f}")

startup = median_time(orva_cmd("empty", "--ticks", "0"), max(args.runs, 11))
print(f"start-up: {startup * 1000:.1f} ms (load an empty program, messages 1, 2, 9, 8, 9, 3)")
print("seconds are medians of whole-process wall time; Lua/QX above 1 means QX is faster")
sys.exit(0 if ok else 1)
