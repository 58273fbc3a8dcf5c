"""A Wine prefix of the tests' own, driven through tools/wine-run.sh: its
programs, its server, its COM ports, and host paths as Wine shows them."""

import os
import subprocess
from pathlib import Path


def windows_path(path):
    """Wine shows the host's root folder as drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class WinePrefix:
    def __init__(self, wine_run, prefix):
        self.wine_run = wine_run
        self.prefix = str(Path(prefix).resolve())

    def command(self, *args):
        """The command line that runs a program in the prefix."""
        return [self.wine_run, "--prefix=" + self.prefix, *map(str, args)]

    def run(self, *args):
        return subprocess.run(self.command(*args), stdin=subprocess.DEVNULL, capture_output=True, timeout=300)

    def server(self, flag, quiet=False):
        output = subprocess.DEVNULL if quiet else None
        subprocess.run(["wineserver", flag], env={**os.environ, "WINEPREFIX": self.prefix}, stdout=output,
                       stderr=output, check=False, timeout=120)

    def keep_alive(self):
        """One server for the prefix until the tests end or Wine is restarted:
        an idle server ends a few seconds after its last program, and a program
        starting just then finds its socket closing. The running one ends first.
        Wine's own services, which start with the first program and live as long
        as the server, start here with no output of a test to hold open."""
        self.server("-w")
        self.server("-p", quiet=True)  # it outlives the test's output
        subprocess.run(self.command("cmd", "/c", "exit"), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=False)

    def map_port(self, number, device):
        """Makes `device` COM`number` of the prefix (None: takes the port away).
        Wine reads its ports when it starts, so the prefix's Wine is restarted."""
        key = "HKLM\\Software\\Wine\\Ports"
        if device:
            self.run("reg", "add", key, "/v", f"COM{number}", "/d", device, "/f")
        else:
            self.run("reg", "delete", key, "/v", f"COM{number}", "/f")
        self.server("-k")
        self.keep_alive()
        if device:
            self.run("cmd", "/c", "exit")  # Wine starts again and links the port
