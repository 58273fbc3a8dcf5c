"""Processes of a benchmark run: the simulated card reader, a sender under
/usr/bin/time, and the processor time a process has used so far."""

import ctypes
import json
import os
import queue
import re
import subprocess
import termios
import threading
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
# Often enough to see each pause in the lines the device takes in: a line
# of 78 characters takes 7 ms at 115200 baud.
STATUS_POLL_SECONDS = 0.02
QUIET_AFTER_SENDER_SECONDS = 3.0
_DOWNLOAD_STATUS = re.compile(rb"download (\d+) lines, (\d+) bad, (\d+) completed")
_CLOCK = re.compile(rb"clock (\d+\.\d+) s")
_ARRIVAL = re.compile(rb"(line \d+|end) (?:at (\d+\.\d+) s|not received)")
_GAPS = re.compile(rb"^gaps((?: \d+\.\d+)*)$")

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_TIMERSLACK = 29
_TIMER_SLACK_NS = 1000


def _precise_timers():
    """The simulator paces its reads with timed waits, one per 64 bytes; the
    default timer slack of 50 µs would make each late and the simulated wire
    some 1 % slower than the line rate."""
    _libc.prctl(_PR_SET_TIMERSLACK, _TIMER_SLACK_NS, 0, 0, 0)


def cpu_seconds_from_stat(stat_text):
    """User plus system time from the text of /proc/<pid>/stat. The command
    name in parentheses may hold blanks, so fields count from the last ')'."""
    fields = stat_text[stat_text.rindex(")") + 2:].split()
    # After the name: state is field 3, utime field 14 and stime field 15.
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return cpu_seconds_from_stat(stat.read())
    except (OSError, ValueError, IndexError):
        return None


def peak_rss_kib_from_status(status_text):
    """The peak resident set size (VmHWM, KiB) from the text of
    /proc/<pid>/status, or None."""
    for line in status_text.splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return None


def children_of(pid):
    """The processes `pid` started, from /proc (empty once it has gone)."""
    pids = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as children:
                pids += [int(child) for child in children.read().split()]
    except OSError:
        pass
    return pids


def parse_json_lines(text):
    """The JSON objects of a JSON Lines text (an audit log, a --json event
    stream); lines that are not one are passed over."""
    objects = []
    for line in text.splitlines():
        try:
            value = json.loads(line)
        except ValueError:
            continue
        if isinstance(value, dict):
            objects.append(value)
    return objects


def parse_download_status(line):
    """(lines, bad, completed) from the simulator's status text, or None."""
    match = _DOWNLOAD_STATUS.search(line)
    return tuple(int(group) for group in match.groups()) if match else None


def parse_clock(line):
    """The simulator's clock in seconds from its status text, or None."""
    match = _CLOCK.search(line)
    return float(match.group(1)) if match else None


def parse_arrival(line):
    """(line number, seconds on the simulator's clock or None) from the
    answer to "arrival N" or "arrival end" (number 0), or None for another
    text."""
    match = _ARRIVAL.search(line)
    if not match:
        return None
    what = match.group(1)
    number = 0 if what == b"end" else int(what.split()[1])
    return number, float(match.group(2)) if match.group(2) else None


def parse_gaps(line):
    """The seconds of the answer to "gaps N", or None for another text."""
    match = _GAPS.match(line.strip())
    return [float(value) for value in match.group(1).split()] if match else None


def pause_idle_from_gaps(gaps, line_seconds, pause_seconds):
    """The idle wire the pauses explain, from the longest times between two
    lines at the device: each less the line's own time, up to one pause."""
    return sum(min(max(gap - line_seconds, 0.0), pause_seconds) for gap in gaps)


class ClockMapping:
    """Maps the simulator's clock onto time.monotonic(). Each status answer
    read its clock at some moment between the question and the answer; the
    offset lies in every such window, so the windows are intersected."""

    def __init__(self):
        self.low = float("-inf")
        self.high = float("inf")

    def note(self, asked, answered, simulator_seconds):
        self.low = max(self.low, asked - simulator_seconds)
        self.high = min(self.high, answered - simulator_seconds)

    def known(self):
        return self.low != float("-inf") and self.low <= self.high

    def error(self):
        """Half the width of the window the offset lies in."""
        return (self.high - self.low) / 2

    def monotonic(self, simulator_seconds):
        return simulator_seconds + (self.low + self.high) / 2


def parse_time_report(text):
    """The figures of /usr/bin/time -v that a run reports."""
    wanted = {
        "User time (seconds)": ("user", float),
        "System time (seconds)": ("system", float),
        "Maximum resident set size (kbytes)": ("max_rss_kib", int),
        "Exit status": ("exit_status", int),
    }
    report = {}
    for line in text.splitlines():
        name, _, value = line.strip().rpartition(": ")
        if name in wanted:
            key, kind = wanted[name]
            report[key] = kind(value)
    return report


class Simulator:
    """mirvok-sim as a child: its console on a pipe, its terminal's path from
    the first line it prints, its download counters read with "status"."""

    def __init__(self, program, args, log_path):
        self._log = open(log_path, "wb")
        self.process = subprocess.Popen([program, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._log, preexec_fn=_precise_timers)
        self.progress = []
        self.clock = ClockMapping()
        self._lines = queue.Queue()
        self._reader = threading.Thread(target=self._read_output, daemon=True)
        self._reader.start()
        self.path = self._next_line(10).decode().strip()

    def _read_output(self):
        for line in self.process.stdout:
            self._lines.put(line)
        self._lines.put(None)

    def _next_line(self, timeout):
        line = self._lines.get(timeout=timeout)
        if line is None:
            raise RuntimeError("mirvok-sim ended")
        return line

    def command(self, text):
        self.process.stdin.write(text.encode() + b"\n")
        self.process.stdin.flush()

    def download_status(self):
        asked = time.monotonic()
        self.command("status")
        while True:
            line = self._next_line(10)
            status = parse_download_status(line)
            if status:
                clock = parse_clock(line)
                if clock is not None:
                    self.clock.note(asked, time.monotonic(), clock)
                return status

    def arrival(self, line_number):
        """When download line `line_number` (from 1; 0: the end-of-file byte)
        came in, in time.monotonic() seconds; None when it has not."""
        self.command(f"arrival {line_number or 'end'}")
        while True:
            answer = parse_arrival(self._next_line(10))
            if answer and answer[0] == line_number:
                seconds = answer[1]
                return None if seconds is None or not self.clock.known() else self.clock.monotonic(seconds)

    def longest_gaps(self, count):
        """The `count` longest times between two download lines, in seconds."""
        self.command(f"gaps {count}")
        while True:
            gaps = parse_gaps(self._next_line(10))
            if gaps is not None:
                return gaps

    def wait_for_lines(self, sender, count, deadline):
        """Polls until `count` download lines have come in; False when the
        sender ended or the deadline passed first."""
        while time.monotonic() < deadline:
            if self.download_status()[0] >= count:
                return True
            if sender.poll() is not None:
                return self.download_status()[0] >= count
            time.sleep(STATUS_POLL_SECONDS)
        return False

    def wait_for_download(self, sender, deadline):
        """Polls until a download has completed; returns the moment (monotonic
        seconds) it was seen and the counters, or None for the moment when the
        sender ended without one or the deadline passed. The lines taken in
        so far are kept in `progress` as (moment, lines and end of file)."""
        self.progress = []
        last_change = time.monotonic()
        while time.monotonic() < deadline:
            status = self.download_status()
            now = time.monotonic()
            # The end-of-file byte counts as a step, so that a pause before
            # it shows as well.
            taken = status[0] + status[2]
            if self.progress and taken != self.progress[-1][1]:
                last_change = now
            self.progress.append((now, taken))
            if status[2] >= 1:
                return now, status
            # A sender may end while the terminal still holds what it wrote;
            # once nothing more comes in, nothing more will.
            if sender.poll() is not None and now - last_change > QUIET_AFTER_SENDER_SECONDS:
                return None, status
            time.sleep(STATUS_POLL_SECONDS)
        return None, self.download_status()

    def stop(self):
        try:
            self.command("quit")
            self.process.stdin.close()
            self.process.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.process.terminate()
            self.process.wait()
        self._reader.join(timeout=5)
        self.process.stdout.close()
        self._log.close()


def preset_baud(terminal_path, baud):
    """Sets the terminal's baud rate before a sender opens it. A sender puts
    back the settings it found when it closes; the simulator reads the rate
    of bytes it takes in after that from the terminal, so it must be the
    one they were sent at."""
    descriptor = os.open(terminal_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        attributes = termios.tcgetattr(descriptor)
        attributes[4] = attributes[5] = getattr(termios, f"B{baud}")
        termios.tcsetattr(descriptor, termios.TCSANOW, attributes)
    finally:
        os.close(descriptor)


class TimedProcess:
    """A command under /usr/bin/time -v, with the processor time of the
    command itself sampled as it runs."""

    SAMPLE_SECONDS = 0.1

    def __init__(self, command, report_path, output_path, stdin=None, children_marked=None):
        self._report_path = report_path
        # With children_marked: each process the command starts with that
        # argument, sampled as well (pid -> peak resident KiB). The mark keeps out helpers that are no child of ours, such
        # as the leak checker's short-lived tracer at the end of a sanitized run.
        self.children_marked = children_marked
        self.tree_peak_kib = {}
        self._output = open(output_path, "wb")
        self.started = time.monotonic()
        self.process = subprocess.Popen(["/usr/bin/time", "-v", "-o", report_path, *command],
                                        stdin=stdin if stdin is not None else subprocess.DEVNULL,
                                        stdout=self._output, stderr=subprocess.STDOUT)
        self.samples = []  # (seconds since start, processor seconds)
        self._sampler = threading.Thread(target=self._sample, daemon=True)
        self._sampler.start()

    def _child_pid(self):
        try:
            with open(f"/proc/{self.process.pid}/task/{self.process.pid}/children") as children:
                pids = children.read().split()
            return int(pids[0]) if pids else None
        except OSError:
            return None

    def _sample(self):
        pid = None
        while self.process.poll() is None:
            pid = pid or self._child_pid()
            if pid:
                cpu = cpu_seconds(pid)
                if cpu is not None:
                    self.samples.append((time.monotonic() - self.started, cpu))
                if self.children_marked:
                    self._sample_children(pid)
            time.sleep(self.SAMPLE_SECONDS)

    def _sample_children(self, pid):
        for child in children_of(pid):
            try:
                with open(f"/proc/{child}/cmdline", "rb") as cmdline:
                    if self.children_marked.encode() not in cmdline.read().split(b"\0"):
                        continue
                with open(f"/proc/{child}/status") as status:
                    peak = peak_rss_kib_from_status(status.read())
            except OSError:
                continue
            if peak is not None:
                self.tree_peak_kib[child] = max(peak, self.tree_peak_kib.get(child, 0))

    def poll(self):
        return self.process.poll()

    def wait(self, timeout=None):
        self.process.wait(timeout=timeout)
        self.ended = time.monotonic()
        self._sampler.join()
        self._output.close()
        with open(self._report_path) as report:
            return parse_time_report(report.read())

    def kill(self):
        """Ends the command (and so /usr/bin/time) when it is still running."""
        pid = self._child_pid()
        if pid and self.process.poll() is None:
            os.kill(pid, 15)

    def end(self):
        """Ends the command now; returns its time report."""
        self.kill()
        try:
            return self.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pid = self._child_pid()
            if pid:
                os.kill(pid, 9)
            return self.wait(timeout=10)

    def cpu_share(self, start, end):
        """Processor time over wall time between two moments (seconds since
        the start), from the samples nearest inside them; None when too few."""
        inside = [sample for sample in self.samples if start <= sample[0] <= end]
        if len(inside) < 2 or inside[-1][0] - inside[0][0] < 1.0:
            return None
        return (inside[-1][1] - inside[0][1]) / (inside[-1][0] - inside[0][0])
