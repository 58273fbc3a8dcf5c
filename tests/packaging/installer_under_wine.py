#!/usr/bin/python3
"""The Windows installer under Wine, as an administrator rolls it out: in a
fresh prefix, an earlier build installed silently (asked to add to a PATH
too long for it, which it must leave whole), the window started once
(its settings go to %APPDATA%, nothing under Program Files; an upgrade
while it runs fails instead of skipping it), the current
build installed over it silently with /PATH, mirvok-cli.exe asked its
version, and the silent uninstaller run as the uninstall entry names it.
The settings survive the upgrade and the removal byte for byte.

    installer_under_wine.py --build BUILD-WINDOWS --driver mirvok-drive.exe --work DIR

The installers are made from the build by packaging/windows/package.sh.
Exit code 0: passed; 1: failed; 77: Wine, Xvfb or makensis missing (skipped).
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGE = os.path.join(ROOT, "packaging", "windows", "package.sh")
EARLIER_VERSION = "1.0.0"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mirvok"
ENVIRONMENT_KEY = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
INSTALL_DIR = r"C:\Program Files\Mirvok"
INSTALLED = ["mirvok.exe", "mirvok-station.exe", "mirvok-cli.exe", "README.md", "demo.s28", "LICENSE.txt",
             "Mirvok.installed", "uninstall.exe"]
SHORTCUTS = ["Mirvok.lnk", "Mirvok Station.lnk"]
ENTRY_VALUES = ["DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "UninstallString",
                "QuietUninstallString", "EstimatedSize"]


class Failure(Exception):
    pass


STARTED = time.monotonic()


def log(text):
    print(f"installer-wine ({time.monotonic() - STARTED:.0f} s): {text}", flush=True)


def expect(condition, text):
    if not condition:
        raise Failure(text)


class Prefix:
    """A fresh Wine prefix and an Xvfb of its own."""

    def __init__(self, work):
        self.path = os.path.join(work, "prefix")
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None

    def start(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            piece = os.read(read, 16)
            expect(piece, "Xvfb did not start")
            number += piece
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        subprocess.run(["wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)

    def run(self, *arguments, timeout=180):
        # Output through a file: helper processes Wine starts on demand would
        # hold a pipe open long after the program.
        out_path = self.path + ".out"
        with open(out_path, "wb") as out:
            code = subprocess.run(["wine", *arguments], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout).returncode
        with open(out_path, "rb") as out:
            return code, out.read().decode("utf-8", "replace").replace("\r", "")

    def wait_idle(self):
        """Until every program of the prefix has ended (the uninstaller runs
        on from a copy of itself after the one started returns)."""
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=180)

    def registry(self, key):
        """The values of a key, by name; None when the key does not exist."""
        code, out = self.run("reg", "query", key)
        if code != 0:
            return None
        values = {}
        for line in out.splitlines():
            found = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
            if found:
                values[found.group(1)] = found.group(3).strip()
        return values

    def unix(self, windows_path):
        """The prefix's file behind a C: path."""
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))

    def settings_files(self):
        return glob.glob(os.path.join(self.path, "drive_c", "users", "*", "AppData", "Roaming", "mirvok",
                                      "Mirvok.ini"))

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)


def make_installers(build, work):
    def make(folder, *version):
        # Made fast: compression is not what is tested here.
        out = subprocess.run([PACKAGE, build, os.path.join(work, folder), *version], capture_output=True,
                             text=True, timeout=300, env=dict(os.environ, MIRVOK_INSTALLER_COMPRESSOR="zlib"))
        expect(out.returncode == 0, f"package.sh failed:\n{out.stderr}")
        return out.stdout.split()[-1]
    current = make("current")
    earlier = make("earlier", EARLIER_VERSION)
    log(f"made {os.path.basename(earlier)} and {os.path.basename(current)}")
    return earlier, current


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", cache.read(), re.M).group(1)


def program_files(prefix):
    folder = prefix.unix(INSTALL_DIR)
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def check_installed(prefix, version):
    expect(program_files(prefix) == sorted(INSTALLED), f"Program Files\\Mirvok holds {program_files(prefix)}")
    entry = prefix.registry(UNINSTALL_KEY)
    expect(entry is not None, "no uninstall entry")
    missing = [name for name in ENTRY_VALUES if not entry.get(name)]
    expect(not missing, f"the uninstall entry lacks {missing}: {entry}")
    expect(entry["DisplayVersion"] == version, f"the entry's version is {entry['DisplayVersion']}, not {version}")
    expect(entry["QuietUninstallString"] == f'"{INSTALL_DIR}\\uninstall.exe" /S',
           f"QuietUninstallString is {entry['QuietUninstallString']}")
    expect(int(entry["EstimatedSize"], 0) > 100, f"EstimatedSize is {entry['EstimatedSize']}")
    for name in SHORTCUTS:
        shortcut = prefix.unix(rf"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\{name}")
        expect(os.path.exists(shortcut), f"no Start-menu entry {name}")
    return entry


def system_path(prefix):
    # Value names ignore letter case (Wine's is "PATH").
    return next(v for k, v in prefix.registry(ENVIRONMENT_KEY).items() if k.lower() == "path")


def set_system_path(prefix, path):
    code, _ = prefix.run("reg", "add", ENVIRONMENT_KEY, "/v", "PATH", "/t", "REG_EXPAND_SZ", "/d", path, "/f")
    expect(code == 0, "cannot set the system PATH")


def on_path(prefix):
    return INSTALL_DIR.lower() in [part.lower() for part in system_path(prefix).split(";")]


def first_window_start(prefix, driver, current):
    """The installed window's first start; while it runs, an upgrade must
    fail rather than skip the program it cannot replace."""
    window = subprocess.Popen(["wine", INSTALL_DIR + "\\mirvok.exe"], env=prefix.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        code, caption = prefix.run(driver, "wait-window", "60000", timeout=90)
        expect(code == 0, "the installed mirvok.exe opened no window")
        log(f"the installed window is up: {caption.strip()}")
        code, _ = prefix.run(current, "/S")
        expect(code != 0, "a silent upgrade while mirvok.exe runs reported success")
        expect(prefix.registry(UNINSTALL_KEY)["DisplayVersion"] == EARLIER_VERSION,
               "a failed upgrade changed the entry's version")
        log(f"a silent upgrade while the window runs fails (exit {code}) and leaves the entry")
        prefix.run(driver, "close")
        code, _ = prefix.run(driver, "wait-gone", "20000")
        expect(code == 0, "the window did not close")
        window.wait(timeout=30)
    finally:
        if window.poll() is None:
            window.kill()
    settings = prefix.settings_files()
    expect(len(settings) == 1, f"the first start wrote {settings}, not %APPDATA%\\mirvok\\Mirvok.ini")
    with open(settings[0], "rb") as f:
        expect(b"App=Mirvok" in f.read(), "the settings file holds no App=Mirvok")
    expect(program_files(prefix) == sorted(INSTALLED), f"the first start wrote into Program Files: "
           f"{program_files(prefix)}")
    return settings[0]


def run(args):
    build = os.path.abspath(args.build)
    version = project_version(build)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    earlier, current = make_installers(build, work)
    prefix = Prefix(work)
    try:
        prefix.start()
        log("fresh prefix made")

        # A system PATH longer than the installer can hold: asked to add to
        # it, the installer must leave it whole.
        path = system_path(prefix)
        long_path = path + "".join(f";C:\\Tools\\Vendor{n:02}\\bin" for n in range(50))
        set_system_path(prefix, long_path)
        code, _ = prefix.run(earlier, "/S", "/PATH")
        expect(code == 0, f"the silent install of {EARLIER_VERSION} ended with {code}")
        check_installed(prefix, EARLIER_VERSION)
        expect(system_path(prefix) == long_path, "the installer changed a PATH too long for it")
        set_system_path(prefix, path)
        log(f"{EARLIER_VERSION} installed silently: files, uninstall entry, Start-menu entry; "
            f"a PATH of {len(long_path)} characters left whole")

        settings = first_window_start(prefix, args.driver, current)
        log("the first start wrote %APPDATA%\\mirvok\\Mirvok.ini and nothing under Program Files")
        with open(settings, "ab") as f:
            f.write(b"[Kept]\r\nMine=1\r\n")
        with open(settings, "rb") as f:
            kept = f.read()

        code, _ = prefix.run(current, "/S", "/PATH")
        expect(code == 0, f"the silent upgrade ended with {code}")
        check_installed(prefix, version)
        expect(on_path(prefix), "/PATH did not put the folder on the system PATH")
        with open(settings, "rb") as f:
            expect(f.read() == kept, "the upgrade changed the settings")
        log(f"upgraded to {version} in place, the folder on the PATH, the settings kept")

        code, out = prefix.run(INSTALL_DIR + "\\mirvok-cli.exe", "--version")
        expect(code == 0 and out.strip() == f"mirvok-cli {version}", f"mirvok-cli.exe --version: {out!r}")
        code, out = prefix.run(INSTALL_DIR + "\\mirvok-cli.exe", "--help")
        used = re.search(r"^Settings file: (.*)$", out, re.M)
        expect(used and used.group(1).endswith("\\AppData\\Roaming\\mirvok\\Mirvok.ini"),
               f"the installed mirvok-cli.exe uses {used.group(1) if used else 'no file'}")
        log(f"the installed mirvok-cli.exe says mirvok-cli {version} and uses the per-user settings")

        # Something of the administrator's in the folder stays, and so does
        # the folder; everything installed goes.
        with open(os.path.join(prefix.unix(INSTALL_DIR), "notes.txt"), "w") as f:
            f.write("mine")
        quiet = prefix.registry(UNINSTALL_KEY)["QuietUninstallString"]
        uninstaller = re.match(r'^"([^"]+)"\s+(.*)$', quiet)
        code, _ = prefix.run(uninstaller.group(1), *uninstaller.group(2).split())
        expect(code == 0, f"the silent uninstall ended with {code}")
        prefix.wait_idle()
        expect(program_files(prefix) == ["notes.txt"], f"after the uninstall: {program_files(prefix)}")
        expect(prefix.registry(UNINSTALL_KEY) is None, "the uninstall entry is left")
        expect(not on_path(prefix), "the folder is left on the PATH")
        for name in SHORTCUTS:
            shortcut = prefix.unix(rf"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\{name}")
            expect(not os.path.exists(shortcut), f"the Start-menu entry {name} is left")
        with open(settings, "rb") as f:
            expect(f.read() == kept, "the uninstall changed the settings")
        log("uninstalled silently: programs, entry, Start-menu entry and PATH gone, the settings kept")
    finally:
        prefix.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for tool in ("wine", "Xvfb", "makensis"):
        if not shutil.which(tool):
            log(f"skipped, {tool} is not installed")
            return 77
    try:
        run(args)
    except (Failure, subprocess.TimeoutExpired, subprocess.CalledProcessError) as failure:
        log(f"FAILED: {failure}")
        return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
