#!/usr/bin/python3
"""Remote serial ports end to end: mirvok-cli (or mirvok-cli.exe under Wine)
through Debian's ser2net (a telnet(rfc2217) accepter on 127.0.0.1 in front of
mirvok-sim's pseudo-terminal) and through mirvok-sim's own --rfc2217 server,
and against servers that fail: one that speaks no Telnet, a refused port, a
host that does not answer, one that refuses a line setting. Under Wine all but
the 9600-baud download and the reading operations run again, through Winsock.

    remote_e2e.py --cli mirvok-cli --sim mirvok-sim --data DIR
    remote_e2e.py --cli mirvok-cli.exe --sim mirvok-sim --data DIR --wine-run wine-run.sh --prefix DIR
"""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ser2net_server import SER2NET, Ser2net, free_port, wait_for_listener  # noqa: E402
from sim_console import SimConsole, s_record_image  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402

ARGS = None
PROGRAM_TIMEOUT_SECONDS = 120
SETTLE_SECONDS = 15
# The longest an opening may take to fail: the connect time-out (5 s) and
# some room for a loaded machine.
FAILURE_WITHIN_SECONDS = 9
class FakeServer:
    """A TCP server on 127.0.0.1 that answers each connection with `reply`,
    a function from everything received so far to the bytes to send now."""

    def __init__(self, reply):
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(4)
        self.port = self.socket.getsockname()[1]
        self.reply = reply
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        self.socket.settimeout(0.2)
        while not self.stopping:
            try:
                client, _ = self.socket.accept()
            except OSError:
                continue
            with client:
                client.settimeout(0.2)
                received = b""
                while not self.stopping:
                    try:
                        data = client.recv(4096)
                    except socket.timeout:
                        data = None
                    except OSError:
                        break
                    if data == b"":
                        break
                    received += data or b""
                    out = self.reply(received)
                    if out:
                        client.sendall(out)

    def stop(self):
        self.stopping = True
        self.thread.join()
        self.socket.close()


IAC, SB, SE, DO = 255, 250, 240, 253


def com_port_answer(code, value):
    return bytes([IAC, SB, 44, code + 100, *value, IAC, SE])


class RemoteTest(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="mirvok-remote-e2e-"))
        self.ini = self.work / "Mirvok.ini"
        self.sim = None
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        if self.sim:
            self.sim.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    def start_sim(self, *args):
        self.sim = SimConsole(ARGS.sim, ["--transcript", self.work / "sim.transcript", *args])
        return self.sim

    def path(self, path):
        """A path as the program takes it (under Wine: on drive Z:)."""
        return windows_path(path) if ARGS.wine_run else str(path)

    def cli(self, *args, port=None):
        command = [ARGS.wine_run, "--prefix=" + ARGS.prefix, ARGS.cli] if ARGS.wine_run else [ARGS.cli]
        command += [*args, "--ini", self.path(self.ini)]
        if port:
            command += ["--port", port]
        started = time.monotonic()
        run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                             timeout=PROGRAM_TIMEOUT_SECONDS)
        run.seconds = time.monotonic() - started
        run.out = run.stdout.decode(errors="replace")
        run.err = run.stderr.decode(errors="replace")
        return run

    def linux_only(self):
        """Under Wine, what goes through the other operations is left to the
        Linux run: the Winsock transport beneath is the same."""
        if ARGS.wine_run:
            self.skipTest("runs on Linux")

    def explain(self, run):
        return f"exit {run.returncode} after {run.seconds:.1f} s\nstdout:\n{run.out}\nstderr:\n{run.err}"

    def assert_device_holds(self, rom):
        # What the program wrote last may still be on its way through the
        # server and the terminal when it has ended.
        status = self.sim.wait_status("1 completed", SETTLE_SECONDS)
        self.assertIn("0 bad, 1 completed, 0 line mismatches", status)
        self.assertEqual(self.sim.image(), s_record_image(rom.read_text().splitlines()))


@unittest.skipUnless(SER2NET, "ser2net is not installed (mirvok.sh installs it)")
class ThroughSer2net(RemoteTest):
    def setUp(self):
        super().setUp()
        self.start_sim("--set", "rom=MV-9.01", "--set", "dsw1=A5", "--set", "dsw2=3C", "--set", "backup-time=500")
        self.ser2net = Ser2net(self.work, self.sim.path)
        self.servers.append(self.ser2net)
        self.url = f"rfc2217://127.0.0.1:{self.ser2net.port}"

    def download(self, mode):
        rom = Path(ARGS.data) / "small.s28"
        run = self.cli("download", self.path(rom), "--terminal", "--mode", str(mode), "--wait", "0",
                       port=self.url)
        self.assertEqual(run.returncode, 0, self.explain(run))
        self.assertIn("transfer completed (2000)", run.out, self.explain(run))
        self.assert_device_holds(rom)

    def test_download_at_115200_after_the_switch_from_terminal_mode(self):
        self.download(8)
        # The URL got a number in the port map and is listed under it.
        number = re.search(r"^COM(\d+)=" + re.escape(self.url) + "$", self.ini.read_text(), re.M)
        self.assertTrue(number, self.ini.read_text())
        ports = self.cli("ports", "--probe")
        self.assertRegex(ports.out, rf"COM{number.group(1)} +{re.escape(self.url)}  answers", self.explain(ports))

    def test_download_at_9600(self):
        self.linux_only()
        self.download(0)

    def test_dip_switches_version_and_backup(self):
        self.linux_only()
        dsw = self.cli("dsw", port=self.url)
        self.assertEqual(dsw.returncode, 0, self.explain(dsw))
        self.assertIn("DSW1 A5", dsw.out, self.explain(dsw))
        version = self.cli("version", port=self.url)
        self.assertEqual(version.returncode, 0, self.explain(version))
        self.assertIn("MV-9.01", version.out, self.explain(version))
        self.sim.ask("cover open", r"cover open")
        backup = self.cli("backup", "--yes", port=self.url)
        self.assertEqual(backup.returncode, 0, self.explain(backup))


class ThroughMirvokSim(RemoteTest):
    """mirvok-sim's own server, which carries DSR and CTS and drops the
    connection when its cable is pulled."""

    def setUp(self):
        super().setUp()
        self.server_port = free_port()
        self.start_sim("--no-pacing", "--set", "start-download=8", "--rfc2217", str(self.server_port))
        self.assertTrue(wait_for_listener(self.server_port))
        self.url = f"rfc2217://127.0.0.1:{self.server_port}"
        self.rom = Path(ARGS.data) / "small.s28"

    def download(self):
        return self.cli("download", self.path(self.rom), "--download-mode", "--mode", "8", "--wait", "0",
                        "--line-check", "1", "--yes", "--json", port=self.url)

    def test_a_download_completes(self):
        run = self.download()
        self.assertEqual(run.returncode, 0, self.explain(run))
        self.assert_device_holds(self.rom)

    def test_dsr_off_ends_with_112(self):
        self.sim.ask("power off", r"power off")
        run = self.download()
        self.assertEqual(run.returncode, 16, self.explain(run))
        self.assertIn('"link_code":112', run.out, self.explain(run))
        dsw = self.cli("dsw", port=self.url)
        self.assertIn("DSRオフエラー（端末未接続／電源オフ）(112)", dsw.err, self.explain(dsw))

    def test_cts_off_ends_with_111(self):
        self.sim.ask("set cts off", r"ok|cts")
        run = self.download()
        self.assertEqual(run.returncode, 15, self.explain(run))
        self.assertIn('"link_code":111', run.out, self.explain(run))

    def test_a_dropped_connection_is_a_vanished_device(self):
        self.sim.ask("set pull-after 300", r"ok|pull")
        run = self.download()
        self.assertEqual(run.returncode, 17, self.explain(run))
        self.assertIn('"link_code":200', run.out, self.explain(run))
        self.assertNotIn("completed", run.out, self.explain(run))


class FailingServers(RemoteTest):
    def dsw_at(self, url):
        run = self.cli("dsw", port=url)
        self.assertNotEqual(run.returncode, 0, self.explain(run))
        self.assertLess(run.seconds, FAILURE_WITHIN_SECONDS, self.explain(run))
        return run

    def test_a_server_that_speaks_no_telnet(self):
        server = FakeServer(lambda received: None)
        self.servers.append(server)
        run = self.dsw_at(f"rfc2217://127.0.0.1:{server.port}")
        self.assertIn("no Telnet COM-PORT-OPTION", run.err, self.explain(run))
        self.assertIn("(101)", run.err, self.explain(run))

    def test_a_refused_port(self):
        port = free_port()
        run = self.dsw_at(f"rfc2217://127.0.0.1:{port}")
        self.assertIn(f"cannot connect to 127.0.0.1 port {port}: Connection refused", run.err, self.explain(run))
        self.assertEqual(run.err.count("Connection refused"), 1, "the cause is said once\n" + self.explain(run))

    def test_a_host_that_does_not_answer(self):
        # A listener whose queue is full drops further connection requests
        # unanswered, as a host behind a firewall does.
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(0)
        port = listener.getsockname()[1]
        waiting = []
        for _ in range(2):
            s = socket.socket()
            s.setblocking(False)
            s.connect_ex(("127.0.0.1", port))
            waiting.append(s)
        try:
            run = self.dsw_at(f"rfc2217://127.0.0.1:{port}")
            self.assertIn("no answer within 5 s", run.err, self.explain(run))
        finally:
            for s in waiting:
                s.close()
            listener.close()

    def test_a_refused_line_setting(self):
        server = FakeServer(RefusingBaudRate())
        self.servers.append(server)
        run = self.dsw_at(f"rfc2217://127.0.0.1:{server.port}")
        self.assertIn("refuses the baud rate", run.err, self.explain(run))
        self.assertIn("(100)", run.err, self.explain(run))


class RefusingBaudRate:
    """Agrees to the COM-PORT-OPTION, then answers the baud rate with 1200."""

    def __init__(self):
        self.agreed = self.answered = False

    def __call__(self, received):
        out = b""
        if not self.agreed:
            self.agreed = True
            out += bytes([IAC, DO, 44])
        if b"\xff\xfa\x2c\x01" in received and not self.answered:
            self.answered = True
            out += com_port_answer(1, (1200).to_bytes(4, "big"))
        return out


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--cli", "--sim", "--data"):
        parser.add_argument(name, required=True)
    parser.add_argument("--wine-run")
    parser.add_argument("--prefix")
    ARGS, rest = parser.parse_known_args()
    if ARGS.wine_run:
        ARGS.prefix = str(Path(ARGS.prefix).resolve())
        WinePrefix(ARGS.wine_run, ARGS.prefix).run("cmd", "/c", "exit")
    result = unittest.main(argv=[sys.argv[0], *rest], verbosity=2, exit=False).result
    if ARGS.wine_run:
        # The prefix's Wine ends with the tests, not some seconds later.
        subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": ARGS.prefix}, check=False)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
