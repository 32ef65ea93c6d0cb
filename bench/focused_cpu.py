"""The real game under its own Xvfb, focused, on the title screen and in a run of play driven by
xdotool: its renders and updates a second and the processor time it takes over 5 seconds each,
for the game's main thread and for the whole process (llvmpipe's raster threads and OpenAL's
mixer are the rest), read from /proc/<pid>/task/<pid>/stat and /proc/<pid>/stat.

    python3 bench/focused_cpu.py --counters build/bench/libloop_counters.so --game build/brindlewick
    python3 bench/focused_cpu.py --counters ... --game old/brindlewick --game build/brindlewick --rounds 3

With several games the rounds interleave them (one run of each per round) and the medians of
each are printed beside the first game's, with their ratio.

The counters library is preloaded into the game (LD_PRELOAD) and counts its buffer swaps, its
focus reads (one per input poll) and its music services (one per loop pass that refills the
stream, so in play the loop's passes a second) without changing it. The end-to-end harness
(tests/e2e/harness.py) starts the game and sends the keys.
"""

import argparse
import os
import shutil
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402

SECONDS = 5.0
TITLE_SETTLE = 1.5     # the loading screen's last frames give way to the title
PLAY_SETTLE = 1.5      # the difficulty list slides away and the run starts
MENU_STEP = 0.3
ATTEMPTS = 3
COUNTERS = ("renders", "polls", "music")   # the order of the counters in the mapped file
TICKS = os.sysconf("SC_CLK_TCK")
# What the loop is meant to come to: frames a second at least, cores at most.
TARGET_FPS, TARGET_MAIN, TARGET_PROCESS = 58, 0.15, 0.9


def cpu_seconds(stat_path):
    """utime + stime of a /proc stat file, in seconds."""
    with open(stat_path) as f:
        fields = f.read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def counters(path):
    with open(path, "rb") as f:
        data = f.read(8 * len(COUNTERS))
    harness.check(len(data) == 8 * len(COUNTERS), "the counters library was not preloaded into the game")
    return dict(zip(COUNTERS, struct.unpack("<%dq" % len(COUNTERS), data)))


class Sample:
    def __init__(self, pid, counters_path):
        self.at = time.monotonic()
        self.main = cpu_seconds("/proc/%d/task/%d/stat" % (pid, pid))
        self.process = cpu_seconds("/proc/%d/stat" % pid)
        self.counts = counters(counters_path)


def measure(game, counters_path, seconds):
    """Renders, updates and music services a second, and main-thread and process cores."""
    pid = game.proc.pid
    first = Sample(pid, counters_path)
    time.sleep(seconds)
    last = Sample(pid, counters_path)
    span = last.at - first.at
    figures = {k: (last.counts[k] - first.counts[k]) / span for k in COUNTERS}
    figures["main"] = (last.main - first.main) / span
    figures["process"] = (last.process - first.process) / span
    return figures


def describe(f):
    line = "%.1f renders/s, %.1f updates/s, main thread %.3f cores, whole process %.3f cores" % (
        f["renders"], f["polls"], f["main"], f["process"])
    if f["music"]:
        line += ", %.0f music services/s" % f["music"]
    met = min(f["renders"], f["polls"]) >= TARGET_FPS and f["main"] <= TARGET_MAIN and f["process"] <= TARGET_PROCESS
    return line + ("; targets met" if met else "; targets missed")


def run_once(binary, counters_lib, work, seconds):
    """One run of the game: the title, then a run of play; the figures of both."""
    counters_path = os.path.join(work, "counters")
    with harness.Game(binary, os.path.join(work, "home")) as game:
        game.start({"LD_PRELOAD": os.path.abspath(counters_lib), "LOOP_COUNTERS_FILE": counters_path})
        game.wait_loaded()
        game.focus()
        time.sleep(TITLE_SETTLE)
        title = measure(game, counters_path, seconds)

        # Start, then Up to Easy on the difficulty list and start the run; the creature swims
        # straight on, so the run lasts longer than the measurement.
        for key in ("Return", "Up", "Return"):
            game.key(key, hold=harness.MENU_HOLD)
            time.sleep(MENU_STEP)
        time.sleep(PLAY_SETTLE)
        harness.check(counters(counters_path)["music"] > 0, "no music: the run did not start")
        play = measure(game, counters_path, seconds)
        still = counters(counters_path)["music"]
        time.sleep(MENU_STEP)
        harness.check(counters(counters_path)["music"] > still, "the music stopped: the run ended while measured")
        harness.check(game.running(), "the game ended")
        game.quit()
    return {"title": title, "play": play}


def run_with_retries(binary, args):
    """A run whose creature is caught before the measurement is over is run again: on a busy
    machine a lost key can leave the run on a harder difficulty."""
    for attempt in range(1, ATTEMPTS + 1):
        work = tempfile.mkdtemp(prefix="focused_cpu_")
        try:
            return run_once(binary, args.counters, work, args.seconds)
        except harness.Failure as e:
            if attempt == ATTEMPTS:
                raise
            print("%s: %s; run again" % (binary, e), flush=True)
        finally:
            shutil.rmtree(work, ignore_errors=True)


def median(values):
    values = sorted(values)
    mid = len(values) // 2
    return values[mid] if len(values) % 2 else (values[mid - 1] + values[mid]) / 2


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True, action="append", help="a built game binary (may repeat)")
    parser.add_argument("--counters", required=True, help="the built libloop_counters.so")
    parser.add_argument("--seconds", type=float, default=SECONDS)
    parser.add_argument("--rounds", type=int, default=1)
    args = parser.parse_args()
    try:
        harness.check(os.path.isfile(args.counters), "no counters library: " + args.counters)
        runs = {game: [] for game in args.game}
        for round_number in range(1, args.rounds + 1):
            for game in args.game:
                figures = run_with_retries(game, args)
                runs[game].append(figures)
                for screen in ("title", "play"):
                    print("round %d, %s, %s: %s" % (round_number, game, screen, describe(figures[screen])), flush=True)
    except harness.Failure as e:
        print("focused_cpu: %s" % e, file=sys.stderr)
        return 1
    if args.rounds > 1 or len(args.game) > 1:
        base = args.game[0]
        for screen in ("title", "play"):
            for game in args.game:
                med = {k: median([r[screen][k] for r in runs[game]]) for k in runs[game][0][screen]}
                line = "median of %d, %s, %s: %s" % (args.rounds, game, screen, describe(med))
                if game != base:
                    ref = {k: median([r[screen][k] for r in runs[base]]) for k in med}
                    line += " (main thread %.2f x, process %.2f x, renders %.2f x the first)" % (
                        med["main"] / ref["main"], med["process"] / ref["process"], med["renders"] / ref["renders"])
                print(line, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
