#!/usr/bin/env python3
"""The interpreter against its anchors, measured side by side in one run.

Runs lcg, sieve and fib as C (gcc -O2; fib also as plain recursion), as Lua 5.4 and as QX
images under `orva --headless` (the pre-decoded loop, and the plain loop with
--reference-loop), each the median wall time of several whole-process runs taken in turn, and
prints a table with the ratios and the QX instructions executed per second (counted by a
separate `orva --stats` run). Every program's checksum is checked, the anchors' as well as the
images'. Then start-up on its own line: loading an empty program and running its messages.

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


def median_times(cmds, runs):
    """Median wall time of each command, run in turn so that load changes hit them alike."""
    times = [[] for _ in cmds]
    for _ in range(runs):
        for i, cmd in enumerate(cmds):
            t = time.perf_counter()
            subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            times[i].append(time.perf_counter() - t)
    return [statistics.median(t) for t in times]


def anchor_checksum(cmd):
    return int(subprocess.run(cmd, capture_output=True, text=True, check=True).stdout.split()[0])


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


builds = {"lcg": ["-O2"], "sieve": ["-O2"], "fib": ["-O2"],
          "fib_plain": ["-O2", "-fno-optimize-sibling-calls", "-fno-inline"]}
for exe, flags in builds.items():
    subprocess.run(["gcc", *flags, "-o", os.path.join(scratch, exe),
                    os.path.join(args.anchors, exe.split("_")[0] + ".c")], check=True)

print(f"{'program':8} {'C -O2':>7} {'C plain':>7} {'Lua 5.4':>7} {'QX':>7} {'QX ref':>7}"
      f" {'Lua/QX':>6} {'QX/C':>5} {'ref/QX':>6} {'QX instructions':>15} {'M instr/s':>9}")
ok = True
for name, expected in checksums.items():
    c_cmd = [os.path.join(scratch, name)]
    plain_cmd = [os.path.join(scratch, name + "_plain")] if name == "fib" else None
    lua_cmd = ["lua5.4", os.path.join(args.anchors, name + ".lua")]
    for label, got in [("QX", qx_checksum(name)), ("C", anchor_checksum(c_cmd)),
                       ("Lua", anchor_checksum(lua_cmd))] + \
                      ([("C plain", anchor_checksum(plain_cmd))] if plain_cmd else []):
        if got != expected:
            print(f"{name} ({label}): checksum {got}, expected {expected}", file=sys.stderr)
            ok = False
    cmds = [c_cmd, lua_cmd, orva_cmd(name), orva_cmd(name, "--reference-loop")]
    if plain_cmd:
        cmds.append(plain_cmd)
    c, lua, qx, ref, *rest = median_times(cmds, args.runs)
    plain = f"{rest[0]:7.3f}" if rest else f"{'':7}"
    n = qx_instructions(name)
    print(f"{name:8} {c:7.3f} {plain} {lua:7.3f} {qx:7.3f} {ref:7.3f} {lua / qx:6.2f}"
          f" {qx / c:5.1f} {ref / qx:6.2f} {n:15,} {n / qx / 1e6:9.0f}")

true_cmd = ["/bin/true"]
startup, floor = median_times([orva_cmd("empty", "--ticks", "0"), true_cmd], max(args.runs, 21))
print(f"start-up: {startup * 1000:.1f} ms (load an empty program, messages 1, 2, 9, 8, 9, 3);"
      f" starting /bin/true: {floor * 1000:.1f} ms")
print("seconds are medians of whole-process wall time; Lua/QX above 1 means QX is faster;"
      " QX ref is --reference-loop")
print(f"load average at the end: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
sys.exit(0 if ok else 1)
