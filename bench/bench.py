#!/usr/bin/python3
"""Mirvok's performance, side by side with the plain ways to send a file,
against mirvok-sim on pseudo-terminals. Prints Markdown tables.

    bench/bench.py BUILD_DIR [--quick] [--station-only] [--station-devices 1,8,32]

The paced transfers, the minicom ascii-xfr and python3-serial senders and the
waiting runs go in parallel (each against its own simulator; they wait on the
line rate, not on the processor), launched 0.3 s apart; the short runs that time the first line of a
selection and the unpaced runs go one after the other. Mirvok runs as
mirvok-cli and as its window (bench/window, on Qt's offscreen platform).
--quick uses small files, to try the script out; its figures mean little.
--station-only runs only the station's rows (1, 8 and 32 devices at once on
mirvok-sim at 115200 baud, or --station-devices), one row after the other.
"""

import argparse
import concurrent.futures
import datetime
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "support"))
from ser2net_server import SER2NET, Ser2net  # noqa: E402
from procs import Simulator, TimedProcess, parse_json_lines, pause_idle_from_gaps, preset_baud  # noqa: E402
from wire import (BLOCK_PAUSE_SECONDS, DOWNLOAD_MODES, WHOLE_FILE_MASK, first_lines_of_blocks,  # noqa: E402
                  paced_seconds, sent_lines, wire_load, wire_seconds)

HERE = Path(__file__).resolve().parent
SIM_PORT = 1
CLI = "Mirvok"
WINDOW = "Mirvok window"
MIRVOK_SENDERS = (CLI, WINDOW)
# mirvok-cli on a remote port: ser2net (telnet(rfc2217) on 127.0.0.1) in
# front of the simulator's terminal.
REMOTE = "Mirvok through ser2net"
# The senders that make the block pauses.
PAUSING_SENDERS = (CLI, WINDOW, REMOTE)
# The runs that go in parallel are launched this far apart, so that each
# sender starts on a machine that is not busy starting the others: a start
# costs processor time, a paced transfer hardly any.
PARALLEL_LAUNCH_GAP_SECONDS = 0.3
# Each short run that times a first line is repeated; the quickest counts,
# the others were slowed by what else the machine did.
FIRST_LINE_TRIES = 3
# Likewise each unpaced sender; a run of the 64 MiB file takes a few seconds.
UNPACED_TRIES = 3
# The station's rows: this many devices at once.
STATION_DEVICES = (1, 8, 32)
# The station's goals: the slowest of N devices against one device alone,
# and the processor time of the supervisor and its children per device.
STATION_SLOWEST_OVER_ONE = 1.05
STATION_CPU_SHARE_PER_DEVICE = 0.005


@dataclass
class Image:
    name: str
    path: Path
    size_text: str
    load: object = None

    def __post_init__(self):
        self.load = wire_load(self.path.read_bytes())
        self.bytes = self.path.stat().st_size


@dataclass
class Run:
    sender: str        # "Mirvok", "Mirvok window", REMOTE, "ascii-xfr", "python3-serial"
    image: Image
    mode: int          # download mode: line settings
    paced: bool = True
    sim_settings: list = field(default_factory=list)
    terminal_mode: bool = False
    wait_ms: int = 0
    mask: str = WHOLE_FILE_MASK
    # Download lines (from 1) whose arrival is asked; a run that ends once
    # the last of them came in (until_lines) is not waited out.
    watch_lines: tuple = ()
    until_lines: bool = False
    # Results.
    seconds: float = None      # launch to the device's end of file
    paused: float = 0.0        # idle wire that the block pauses explain
    shortest_pause: float = None  # the shortest block pause at the device (pausing senders)
    first_line: float = None   # launch to the first line at the device
    exit_code: int = None
    status: tuple = None       # simulator: lines, bad, completed
    time_report: dict = None
    process: TimedProcess = None
    error: str = ""
    server: object = None  # REMOTE: the ser2net in front of the simulator
    arrivals: dict = field(default_factory=dict)  # line -> seconds after the launch

    @property
    def framing(self):
        return DOWNLOAD_MODES[self.mode]

    @property
    def ok(self):
        return self.seconds is not None and self.status and self.status[1] == 0 and \
            self.status[0] == self.image.load.lines

    @property
    def cpu_seconds(self):
        return self.time_report["user"] + self.time_report["system"] if self.time_report else None


@dataclass
class StationRun:
    """mirvok-cli download on `devices` ports at once (the station)."""
    image: Image
    devices: int
    mode: int = 8
    # Results.
    devices_run: list = field(default_factory=list)  # a Run per device: its times at the device
    process: TimedProcess = None
    time_report: dict = None
    records: list = field(default_factory=list)  # the audit log
    summary: dict = None  # the --json stream's summary event
    error: str = ""

    @property
    def framing(self):
        return DOWNLOAD_MODES[self.mode]

    def wall_seconds(self):
        """From the launch until the last device has taken its end-of-file byte."""
        times = [run.seconds for run in self.devices_run]
        return max(times) if times and None not in times else None

    def worst_ratio(self):
        """The slowest device's time without block pauses over the lower bound."""
        bound = wire_seconds(self.image.load.characters, self.framing)
        times = [sending_seconds(run) for run in self.devices_run]
        return max(times) / bound if times and None not in times else None

    def completed(self):
        """Devices that took the whole file, and log records that say completed
        with every line sent."""
        received = sum(1 for run in self.devices_run if run.ok)
        logged = sum(1 for record in self.records if record.get("ending") == "completed" and
                     record.get("lines_sent") == record.get("lines_total") == self.image.load.lines)
        return received, logged

    def cpu_share_per_device(self):
        """Processor time of the station and its children over its wall time, per device."""
        wall = self.wall_seconds()
        if not wall or not self.time_report:
            return None
        cpu = self.time_report["user"] + self.time_report["system"]
        return cpu / wall / self.devices

    def child_peak_mib(self):
        peaks = list(self.process.tree_peak_kib.values()) if self.process else []
        return max(peaks) / 1024 if peaks else None


def station_table(stations, single):
    rows = ["| Devices | File | Line | Lower bound (s) | Time, quickest – slowest device (s) "
            "| Time without pauses, slowest (s) | ÷ lower bound, slowest | Wall ÷ one device "
            "| Devices that took the whole file / log records completed | Exit code (summary) "
            "| CPU per device (% of a core) | Peak memory per device (MiB) | Supervisor peak memory (MiB) |",
            "|--:|---|---|--:|--:|--:|--:|--:|---|--:|--:|--:|--:|"]
    one = single.wall_seconds() if single else None
    for station in stations:
        times = [run.seconds for run in station.devices_run if run.seconds is not None]
        sending = [sending_seconds(run) for run in station.devices_run if run.seconds is not None]
        wall = station.wall_seconds()
        share = station.cpu_share_per_device()
        supervisor = station.time_report["max_rss_kib"] / 1024 if station.time_report else None
        received, logged = station.completed()
        exit_code = station.summary.get("exit_code") if station.summary else None
        rows.append(
            f"| {station.devices} | {station.image.size_text} | {station.framing.text()} (mode {station.mode}) "
            f"| {wire_seconds(station.image.load.characters, station.framing):.1f} "
            f"| {fmt(min(times) if times else None, 1)} – {fmt(max(times) if times else None, 1)} "
            f"| {fmt(max(sending) if sending else None, 1)} | {fmt(station.worst_ratio(), 3)} "
            f"| {fmt(wall / one if wall and one else None, 3)} | {received} / {logged} | {fmt(exit_code, 0)} "
            f"| {fmt(share * 100 if share is not None else None, 2)} | {fmt(station.child_peak_mib(), 1)} "
            f"| {fmt(supervisor, 1)} |" + (f" {station.error}" if station.error else ""))
    return rows


def devices_text(station):
    return f"{station.devices} device" + ("s" if station.devices != 1 else "")


def station_goals(stations, single):
    rows = []
    one = single.wall_seconds() if single else None
    for station in stations:
        ratio = station.worst_ratio()
        if ratio is not None:
            rows.append(f"| station, {devices_text(station)}: each ≤ 1.02 × lower bound (block pauses apart) "
                        f"| {ratio:.3f} (slowest) | {verdict(ratio <= 1.02)} |")
        slowest = station.wall_seconds()
        if station is not single and slowest and one:
            ratio = slowest / one
            rows.append(f"| station, {devices_text(station)}: the slowest device ≤ {STATION_SLOWEST_OVER_ONE} × "
                        f"one device alone | {slowest:.2f} s vs {one:.2f} s: {ratio:.3f} "
                        f"| {verdict(ratio <= STATION_SLOWEST_OVER_ONE)} |")
        share = station.cpu_share_per_device()
        if share is not None:
            rows.append(f"| station, {devices_text(station)}: processor time per device "
                        f"< {STATION_CPU_SHARE_PER_DEVICE * 100:g} % of a core "
                        f"| {share * 100:.2f} % | {verdict(share < STATION_CPU_SHARE_PER_DEVICE)} |")
    return rows


def station_report(stations):
    """Table 7 and the station's goals alone (--station-only)."""
    single = next((station for station in stations if station.devices == 1), None)
    image = stations[0].image
    out = ["", f"## 7. The station: one file on several ports at once ({image.size_text}, 115200 baud)", ""]
    out += station_table(stations, single)
    out += ["", "## Goals", "", "| Goal | Measured | |", "|---|---|---|"]
    return out + station_goals(stations, single)


def parse_devices(text):
    """--station-devices 1,8,32: how many devices each station row runs."""
    counts = tuple(int(part) for part in text.split(","))
    if not counts or min(counts) < 1 or max(counts) > 200:
        raise argparse.ArgumentTypeError("device counts from 1 to 200, comma-separated")
    return counts


class Bench:
    def __init__(self, build, work, window=True):
        self.work = work
        self.first_start = False  # see _settings_file
        self.sim = build / "src/sim/program/mirvok-sim"
        self.cli = build / "src/cli/program/mirvok-cli"
        self.window = build / "bench/window/mirvok-window-download"
        for program in (self.sim, self.cli) + ((self.window,) if window else ()):
            if not os.access(program, os.X_OK):
                sys.exit(f"bench: {program} is missing; build it first")
        for tool in ("srec_cat", "ascii-xfr", "stty", "/usr/bin/time"):
            if not shutil.which(tool):
                sys.exit(f"bench: {tool} is missing (Debian packages srecord, minicom, coreutils, time)")
        if not SER2NET:
            sys.exit("bench: ser2net is missing (Debian package ser2net)")
        if subprocess.run(["/usr/bin/python3", "-c", "import serial"], capture_output=True).returncode != 0:
            sys.exit("bench: python3-serial is missing (Debian package python3-serial)")
        self.counter = 0

    # --- files --------------------------------------------------------------

    def image(self, name, size_text, ranges, address_length=3, fill="Mirvok bench "):
        """An S-record file made by srec_cat: data records of 32 bytes over the
        given address ranges, a header and a start-address record."""
        path = self.work / name
        command = ["srec_cat"]
        for start, end in ranges:
            command += ["-generate", hex(start), hex(end), "-repeat-string", fill]
        command += ["-header", "Mirvok bench", f"-execution-start-address={ranges[0][0]:#x}",
                    "-disable=data-count", "-o", str(path), f"-address-length={address_length}",
                    "-output_block_size=32"]
        subprocess.run(command, check=True)
        return Image(name, path, size_text)

    # --- one run --------------------------------------------------------------

    def _run_dir(self, run):
        self.counter += 1
        folder = self.work / f"run{self.counter:02d}"
        folder.mkdir()
        return folder

    def _settings_file(self, folder, port_path, run, more_ports=()):
        """The settings file of a user who has used Mirvok before, the
        simulator's terminal mapped as COM1: every key as Mirvok writes it,
        the file of the run in the history, and the system's own ports
        numbered (by a `mirvok-cli ports` run). So a download saves nothing
        before the port opens. With first_start set, only the keys that make
        the run's choices: Mirvok then numbers the ports and completes the
        file before it opens the port, as on its first day."""
        text = (f"[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= {SIM_PORT}\r\nSetting=9600,E,8,1\r\n"
                f"StTimer= {run.wait_ms}\r\n[Mode]\r\nCRmode= {0 if run.terminal_mode else 1}\r\n"
                f"Downloadno= {run.mode}\r\n[Ports]\r\nCOM{SIM_PORT}={port_path}\r\n")
        text += "".join(f"COM{SIM_PORT + number}={path}\r\n" for number, path in enumerate(more_ports, 1))
        if not self.first_start:
            image = run.image.path
            text += (f"[Display]\r\nTop= 0\r\nleft= 0\r\n[Option]\r\nLinechk= 1\r\n"
                     f"[File]\r\nFilename={image.name}\r\nDirectory={image.parent}/\r\nFile1={image}\r\n"
                     f"[Special]\r\nSpno= 0\r\n")
        ini = folder / "Mirvok.ini"
        ini.write_bytes(text.encode("cp932"))
        if not self.first_start:
            subprocess.run([str(self.cli), "ports", "--ini", str(ini)], check=True, stdout=subprocess.DEVNULL)
        return ini

    def _command(self, run, folder, pty_path):
        framing = run.framing
        if run.sender in (CLI, REMOTE):
            port_path = pty_path
            if run.sender == REMOTE:
                run.server = Ser2net(folder, pty_path)
                # ser2net can't read a pseudo-terminal's lines and reports them off.
                port_path = f"rfc2217://127.0.0.1:{run.server.port}?lines=ignore"
            ini = self._settings_file(folder, port_path, run)
            return [str(self.cli), "download", str(run.image.path), "--port", str(SIM_PORT),
                    "--mode", str(run.mode), "--terminal" if run.terminal_mode else "--download-mode",
                    "--wait", str(run.wait_ms), "--blocks", run.mask, "--ini", str(ini), "--yes"], None
        if run.sender == WINDOW:
            # The settings file gives the mode, the wait and the port as the
            # command line's flags do.
            ini = self._settings_file(folder, pty_path, run)
            return ["env", "QT_QPA_PLATFORM=offscreen", str(self.window), str(ini), str(run.image.path),
                    run.mask], None
        if run.sender == "ascii-xfr":
            # Line settings on the terminal first; ascii-xfr writes to its
            # standard output, the terminal opened for reading and writing.
            script = f'stty {framing.baud} raw -echo && exec ascii-xfr -s -e "$0" >&0'
            terminal = os.open(pty_path, os.O_RDWR | os.O_NOCTTY)
            return ["/bin/sh", "-c", script, str(run.image.path)], terminal
        return ["/usr/bin/python3", str(HERE / "line_sender.py"), str(run.image.path), pty_path,
                str(framing.baud), "8", "N"], None

    def execute(self, run):
        """Starts a simulator and the sender; the time runs from the sender's
        launch until the simulator has taken in the end-of-file byte."""
        folder = self._run_dir(run)
        settings = list(run.sim_settings)
        if not run.terminal_mode:
            settings.append(f"start-download={run.mode}")
        sim_args = [arg for setting in settings for arg in ("--set", setting)]
        if not run.paced:
            sim_args.append("--no-pacing")
        simulator = Simulator(str(self.sim), sim_args, folder / "sim.log")
        terminal = None
        try:
            preset_baud(simulator.path, run.framing.baud)
            command, terminal = self._command(run, folder, simulator.path)
            expected = paced_seconds(run.image.load.characters, run.framing)
            deadline = time.monotonic() + 60 + 2 * (expected if run.paced else 0) + \
                run.image.load.pause_seconds() + run.wait_ms / 1000 + 0.0005 * run.image.load.lines
            run.process = TimedProcess(command, folder / "time.txt", folder / "output.txt", stdin=terminal)
            if run.until_lines:
                if not simulator.wait_for_lines(run.process, max(run.watch_lines), deadline):
                    run.error = "the lines did not come in"
                self._note_arrivals(run, simulator)
                run.time_report = run.process.end()
                remove_stale_lock(simulator.path)
                return run
            if not self._take_download(run, simulator, run.process, deadline):
                run.process.kill()
            run.time_report = run.process.wait(timeout=30)
            run.exit_code = run.time_report.get("exit_status")
        except Exception as error:  # a broken run shows in the table, the others go on
            run.error = run.error or f"{type(error).__name__}: {error}"
            if run.process:
                run.process.kill()
        finally:
            if terminal is not None:
                os.close(terminal)
            if run.server:
                run.server.stop()
            simulator.stop()
        return run

    def _take_download(self, run, simulator, process, deadline):
        """Waits for the device to complete the download and notes its
        times; False when it did not."""
        done_at, run.status = simulator.wait_for_download(process, deadline)
        if done_at is None:
            run.error = "no end of file at the device"
            return False
        # The device's clock tells when the wire carried the byte; the
        # status tells it as soon as the device has read it.
        end = simulator.arrival(0)
        run.seconds = (end if end is not None else done_at) - process.started
        line_seconds = paced_seconds(run.image.load.characters, run.framing) / run.image.load.lines
        run.first_line = next((moment for moment, taken in simulator.progress if taken > 0),
                              done_at) - process.started
        # The device's own clock times it to the microsecond.
        first = simulator.arrival(1)
        if first is not None:
            run.first_line = first - process.started
        gaps = simulator.longest_gaps(run.image.load.pauses)
        run.paused = pause_idle_from_gaps(gaps, line_seconds, BLOCK_PAUSE_SECONDS)
        if run.sender in PAUSING_SENDERS and gaps:
            run.shortest_pause = min(gaps) - line_seconds
        run.process = process
        self._note_arrivals(run, simulator)
        return True

    def execute_station(self, station):
        """One mirvok-cli download on several ports at once, each its own
        simulator; every device is timed on its own clock, as a single run."""
        folder = self._run_dir(station)
        simulators = []
        try:
            for _ in range(station.devices):
                simulators.append(Simulator(str(self.sim), ["--set", f"start-download={station.mode}"],
                                            folder / f"sim{len(simulators) + 1}.log"))
            for simulator in simulators:
                preset_baud(simulator.path, DOWNLOAD_MODES[station.mode].baud)
            first = Run(CLI, station.image, station.mode)
            ini = self._settings_file(folder, simulators[0].path, first, [sim.path for sim in simulators[1:]])
            ports = ",".join(str(SIM_PORT + number) for number in range(station.devices))
            command = [str(self.cli), "download", str(station.image.path), "--port", ports, "--mode",
                       str(station.mode), "--download-mode", "--wait", "0", "--blocks", WHOLE_FILE_MASK,
                       "--ini", str(ini), "--yes", "--json", "--log", str(folder / "audit.jsonl"),
                       # With a report a single port, too, runs as a station: supervisor and child.
                       "--junit", str(folder / "report.xml")]
            expected = paced_seconds(station.image.load.characters, DOWNLOAD_MODES[station.mode])
            deadline = time.monotonic() + 60 + 2 * expected + station.image.load.pause_seconds()
            station.process = TimedProcess(command, folder / "time.txt", folder / "output.txt",
                                          children_marked="--station-child")
            for simulator in simulators:
                device = Run(CLI, station.image, station.mode)
                station.devices_run.append(device)
                self._take_download(device, simulator, station.process, deadline)
            station.time_report = station.process.wait(timeout=60)
            station.records = parse_json_lines((folder / "audit.jsonl").read_text(errors="replace"))
            station.summary = next((event for event in parse_json_lines(
                (folder / "output.txt").read_text(errors="replace")) if event.get("event") == "summary"), None)
        except Exception as error:  # shown in the table; the other runs go on
            station.error = f"{type(error).__name__}: {error}"
            if station.process:
                station.process.kill()
        finally:
            for simulator in simulators:
                simulator.stop()
        return station

    @staticmethod
    def _note_arrivals(run, simulator):
        for line in run.watch_lines:
            moment = simulator.arrival(line)
            if moment is not None:
                run.arrivals[line] = moment - run.process.started


def remove_stale_lock(terminal_path):
    """Removes the lock file that a sender ended by the benchmark left on its
    terminal. A run that ends by itself removes its own; left behind, it would
    make the next run on a terminal of the same number take the lock over
    from a dead process, which costs that run two more flushes to the disk."""
    name = str(terminal_path).removeprefix("/dev/").replace("/", "_")  # /dev/pts/3: LCK..pts_3
    lock = Path("/var/lock") / ("LCK.." + name)
    try:
        pid = int(lock.read_text().split()[0])
    except (OSError, ValueError, IndexError):
        return
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        lock.unlink(missing_ok=True)
    except PermissionError:
        pass


# --- the tables -----------------------------------------------------------------

def fmt(value, digits=2, unit=""):
    return "–" if value is None else f"{value:.{digits}f}{unit}"


def verdict(met):
    return "met" if met else "**missed**"


def machine_description(build):
    def read(path):
        try:
            return Path(path).read_text()
        except OSError:
            return ""
    cpu = next((line.split(":", 1)[1].strip() for line in read("/proc/cpuinfo").splitlines()
                if line.startswith("model name")), platform.processor())
    memory_kib = next((int(line.split()[1]) for line in read("/proc/meminfo").splitlines()
                       if line.startswith("MemTotal")), 0)
    cache = read(build / "CMakeCache.txt")
    build_type = next((line.split("=", 1)[1] for line in cache.splitlines()
                       if line.startswith("CMAKE_BUILD_TYPE:")), "?")
    compiler = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()
    return [
        f"- Processor: {cpu}, {os.cpu_count()} logical cores; memory {memory_kib / 1048576:.1f} GiB",
        f"- System: {platform.system()} {platform.release()}, Debian {read('/etc/debian_version').strip()}",
        f"- Build: {build_type}, {compiler[0] if compiler else '?'}",
        f"- Load average at the start: {' '.join(f'{v:.2f}' for v in os.getloadavg())}",
    ]


def label(run):
    """The goals name the sender when it is not mirvok-cli on a local port."""
    return "" if run.sender == CLI else f"{run.sender}, "


def sending_seconds(run):
    """The transfer time without the idle wire the block pauses explain."""
    return run.seconds - run.paused if run.seconds is not None else None


def transfer_table(runs):
    rows = ["| File | Line | Sender | Lines | Characters | Lower bound (s) | Simulator's pace (s) | Time (s) "
            "| First line after (s) | Block pauses: mandated (s) | on the wire (s) | Time without pauses (s) "
            "| ÷ lower bound | ÷ simulator's pace | CPU (% of a core) | Device received |",
            "|---|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|"]
    for run in runs:
        load = run.image.load
        bound = wire_seconds(load.characters, run.framing)
        paced = paced_seconds(load.characters, run.framing)
        mandated = load.pause_seconds() if run.sender in PAUSING_SENDERS else 0.0
        sending = sending_seconds(run)
        cpu = run.cpu_seconds / run.seconds * 100 if run.seconds and run.cpu_seconds is not None else None
        received = "all lines, 0 bad" if run.ok else (run.error or f"{run.status}")
        rows.append(
            f"| {run.image.size_text} | {run.framing.text()} (mode {run.mode}) | {run.sender} | {load.lines} "
            f"| {load.characters} | {bound:.1f} | {paced:.1f} | {fmt(run.seconds, 1)} | {fmt(run.first_line, 2)} "
            f"| {mandated:.0f} "
            f"| {run.paused:.1f} | {fmt(sending, 1)} | {fmt(sending / bound if sending else None, 3)} "
            f"| {fmt(sending / paced if sending else None, 3)} | {fmt(cpu, 1)} | {received} |")
    return rows


def unpaced_rate(run, from_first_line=False):
    """Lines per second from the launch (or from the first line at the
    device) to the end-of-file byte, block pauses apart; None for a run of a
    fraction of a second, which says nothing about a rate."""
    load = run.image.load
    pauses = load.pause_seconds() if run.sender in MIRVOK_SENDERS else 0.0
    if not run.seconds or run.seconds <= 1:
        return None
    start = run.arrivals.get(1) if from_first_line else 0.0
    return load.lines / (run.seconds - pauses - start) if start is not None else None


def quickest_unpaced(runs):
    timed = [run for run in runs if unpaced_rate(run)]
    return max(timed, key=unpaced_rate) if timed else runs[0]


def overhead_table(runs):
    rows = ["| File | Sender | Lines | Time (s) | Block pauses (s) | First line after (s) | Lines per second "
            "| from the first line | CPU (s) | CPU per line (µs) | Peak memory (MiB) |",
            "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|"]
    for run in runs:
        load = run.image.load
        pauses = load.pause_seconds() if run.sender in MIRVOK_SENDERS else 0.0
        cpu = run.cpu_seconds
        per_line = cpu / load.lines * 1e6 if cpu is not None else None
        rss = run.time_report["max_rss_kib"] / 1024 if run.time_report else None
        rows.append(f"| {run.image.size_text} ({run.image.bytes} bytes) | {run.sender} | {load.lines} "
                    f"| {fmt(run.seconds, 2)} | {pauses:.0f} | {fmt(run.arrivals.get(1), 3)} "
                    f"| {fmt(unpaced_rate(run), 0)} | {fmt(unpaced_rate(run, True), 0)} | {fmt(cpu, 2)} "
                    f"| {fmt(per_line, 1)} | {fmt(rss, 1)} |" + (f" {run.error}" if run.error else ""))
    return rows


@dataclass
class Selection:
    """One block of a selective download: where its first line lies in what
    the run sends, and what came before it."""
    run: Run           # the selective run (the quickest of its tries)
    full: Run          # the whole file, run to its end, by the same sender
    full_first: Run    # the quickest whole-file run, timed to its first line
    block: int         # the mask character of the block (8: the blocks from 08 on)
    position: int      # its first line among the lines sent
    full_position: int  # the same line among the whole file's lines
    skipped: int       # lines passed over before it
    previous: int = 0  # the line sent before it (0: it opens the transfer)

    def first_line(self):
        return self.run.arrivals.get(self.position)

    def skip_cost(self):
        """Seconds that skipping cost at the device. For the block that opens
        the transfer: its first line later than a whole-file run's first
        line. For a later block: the time the device waited for it after the
        line before it had come in, beyond that line's own time on the wire."""
        first = self.first_line()
        if first is None:
            return None
        if not self.previous:
            start = self.full_first.arrivals.get(1)
            return first - start if start is not None else None
        before = self.run.arrivals.get(self.previous)
        if before is None:
            return None
        line_seconds = 0.0
        if self.run.paced:
            line_seconds = paced_seconds(self.run.image.load.characters, self.run.framing) / \
                self.run.image.load.lines
        return first - before - line_seconds

    def cost_per_block(self):
        cost = self.skip_cost()
        blocks = self.skipped / LINES_PER_BLOCK
        return max(cost, 0.0) / blocks if cost is not None and blocks >= 1 else None


LINES_PER_BLOCK = 2048  # 64 KiB in records of 32 data bytes
SKIP_GOAL_SECONDS = 0.020


def block_name(index):
    return "08 on" if index == 8 else f"0{index}"


def selection_table(selections):
    rows = ["| Sender | Wire | Mask | Block | Lines skipped before it | First line of the block after (s) "
            "| With the whole file (s) | Skipping cost (ms) | per 64 KiB block (ms) |",
            "|---|---|---|---|--:|--:|--:|--:|--:|"]
    for sel in selections:
        cost = sel.skip_cost()
        per_block = sel.cost_per_block()
        full = sel.full.arrivals.get(sel.full_position) if sel.full else None
        rows.append(f"| {sel.run.sender} | {'paced' if sel.run.paced else 'unpaced'} | `{sel.run.mask}` "
                    f"| {block_name(sel.block)} | {sel.skipped} "
                    f"| {fmt(sel.first_line(), 3)} | {fmt(full, 3)} "
                    f"| {fmt(cost * 1000 if cost is not None and sel.skipped >= LINES_PER_BLOCK else None, 1)} "
                    f"| {fmt(per_block * 1000 if per_block is not None else None, 2)} |"
                    + (f" {sel.run.error}" if sel.run.error else ""))
    return rows


def selections_of(run, full, full_first, data):
    """The blocks a selective run sends, with what it skipped before each."""
    sent = sent_lines(data, run.mask)
    whole = sent_lines(data, WHOLE_FILE_MASK)
    selections = []
    for block, position in sorted(first_lines_of_blocks(sent).items(), key=lambda item: item[1]):
        if position > max(run.watch_lines):
            break  # not waited for
        full_position = first_lines_of_blocks(whole)[block]
        previous_line = sent[position - 2] if position > 1 else None
        previous_full = whole.index(previous_line) + 1 if previous_line is not None else 0
        skipped = full_position - 1 - previous_full
        selections.append(Selection(run, full, full_first, block, position, full_position, skipped,
                                    position - 1 if position > 1 else 0))
    return selections


def watched_lines(data, mask):
    """The first line of the transfer, and the first line of every block
    sent with the line before it."""
    sent = sent_lines(data, mask)
    lines = {1}
    for position in first_lines_of_blocks(sent).values():
        lines.update({position, max(position - 1, 1)})
    return tuple(sorted(lines))


def quickest(runs):
    timed = [run for run in runs if run.arrivals.get(1) is not None]
    return min(timed, key=lambda run: run.arrivals[1]) if timed else runs[0]


# Whole transfers may differ from ascii-xfr's by this share of its time: what
# the simulator's pacing can tell apart over a transfer of minutes is about
# 0.01 %; the pauses' margin for the device's FIFO adds 20 ms a block.
WHOLE_TRANSFER_TOLERANCE = 0.0005
# What the transfer engine waits, once a block has left the port, before its
# pause begins (kLastBytesSettleMs).
LAST_BYTES_SETTLE_SECONDS = 0.020
# Unpaced, the engine sends at least this many times the python sender's
# lines a second, both timed in the same run.
UNPACED_OVER_PYTHON = 2.0


def transfer_goals(mirvok_paced, paced):
    """The goal rows of the paced transfers: the wire's pace, the whole
    block pauses, the first line no later than python3-serial's, and the
    whole transfer within WHOLE_TRANSFER_TOLERANCE of ascii-xfr's."""
    out = []
    for run in mirvok_paced:
        if run.seconds:
            bound = wire_seconds(run.image.load.characters, run.framing)
            ratio = sending_seconds(run) / bound
            out.append(f"| {label(run)}{run.framing.baud} baud ≤ 1.02 × lower bound (block pauses apart), "
                       f"{run.framing.bits_per_character()} bits a character as for {run.framing.text()} "
                       f"| {ratio:.3f} | {verdict(ratio <= 1.02)} |")
            simulated = paced_seconds(run.image.load.characters, run.framing)
            ratio = sending_seconds(run) / simulated
            out.append(f"| {label(run)}{run.framing.baud} baud ≤ 1.02 × the simulated wire's pace "
                       f"| {ratio:.3f} | {verdict(ratio <= 1.02)} |")
            if run.shortest_pause is not None:
                out.append(f"| {label(run)}{run.framing.baud} baud: every block pause reaches the device "
                           f"whole (≥ {BLOCK_PAUSE_SECONDS:.1f} s between two blocks, at the device) "
                           f"| {run.shortest_pause:.3f} s | "
                           f"{verdict(run.shortest_pause >= BLOCK_PAUSE_SECONDS)} |")
        for other in paced:
            if other.image is not run.image:
                continue
            if other.sender == "python3-serial" and run.first_line is not None and other.first_line is not None:
                out.append(f"| {label(run)}{run.framing.baud} baud: first line no later than python3-serial's "
                           f"| {run.first_line:.3f} s vs {other.first_line:.3f} s "
                           f"| {verdict(run.first_line <= other.first_line)} |")
            if other.sender == "ascii-xfr" and other.seconds and run.seconds:
                # Each block pause begins once the block's last bytes have
                # had LAST_BYTES_SETTLE_SECONDS to leave a UART's FIFO or a
                # USB adapter, so that the device sees the whole pause; that
                # wait is a pause's, not the sending's.
                settle = run.image.load.pauses * LAST_BYTES_SETTLE_SECONDS
                mine = sending_seconds(run) - settle
                share = (mine - other.seconds) / other.seconds
                out.append(f"| {label(run)}{run.framing.baud} baud: whole transfer within "
                           f"{WHOLE_TRANSFER_TOLERANCE * 100:.2f} % of ascii-xfr's "
                           f"| {mine:.3f} s (pauses apart, with {1000 * settle:.0f} ms of settling for "
                           f"their last bytes; {run.seconds:.2f} s with them) "
                           f"vs {other.seconds:.3f} s: {1000 * (mine - other.seconds):+.1f} ms, "
                           f"{share * 100:+.3f} % | {verdict(abs(share) <= WHOLE_TRANSFER_TOLERANCE)} |")
    return out


def unpaced_goals(engine, plain):
    """The goal rows of the unpaced runs: the engine's rate on its own and
    against the python sender's in the same run."""
    out = []
    rate = unpaced_rate(engine)
    if rate and engine.cpu_seconds is not None:
        per_line = engine.cpu_seconds / engine.image.load.lines * 1e6
        out.append(f"| ≥ 20 000 lines per second unpaced | {rate:.0f} lines/s, "
                   f"{per_line:.1f} µs of CPU a line | {verdict(rate >= 20000)} |")
    plain_rate = unpaced_rate(plain)
    if rate and plain_rate:
        ratio = rate / plain_rate
        out.append(f"| unpaced: ≥ {UNPACED_OVER_PYTHON:g} × the python3-serial sender's lines per second, "
                   f"same run | {rate:.0f} vs {plain_rate:.0f} lines/s: {ratio:.2f} × "
                   f"| {verdict(ratio >= UNPACED_OVER_PYTHON)} |")
    return out


@dataclass
class WaitMeasure:
    what: str
    run: Run
    window: tuple  # seconds after launch; negative: before the end


def wait_share(measure):
    run = measure.run
    if not run.process or not getattr(run.process, "ended", None):
        return None
    length = run.process.ended - run.process.started
    start, end = (value if value >= 0 else length + value for value in measure.window)
    return run.process.cpu_share(start, end)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=Path)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--keep", type=Path, help="keep the files of every run in this new folder")
    parser.add_argument("--station-only", action="store_true",
                        help="only the station's rows (table 7 and its goals), one after the other")
    parser.add_argument("--station-devices", type=parse_devices, default=STATION_DEVICES,
                        help="devices at once of each station row (default: 1,8,32)")
    options = parser.parse_args()
    started = time.monotonic()
    description = machine_description(options.build.resolve())

    with tempfile.TemporaryDirectory(prefix="mirvok-bench-") as temp:
        work = Path(temp)
        if options.keep:
            options.keep.mkdir(parents=True)
            work = options.keep.resolve()
        bench = Bench(options.build.resolve(), work, window=not options.station_only)
        quick = options.quick
        # Quick: blocks 0 and 8, so that the selections find something.
        mib1 = bench.image("1mib.s28", "1 MiB" if not quick else "16 KiB",
                           [(0, 0x100000)] if not quick else [(0, 0x2000), (0x80000, 0x82000)])
        kib64 = bench.image("64kib.s28", "64 KiB" if not quick else "2 KiB", [(0, 0x800 if quick else 0x10000)])
        tiny = bench.image("1kib.s28", "1 KiB", [(0, 0x180)])
        blocks = bench.image("blocks.s28", "5 blocks", [(k << 16, (k << 16) + 0x20) for k in range(5)])
        # S3 records: a 64 MiB file holds more than the 16 MiB an S2 address reaches.
        if options.station_only:
            # One row after the other: a row's devices share the machine with
            # none but each other, so the N-device row is compared with one
            # device alone on the same terms.
            stations = [bench.execute_station(StationRun(mib1, devices)) for devices in options.station_devices]
            out = [f"# Mirvok station performance ({datetime.date.today().isoformat()})", "", "## Machine", ""]
            out += description + station_report(stations)
            out += ["", f"Load average at the end: {' '.join(f'{v:.2f}' for v in os.getloadavg())}; "
                    f"the benchmark took {time.monotonic() - started:.0f} s."]
            print("\n".join(out))
            return
        big = bench.image("64mib.s37", "64 MiB" if not quick else "2 MiB",
                          [(0, 0x100000 if quick else 0x1A00000)], address_length=4)

        paced = [Run(sender, image, mode, watch_lines=watched_lines(image.path.read_bytes(), WHOLE_FILE_MASK))
                 for image, mode in ((mib1, 8), (kib64, 0))
                 for sender in (CLI, "ascii-xfr", "python3-serial") + ((WINDOW, REMOTE) if image is mib1 else ())]
        # Selective downloads of the 1 MiB file: the blocks 0 and 8, timed up
        # to the first line of block 8; only block 8 (from 08 on), and the
        # whole file, timed to their first line, each tried a few times.
        mib1_data = mib1.path.read_bytes()
        two_blocks = "100000001"
        last_block = "000000001"
        watched = tuple(line for line in watched_lines(mib1_data, two_blocks)
                        if line <= first_lines_of_blocks(sent_lines(mib1_data, two_blocks))[8])
        selective = [Run(sender, mib1, 8, mask=two_blocks, watch_lines=watched, until_lines=True)
                     for sender in MIRVOK_SENDERS]
        # The same without pacing: the terminal holds nothing back, so the
        # device sees the scan over blocks 1 to 7 as a gap before block 8.
        scans = [Run(sender, mib1, 8, paced=False, mask=two_blocks, watch_lines=watched, until_lines=True)
                 for sender in MIRVOK_SENDERS]
        first_line_runs = {(sender, mask): [Run(sender, mib1, 8, mask=mask, watch_lines=(1,), until_lines=True)
                                            for _ in range(FIRST_LINE_TRIES)]
                           for sender in MIRVOK_SENDERS for mask in (WHOLE_FILE_MASK, last_block)}
        waits = [
            WaitMeasure("10-second send wait (download mode, `--wait 10000`)",
                        Run("Mirvok", tiny, 8, wait_ms=10000), (1.0, 9.0)),
            WaitMeasure("2-second block pauses (5 blocks of one line: 5 pauses)",
                        Run("Mirvok", blocks, 8), (0.5, -0.3)),
            WaitMeasure("terminal mode: PA and *+ with the device answering after 2 s, "
                        "then the 3-second settle wait",
                        Run("Mirvok", tiny, 8, terminal_mode=True, sim_settings=["latency=2000"]),
                        (0.5, -0.5)),
        ]
        # The station: the same file on 1, 8 and 32 ports at once.
        stations = [StationRun(mib1, devices) for devices in options.station_devices]
        parallel = paced + selective + [measure.run for measure in waits] + stations

        def launch_in_turn(index_and_run):
            index, run = index_and_run
            time.sleep(index * PARALLEL_LAUNCH_GAP_SECONDS)
            return bench.execute_station(run) if isinstance(run, StationRun) else bench.execute(run)

        with concurrent.futures.ThreadPoolExecutor(max_workers=len(parallel)) as pool:
            list(pool.map(launch_in_turn, enumerate(parallel)))
        for runs in first_line_runs.values():
            for run in runs:
                bench.execute(run)
        for run in scans:
            bench.execute(run)

        # The unpaced senders take turns, a few times each; each one's
        # quickest run counts, the others were slowed by the rest of the machine.
        tries = {sender: [] for sender in (CLI, "python3-serial")}
        for _ in range(UNPACED_TRIES):
            for sender, runs in tries.items():
                runs.append(bench.execute(Run(sender, big, 8, paced=False, watch_lines=(1,))))
        unpaced = [quickest_unpaced(runs) for runs in tries.values()]
        unpaced.append(bench.execute(Run("Mirvok", tiny, 8, paced=False)))

        out = [f"# Mirvok performance ({datetime.date.today().isoformat()})", "", "## Machine", ""]
        out += description
        out += ["", "## 1, 2. Transfer time against the simulator pacing the line rate", ""]
        out += transfer_table(paced)
        mirvok_paced = [run for run in paced if run.sender in (CLI, REMOTE)]
        selections = []
        for sender in MIRVOK_SENDERS:
            full = next(run for run in paced if run.sender == sender and run.image is mib1)
            full_first = quickest(first_line_runs[(sender, WHOLE_FILE_MASK)])
            for run in (quickest(first_line_runs[(sender, last_block)]),
                        next(run for run in selective if run.sender == sender),
                        next(run for run in scans if run.sender == sender)):
                selections += selections_of(run, full if run.paced else None, full_first, mib1_data)
        out += ["", f"## 6. Selective downloads of the {mib1.size_text} file at 115200 baud", ""]
        out += selection_table(selections)
        out += ["", "## 3, 5. Unpaced: engine overhead and peak memory", ""]
        out += overhead_table(unpaced)
        out += ["", f"## 7. The station: one file on several ports at once ({mib1.size_text}, 115200 baud)", ""]
        single = next((station for station in stations if station.devices == 1), None)
        out += station_table(stations, single)
        out += ["", "## 4. Processor time while waiting", "",
                "| Phase | CPU (% of one core) | Goal |", "|---|--:|---|"]
        for measure in waits:
            share = wait_share(measure)
            out.append(f"| {measure.what} | {fmt(share * 100 if share is not None else None, 2)} | < 5 % "
                       f"{verdict(share is not None and share < 0.05)} |"
                       + (f" {measure.run.error}" if measure.run.error else ""))
        for run in mirvok_paced:
            if run.seconds and run.cpu_seconds is not None:
                sending = run.cpu_seconds / sending_seconds(run)
                out.append(f"| {label(run)}sending at {run.framing.baud} ({run.image.size_text}, processor time over "
                           f"the time without block pauses) | {sending * 100:.2f} | < 15 % {verdict(sending < 0.15)} |")

        out += ["", "## Goals", "", "| Goal | Measured | |", "|---|---|---|"]
        out += transfer_goals(mirvok_paced, paced)
        for sel in selections:
            per_block = sel.cost_per_block()
            if per_block is not None:
                out.append(f"| {sel.run.sender}, mask `{sel.run.mask}`, {'paced' if sel.run.paced else 'unpaced'}: "
                           f"skipping a 64 KiB block before block {block_name(sel.block)} costs < 20 ms "
                           f"| {per_block * 1000:.2f} ms "
                           f"| {verdict(per_block < SKIP_GOAL_SECONDS)} |")
        engine, plain = unpaced[0], unpaced[1]
        out += unpaced_goals(engine, plain)
        out += station_goals(stations, single)
        small = unpaced[2]
        if engine.time_report and small.time_report:
            difference = (engine.time_report["max_rss_kib"] - small.time_report["max_rss_kib"]) / 1024
            out.append(f"| peak memory, {engine.image.size_text} vs 1 KiB file, within 5 MiB "
                       f"| {difference:+.1f} MiB | {verdict(abs(difference) <= 5)} |")
        out += ["", f"Load average at the end: {' '.join(f'{v:.2f}' for v in os.getloadavg())}; "
                f"the benchmark took {time.monotonic() - started:.0f} s."]
        print("\n".join(out))


if __name__ == "__main__":
    main()
