#!/usr/bin/env python3
"""Music synthesis against FluidSynth's own renderer, measured side by side in one run.

Writes a 16-channel General MIDI file (make_gm_file.py), then renders it alternately with
`fluidsynth -F` and with `orva --headless --audio-out` (a program that plays it and halts at its
end message), same SoundFont, same rate, whole processes, and reports real-time factors (seconds
of sound per second of CPU, and of wall time). Then the in-process figures of audio_bench (the
music path alone; a sound effect's mixing and decoding) and, with --gaps, whether a busy host
starves the SDL device (audio_gaps on SDL's dummy driver).

Usage: run.py [--build BUILD_DIR] [--soundfont FILE] [--runs N] [--gaps SECONDS]
"""
import argparse, os, resource, shutil, statistics, subprocess, sys, tempfile, time, wave

here = os.path.dirname(os.path.abspath(__file__))
repo = os.path.dirname(os.path.dirname(here))

ap = argparse.ArgumentParser()
ap.add_argument("--build", default=os.path.join(repo, "build"))
ap.add_argument("--soundfont", default="/usr/share/sounds/sf2/TimGM6mb.sf2")
ap.add_argument("--runs", type=int, default=5)
ap.add_argument("--gaps", type=int, default=20)
args = ap.parse_args()
if not shutil.which("fluidsynth") or not os.path.isfile(args.soundfont):
    sys.exit("bench/audio: needs the fluidsynth program and the SoundFont " + args.soundfont)

scratch = tempfile.mkdtemp(prefix="orva-bench-audio-")
game = os.path.join(scratch, "game")
os.makedirs(os.path.join(game, "MUSIC"))
shutil.copy(os.path.join(args.build, "bench", "audio", "music", "MAIN.QX"), game)
midi = os.path.join(game, "MUSIC", "bench.mid")
subprocess.run([sys.executable, os.path.join(here, "make_gm_file.py"), midi], check=True)
effect = os.path.join(scratch, "effect.wav")  # 2 s of stereo at 44.1 kHz: resampled to 48 kHz
with wave.open(effect, "wb") as w:
    w.setnchannels(2), w.setsampwidth(2), w.setframerate(44100)
    w.writeframes(bytes((i * 37) & 0xFF for i in range(44100 * 2 * 2 * 2)))


def run(cmd):
    """(cpu seconds, wall seconds) of one whole process."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - t
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime, wall)


def seconds_of(path):
    with wave.open(path) as w:
        return w.getnframes() / w.getframerate()


fs_out, orva_out = os.path.join(scratch, "fs.wav"), os.path.join(scratch, "orva.wav")
fs_cmd = ["fluidsynth", "-ni", "-q", "-r", "48000", "-F", fs_out, args.soundfont, midi]
orva_cmd = [os.path.join(args.build, "orva"), "--headless", "--soundfont", args.soundfont,
            "--audio-out", orva_out, "--data-dir", os.path.join(scratch, "data"), game]
fs, orva = [], []
for _ in range(args.runs):  # alternating, so both see the same machine
    fs.append(run(fs_cmd))
    orva.append(run(orva_cmd))
fs_s, orva_s = seconds_of(fs_out), seconds_of(orva_out)


def row(name, sound_s, times):
    cpu = statistics.median(t[0] for t in times)
    wall = statistics.median(t[1] for t in times)
    print(f"| {name} | {sound_s:.1f} | {cpu:.2f} | {sound_s / cpu:.1f}x | {wall:.2f} | "
          f"{sound_s / wall:.1f}x |")
    return sound_s / cpu


print(f"16-channel GM file, {os.path.basename(args.soundfont)}, 48 kHz, medians of {args.runs} "
      "whole-process runs\n")
print("| renderer | sound (s) | CPU (s) | real time / CPU | wall (s) | real time / wall |")
print("|---|---|---|---|---|---|")
a = row("fluidsynth -F", fs_s, fs)
b = row("orva --headless --audio-out", orva_s, orva)
print(f"\norva / fluidsynth real-time factor (CPU): {b / a:.3f}")

bench = subprocess.run([os.path.join(args.build, "audio_bench"), midi, args.soundfont, effect,
                        os.path.join(scratch, "engine.wav")], capture_output=True, text=True,
                       check=True).stdout
figures = dict(line.split() for line in bench.splitlines())
engine = float(figures["engine_audio_s"]) / float(figures["engine_cpu_s"])
print(f"\nIn process: the music path alone (reader, sequencer, synth, mixer, WAV): "
      f"{engine:.1f}x real time")
print(f"A playing sound effect: {float(figures['effect_mix_us_per_s']):.0f} us of CPU per second "
      f"of sound ({float(figures['effect_mix_us_per_s']) / 1e4:.3f}% of a core); mixing silence "
      f"{float(figures['silence_mix_us_per_s']):.0f} us/s")
print(f"PlaySound of a {float(figures['effect_seconds']):.1f} s stereo 44.1 kHz WAV (decode and "
      f"resample to 48 kHz): {float(figures['effect_decode_ms']):.1f} ms")

if args.gaps:
    for load in (0, 2):
        out = subprocess.run([os.path.join(args.build, "audio_gaps"), midi, args.soundfont, effect,
                              str(args.gaps), "--load", str(load)], capture_output=True,
                             text=True, check=True, env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
        g = dict(line.split() for line in out.stdout.splitlines())
        print(f"\nSDL device, busy host thread + {load} spinning threads, {args.gaps} s: "
              f"{g['callbacks']} callbacks of {g['buffer_ms']} ms; render p50/p99/max "
              f"{g['render_ms_p50']}/{g['render_ms_p99']}/{g['render_ms_max']} ms; late p99/max "
              f"{g['late_ms_p99']}/{g['late_ms_max']} ms; short of time: {g['short_of_time']}; "
              f"lock wait/hold max {g['lock_wait_ms_max']}/{g['lock_hold_ms_max']} ms over "
              f"{g['effect_swaps']} effect swaps")
shutil.rmtree(scratch)
