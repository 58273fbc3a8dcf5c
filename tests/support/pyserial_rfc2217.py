#!/usr/bin/python3
"""pyserial's RFC 2217 server (serial.rfc2217.PortManager, Debian's
python3-serial) on 127.0.0.1 in front of a terminal, as a second real server
beside ser2net for the remote-port tests.

The loop is the plain one such a server has: one client at a time; a thread
copies the terminal to the client through blocking reads with a time-out,
and when the client goes, the next client is taken only once that thread has
seen its read time out. So a session is freed up to --read-timeout seconds
after the client closed, as with servers built this way.

A pseudo-terminal has no modem lines: they read as all off, as ser2net
reports them in front of one; nor does it take every framing (7 data bits are
refused), which is then kept as asked and not applied.

    pyserial_rfc2217.py --device PATH [--port N] [--read-timeout SECONDS]

prints "port N" once it listens, then "busy" and "free" as it takes a client
and frees its session.

As a test's child: PyserialServer(device) (port, stop()).
"""

import argparse
import socket
import subprocess
import sys
import threading
import time

from ser2net_server import end_process

PYTHON = "/usr/bin/python3"  # Debian's python3-serial belongs to it


class PyserialServer:
    """The server as a child process, on a free port of 127.0.0.1."""

    def __init__(self, device, read_timeout=3.0):
        self.process = subprocess.Popen([PYTHON, __file__, "--device", str(device),
                                         "--read-timeout", str(read_timeout)],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        # Its port from its first line: a probing connection would be a
        # session, and hold the server until its read times out.
        first = self.process.stdout.readline().decode().split()
        if len(first) != 2 or first[0] != "port":
            self.stop()
            raise RuntimeError("pyserial's RFC 2217 server did not listen")
        self.port = int(first[1])
        self.url = f"rfc2217://127.0.0.1:{self.port}"
        self.free = threading.Event()
        self.free.set()
        self.watcher = threading.Thread(target=self._watch, daemon=True)
        self.watcher.start()

    def _watch(self):
        for line in self.process.stdout:
            if line.startswith(b"busy"):
                self.free.clear()
            elif line.startswith(b"free"):
                self.free.set()

    def wait_free(self, timeout=15):
        """Until the server takes a new client: a session ends some seconds
        after its client closed (see above)."""
        time.sleep(0.2)  # for a close just made to reach the server
        return self.free.wait(timeout)

    def stop(self):
        end_process(self.process)
        self.watcher.join(timeout=5)
        self.process.stdout.close()


def open_terminal(path, read_timeout):
    import termios

    import serial

    class Terminal(serial.Serial):
        """A terminal whose modem lines read as off where it has none, and
        that keeps the framing asked for where the kernel refuses it (a
        pseudo-terminal takes the rate but not 7 data bits)."""

        def _reconfigure_port(self, *args, **kwargs):
            try:
                super()._reconfigure_port(*args, **kwargs)
            except termios.error:
                pass

        def _line(self, name):
            try:
                return getattr(serial.Serial, name).fget(self)
            except OSError:
                return False

        cts = property(lambda self: self._line("cts"))
        dsr = property(lambda self: self._line("dsr"))
        ri = property(lambda self: self._line("ri"))
        cd = property(lambda self: self._line("cd"))

    return Terminal(path, 9600, timeout=read_timeout)


class Connection:
    """What PortManager writes its answers to: the client's socket, shared
    by both threads."""

    def __init__(self, client):
        self.client = client
        self.lock = threading.Lock()

    def write(self, data):
        with self.lock:
            try:
                self.client.sendall(data)
            except OSError:
                pass


def serve_client(terminal, client):
    from serial.rfc2217 import PortManager
    client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    connection = Connection(client)
    manager = PortManager(terminal, connection)
    alive = [True]

    def terminal_to_client():
        while alive[0]:
            try:
                data = terminal.read(terminal.in_waiting or 1)
                if data:
                    connection.write(b"".join(manager.escape(data)))
                manager.check_modem_lines()
            except OSError:
                break

    reader = threading.Thread(target=terminal_to_client, daemon=True)
    reader.start()
    try:
        while True:
            data = client.recv(4096)
            if not data:
                break
            terminal.write(b"".join(manager.filter(data)))
    except OSError:
        pass
    alive[0] = False
    reader.join()  # until the terminal read in progress times out
    client.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--device", required=True)
    parser.add_argument("--port", type=int, default=0, help="0: a free one")
    parser.add_argument("--read-timeout", type=float, default=3.0)
    args = parser.parse_args()
    terminal = open_terminal(args.device, args.read_timeout)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(1)
    print(f"port {listener.getsockname()[1]}", flush=True)
    while True:
        client, _ = listener.accept()
        print("busy", flush=True)
        serve_client(terminal, client)
        print("free", flush=True)


if __name__ == "__main__":
    main()
