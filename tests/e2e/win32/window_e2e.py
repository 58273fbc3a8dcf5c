#!/usr/bin/python3
"""mirvok.exe under Wine and Xvfb against mirvok-sim, as an operator uses it.

The simulator's pseudo-terminal is COM1 of a Wine prefix of its own. The
window starts from a settings file for terminal mode, download mode 8 and the
sample file; mirvok-drive.exe presses ﾀﾞｳﾝﾛｰﾄﾞ開始, answers the closing box,
opens the F-ROM mode with its access code, reads the DIP switches and closes
the window; Tab pressed round the normal, the widened and the narrowed
window must never lose the focus nor reach a control out of view. The test passes when the simulated device received every line of
the file and the settings file was saved with the file in its history.

    window_e2e.py --exe mirvok.exe --driver mirvok-drive.exe --sim mirvok-sim \\
                  --work DIR [--shots DIR]

With --shots the window is photographed at start-up, during the download and
in the widened F-ROM mode (PNG files windows-start.png, windows-download.png, windows-wide.png).
Exit code 0: passed; 1: failed; 77: Wine or Xvfb missing (skipped).
"""
import argparse
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SAMPLE = os.path.join(ROOT, "samples", "demo.s28")
WINE_FONTS = "/usr/share/wine/fonts"
ACCESS_CODE = "31750"
# The DIP-switch banks the device reports: switches 1 and 2 of bank 1 and
# switch 8 of bank 2 on.
DIP_SWITCHES = "03 80"
CLOSING_TEXT = "装置側の書換え完了を確認した上で電源をお切りください！"
DSW_DONE = "DSW状態取得完了"
# Twips of the window's place at start, which the saved settings must repeat.
START_TWIPS = 1500

# The prefix: every program in a virtual desktop (Windows' own frames, and no
# window manager to wait for), and the Japanese faces the window asks for and
# the face of the system's menus, captions and message boxes (Tahoma) replaced
# by the installed Noto Sans CJK JP, which has Latin letters as well as every
# Japanese glyph. (A replacement takes effect only for a face the prefix does
# not have, so Wine's own Tahoma is not put into it.)
PREFIX_REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Meiryo UI"="Noto Sans CJK JP"
"MS UI Gothic"="Noto Sans CJK JP"
"MS Shell Dlg"="Noto Sans CJK JP"
"MS Shell Dlg 2"="Noto Sans CJK JP"
"Tahoma"="Noto Sans CJK JP"
"""


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


# ---- Pictures: the driver writes 24-bit BMP files; docs/ keeps PNG.

def bmp_to_png(bmp_path, png_path):
    data = open(bmp_path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise Failure(f"{bmp_path}: {bits}-bit picture, 24 expected")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = y if height < 0 else abs(height) - 1 - y
        row = data[offset + source * stride: offset + source * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(png_path, "wb") as f:
        f.write(png)


# ---- The pieces: display, prefix, simulator, window, operator.

class Session:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.prefix = os.path.join(self.work, "prefix")
        self.app = os.path.join(self.work, "app")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None
        self.sim = None
        self.window = None

    def start_display(self):
        if self.args.display:
            self.env["DISPLAY"] = self.args.display
            return
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            piece = os.read(read, 16)
            if not piece:
                raise Failure("Xvfb did not start")
            number += piece
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def wine(self, *arguments, **options):
        return subprocess.run(["wine", *arguments], env=self.env, **options)

    def make_prefix(self):
        if not os.path.isdir(os.path.join(self.prefix, "drive_c")):
            log("window-e2e: making the Wine prefix (once)")
            subprocess.run(["wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300, check=True)
        # The symbols of the caption buttons from Wine's font package, which
        # a prefix does not always get.
        fonts = os.path.join(self.prefix, "drive_c", "windows", "Fonts")
        for face in ("marlett.ttf",):
            source = os.path.join(WINE_FONTS, face)
            if os.path.exists(source) and not os.path.exists(os.path.join(fonts, face)):
                os.makedirs(fonts, exist_ok=True)
                shutil.copy2(source, fonts)
        registry = os.path.join(self.work, "prefix.reg")
        with open(registry, "w", encoding="utf-8") as f:
            f.write(PREFIX_REGISTRY)
        self.wine("regedit", registry, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)

    def start_simulator(self):
        self.sim = subprocess.Popen([self.args.sim, "--transcript", os.path.join(self.work, "sim-transcript.txt")], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True, bufsize=1)
        terminal = self.sim.stdout.readline().strip()
        if not terminal.startswith("/"):
            raise Failure(f"mirvok-sim printed no terminal path: {terminal!r}")
        # Wine reads its ports from the registry when it starts, and links
        # them in the prefix's dosdevices folder.
        self.wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/d", terminal, "/f",
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        # One server from here to the end: an idle one ends a few seconds
        # after its last program, and a program starting just then finds its
        # socket closing.
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        # Wine's own services start with the first program and live as long
        # as the server: started here, they hold no output of a test open.
        self.wine("cmd", "/c", "exit", stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                  stderr=subprocess.DEVNULL, timeout=120)
        log(f"window-e2e: mirvok-sim on {terminal} is COM1")

    def sim_command(self, command):
        self.sim.stdin.write(command + "\n")
        self.sim.stdin.flush()

    def sim_status(self):
        self.sim_command("status")
        lines = []
        deadline = time.time() + 5
        while time.time() < deadline:
            line = self.sim.stdout.readline()
            if not line:
                break
            lines.append(line.rstrip("\n"))
            if "download" in line and "completed" in line:
                break
        return "\n".join(lines)

    def sim_status_showing(self, pattern, timeout=15):
        """The simulator's status once it matches `pattern`, or the last one
        after `timeout` seconds: what the window wrote just before it closed
        the port may still be on its way through the terminal."""
        deadline = time.time() + timeout
        status = self.sim_status()
        while not re.search(pattern, status) and time.time() < deadline:
            time.sleep(0.05)
            status = self.sim_status()
        return status

    def write_settings(self):
        os.makedirs(self.app, exist_ok=True)
        shutil.copy2(self.args.exe, os.path.join(self.app, "mirvok.exe"))
        # The sample where an operator keeps firmware: on drive C.
        folder = os.path.join(self.prefix, "drive_c", "rom")
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(SAMPLE, folder)
        sample = "C:\\rom\\" + os.path.basename(SAMPLE)
        lines = ["[Application]", "App=Mirvok", "[Display]", f"Top= {START_TWIPS}", f"left= {START_TWIPS}",
                 "[Option]", "Linechk= 1", "[Comm]", "Port= 1", "Setting=9600,E,8,1", "StTimer= 0",
                 "[Mode]", "CRmode= 0", "Downloadno= 8", "[File]", f"Filename={sample}", f"File1={sample}",
                 "Directory=" + sample.rsplit("\\", 1)[0], "[Special]", "Spno= 0"]
        with open(self.ini(), "wb") as f:
            f.write("\r\n".join(lines + [""]).encode("cp932"))
        return sample

    def ini(self):
        return os.path.join(self.app, "Mirvok.ini")

    def start_window(self, folder=None):
        self.window = subprocess.Popen(["wine", "mirvok.exe"], cwd=folder or self.app, env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def first_start(self):
        """mirvok.exe alone in a folder writes the settings file beside itself."""
        folder = os.path.join(self.work, "first-start")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy2(self.args.exe, os.path.join(folder, "mirvok.exe"))
        self.start_window(folder)
        self.drive("wait-window", "60000", timeout=90)
        self.drive("close")
        if self.drive("wait-gone", "20000", check=False)[0] != 0:
            raise Failure("the window of the first start did not close")
        self.window.wait(timeout=30)
        path = os.path.join(folder, "Mirvok.ini")
        if not os.path.exists(path):
            raise Failure("the first start wrote no Mirvok.ini beside mirvok.exe")
        written = open(path, "rb").read().decode("cp932").split("\r\n")
        for wanted in ("App=Mirvok", "Directory=\\"):
            if wanted not in written:
                raise Failure(f"the first start's Mirvok.ini lacks {wanted!r}: {written}")
        log("window-e2e: the first start wrote Mirvok.ini with Directory=\\")

    def drive(self, *arguments, timeout=180, check=True):
        # Output goes through a file: Wine's helper processes, started on
        # demand, inherit a pipe and would hold it open long after the driver.
        out_path = os.path.join(self.work, "drive.out")
        with open(out_path, "wb") as out_file:
            code = self.wine(self.args.driver, *arguments, stdout=out_file, stderr=subprocess.DEVNULL,
                             timeout=timeout).returncode
        out = open(out_path, "rb").read().decode("utf-8", "replace").replace("\r", "")
        if check and code != 0:
            raise Failure(f"mirvok-drive {' '.join(arguments)}: exit {code} {out!r}")
        return code, out

    def shot(self, name, *what):
        if not self.args.shots:
            return
        os.makedirs(self.args.shots, exist_ok=True)
        bmp = os.path.join(self.work, name + ".bmp")
        self.drive("shot", "Z:" + bmp.replace("/", "\\"), *what)
        bmp_to_png(bmp, os.path.join(self.args.shots, name + ".png"))
        log(f"window-e2e: {name}.png")

    def close(self):
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        if self.window and self.window.poll() is None:
            self.window.wait(timeout=30)
        if self.sim and self.sim.poll() is None:
            try:
                self.sim.stdin.write("quit\n")
                self.sim.stdin.flush()
                self.sim.wait(timeout=5)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.sim.kill()
                self.sim.wait()
        if self.xvfb:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)


def sample_lines():
    with open(SAMPLE, "rb") as f:
        return sum(1 for line in f if line.strip())


def wait_for_progress(session, share, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        code, out = session.drive("progress", check=False)
        if code == 0:
            value, maximum = (int(v) for v in out.split()[:2])
            if maximum > 0 and value >= maximum * share:
                return
        code, _ = session.drive("wait-box", "0", check=False)
        if code == 0:
            return
        time.sleep(0.2)
    raise Failure("the download made no progress")


def wait_for_text(session, control, wanted, timeout):
    deadline = time.time() + timeout
    text = ""
    while time.time() < deadline:
        _, text = session.drive("text", control, check=False)
        if wanted in text:
            return
        time.sleep(0.3)
    raise Failure(f"{control} shows {text.strip()!r}, not {wanted!r}")


# The F-ROM column: out of view, and so out of reach, in the normal window.
FROM_COLUMN = {"CmdGetDSW", "CmdROMBackup", "CmdROMRecovery", "Command1"}
# Tab from ﾀﾞｳﾝﾛｰﾄﾞ開始 round the normal window in terminal mode with
# download mode 8 chosen and the block boxes off.
NORMAL_TAB_ORDER = ["CmbComPort", "CmndPortRefresh", "CmbSms", "Option2(0)", "CmdROMVer", "CmbBaudRate",
                    "CmbParity", "CmbDataBits", "CmbStopBits", "Option1(8)", "TxXferFileName", "CmdFile",
                    "BLKCheck1", "CmdStart"]


def wait_for_caption(session, wanted, timeout):
    deadline = time.time() + timeout
    caption = ""
    while time.time() < deadline:
        _, caption = session.drive("wait-window", "1000", check=False)
        if caption.strip() == wanted:
            return
        time.sleep(0.3)
    raise Failure(f"the window's caption is {caption.strip()!r}, not {wanted!r}")


def tab_round(session, presses=40):
    """Presses Tab round the window: the controls it reached. The focus must
    never get lost nor rest on a control outside the client area."""
    _, out = session.drive("tab", str(presses), timeout=60)
    stops = [line.split() for line in out.splitlines() if line.strip()]
    names = [stop[0] for stop in stops]
    if len(names) != presses or "-" in names:
        raise Failure(f"Tab lost the focus: {names}")
    outside = [stop[0] for stop in stops if len(stop) > 1]
    if outside:
        raise Failure(f"Tab reached controls out of view: {outside}")
    return names


def run(session):
    session.start_display()
    session.make_prefix()
    session.start_simulator()
    session.first_start()
    sample = session.write_settings()
    session.start_window()

    _, caption = session.drive("wait-window", "60000", timeout=90)
    log(f"window-e2e: window up: {caption.strip()}")
    session.shot("windows-start")
    reached = tab_round(session, 2 * len(NORMAL_TAB_ORDER))
    if reached != 2 * NORMAL_TAB_ORDER:
        raise Failure(f"Tab walks the normal window as {reached}, not {NORMAL_TAB_ORDER}")
    log("window-e2e: Tab walks the normal window in reading order, nothing out of view")

    # The prefix's COM ports, and the device's version in terminal mode.
    session.drive("click", "CmndPortRefresh")
    wait_for_text(session, "LaStatus", "ポート抽出完了 (COM1", 30)
    session.drive("click", "CmdROMVer")
    _, box = session.drive("wait-box", "30000")
    if "ROMﾊﾞｰｼﾞｮﾝ" not in box:
        raise Failure(f"the version read ended with {box!r}")
    session.drive("answer", "ok")
    log("window-e2e: ports listed, version read: " + box.split("\n")[1].strip())

    # The download: ﾀﾞｳﾝﾛｰﾄﾞ開始, a picture half-way, the closing box answered.
    session.drive("click", "CmdStart")
    wait_for_progress(session, 0.3, 120)
    session.shot("windows-download")
    _, box = session.drive("wait-box", "120000")
    if CLOSING_TEXT not in box:
        raise Failure(f"the download ended with {box!r}")
    session.shot("windows-download-end", "box")
    session.drive("answer", "ok")
    lines = sample_lines()
    status = session.sim_status_showing(r" [1-9]\d* completed")
    if not re.search(rf"download {lines} lines, 0 bad, 1 completed", status):
        raise Failure(f"the device did not get the {lines} lines of the file:\n{status}")
    log(f"window-e2e: the device received all {lines} lines")

    # The F-ROM mode behind its access code, and the DIP switches read.
    session.drive("menu", "MnuROMBkRec")
    session.drive("wait-box", "20000")
    session.shot("windows-access-code", "box")
    session.drive("type", ACCESS_CODE)
    session.sim_command("dsw " + DIP_SWITCHES)
    session.drive("click", "CmdGetDSW")
    wait_for_text(session, "LaStatus", DSW_DONE, 30)
    session.shot("windows-wide")
    # After the DSW read the focus is still somewhere, and the column is reached now.
    if not FROM_COLUMN <= set(tab_round(session)):
        raise Failure("Tab does not reach the F-ROM column of the widened window")
    session.drive("menu", "MnuROMBkRec")  # narrow again: out of reach again
    wait_for_caption(session, "ROM Down Load Program", 20)
    if set(tab_round(session)) & FROM_COLUMN:
        raise Failure("Tab reaches the F-ROM column after the window narrowed again")
    log("window-e2e: Tab reaches the F-ROM column only in the widened window")

    # Closing saves the settings: the file is in the history now.
    session.drive("close")
    if session.drive("wait-gone", "20000", check=False)[0] != 0:
        raise Failure("the window did not close")
    saved = open(session.ini(), "rb").read().decode("cp932")
    for wanted in (f"File1={sample}", "Downloadno= 8", f"Top= {START_TWIPS}"):
        if wanted not in saved.split("\r\n"):
            raise Failure(f"the saved settings lack {wanted!r}:\n{saved}")
    log("window-e2e: the settings were saved")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--shots")
    parser.add_argument("--display", help="an X display to use instead of a new Xvfb")
    args = parser.parse_args()
    if not shutil.which("wine") or (not args.display and not shutil.which("Xvfb")):
        log("window-e2e: skipped, Wine or Xvfb is not installed")
        return 77
    for path in (args.exe, args.driver, args.sim):
        if not os.path.exists(path):
            log(f"window-e2e: {path} is missing")
            return 1
    os.makedirs(args.work, exist_ok=True)
    session = Session(args)
    try:
        run(session)
    except (Failure, subprocess.TimeoutExpired) as failure:
        log(f"window-e2e: FAILED: {failure}")
        session.args.shots = session.args.shots or session.work
        try:
            session.shot("failure")
        except Exception:  # the picture helps, but the failure is what counts
            pass
        return 1
    finally:
        session.close()
    log("window-e2e: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
