#!/usr/bin/python3
"""How soon after its launch each sender's first line reaches the device, with
bench.py's own runs (the device's clock), without the whole benchmark.

    bench/first_lines.py BUILD_DIR [--tries N]

Mirvok runs twice over: with the settings file of a user who has used it
before (bench.py's: every key written, the system's ports numbered, so nothing
is saved before the port opens), and with the file of a first start, where
only the run's choices and the terminal are in it, so Mirvok numbers the
system's ports and completes the file (two saves flushed to the disk) before
it opens the port. The quickest of the tries counts; the median shows the
noise.
"""

import argparse
import os
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench import CLI, Bench, Run  # noqa: E402


def first_lines(bench, image, mode, sender, tries):
    times = []
    for _ in range(tries):
        run = bench.execute(Run(sender, image, mode, watch_lines=(1,), until_lines=True))
        if run.arrivals.get(1) is not None:
            times.append(run.arrivals[1])
    return sorted(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=Path)
    parser.add_argument("--tries", type=int, default=5)
    options = parser.parse_args()
    print("Load average at the start: " + " ".join(f"{value:.2f}" for value in os.getloadavg()))
    print("\n| File | Line | Sender | Settings file | First line after, quickest (s) | median (s) |")
    print("|---|---|---|---|--:|--:|")
    with tempfile.TemporaryDirectory(prefix="mirvok-first-") as temp:
        bench = Bench(options.build.resolve(), Path(temp))
        mib1 = bench.image("1mib.s28", "1 MiB", [(0, 0x100000)])
        kib64 = bench.image("64kib.s28", "64 KiB", [(0, 0x10000)])
        rows = ((CLI, False, "used before"), (CLI, True, "first start"),
                ("ascii-xfr", False, "–"), ("python3-serial", False, "–"))
        for image, mode, line in ((mib1, 8, "115200,N,7,1 (mode 8)"), (kib64, 0, "9600,N,7,1 (mode 0)")):
            for sender, first_start, settings in rows:
                bench.first_start = first_start
                times = first_lines(bench, image, mode, sender, options.tries)
                quickest = f"{times[0]:.3f}" if times else "–"
                median = f"{times[len(times) // 2]:.3f}" if times else "–"
                print(f"| {image.size_text} | {line} | {sender} | {settings} | {quickest} | {median} |", flush=True)
    print("\nLoad average at the end: " + " ".join(f"{value:.2f}" for value in os.getloadavg()))


if __name__ == "__main__":
    main()
