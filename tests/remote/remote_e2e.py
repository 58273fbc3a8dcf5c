#!/usr/bin/python3
"""Remote serial ports end to end: mirvok-cli (or mirvok-cli.exe under Wine)
through two real servers in front of mirvok-sim's pseudo-terminal (Debian's
ser2net, a telnet(rfc2217) accepter, and pyserial's RFC 2217 server), which
can't read modem lines there and report them off, and through mirvok-sim's own
--rfc2217 server; against servers that fail: one that speaks no Telnet, a
refused port, a host that does not answer, one that refuses a line setting;
and against hostile ones (tests/support/hostile_rfc2217.py). Under Wine all
but the 9600-baud download and the reading operations run again, through
Winsock.

    remote_e2e.py --cli mirvok-cli --sim mirvok-sim --data DIR
    remote_e2e.py --cli mirvok-cli.exe --sim mirvok-sim --data DIR --wine-run wine-run.sh --prefix DIR
"""

import argparse
import json
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
import hostile_rfc2217 as hostile  # noqa: E402
from pyserial_rfc2217 import PyserialServer  # noqa: E402
from sim_console import SimConsole, firmware, s_record_image  # noqa: E402
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
        text = f"exit {run.returncode} after {run.seconds:.1f} s\nstdout:\n{run.out}\nstderr:\n{run.err}"
        transcript = self.work / "sim.transcript"
        if transcript.exists():
            # What the device saw last, for a failure that a loaded machine shows.
            text += "device transcript (end):\n" + "\n".join(transcript.read_text().splitlines()[-40:])
        return text

    def assert_device_holds(self, rom):
        # What the program wrote last may still be on its way through the
        # server and the terminal when it has ended.
        status = self.sim.wait_status("1 completed", SETTLE_SECONDS)
        self.assertIn("0 bad, 1 completed, 0 line mismatches", status)
        self.assertEqual(self.sim.image(), s_record_image(rom.read_text().splitlines()))


class ThroughARealServer:
    """The cases of a real server in front of the simulator's terminal (mixed
    into a RemoteTest), which has no modem lines: the server reports them
    off, so the URL says to ignore them."""

    def setUp(self):
        super().setUp()
        self.start_sim("--set", "rom=MV-9.01", "--set", "dsw1=A5", "--set", "dsw2=3C", "--set", "backup-time=500")
        self.server = self.start_server(self.sim.path)
        self.servers.append(self.server)
        self.url = f"rfc2217://127.0.0.1:{self.server.port}?lines=ignore"

    def start_server(self, device):
        raise NotImplementedError

    def download(self, mode):
        rom = Path(ARGS.data) / "small.s28"
        run = self.cli("download", self.path(rom), "--terminal", "--mode", str(mode), "--wait", "0",
                       "--line-check", "0", port=self.url)
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

    def test_lines_reported_off_are_off_unless_the_url_ignores_them(self):
        self.linux_only()
        url = self.url.replace("?lines=ignore", "")
        rom = Path(ARGS.data) / "small.s28"
        run = self.cli("download", self.path(rom), "--download-mode", "--mode", "0", "--wait", "0",
                       "--line-check", "1", "--yes", "--json", port=url)
        self.assertEqual(run.returncode, 16, self.explain(run))
        self.assertIn('"link_code":112', run.out, self.explain(run))
        dsw = self.cli("dsw", port=url)
        self.assertIn("DSRオフエラー（端末未接続／電源オフ）(112)", dsw.err, self.explain(dsw))


@unittest.skipUnless(SER2NET, "ser2net is not installed (mirvok.sh installs it)")
class ThroughSer2net(ThroughARealServer, RemoteTest):
    def start_server(self, device):
        return Ser2net(self.work, device)


class ThroughPyserial(ThroughARealServer, RemoteTest):
    """pyserial's server frees a session only when its terminal read times
    out after the client closed: a reopening after the switch to the
    download rate has to wait for it, and each run waits for the last."""

    READ_TIMEOUT_SECONDS = 5

    def start_server(self, device):
        return PyserialServer(device, read_timeout=self.READ_TIMEOUT_SECONDS)

    def cli(self, *args, **kwargs):
        self.assertTrue(self.server.wait_free(), "pyserial's server holds its last session")
        return super().cli(*args, **kwargs)


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


class HostileServers(RemoteTest):
    """tests/support/hostile_rfc2217.py in front of the simulator's terminal."""

    def setUp(self):
        super().setUp()
        self.linux_only()
        self.start_sim("--set", "dsw1=A5", "--set", "dsw2=3C")

    def serve(self, kind, **options):
        server = kind(self.sim.path, **options)
        self.servers.append(server)
        return server

    def dsw(self, server):
        return self.cli("dsw", port=server.url)

    def assert_dsw_read(self, run):
        self.assertEqual(run.returncode, 0, self.explain(run))
        self.assertIn("DSW1 A5", run.out, self.explain(run))

    def test_data_from_before_the_purge_is_dropped(self):
        for kind in (hostile.EarlyData, hostile.LateData):
            with self.subTest(kind=kind.__name__):
                server = self.serve(kind)
                for _ in range(3):
                    self.assert_dsw_read(self.dsw(server))

    def test_refusals_fail_at_once_with_what_was_refused(self):
        for kind, how, words in ((hostile.RefusesComPort, "wont", "refuses the COM-PORT-OPTION"),
                                 (hostile.RefusesComPort, "dont", "refuses the COM-PORT-OPTION"),
                                 (hostile.RefusesBinary, "wont", "refuses binary transmission"),
                                 (hostile.RefusesBinary, "dont", "refuses binary transmission")):
            with self.subTest(kind=kind.__name__, how=how):
                run = self.dsw(self.serve(kind, how=how))
                self.assertNotEqual(run.returncode, 0, self.explain(run))
                self.assertIn(words, run.err, self.explain(run))
                self.assertLess(run.seconds, 2, self.explain(run))

    def test_nothing_is_sent_while_the_flow_is_suspended(self):
        server = self.serve(hostile.SuspendsFlow, seconds=1.5)
        self.assert_dsw_read(self.dsw(server))
        session = server.wait_closed(5, index=0)
        self.assertGreaterEqual(session.first_data(), session.noted("resume"), session.report())

    def test_an_endless_subnegotiation_ends_the_link_with_a_message(self):
        run = self.dsw(self.serve(hostile.EndlessSubnegotiation))
        self.assertNotEqual(run.returncode, 0, self.explain(run))
        self.assertIn("longer than 64 bytes", run.err, self.explain(run))

    def test_a_connection_closed_during_the_first_poll_is_reported_once(self):
        run = self.cli("dsw", "--json", port=self.serve(hostile.CloseDuringFirstPoll).url)
        self.assertEqual(run.returncode, 30, self.explain(run))
        events = [json.loads(line) for line in run.out.splitlines() if line.startswith("{")]
        lost = [e for e in events if e.get("event") == "message" and "(201)" in e.get("text", "")]
        self.assertEqual(len(lost), 1, self.explain(run))
        self.assertEqual(events[-1].get("link_code"), 201, self.explain(run))

    def test_lines_reported_off_first_are_off(self):
        run = self.dsw(self.serve(hostile.LinesOffFirst))
        self.assertIn("DSRオフエラー（端末未接続／電源オフ）(112)", run.err, self.explain(run))


def transcript_from_host(path):
    """The bytes the simulator read from the program, each with the time it
    read them, from its --transcript."""
    stamped = []
    for line in Path(path).read_text(errors="replace").splitlines():
        match = re.match(r"\s*([0-9.]+) host>dev ((?: [0-9A-F]{2})+)", line)
        if match:
            at = float(match.group(1))
            stamped += [(at, int(byte, 16)) for byte in match.group(2).split()]
    return stamped


def pause_after(stamped, marker):
    """The time between the line that begins with `marker` and the next byte."""
    data = bytes(byte for _, byte in stamped)
    end = data.index(b"\r\n", data.index(marker)) + 2
    return stamped[end][0] - stamped[end - 1][0]


class PacedByWhatHasLeft(RemoteTest):
    """A transfer completes only once the device can have every byte: writes
    follow what the server acknowledges, the end waits for it (and for the
    server's transmitter where it reports it), and the close never resets a
    connection whose server still holds our bytes."""

    def setUp(self):
        super().setUp()
        self.linux_only()
        self.start_sim("--set", "start-download=8")
        text, self.lines = firmware([0, 1], 300)
        self.rom = self.work / "two-blocks.s28"
        self.rom.write_text(text, newline="")
        self.expected = ("\r\n".join(self.lines) + "\r\n").encode() + b"\x1a"

    def download(self, url):
        run = self.cli("download", self.path(self.rom), "--download-mode", "--mode", "8", "--wait", "0",
                       "--line-check", "0", "--yes", port=url)
        run.ended = time.monotonic()
        return run

    def test_a_server_that_drains_slowly_has_every_byte_before_the_transfer_completes(self):
        # It reads 3 000 bytes a second with an 8-KiB buffer while agreeing to
        # 115200 baud.
        server = hostile.SlowDrain(self.sim.path)
        self.servers.append(server)
        run = self.download(server.url)
        self.assertEqual(run.returncode, 0, self.explain(run))
        session = server.wait_closed(30)
        self.assertIsNotNone(session)
        self.assertEqual(session.end, "closed", session.report())
        self.assertEqual(session.data, self.expected, session.report())
        # The server reports its transmitter empty once it has read it all,
        # and the transfer waits for that.
        self.assertLessEqual(session.time_of(len(self.expected) - 1), run.ended, session.report())
        self.assert_device_holds(self.rom)

    def test_a_block_pause_reaches_the_device_whole(self):
        server = Ser2net(self.work, self.sim.path)
        self.servers.append(server)
        run = self.download(f"rfc2217://127.0.0.1:{server.port}?lines=ignore")
        self.assertEqual(run.returncode, 0, self.explain(run))
        self.assert_device_holds(self.rom)
        stamped = transcript_from_host(self.work / "sim.transcript")
        self.assertGreaterEqual(pause_after(stamped, b"S214010000"), 2.0)


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
