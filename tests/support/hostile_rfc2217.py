#!/usr/bin/python3
"""Small RFC 2217 (Telnet COM-PORT-OPTION) servers on 127.0.0.1 that behave as
awkward real servers do, for the remote-port tests.

Every server here answers the negotiation and the line settings as a plain
server would, optionally in front of a device (a terminal path such as
mirvok-sim's, opened with pyserial at the rate the client sets), and records
every data byte it read from the client with the time it read it (what the
device got, and when). One behaviour per class, each a set of options of
Rfc2217Server that can be combined:

    SlowDrain          8 KiB receive buffer, reads 3 000 bytes/s while it
                       acknowledges whatever rate the client sets
    CloseDuringFirstPoll  closes the connection when the first data arrives
    EarlyData          sends data before its answer to PURGE-DATA
    LateData           sends data it read before the purge just after its
                       answer, as a server reading the device on a thread
                       of its own may
    LinesOffFirst      reports NOTIFY-MODEMSTATE 0 (every line off) first
    RefusesComPort     WONT (or DONT) COM-PORT-OPTION
    RefusesBinary      WONT (or DONT) BINARY
    SuspendsFlow       FLOWCONTROL-SUSPEND after the opening, RESUME later
    UnreadLineState    one NOTIFY-LINESTATE the client is not waiting for
    EndlessSubnegotiation  opens a subnegotiation at the first data and never
                       ends it: all it sends after is inside it

A server takes one client at a time and reads until the client closes or
resets; `wait_closed` then gives the session: the data, its arrival times and
how the connection ended.

As a program (for trying a client by hand):
    hostile_rfc2217.py slow-drain [--device PATH]
prints "port N", then one JSON line per session that ends.
"""

import argparse
import json
import select
import socket
import sys
import threading
import time

IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240
BINARY, ECHO, SGA, COM_PORT = 0, 1, 3, 44
SERVER = 100  # a server's answer carries the client's code plus this

SET_BAUDRATE, SET_DATASIZE, SET_PARITY, SET_STOPSIZE, SET_CONTROL = 1, 2, 3, 4, 5
NOTIFY_LINESTATE, NOTIFY_MODEMSTATE = 6, 7
FLOWCONTROL_SUSPEND, FLOWCONTROL_RESUME = 8, 9
SET_LINESTATE_MASK, SET_MODEMSTATE_MASK, PURGE_DATA = 10, 11, 12

LINE_TRANSMIT_EMPTY = 0x60  # holding register and shift register empty
DSR_AND_CTS = 0x30

END_OF_FILE = 0x1A


def escape(data):
    return bytes(data).replace(b"\xff", b"\xff\xff")


def negotiation(verb, option):
    return bytes([IAC, verb, option])


def com_port(code, value=b""):
    return bytes([IAC, SB, COM_PORT, code]) + escape(value) + bytes([IAC, SE])


class TelnetReader:
    """Takes the client's bytes apart into data and commands, across reads."""

    def __init__(self):
        self.state = "data"
        self.verb = 0
        self.sb = bytearray()

    def feed(self, wire):
        data = bytearray()
        events = []
        for byte in wire:
            if self.state == "data":
                if byte == IAC:
                    self.state = "iac"
                else:
                    data.append(byte)
            elif self.state == "iac":
                self.state = "data"
                if byte == IAC:
                    data.append(IAC)
                elif WILL <= byte <= DONT:
                    self.verb, self.state = byte, "verb"
                elif byte == SB:
                    self.sb, self.state = bytearray(), "sb"
            elif self.state == "verb":
                events.append(("negotiation", self.verb, byte))
                self.state = "data"
            elif self.state == "sb":
                if byte == IAC:
                    self.state = "sb-iac"
                else:
                    self.sb.append(byte)
            elif self.state == "sb-iac":
                if byte == IAC:
                    self.sb.append(IAC)
                    self.state = "sb"
                else:
                    if self.sb:
                        events.append(("subnegotiation", self.sb[0], bytes(self.sb[1:])))
                    self.state = "data"
        return bytes(data), events


class Session:
    """One client's connection as the server saw it."""

    def __init__(self):
        self.connected = time.monotonic()
        self.arrivals = []         # (monotonic seconds, data bytes read then)
        self.requests = []         # (monotonic seconds, code, value) of COM-PORT-OPTION requests
        self.sent_notes = []       # (monotonic seconds, what): notable things the server sent
        self.end = None            # "closed" (the client's FIN), "reset", "server" (we closed), "stopped"
        self.ended = None
        self.closed = threading.Event()

    @property
    def data(self):
        return b"".join(chunk for _, chunk in self.arrivals)

    def time_of(self, offset):
        """When the data byte at `offset` was read; None if it never was."""
        seen = 0
        for at, chunk in self.arrivals:
            seen += len(chunk)
            if offset < seen:
                return at
        return None

    def first_data(self):
        return self.arrivals[0][0] if self.arrivals else None

    def note(self, what):
        self.sent_notes.append((time.monotonic(), what))

    def noted(self, what):
        return next((at for at, seen in self.sent_notes if seen == what), None)

    def report(self):
        return {"end": self.end, "seconds": round((self.ended or time.monotonic()) - self.connected, 3),
                "bytes": len(self.data), "first_data": self.first_data() and round(self.first_data() -
                                                                                    self.connected, 3),
                "last_data": self.arrivals and round(self.arrivals[-1][0] - self.connected, 3),
                "notes": [(round(at - self.connected, 3), what) for at, what in self.sent_notes]}


class Rfc2217Server:
    """A COM-PORT-OPTION server on 127.0.0.1 with the options below; the
    defaults make a plain, well-behaved one.

    device            terminal path to forward the data to and from (None: a sink)
    receive_buffer    SO_RCVBUF of the connections (bytes)
    drain_rate        bytes a second read from the client at most (None: at once)
    lines             the modem state reported on SET-MODEMSTATE-MASK
    refuse_com_port   None, "wont" or "dont"
    refuse_binary     None, "wont" or "dont"
    early_data        data sent before the answer to PURGE-DATA
    late_data         data sent just after the answer to PURGE-DATA
    suspend_seconds   FLOWCONTROL-SUSPEND right after the answer to PURGE-DATA,
                      RESUME this many seconds later (None: never suspends;
                      float("inf"): never resumes)
    close_on_data     closes the connection when the first data arrives
    endless_subnegotiation  opens a subnegotiation when the first data arrives
                      and never ends it
    line_state_after_bytes / line_state_after_seconds
                      one NOTIFY-LINESTATE once this many data bytes were read,
                      or this long after the first data byte
    """

    def __init__(self, device=None, receive_buffer=None, drain_rate=None, lines=DSR_AND_CTS,
                 refuse_com_port=None, refuse_binary=None, early_data=b"", late_data=b"", suspend_seconds=None,
                 close_on_data=False, endless_subnegotiation=False, line_state_after_bytes=None,
                 line_state_after_seconds=None):
        self.device_path = device
        self.drain_rate = drain_rate
        self.lines = lines
        self.refuse_com_port = refuse_com_port
        self.refuse_binary = refuse_binary
        self.early_data = early_data
        self.late_data = late_data
        self.suspend_seconds = suspend_seconds
        self.close_on_data = close_on_data
        self.endless_subnegotiation = endless_subnegotiation
        self.line_state_after_bytes = line_state_after_bytes
        self.line_state_after_seconds = line_state_after_seconds
        self.sessions = []
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if receive_buffer:
            # Set on the listener so that accepted connections start with it
            # (the window they offer is fixed at the handshake).
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.url = f"rfc2217://127.0.0.1:{self.port}"
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    # --- for the tests

    def stop(self):
        self.stopping = True
        self.thread.join()
        self.listener.close()

    def wait_closed(self, timeout, index=-1):
        """The session `index` (default: the latest) once it has ended, or
        None when none ends within `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.sessions and self.sessions[index].closed.wait(0.05):
                return self.sessions[index]
            if not self.sessions:
                time.sleep(0.05)
        return None

    # --- serving

    def _serve(self):
        self.listener.settimeout(0.1)
        while not self.stopping:
            try:
                client, _ = self.listener.accept()
            except OSError:
                continue
            session = Session()
            self.sessions.append(session)
            try:
                _Connection(self, client, session).run()
            finally:
                session.ended = time.monotonic()
                session.end = session.end or "stopped"
                client.close()
                session.closed.set()


class _Connection:
    def __init__(self, server, client, session):
        self.server = server
        self.client = client
        self.session = session
        self.reader = TelnetReader()
        self.device = None
        self.baud = 9600
        self.line_state_mask = 0
        self.line_state_sent = False
        self.resume_at = None
        self.budget = 0.0
        self.last_tick = time.monotonic()
        self.unreported_drain = False
        client.settimeout(2.0)

    def run(self):
        if self.server.device_path:
            import serial  # Debian's python3-serial
            self.device = serial.Serial(self.server.device_path, self.baud, timeout=0)
        try:
            while not self.server.stopping and self.session.end is None:
                self._step()
        finally:
            if self.device:
                self.device.close()

    def send(self, data):
        try:
            self.client.sendall(data)
        except OSError:
            self.session.end = self.session.end or "reset"

    def _step(self):
        now = time.monotonic()
        rate = self.server.drain_rate
        if rate:
            # A short burst at most, so the reads follow the rate closely.
            self.budget = min(self.budget + (now - self.last_tick) * rate, max(64.0, rate * 0.05))
        self.last_tick = now
        may_read = not rate or self.budget >= 1
        waiting = ([self.client] if may_read else []) + ([self.device.fileno()] if self.device else [])
        if waiting:
            readable, _, _ = select.select(waiting, [], [], 0.01)
        else:
            readable = []
            time.sleep(0.01)
        if self.client in readable:
            self._read_client(int(self.budget) if rate else 65536)
        if self.device and self.device.fileno() in readable:
            out = self.device.read(4096)
            if out:
                self.send(escape(out))
        self._timed(time.monotonic())

    def _read_client(self, most):
        try:
            wire = self.client.recv(most)
        except ConnectionResetError:
            self.session.end = "reset"
            return
        except OSError:
            return
        if not wire:
            self.session.end = "closed"
            return
        if self.server.drain_rate:
            self.budget -= len(wire)
        data, events = self.reader.feed(wire)
        for event in events:
            self._answer(event)
        if data:
            if self.server.endless_subnegotiation and not self.session.arrivals:
                self.send(bytes([IAC, SB, COM_PORT, SERVER + NOTIFY_MODEMSTATE]) + b"\x30" * 100)
                self.session.note("endless subnegotiation")
            self.session.arrivals.append((time.monotonic(), data))
            self.unreported_drain = True
            if self.device:
                self.device.write(data)
            if self.server.close_on_data:
                self.session.note("closed on data")
                self.session.end = "server"

    def _timed(self, now):
        server, session = self.server, self.session
        if self.resume_at is not None and now >= self.resume_at:
            self.resume_at = None
            self.send(com_port(SERVER + FLOWCONTROL_RESUME))
            session.note("resume")
        if not self.line_state_sent and session.arrivals and (
                (server.line_state_after_bytes is not None and len(session.data) >= server.line_state_after_bytes)
                or (server.line_state_after_seconds is not None
                    and now - session.first_data() >= server.line_state_after_seconds)):
            self.line_state_sent = True
            self.send(com_port(SERVER + NOTIFY_LINESTATE, bytes([LINE_TRANSMIT_EMPTY])))
            session.note("line state")
        if self.unreported_drain and self.line_state_mask & LINE_TRANSMIT_EMPTY and self._drained():
            # Everything the client sent has been read and handed on.
            self.unreported_drain = False
            self.send(com_port(SERVER + NOTIFY_LINESTATE, bytes([LINE_TRANSMIT_EMPTY])))
            session.note("transmit empty")

    def _drained(self):
        readable, _, _ = select.select([self.client], [], [], 0)
        return not readable

    def _answer(self, event):
        server = self.server
        if event[0] == "negotiation":
            _, verb, option = event
            self.send(self._negotiation_answer(verb, option))
            return
        _, option, payload = event
        if option != COM_PORT or not payload:
            return
        code, value = payload[0], payload[1:]
        self.session.requests.append((time.monotonic(), code, value))
        if code == SET_BAUDRATE:
            baud = int.from_bytes(value, "big") if len(value) == 4 else 0
            if baud:
                self.baud = baud
                if self.device:
                    self.device.baudrate = baud
            self.send(com_port(SERVER + code, self.baud.to_bytes(4, "big")))
        elif code in (SET_DATASIZE, SET_PARITY, SET_STOPSIZE, SET_CONTROL):
            self.send(com_port(SERVER + code, value))
        elif code == SET_LINESTATE_MASK:
            self.line_state_mask = value[0] if value else 0
            self.send(com_port(SERVER + code, value))
            if self.line_state_mask & LINE_TRANSMIT_EMPTY:
                # Its present state first, as it reports the modem state:
                # nothing sent yet, the transmitter is empty.
                self.send(com_port(SERVER + NOTIFY_LINESTATE, bytes([LINE_TRANSMIT_EMPTY])))
        elif code == SET_MODEMSTATE_MASK:
            self.send(com_port(SERVER + code, value))
            self.send(com_port(SERVER + NOTIFY_MODEMSTATE, bytes([server.lines])))
            self.session.note(f"modem state {server.lines:#04x}")
        elif code == PURGE_DATA:
            if server.early_data:
                # Apart from the answers before and after, as a device's
                # stray bytes come through a real server.
                time.sleep(0.05)
                self.send(escape(server.early_data))
                self.session.note("early data")
                time.sleep(0.1)
            self.send(com_port(SERVER + code, value))
            if server.late_data:
                time.sleep(0.05)
                self.send(escape(server.late_data))
                self.session.note("late data")
            if server.suspend_seconds is not None:
                self.send(com_port(SERVER + FLOWCONTROL_SUSPEND))
                self.session.note("suspend")
                self.resume_at = time.monotonic() + server.suspend_seconds
        elif code in (FLOWCONTROL_SUSPEND, FLOWCONTROL_RESUME):
            self.send(com_port(SERVER + code))

    def _negotiation_answer(self, verb, option):
        server = self.server
        refusal = {"wont": WONT, "dont": DONT}
        if option == COM_PORT and server.refuse_com_port:
            return negotiation(refusal[server.refuse_com_port], COM_PORT)
        if option == BINARY and server.refuse_binary:
            # Asked either way, the refusal is the one chosen; the other
            # direction is agreed to, so only the refusal can fail it.
            refused = refusal[server.refuse_binary]
            if (verb == DO and refused == WONT) or (verb == WILL and refused == DONT):
                return negotiation(refused, BINARY)
        known = option in (COM_PORT, BINARY, SGA)
        if verb == DO:
            return negotiation(WILL if known else WONT, option)
        if verb == WILL:
            return negotiation(DO if known else DONT, option)
        return b""  # WONT and DONT need no answer here


class SlowDrain(Rfc2217Server):
    def __init__(self, device=None, rate=3000, receive_buffer=8192, **options):
        super().__init__(device, receive_buffer=receive_buffer, drain_rate=rate, **options)


class CloseDuringFirstPoll(Rfc2217Server):
    def __init__(self, device=None, **options):
        super().__init__(device, close_on_data=True, **options)


class EarlyData(Rfc2217Server):
    # An acknowledgement and a reply frame nobody asked for.
    STRAY = b"\x06\x0230\x03\x15"

    def __init__(self, device=None, early_data=STRAY, **options):
        super().__init__(device, early_data=early_data, **options)


class LateData(Rfc2217Server):
    # A cover report the device sent before the session, whole and with its
    # block check: taken for an answer, it would put the exchange out of step.
    STALE_REPORT = b"\x02A!690\x03\\"

    def __init__(self, device=None, late_data=STALE_REPORT, **options):
        super().__init__(device, late_data=late_data, **options)


class LinesOffFirst(Rfc2217Server):
    def __init__(self, device=None, **options):
        super().__init__(device, lines=0, **options)


class RefusesComPort(Rfc2217Server):
    def __init__(self, device=None, how="wont", **options):
        super().__init__(device, refuse_com_port=how, **options)


class RefusesBinary(Rfc2217Server):
    def __init__(self, device=None, how="wont", **options):
        super().__init__(device, refuse_binary=how, **options)


class SuspendsFlow(Rfc2217Server):
    def __init__(self, device=None, seconds=1.5, **options):
        super().__init__(device, suspend_seconds=seconds, **options)


class UnreadLineState(Rfc2217Server):
    """One NOTIFY-LINESTATE once the first data byte has been read (or at the
    point the options choose), and nothing else the client must read."""

    def __init__(self, device=None, **options):
        if "line_state_after_seconds" not in options:
            options.setdefault("line_state_after_bytes", 1)
        super().__init__(device, **options)


class EndlessSubnegotiation(Rfc2217Server):
    def __init__(self, device=None, **options):
        super().__init__(device, endless_subnegotiation=True, **options)


BEHAVIOURS = {
    "plain": Rfc2217Server, "slow-drain": SlowDrain, "close-during-first-poll": CloseDuringFirstPoll,
    "early-data": EarlyData, "lines-off-first": LinesOffFirst, "refuses-com-port": RefusesComPort,
    "refuses-binary": RefusesBinary, "suspends-flow": SuspendsFlow, "unread-line-state": UnreadLineState,
    "endless-subnegotiation": EndlessSubnegotiation,
}


def main():
    parser = argparse.ArgumentParser(description="a hostile RFC 2217 server on 127.0.0.1")
    parser.add_argument("behaviour", choices=sorted(BEHAVIOURS))
    parser.add_argument("--device", help="terminal to forward the data to and from")
    args = parser.parse_args()
    server = BEHAVIOURS[args.behaviour](args.device)
    print(f"port {server.port}", flush=True)
    reported = 0
    try:
        while True:
            time.sleep(0.1)
            while reported < len(server.sessions) and server.sessions[reported].closed.is_set():
                print(json.dumps(server.sessions[reported].report()), flush=True)
                reported += 1
    except KeyboardInterrupt:
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
