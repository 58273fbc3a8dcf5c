#!/usr/bin/python3
r"""mirvok-cli.exe under Wine against mirvok-sim: the Windows program's whole
road through the Win32 serial transport. The simulator's pseudo-terminal is
made a COM port of a Wine prefix of the tests' own: registered under
HKLM\Software\Wine\Ports, from where Wine, once restarted, links it in the
prefix's dosdevices folder and lists it as Windows lists its COM ports.

    cli_under_wine.py --cli mirvok-cli.exe --sim mirvok-sim --wine-run wine-run.sh \
                      --prefix DIR --data DIR
"""

import argparse
import json
import os
import re
import subprocess
import ctypes
import shutil
import signal
import struct
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from sim_console import SimConsole, firmware, s_record_image  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402

ARGS = None
PREFIX = None  # WinePrefix
BLOCK_PAUSE_SECONDS = 2.0
# A gap in what the device receives that counts as one of the program's
# block pauses (the pause is 2 s; Wine and the terminal add little).
PAUSE_AT_LEAST_SECONDS = 1.5
PROGRAM_TIMEOUT_SECONDS = 120


def received_gaps(transcript):
    """Gaps of at least PAUSE_AT_LEAST_SECONDS between the bytes the device
    received from its first S-record on."""
    times = []
    started = False
    for line in Path(transcript).read_text(errors="replace").splitlines():
        match = re.match(r"\s*([0-9.]+) host>dev\s+((?:[0-9A-F]{2} )+)", line)
        if not match:
            continue
        data = bytes.fromhex(match.group(2))
        started = started or b"S" in data
        if started:
            times.append(float(match.group(1)))
    return [b - a for a, b in zip(times, times[1:]) if b - a >= PAUSE_AT_LEAST_SECONDS]


class CliUnderWine(unittest.TestCase):
    port = 0

    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="mirvok-wine-e2e-"))
        self.ini = self.work / "Mirvok.ini"
        self.sim = None

    def tearDown(self):
        if self.sim:
            self.sim.stop()
            PREFIX.map_port(self.port, None)
        subprocess.run(["rm", "-rf", str(self.work)], check=False)

    def start_sim(self, *args):
        self.sim = SimConsole(ARGS.sim, ["--transcript", self.work / "sim.transcript", "--no-pacing", *args])
        PREFIX.map_port(self.port, self.sim.path)
        link = Path(ARGS.prefix) / "dosdevices" / f"com{self.port}"
        self.assertEqual(os.readlink(link), self.sim.path)

    def cli(self, *args):
        command = [*PREFIX.command(ARGS.cli), *args,
                   "--ini", windows_path(self.ini), "--port", str(self.port)]
        return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=PROGRAM_TIMEOUT_SECONDS)

    def explain(self, run):
        return (f"exit {run.returncode}\nstdout:\n{run.stdout.decode(errors='replace')}"
                f"\nstderr:\n{run.stderr.decode(errors='replace')}")


class DownloadUnderWine(CliUnderWine):
    port = 41

    def test_terminal_mode_download_fills_the_device_with_the_file(self):
        rom = Path(ARGS.data) / "small.s28"
        self.start_sim()
        run = self.cli("download", windows_path(rom), "--terminal", "--mode", "8")
        self.assertEqual(run.returncode, 0, self.explain(run))
        self.assertIn("transfer completed (2000)", run.stdout.decode(errors="replace"), self.explain(run))

        status = self.sim.wait_status(r" [1-9]\d* completed")
        self.assertIn("0 bad, 1 completed", status)
        image = self.sim.image()
        self.assertEqual(image, s_record_image(rom.read_text().splitlines()))
        # Blocks 0 to 2: a pause at 0x010000, at 0x020000 and before the end record.
        gaps = received_gaps(self.work / "sim.transcript")
        self.assertEqual(len(gaps), 3, gaps)
        for gap in gaps:
            self.assertLess(gap, BLOCK_PAUSE_SECONDS + 1.5, gaps)


class ReadingUnderWine(CliUnderWine):
    port = 42

    def test_version_and_dip_switches_are_read(self):
        self.start_sim("--set", "rom=MV-9.01", "--set", "dsw1=A5", "--set", "dsw2=3C")
        version = self.cli("version")
        self.assertEqual(version.returncode, 0, self.explain(version))
        self.assertIn("MV-9.01", version.stdout.decode(errors="replace"), self.explain(version))

        dsw = self.cli("dsw")
        self.assertEqual(dsw.returncode, 0, self.explain(dsw))
        output = dsw.stdout.decode(errors="replace")
        self.assertIn("DSW1 A5", output, self.explain(dsw))
        self.assertIn("DSW2 3C", output, self.explain(dsw))


class FolderWatch:
    """inotify on a folder: the names of files closed after writing."""
    IN_CLOSE_WRITE = 0x00000008

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        self.libc.inotify_add_watch(self.fd, str(folder).encode(), self.IN_CLOSE_WRITE)

    def closed_names(self):
        try:
            data = os.read(self.fd, 65536)
        except BlockingIOError:
            return []
        names = []
        while data:
            _, _, _, length = struct.unpack_from("iIII", data)
            names.append(data[16:16 + length].rstrip(b"\0").decode(errors="replace"))
            data = data[16 + length:]
        return names

    def close(self):
        os.close(self.fd)


def windows_process_of(marker):
    """The Linux process id of the Windows program whose command line holds
    `marker` (a path of this test's own folder), or None."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            command = (entry / "cmdline").read_bytes()
        except OSError:
            continue
        if marker.encode() in command and b"mirvok-cli" in command and b"wine-run" not in command:
            return int(entry.name)
    return None


class PortLockUnderWine(CliUnderWine):
    port = 43

    def test_a_second_program_is_refused_the_port_a_download_holds(self):
        rom = Path(ARGS.data) / "small.s28"
        self.start_sim()
        command = [*PREFIX.command(ARGS.cli), "download", windows_path(rom),
                   "--terminal", "--mode", "8", "--ini", windows_path(self.ini), "--port", str(self.port)]
        download = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
        deadline = time.monotonic() + PROGRAM_TIMEOUT_SECONDS
        while time.monotonic() < deadline:
            status = " ".join(self.sim.ask("status", r"line mismatches"))
            match = re.search(r"download (\d+) lines", status)
            if match and int(match.group(1)) > 0:
                break
            time.sleep(0.1)
        second = self.cli("dsw")
        out, err = download.communicate(timeout=PROGRAM_TIMEOUT_SECONDS)
        self.assertEqual(second.returncode, 22, self.explain(second))
        self.assertIn("(101)", second.stdout.decode(errors="replace") + second.stderr.decode(errors="replace"))
        self.assertEqual(download.returncode, 0, f"{out.decode(errors='replace')}\n{err.decode(errors='replace')}")
        status = " ".join(self.sim.ask("status", r"line mismatches"))
        self.assertIn("0 bad, 1 completed", status)


class SaveKilledUnderWine(CliUnderWine):
    port = 44
    ATTEMPTS = 5

    def test_a_save_killed_as_it_replaces_the_file_leaves_the_old_or_the_new_file(self):
        self.start_sim()
        keep = "C:\\keep\\fw.s28"
        self.ini.write_bytes(b"[Application]\r\nApp=Mirvok\r\n[File]\r\nFile1=" + keep.encode() + b"\r\n")
        watch = FolderWatch(self.work)
        try:
            for attempt in range(self.ATTEMPTS):
                rom = self.work / f"fw{attempt}.s28"
                shutil.copy(Path(ARGS.data) / "small.s28", rom)
                command = [*PREFIX.command(ARGS.cli), "download", windows_path(rom),
                           "--terminal", "--mode", "8", "--ini", windows_path(self.ini), "--port", str(self.port)]
                watch.closed_names()
                program = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                pid = None
                killed = False
                deadline = time.monotonic() + PROGRAM_TIMEOUT_SECONDS
                while not killed and program.poll() is None and time.monotonic() < deadline:
                    pid = pid or windows_process_of(windows_path(rom))
                    # The temporary has been written and closed: the rename comes next.
                    if pid and any(n.startswith("Mirvok.ini.tmp") for n in watch.closed_names()):
                        os.kill(pid, signal.SIGKILL)
                        killed = True
                program.wait(timeout=PROGRAM_TIMEOUT_SECONDS)
                self.assertTrue(killed, f"attempt {attempt}: the save was not seen")
                text = self.ini.read_bytes()
                self.assertIn(b"App=Mirvok", text, f"attempt {attempt}")
                self.assertIn(keep.encode(), text, f"attempt {attempt}")
        finally:
            watch.close()
        # The next start keeps the file and leaves no temporary behind.
        after = self.cli("dsw")
        self.assertEqual(after.returncode, 0, self.explain(after))
        self.assertIn(keep.encode(), self.ini.read_bytes())
        self.assertEqual([p.name for p in self.work.iterdir() if ".tmp" in p.name], [])


class StationUnderWine(CliUnderWine):
    port = 45
    second_port = 46

    def test_two_com_ports_at_once(self):
        rom = Path(ARGS.data) / "small.s28"
        self.start_sim()
        second = SimConsole(ARGS.sim, ["--transcript", self.work / "sim2.transcript", "--no-pacing"])
        try:
            PREFIX.map_port(self.second_port, second.path)
            log = self.work / "audit.jsonl"
            command = [*PREFIX.command(ARGS.cli), "download", windows_path(rom),
                       "--terminal", "--mode", "8", "--ini", windows_path(self.ini),
                       "--port", f"{self.port},{self.second_port}", "--log", windows_path(log)]
            run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                 timeout=PROGRAM_TIMEOUT_SECONDS)
            self.assertEqual(run.returncode, 0, self.explain(run))
            self.assertIn("done 2 / failed 0", run.stdout.decode(errors="replace"), self.explain(run))
            for sim in (self.sim, second):
                self.assertIn("0 bad, 1 completed", sim.status())
                self.assertEqual(sim.image(), s_record_image(rom.read_text().splitlines()))
            records = [json.loads(line) for line in log.read_text().splitlines()]
            ports = [f"COM{self.port}", f"COM{self.second_port}"]
            started = [r for r in records if r.get("event") == "started"]
            ends = [r for r in records if "event" not in r]
            self.assertEqual(sorted(r["port"] for r in started), ports)
            self.assertEqual(sorted(r["port"] for r in ends), ports)
            self.assertEqual({r["exit_code"] for r in ends}, {0})
        finally:
            second.stop()
            PREFIX.map_port(self.second_port, None)

    def station_children(self):
        """This test's station children still running: Wine gives each
        Windows process its command line."""
        found = []
        for entry in Path("/proc").iterdir():
            try:
                line = (entry / "cmdline").read_bytes() if entry.name.isdigit() else b""
            except OSError:
                continue
            if b"--station-child" in line and self.work.name.encode() in line:
                found.append(int(entry.name))
        return found

    def test_a_killed_station_takes_its_children_with_it(self):
        rom = self.work / "fw.s28"
        text, lines = firmware((0, 1, 2), 40)
        rom.write_text(text)
        self.start_sim()
        second = SimConsole(ARGS.sim, ["--transcript", self.work / "sim2.transcript", "--no-pacing"])
        try:
            PREFIX.map_port(self.second_port, second.path)
            log = self.work / "audit.jsonl"
            command = [*PREFIX.command(ARGS.cli), "download", windows_path(rom),
                       "--terminal", "--mode", "8", "--ini", windows_path(self.ini),
                       "--port", f"{self.port},{self.second_port}", "--log", windows_path(log)]
            station = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            try:
                for sim in (self.sim, second):
                    sim.wait_status(r"download [1-9]\d* lines", 60)
                self.assertEqual(len(self.station_children()), 2)
            finally:
                station.kill()
                station.wait()
            deadline = time.monotonic() + 5
            while self.station_children():
                self.assertLess(time.monotonic(), deadline, "a child outlived its station by 5 s")
                time.sleep(0.1)
            for sim in (self.sim, second):
                self.assertIn("0 completed", sim.status())
            records = [json.loads(line) for line in log.read_text().splitlines()]
            self.assertEqual(sorted((r["event"], r["port"]) for r in records),
                             [("started", f"COM{self.port}"), ("started", f"COM{self.second_port}")])
        finally:
            second.stop()
            PREFIX.map_port(self.second_port, None)


def main():
    global ARGS, PREFIX
    parser = argparse.ArgumentParser()
    for name in ("--cli", "--sim", "--wine-run", "--prefix", "--data"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.prefix = str(Path(ARGS.prefix).resolve())
    PREFIX = WinePrefix(ARGS.wine_run, ARGS.prefix)
    # Makes the prefix, if need be, before the first test times a program.
    PREFIX.run("cmd", "/c", "exit")
    PREFIX.keep_alive()
    try:
        unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
    finally:
        PREFIX.server("-k")


if __name__ == "__main__":
    main()
