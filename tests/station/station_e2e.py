#!/usr/bin/python3
"""mirvok-cli as a station against several mirvok-sim devices on
pseudo-terminals: a fault on one device, --fail-fast, --retries, --watch with
devices that come and go, and the audit log under kills.

    station_e2e.py --cli build/src/cli/program/mirvok-cli --sim build/src/sim/program/mirvok-sim
"""

import argparse
import hashlib
import json
import os
import random
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from sim_console import SimConsole, firmware, s_record_image  # noqa: E402
from station_children import station_children  # noqa: E402

ARGS = None
RUN_TIMEOUT_SECONDS = 120
LINK_FAILURES = {12, 15, 16, 17, 22, 23, 24, 25, 26, 30}


class Station(unittest.TestCase):
    devices = 3

    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="mirvok-station-"))
        self.ini = self.work / "Mirvok.ini"
        ports = "".join(f"COM{n}={self.link(n)}\r\n" for n in range(1, 4))
        self.ini.write_bytes(b"[Application]\r\nApp=Mirvok\r\n[Ports]\r\n" + ports.encode())
        self.log = self.work / "audit.jsonl"
        self.sims = {}

    def tearDown(self):
        for sim in self.sims.values():
            sim.stop()
        subprocess.run(["rm", "-rf", str(self.work)], check=False)

    def link(self, number):
        return self.work / f"dev{number}"

    def start_sim(self, number, *args):
        self.sims[number] = SimConsole(ARGS.sim, ["--no-pacing", "--link", self.link(number), *args])
        return self.sims[number]

    def write_firmware(self, blocks=(0, 1), lines_per_block=40):
        text, lines = firmware(blocks, lines_per_block)
        path = self.work / "fw.s28"
        path.write_text(text)
        return path, lines

    def command(self, firmware_path, *args):
        return [ARGS.cli, "download", str(firmware_path), "--terminal", "--mode", "8", "--wait", "0",
                "--ini", str(self.ini), *args]

    def run_station(self, firmware_path, *args):
        return subprocess.run(self.command(firmware_path, *args), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=RUN_TIMEOUT_SECONDS, start_new_session=True)

    def records(self):
        """The end records: how each attempt ended."""
        return [r for r in self.all_records() if r.get("event") != "started"]

    def all_records(self):
        return [json.loads(line) for line in self.log.read_text().splitlines()]

    def explain(self, run):
        return (f"exit {run.returncode}\nstdout:\n{run.stdout.decode(errors='replace')}"
                f"\nstderr:\n{run.stderr.decode(errors='replace')}")

    @staticmethod
    def summary(run):
        return json.loads(run.stdout.decode().splitlines()[-1])

    def pull_during_block_1(self, lines):
        """A setting that pulls the device's cable once the file's second
        64 KiB block has begun."""
        before = sum(len(line) + 2 for line in lines if not line.startswith("S2") or line[2:4] == "00" or
                     int(line[4:10], 16) < 0x10000)
        return f"pull-after={before - len(lines[-1]) + 60}"


class SeveralDevices(Station):
    def test_a_fault_on_one_device_leaves_the_others_whole_and_ends_60(self):
        rom, lines = self.write_firmware()
        for n in (1, 2):
            self.start_sim(n)
        self.start_sim(3, "--set", self.pull_during_block_1(lines), "--set", "rom=V9.87")
        junit = self.work / "report.xml"
        run = self.run_station(rom, "--port", "1,2", "--port", "3", "--json", "--log", str(self.log),
                               "--junit", str(junit), "--identify")
        self.assertEqual(run.returncode, 60, self.explain(run))
        summary = self.summary(run)
        self.assertEqual((summary["event"], summary["done"], summary["failed"]), ("summary", 2, 1))
        codes = {d["port"]: d["exit_code"] for d in summary["devices"]}
        self.assertEqual(codes[1], 0)
        self.assertEqual(codes[2], 0)
        self.assertIn(codes[3], LINK_FAILURES)
        # Every child event names its port.
        for line in run.stdout.decode().splitlines()[:-1]:
            self.assertIn(json.loads(line)["port"], (1, 2, 3), line)

        for n in (1, 2):
            self.assertIn("0 bad, 1 completed", self.sims[n].wait_status("1 completed"))
            self.assertEqual(self.sims[n].image(), s_record_image(lines))
        self.assertIn("0 completed", self.sims[3].status())

        records = self.records()
        self.assertEqual(len(records), 3)
        sha = hashlib.sha256(rom.read_bytes()).hexdigest()
        by_port = {r["port"]: r for r in records}
        self.assertEqual(sorted(by_port), ["COM1", "COM2", "COM3"])
        for r in records:
            self.assertEqual(r["sha256"], sha)
            self.assertEqual(r["file_size"], rom.stat().st_size)
            self.assertEqual((r["operation"], r["mode"], r["baud"], r["attempt"]), ("download", 8, 115200, 1))
            self.assertEqual(r["device"], str(self.link(int(r["port"][3:]))))
            self.assertRegex(r["start"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
        self.assertEqual(by_port["COM1"]["lines_sent"], len(lines))
        self.assertEqual(by_port["COM3"]["exit_code"], codes[3])
        self.assertEqual(by_port["COM3"]["rom_version"], "V9.87")
        self.assertEqual(by_port["COM1"]["rom_version"], "V1.23")
        self.assertEqual(by_port["COM1"]["exit_code"], 0)

        suite = ElementTree.parse(junit).getroot().find("testsuite")
        self.assertEqual((suite.get("tests"), suite.get("failures"), suite.get("errors")), ("3", "1", "0"))
        cases = suite.findall("testcase")
        self.assertEqual(sorted(c.get("name") for c in cases),
                         ["COM1 attempt 1", "COM2 attempt 1", "COM3 attempt 1"])
        failures = [c for c in cases if c.find("failure") is not None]
        self.assertEqual([c.get("name") for c in failures], ["COM3 attempt 1"])
        failure = failures[0].find("failure")
        self.assertEqual(failure.get("message"), f"{by_port['COM3']['ending']} (exit {codes[3]})")
        self.assertEqual(failure.get("type"), by_port["COM3"]["outcome"])
        # The history entry, written once by the station.
        self.assertIn(f"File1={rom}", self.ini.read_text(encoding="cp932"))

    def test_fail_fast_stops_the_others_without_the_end_of_file_byte(self):
        rom, lines = self.write_firmware(blocks=(0, 1, 2))
        for n in (1, 2):
            self.start_sim(n)
        self.start_sim(3, "--set", "pull-after=300")
        run = self.run_station(rom, "--port", "1,2,3", "--fail-fast", "--json")
        self.assertEqual(run.returncode, 60, self.explain(run))
        codes = {d["port"]: d["exit_code"] for d in self.summary(run)["devices"]}
        self.assertIn(codes[3], LINK_FAILURES)
        self.assertEqual((codes[1], codes[2]), (11, 11), self.explain(run))
        for n in (1, 2):
            self.assertIn("0 completed", self.sims[n].status())

    def test_a_crashed_child_takes_no_other_device_with_it(self):
        rom, lines = self.write_firmware()
        for n in (1, 2):
            self.start_sim(n)
        # Named relative to a folder beside it: resolved once, one name in
        # every record and in the history.
        (self.work / "st").mkdir()
        station = subprocess.Popen(self.command("../fw.s28", "--port", "1,2", "--json", "--log", str(self.log)),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   start_new_session=True, cwd=self.work / "st")
        self.sims[2].wait_status(r"download [1-9]\d* lines")
        os.kill(self.wait_for_child(station, 2), signal.SIGKILL)
        out, err = station.communicate(timeout=60)
        self.assertEqual(station.returncode, 60, err)
        codes = {d["port"]: d["exit_code"] for d in json.loads(out.decode().splitlines()[-1])["devices"]}
        self.assertEqual(codes, {1: 0, 2: 1})
        self.assertIn("0 bad, 1 completed", self.sims[1].wait_status("1 completed"))
        by_port = {r["port"]: r for r in self.records()}
        self.assertEqual((by_port["COM2"]["ending"], by_port["COM2"]["exit_code"]), ("no-result", 1))
        self.assertEqual(by_port["COM2"]["sha256"], hashlib.sha256(rom.read_bytes()).hexdigest())
        # What the station knows itself is as the device's own record would say.
        self.assertEqual([by_port["COM2"][key] for key in ("baud", "mode", "file", "file_size")],
                         [by_port["COM1"][key] for key in ("baud", "mode", "file", "file_size")])
        self.assertGreater(by_port["COM2"]["seconds"], 0)
        self.assertEqual(by_port["COM1"]["file"], str(rom.resolve()))
        history = [line for line in self.ini.read_text(encoding="cp932").splitlines() if line.startswith("File")]
        self.assertEqual(history, [f"File1={rom.resolve()}"])

    def wait_for_child(self, station, port, timeout=10):
        """The process id of this station's child on COM`port`, not that of
        another station running on the machine at the same time."""
        deadline = time.monotonic() + timeout
        while True:
            for entry in Path("/proc").iterdir():
                command = self.command_line(entry) if entry.name.isdigit() else b""
                if (b"--station-child\0--attempt" in command and f"\0--port\0{port}\0".encode() in command
                        and self.parent(entry) == station.pid):
                    return int(entry.name)
            self.assertLess(time.monotonic(), deadline, f"no child on COM{port}")
            time.sleep(0.01)

    @staticmethod
    def parent(entry):
        try:
            return int((entry / "stat").read_text().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            return None

    @staticmethod
    def command_line(entry):
        try:
            return (entry / "cmdline").read_bytes()
        except OSError:
            return b""

    def test_ctrl_c_stops_every_device_and_ends_130_with_the_summary(self):
        rom, lines = self.write_firmware(blocks=(0, 1, 2))
        for n in (1, 2):
            self.start_sim(n)
        station = subprocess.Popen(self.command(rom, "--port", "1,2", "--log", str(self.log)),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   start_new_session=True)
        for n in (1, 2):
            self.sims[n].wait_status(r"download [1-9]\d* lines")
        station.send_signal(signal.SIGINT)
        out, err = station.communicate(timeout=60)
        self.assertEqual(station.returncode, 130, err)
        self.assertIn("done 0 / failed 2 (exit 130)", out.decode())
        self.assertEqual([r["exit_code"] for r in self.records()], [11, 11])
        for n in (1, 2):
            self.assertIn("0 completed", self.sims[n].status())

    def test_sigterm_and_sighup_stop_every_device_with_records_and_report(self):
        for sig, code in ((signal.SIGTERM, 143), (signal.SIGHUP, 129)):
            with self.subTest(signal=sig.name):
                # Long enough to be under way on all three when the signal comes.
                rom, lines = self.write_firmware(blocks=(0, 1, 2), lines_per_block=200)
                for n in (1, 2, 3):
                    self.start_sim(n)
                junit = self.work / "report.xml"
                station = subprocess.Popen(self.command(rom, "--port", "1,2,3", "--log", str(self.log),
                                                        "--junit", str(junit)),
                                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE, start_new_session=True)
                for n in (1, 2, 3):
                    self.sims[n].wait_status(r"download [1-9]\d* lines")
                station.send_signal(sig)
                out, err = station.communicate(timeout=60)
                self.assertEqual(station.returncode, code, err)
                self.assertIn(f"done 0 / failed 3 (exit {code})", out.decode())
                self.assertEqual(sorted(r["port"] for r in self.records()), ["COM1", "COM2", "COM3"])
                self.assertEqual([r["exit_code"] for r in self.records()], [11, 11, 11])
                self.assertEqual(len(ElementTree.parse(junit).getroot().findall("./testsuite/testcase")), 3)
                statuses = [self.sims[n].status() for n in (1, 2, 3)]
                for n in (1, 2, 3):
                    self.sims.pop(n).stop()
                for status in statuses:
                    self.assertIn("0 completed", status)
                self.log.unlink()

    def test_a_stopped_child_is_ended_at_its_silence_deadline(self):
        rom, lines = self.write_firmware(blocks=(0, 1, 2))
        for n in (1, 2):
            self.start_sim(n)
        # The deadline the tests may shorten; the station's own is 45 s.
        env = dict(os.environ, MIRVOK_STATION_SILENCE_MS="6000")
        station = subprocess.Popen(self.command(rom, "--port", "1,2", "--json", "--log", str(self.log)),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   start_new_session=True, env=env)
        # Stopped as soon as it is there, long before its file could be
        # through: it says nothing from then on.
        child = self.wait_for_child(station, 2)
        os.kill(child, signal.SIGSTOP)
        out, err = station.communicate(timeout=60)
        self.assertEqual(station.returncode, 60, err)
        codes = {d["port"]: d["exit_code"] for d in json.loads(out.decode().splitlines()[-1])["devices"]}
        self.assertEqual(codes, {1: 0, 2: 1})
        by_port = {r["port"]: r for r in self.records()}
        self.assertEqual((by_port["COM2"]["ending"], by_port["COM2"]["exit_code"]), ("no-result", 1))
        self.assertIn("0 completed", self.sims[2].status())

    def test_a_device_that_fails_once_on_the_link_is_retried_and_done(self):
        rom, lines = self.write_firmware()
        sim = self.start_sim(1, "--set", self.pull_during_block_1(lines))

        def plug_back():
            sim.wait_status("cable pulled", 60)
            sim.ask("restart", "restarted")
            sim.ask("cable plug", "cable plugged in")

        helper = threading.Thread(target=plug_back)
        helper.start()
        run = self.run_station(rom, "--port", "1", "--retries", "2", "--log", str(self.log))
        helper.join()
        self.assertEqual(run.returncode, 0, self.explain(run))
        records = self.records()
        self.assertEqual([r["attempt"] for r in records], [1, 2])
        self.assertIn(records[0]["exit_code"], LINK_FAILURES)
        self.assertEqual(records[1]["exit_code"], 0)
        self.assertIn("done 1 / failed 0", run.stdout.decode())


class Watching(Station):
    def test_each_connection_is_flashed_once(self):
        rom, lines = self.write_firmware(blocks=(0,), lines_per_block=20)
        self.start_sim(1)
        self.start_sim(2)
        out = self.work / "station.out"
        with open(out, "wb") as sink:
            junit = self.work / "report.xml"
            began = time.monotonic()
            station = subprocess.Popen(self.command(rom, "--watch", "--port", "1,2,3", "--json", "--log",
                                                    str(self.log), "--junit", str(junit)),
                                       stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.DEVNULL,
                                       start_new_session=True)
            try:
                self.wait_for_done(out, 2)
                self.start_sim(3)  # a device appears
                self.wait_for_done(out, 3)
                time.sleep(2.5)  # the port list is read again: nothing is flashed twice
                self.assertEqual(sorted(self.done_events(out)), [1, 2, 3])
                sim = self.sims[1]  # goes and comes back
                sim.ask("cable pull", "cable pulled")
                self.wait_for_events(out, "gone", 1)  # its port has left the list
                sim.ask("restart", "restarted")
                sim.ask("cable plug", "cable plugged in")
                self.wait_for_done(out, 4)
                self.sims.pop(2).stop()  # goes for good
                self.wait_for_events(out, "gone", 2)
                station.send_signal(signal.SIGINT)
                station.wait(timeout=30)
            finally:
                if station.poll() is None:
                    station.kill()
        wall = time.monotonic() - began
        self.assertEqual(station.returncode, 130)
        summary = json.loads(out.read_text().splitlines()[-1])
        self.assertEqual((summary["done"], summary["failed"], summary["waiting"]), (4, 0, 1), summary)
        self.assertEqual(sorted(self.done_events(out)), [1, 1, 2, 3])
        self.assertEqual(len(self.records()), 4)
        com1 = [d for d in summary["devices"] if d["port"] == 1][0]
        self.assertEqual([e["connection"] for e in com1["connection_endings"]], [1, 2], com1)
        suite = ElementTree.parse(junit).getroot().find("./testsuite")
        names = sorted(c.get("name") for c in suite.findall("testcase"))
        self.assertEqual(names, ["COM1 connection 1 attempt 1", "COM1 connection 2 attempt 1",
                                 "COM2 connection 1 attempt 1", "COM3 connection 1 attempt 1"])
        # The station's wall time, idle watching included, not its devices'.
        self.assertGreater(float(suite.get("time")), wall - 3)
        self.assertLessEqual(float(suite.get("time")), wall)

    def test_a_port_that_stays_listed_is_flashed_when_its_device_is_on_again(self):
        # A remote port stays listed; its server reports the device's lines.
        rom, lines = self.write_firmware(blocks=(0,), lines_per_block=20)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            server_port = probe.getsockname()[1]
        sim = self.start_sim(4, "--rfc2217", str(server_port))
        with open(self.ini, "ab") as ini:
            ini.write(f"COM4=rfc2217://127.0.0.1:{server_port}\r\n".encode())
        out = self.work / "station.out"
        with open(out, "wb") as sink:
            station = subprocess.Popen(self.command(rom, "--watch", "--port", "4", "--json"),
                                       stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.DEVNULL,
                                       start_new_session=True)
            try:
                self.wait_for_done(out, 1)
                time.sleep(3)  # still on: the same connection, not flashed again
                self.assertEqual(self.done_events(out), [4])
                sim.ask("power off", "power off")
                self.wait_for_events(out, "gone", 1)
                sim.ask("power on", "power on")
                self.wait_for_done(out, 2)
                station.send_signal(signal.SIGINT)
                station.wait(timeout=30)
            finally:
                if station.poll() is None:
                    station.kill()
        self.assertEqual(station.returncode, 130)
        self.assertEqual(self.done_events(out), [4, 4])
        self.assertEqual(sim.image(), s_record_image(lines))

    @staticmethod
    def events(out, name):
        events = [json.loads(line) for line in out.read_text().splitlines() if line.strip()]
        return [e["port"] for e in events if e.get("event") == name]

    @classmethod
    def done_events(cls, out):
        return cls.events(out, "done")

    def wait_for_events(self, out, name, count, timeout=60):
        deadline = time.monotonic() + timeout
        while len(self.events(out, name)) < count:
            self.assertLess(time.monotonic(), deadline, out.read_text())
            time.sleep(0.1)

    def wait_for_done(self, out, count, timeout=60):
        self.wait_for_events(out, "done", count, timeout)


class LogUnderKills(Station):
    KILLS = 100

    def test_every_line_is_whole_after_random_kills_and_shared_writers(self):
        rom, lines = self.write_firmware(blocks=(0,), lines_per_block=4)
        # Ports that are not there: every attempt fails at once and is logged,
        # so the station writes records as fast as it can while it is killed.
        command = self.command(rom, "--port", "7,8,9", "--log", str(self.log))
        shared = [subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL) for _ in range(2)]
        for process in shared:
            self.assertEqual(process.wait(timeout=60), 60)
        self.assertEqual(len(self.records()), 6)
        rng = random.Random(24)
        for _ in range(self.KILLS):
            process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, 0.03))
            process.kill()
            process.wait()
        text = self.log.read_text()
        self.assertTrue(text.endswith("\n"))
        for line in text.splitlines():
            record = json.loads(line)
            self.assertEqual(record["exit_code"], 40, line)


class SupervisorGone(Station):
    """What a station leaves when it cannot end in order: killed outright, or
    short of file descriptors."""

    def children(self):
        """This test's station children still running (zombies have no
        command line)."""
        return station_children(self.ini)

    def test_a_killed_station_leaves_started_records_and_no_child_goes_on(self):
        rom, lines = self.write_firmware(blocks=(0, 1, 2))
        for n in (1, 2, 3):
            self.start_sim(n)
        station = subprocess.Popen(self.command(rom, "--port", "1,2,3", "--log", str(self.log)),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            for n in (1, 2, 3):
                self.sims[n].wait_status(r"download [1-9]\d* lines")
            self.assertEqual(len(self.children()), 3)
        finally:
            station.kill()
            station.wait()
        deadline = time.monotonic() + 3
        while self.children():
            self.assertLess(time.monotonic(), deadline, "a child outlived its station by 3 s")
            time.sleep(0.05)
        for n in (1, 2, 3):
            self.assertIn("0 completed", self.sims[n].status())
        started = self.all_records()
        sha = hashlib.sha256(rom.read_bytes()).hexdigest()
        self.assertEqual(sorted(r["port"] for r in started), ["COM1", "COM2", "COM3"])
        for r in started:
            self.assertEqual((r["event"], r["attempt"], r["sha256"], r["mode"]), ("started", 1, sha, 8), r)
            self.assertNotIn("exit_code", r)

    def descriptors_of_an_idle_station(self):
        """How many descriptors a station holds before it starts a child: one
        watching a port with no device."""
        idle = subprocess.Popen(self.command(self.work / "none.s28", "--watch", "--port", "9"),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            time.sleep(1)
            counts = []
            for _ in range(5):
                counts.append(len(os.listdir(f"/proc/{idle.pid}/fd")))
                time.sleep(0.1)
        finally:
            idle.send_signal(signal.SIGINT)
            idle.wait(timeout=30)
        return min(counts)

    def test_without_descriptors_a_device_says_why_and_the_others_run(self):
        rom, lines = self.write_firmware()
        for n in (1, 2, 3):
            self.start_sim(n)
        # A start takes 7 descriptors for a moment and keeps 2: room for one
        # or two of the three children, whatever the count is off by.
        limit = self.descriptors_of_an_idle_station() + 9
        run = subprocess.run(self.command(rom, "--port", "1,2,3", "--json", "--log", str(self.log)),
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_TIMEOUT_SECONDS,
                             start_new_session=True,
                             preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (limit, limit)))
        self.assertEqual(run.returncode, 60, self.explain(run))
        devices = self.summary(run)["devices"]
        done = [d["port"] for d in devices if d["exit_code"] == 0]
        refused = [d for d in devices if d["exit_code"] != 0]
        self.assertTrue(done and refused, self.explain(run))
        for d in refused:
            self.assertEqual(d["text"], "the device's program could not be started: Too many open files")
        for n in done:
            self.assertEqual(self.sims[n].image(), s_record_image(lines))
        ends = {r["port"]: r for r in self.records()}
        for d in refused:
            record = ends[f"COM{d['port']}"]
            self.assertEqual((record["ending"], record["cause"]), ("not-started", "Too many open files"))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
