#!/usr/bin/python3
"""mirvok-station.exe under Wine and Xvfb against two mirvok-sim devices on
COM1 and COM2, as an operator on a production line uses it.

The window starts with presets (`FILE --port 1,2 --log … --junit … --start`);
COM2's device loses its cable part-way. The test checks the tiles while both
send and after COM2 failed, that COM1's device took the whole file, the audit
log's records and the JUnit report, that Tab walks the window in reading
order without losing the focus, that closing while a device sends asks,
stops it and writes its record, that the end of the session does the
same without asking, leaving no child behind, and that the window scales
with the system's DPI, as far as the screen holds it.

    station_window_e2e.py --exe mirvok-station.exe --cli mirvok-cli.exe \\
        --driver mirvok-station-drive.exe --sim mirvok-sim --work DIR [--shots DIR]

With --shots the window is photographed while both devices send
(station-windows-running.png) and after COM2's failed
(station-windows-failed.png). Exit code 0: passed; 1: failed; 77: Wine or
Xvfb missing (skipped).
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from window_e2e import SAMPLE, Failure, Session, bmp_to_png, log  # noqa: E402

# COM2's device pulls its cable after this many bytes of the download: a
# third of the sample, so that it fails while COM1 still sends.
PULL_AFTER_BYTES = 26000
LINK_FAILURES = {12, 15, 16, 17, 22, 23, 24, 25, 26, 30}
# Tab from Start all round the window after a run, with terminal mode
# chosen: every option group once (the CR mode, the nine blocks), Stop all
# and the tiles' stop buttons passed over while they rest.
TAB_ORDER = ["attempts", "file", "browse", "mode", "terminal", "wait", "line-check", "block0", "ports",
             "all-ports", "refresh", "watch", "fail-fast", "retries", "identify", "log", "log-browse", "junit",
             "junit-browse", "start-all"]

SCREEN = "1600x1200"
# Alt and a letter: a label's letter reaches the control after it.
MNEMONICS = [("p", "ports"), ("m", "mode"), ("y", "retries"), ("h", "attempts"), ("f", "file")]


class StationSession(Session):
    def __init__(self, args):
        super().__init__(args)
        self.sims = {}
        self.station = None

    def start_display(self):
        """A screen large enough for the window at 144 dpi."""
        if self.args.display:
            self.env["DISPLAY"] = self.args.display
            return
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{SCREEN}x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            piece = os.read(read, 16)
            if not piece:
                raise Failure("Xvfb did not start")
            number += piece
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def make_prefix(self):
        super().make_prefix()
        self.set_desktop(SCREEN)
        self.set_dpi(96)  # a prefix kept from an earlier run may have another

    def set_desktop(self, size):
        """The virtual desktop's size, from the next start of the server on."""
        self.wine("reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default", "/d", size, "/f",
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)

    def set_dpi(self, dpi):
        """The system's DPI, from the next start of the server on."""
        self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                  str(dpi), "/f", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)

    def start_simulators(self):
        for number, extra in ((1, []), (2, ["--set", f"pull-after={PULL_AFTER_BYTES}"])):
            link = os.path.join(self.work, f"com{number}")
            sim = subprocess.Popen([self.args.sim, "--link", link, *extra], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
            if not sim.stdout.readline().strip().startswith("/"):
                raise Failure("mirvok-sim printed no terminal path")
            self.sims[number] = sim
            self.wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", f"COM{number}", "/d", link, "/f",
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
        self.sim = self.sims[1]  # the base class's status questions go to COM1's
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        self.wine("cmd", "/c", "exit", stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                  stderr=subprocess.DEVNULL, timeout=120)
        log("station-e2e: two mirvok-sim devices are COM1 and COM2")

    def restart_device(self, number):
        """Powers a device off and on, and waits for its console to say so."""
        sim = self.sims[number]
        sim.stdin.write("restart\n")
        sim.stdin.flush()
        while "restarted" not in sim.stdout.readline():
            if sim.poll() is not None:
                raise Failure(f"COM{number}'s mirvok-sim ended")

    def write_station_settings(self):
        os.makedirs(self.app, exist_ok=True)
        for exe, name in ((self.args.exe, "mirvok-station.exe"), (self.args.cli, "mirvok-cli.exe")):
            shutil.copy2(exe, os.path.join(self.app, name))
        folder = os.path.join(self.prefix, "drive_c", "rom")
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(SAMPLE, folder)
        lines = ["[Application]", "App=Mirvok", "[Option]", "Linechk= 1", "[Comm]", "Port= 1",
                 "Setting=9600,E,8,1", "StTimer= 0", "[Mode]", "CRmode= 0", "Downloadno= 8", "[Special]", "Spno= 0"]
        with open(self.ini(), "wb") as f:
            f.write("\r\n".join(lines + [""]).encode("cp932"))
        return folder

    def start_station(self, *arguments):
        self.station = subprocess.Popen(["wine", "mirvok-station.exe", *arguments], cwd=self.app, env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def drive(self, *arguments, timeout=180, check=True):
        out_path = os.path.join(self.work, "drive.out")
        with open(out_path, "wb") as out_file:
            code = self.wine(self.args.driver, *arguments, stdout=out_file, stderr=subprocess.DEVNULL,
                             timeout=timeout).returncode
        out = open(out_path, "rb").read().decode("utf-8", "replace").replace("\r", "")
        if check and code != 0:
            raise Failure(f"mirvok-station-drive {' '.join(arguments)}: exit {code} {out!r}")
        return code, out

    def wait_text(self, name, text, seconds):
        code, out = self.drive("wait-text", name, text, str(int(seconds * 1000)), timeout=seconds + 60, check=False)
        if code != 0:
            raise Failure(f"{name} shows {out.strip()!r}, not {text!r}")
        return out

    def shot(self, name, *what):
        if not self.args.shots:
            return
        os.makedirs(self.args.shots, exist_ok=True)
        bmp = os.path.join(self.work, name + ".bmp")
        self.drive("shot", "Z:" + bmp.replace("/", "\\"), *what)
        bmp_to_png(bmp, os.path.join(self.args.shots, name + ".png"))
        log(f"station-e2e: {name}.png")

    def children(self):
        """This test's mirvok-cli.exe children still running."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                line = open(f"/proc/{entry}/cmdline", "rb").read()
            except OSError:
                continue
            if b"mirvok-cli.exe" in line and b"--station-child" in line:
                environ = b""
                try:
                    environ = open(f"/proc/{entry}/environ", "rb").read()
                except OSError:
                    pass
                if self.prefix.encode() in environ:
                    found.append(int(entry))
        return found

    def close(self):
        super().close()
        for sim in self.sims.values():
            if sim.poll() is None:
                sim.kill()
                sim.wait()


def records(path):
    return [json.loads(line) for line in open(path, encoding="utf-8").read().splitlines()]


def ended(path):
    return [r for r in records(path) if r.get("event") != "started"]


def sample_lines():
    with open(SAMPLE, "rb") as f:
        return sum(1 for line in f if line.strip())


def run(session):
    session.start_display()
    session.make_prefix()
    session.start_simulators()
    folder = session.write_station_settings()
    log_path, report_path = os.path.join(folder, "audit.jsonl"), os.path.join(folder, "report.xml")
    session.start_station("C:\\rom\\demo.s28", "--port", "1,2", "--mode", "8", "--terminal",
                          "--log", "C:\\rom\\audit.jsonl", "--junit", "C:\\rom\\report.xml", "--start")
    _, caption = session.drive("wait-window", "60000", timeout=90)
    log(f"station-e2e: window up: {caption.strip()}")
    size_before = session.drive("size")[1]

    # Both send: a picture while they do.
    session.wait_text("tile:0", " 行", 60)
    session.wait_text("tile:1", " 行", 30)
    session.shot("station-windows-running")
    if session.drive("enabled", "start-all")[1].strip() != "0" or session.drive("enabled", "file")[1].strip() != "0":
        raise Failure("the choices and Start all are not resting while the devices send")
    session.wait_text("tile:1", "失敗", 60)
    session.shot("station-windows-failed")
    session.wait_text("tile:0", "完了", 60)
    session.wait_text("totals", "完了 1    失敗 1", 20)
    session.wait_text("attempts", "COM2", 20)
    log("station-e2e: COM1 done, COM2 failed when its cable was pulled")

    status = session.sim_status_showing(r" [1-9]\d* completed")
    lines = sample_lines()
    if not re.search(rf"download {lines} lines, 0 bad, 1 completed", status):
        raise Failure(f"COM1's device did not get the {lines} lines of the file:\n{status}")
    by_port = {r["port"]: r for r in ended(log_path)}
    if sorted(by_port) != ["COM1", "COM2"] or by_port["COM1"]["exit_code"] != 0 or \
            by_port["COM2"]["exit_code"] not in LINK_FAILURES:
        raise Failure(f"the audit log holds {by_port}")
    if by_port["COM1"]["file"] != "C:\\rom\\demo.s28":
        raise Failure(f"the log names the file {by_port['COM1']['file']!r}")
    cases = ElementTree.parse(report_path).getroot().findall("./testsuite/testcase")
    if sorted(c.get("name") for c in cases) != ["COM1 attempt 1", "COM2 attempt 1"]:
        raise Failure(f"the JUnit report names {[c.get('name') for c in cases]}")
    log("station-e2e: the audit log and the JUnit report hold both attempts")

    tab_check(session)

    # Again, and COM1 stopped by its own button (COM2's cable is still out):
    # stopped, not failed.
    session.drive("click", "start-all")
    session.wait_text("tile:0", " 行", 60)
    session.drive("click", "stop:0")
    session.wait_text("tile:0", "終了ｺｰﾄﾞ 11", 60)
    session.wait_text("totals", "中止 1", 20)
    if [r["exit_code"] for r in ended(log_path) if r["port"] == "COM1"][-1:] != [11]:
        raise Failure(f"the stopped attempt's record is {ended(log_path)[-2:]}")
    log("station-e2e: a tile's stop button stopped COM1 (exit 11), counted as stopped")

    # Closing while COM1 sends; its device, stopped in download mode, is
    # powered off and on first.
    session.restart_device(1)
    session.drive("click", "start-all")
    session.wait_text("tile:0", " 行", 60)
    session.drive("close")
    _, box = session.drive("wait-box", "20000")
    if "終了しますか" not in box:
        raise Failure(f"closing asked {box!r}")
    session.shot("station-windows-closing", "box")
    session.drive("answer", "yes")
    if session.drive("wait-gone", "60000", timeout=90, check=False)[0] != 0:
        raise Failure("the window did not close after its devices were stopped")
    session.station.wait(timeout=30)
    last = ended(log_path)[-2:]
    if sorted(r["port"] for r in last) != ["COM1", "COM2"] or \
            [r["exit_code"] for r in last if r["port"] == "COM1"] != [11]:
        raise Failure(f"closing left the records {last}")
    if session.children():
        raise Failure(f"children outlived the window: {session.children()}")
    log("station-e2e: closing asked, stopped COM1 (exit 11) and wrote its record")

    # The end of the session: no question, the device stopped, its record.
    session.restart_device(1)
    session.start_station("--port", "1", "--start")
    session.drive("wait-window", "60000", timeout=90)
    session.wait_text("tile:0", " 行", 60)
    _, answer = session.drive("end-session")
    if answer.strip() != "yes" or session.drive("wait-gone", "30000", timeout=60, check=False)[0] != 0:
        raise Failure(f"the end of the session was answered {answer.strip()!r} and left the window")
    session.station.wait(timeout=30)
    if [r["exit_code"] for r in ended(log_path)[-1:]] != [11] or session.children():
        raise Failure(f"the end of the session left {ended(log_path)[-1:]} and children {session.children()}")
    log("station-e2e: the end of the session stopped the device and wrote its record")

    # At 144 dpi everything is half as large again, the font included.
    width = int(size_before.split()[0])
    session.set_dpi(144)
    subprocess.run(["wineserver", "-k"], env=session.env, timeout=60)
    subprocess.run(["wineserver", "-w"], env=session.env, timeout=60)
    session.start_station()
    session.drive("wait-window", "60000", timeout=90)
    wide = int(session.drive("size")[1].split()[0])
    if abs(wide - width * 3 // 2) > 4:
        raise Failure(f"at 144 dpi the window is {wide} pixels wide, not 1.5 × {width}")
    session.shot("station-windows-144dpi")
    session.drive("close")
    session.drive("wait-gone", "20000")
    log(f"station-e2e: at 144 dpi the window is {wide} pixels wide ({width} at 96)")

    # A screen too small for it at 144 dpi: it is laid out smaller, to fit.
    session.set_desktop("1024x768")
    subprocess.run(["wineserver", "-k"], env=session.env, timeout=60)
    subprocess.run(["wineserver", "-w"], env=session.env, timeout=60)
    session.start_station()
    session.drive("wait-window", "60000", timeout=90)
    fitted = [int(v) for v in session.drive("size")[1].split()]
    session.drive("close")
    session.drive("wait-gone", "20000")
    if fitted[0] > 1024 or fitted[1] > 768 or fitted[0] < width:
        raise Failure(f"at 144 dpi on a 1024x768 screen the window is {fitted}")
    log(f"station-e2e: at 144 dpi on a 1024x768 screen it fits: {fitted[0]} x {fitted[1]}")


def tab_check(session):
    _, out = session.drive("tab", str(len(TAB_ORDER)), timeout=60)
    reached = [line.strip() for line in out.splitlines() if line.strip()]
    if reached != TAB_ORDER:
        raise Failure(f"Tab walks the window as {reached}, not {TAB_ORDER}")
    log("station-e2e: Tab walks the window in reading order, one stop per group")
    for letter, name in MNEMONICS:
        reached = session.drive("mnemonic", letter)[1].strip()
        if reached != name:
            raise Failure(f"Alt+{letter.upper()} reaches {reached}, not {name}")
    log("station-e2e: the mnemonics reach their controls")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--exe", "--cli", "--driver", "--sim", "--work"):
        parser.add_argument(name, required=True)
    parser.add_argument("--shots")
    parser.add_argument("--display", help="an X display to use instead of a new Xvfb")
    args = parser.parse_args()
    if not shutil.which("wine") or (not args.display and not shutil.which("Xvfb")):
        log("station-e2e: skipped, Wine or Xvfb is not installed")
        return 77
    os.makedirs(args.work, exist_ok=True)
    session = StationSession(args)
    try:
        run(session)
    except (Failure, subprocess.TimeoutExpired) as failure:
        log(f"station-e2e: FAILED: {failure}")
        session.args.shots = session.args.shots or session.work
        try:
            session.shot("failure")
        except Exception:  # the picture helps, but the failure is what counts
            pass
        return 1
    finally:
        session.close()
    log("station-e2e: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
