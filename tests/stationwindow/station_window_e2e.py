#!/usr/bin/python3
"""mirvok-station --start against three mirvok-sim devices on
pseudo-terminals, on Qt's offscreen platform: the audit log, the devices'
images, the window's own settings section, and SIGTERM, which stops every
device with its record and leaves no child behind.

    station_window_e2e.py --station build/src/cli/program/mirvok-station --sim build/src/sim/program/mirvok-sim
"""

import argparse
import hashlib
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from sim_console import SimConsole, firmware, s_record_image  # noqa: E402
from station_children import station_children  # noqa: E402

ARGS = None
TIMEOUT_SECONDS = 120


class StationWindow(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="mirvok-station-window-"))
        self.ini = self.work / "Mirvok.ini"
        ports = "".join(f"COM{n}={self.work / f'dev{n}'}\r\n" for n in range(1, 4))
        self.main_keys = b"[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 2\r\n[Mode]\r\nDownloadno= 3\r\n"
        self.ini.write_bytes(self.main_keys + b"[Ports]\r\n" + ports.encode())
        self.log = self.work / "audit.jsonl"
        self.sims = {}
        self.station = None

    def tearDown(self):
        if self.station and self.station.poll() is None:
            self.station.kill()
            self.station.wait()
        for sim in self.sims.values():
            sim.stop()
        subprocess.run(["rm", "-rf", str(self.work)], check=False)

    def start(self, rom, *args):
        for n in (1, 2, 3):
            self.sims[n] = SimConsole(ARGS.sim, ["--no-pacing", "--link", self.work / f"dev{n}"])
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.station = subprocess.Popen(
            [ARGS.station, str(rom), "--ini", str(self.ini), "--port", "1,2,3", "--terminal", "--mode", "8",
             "--wait", "0", "--log", str(self.log), "--start", *args],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
            start_new_session=True)

    def records(self):
        if not self.log.exists():
            return []
        return [r for r in map(json.loads, self.log.read_text().splitlines()) if r.get("event") != "started"]

    def wait_records(self, count):
        deadline = time.monotonic() + TIMEOUT_SECONDS
        while len(self.records()) < count:
            if self.station.poll() is not None:
                self.fail(f"the station ended: {self.station.stderr.read().decode(errors='replace')}")
            self.assertLess(time.monotonic(), deadline, "the station did not end its devices")
            time.sleep(0.1)
        return self.records()

    def children(self):
        """This station's mirvok-cli children still running."""
        return station_children(self.ini)

    def terminate(self):
        self.station.send_signal(signal.SIGTERM)
        out, err = self.station.communicate(timeout=60)
        self.assertEqual(self.station.returncode, 143, err.decode(errors="replace"))
        self.assertEqual(self.children(), [])

    def test_start_flashes_every_device_and_records_each(self):
        text, lines = firmware((0, 1), 40)
        rom = self.work / "fw.s28"
        rom.write_text(text)
        junit = self.work / "report.xml"
        self.start(rom, "--junit", str(junit))
        records = self.wait_records(3)
        sha = hashlib.sha256(rom.read_bytes()).hexdigest()
        self.assertEqual(sorted(r["port"] for r in records), ["COM1", "COM2", "COM3"])
        for r in records:
            self.assertEqual((r["exit_code"], r["sha256"], r["baud"], r["file"]), (0, sha, 115200, str(rom)))
            self.assertEqual(r["lines_sent"], len(lines))
        for n in (1, 2, 3):
            self.assertIn("1 completed", self.sims[n].wait_status("1 completed"))
            self.assertEqual(self.sims[n].image(), s_record_image(lines))
        # The run has ended; the window stays open until it is told to end.
        deadline = time.monotonic() + 10
        while not junit.exists():
            self.assertLess(time.monotonic(), deadline, "no JUnit report")
            time.sleep(0.05)
        self.terminate()
        ini = self.ini.read_bytes()
        self.assertTrue(ini.startswith(self.main_keys), ini)
        self.assertIn(b"[Station]\r\n", ini)
        self.assertIn(b"Ports=1,2,3\r\n", ini)
        self.assertIn(b"Mode=8\r\n", ini)

    def test_sigterm_stops_every_device_with_its_record_and_leaves_no_child(self):
        text, lines = firmware((0, 1, 2), 300)
        rom = self.work / "fw.s28"
        rom.write_text(text)
        self.start(rom)
        for n in (1, 2, 3):
            self.sims[n].wait_status(r"download [1-9]\d* lines")
        self.assertEqual(len(self.children()), 3)
        self.terminate()
        records = self.records()
        self.assertEqual(sorted(r["port"] for r in records), ["COM1", "COM2", "COM3"])
        self.assertEqual([r["exit_code"] for r in records], [11, 11, 11])
        for n in (1, 2, 3):
            # Stopped as the window stops: no end-of-file byte, nothing completed.
            self.assertIn("0 completed", self.sims[n].status())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--station", required=True)
    parser.add_argument("--sim", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest])
