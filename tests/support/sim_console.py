"""mirvok-sim as a child of a test: its terminal's path from the first line
it prints, its console on a pipe read by a thread, and the answers the tests
ask of it (status, memory image)."""

import queue
import re
import subprocess
import threading
import time


class SimConsole:
    def __init__(self, program, args):
        self.process = subprocess.Popen([str(program), *map(str, args)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._lines = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.path = self.next_line(10)

    def _read(self):
        for line in self.process.stdout:
            self._lines.put(line.decode(errors="replace").rstrip("\n"))
        self._lines.put(None)

    def next_line(self, timeout):
        line = self._lines.get(timeout=timeout)
        if line is None:
            raise RuntimeError("mirvok-sim ended")
        return line

    def ask(self, command, last_line):
        """The console's answer to a command, up to the line `last_line` matches."""
        self.process.stdin.write(command.encode() + b"\n")
        self.process.stdin.flush()
        lines = []
        while True:
            lines.append(self.next_line(10))
            if re.search(last_line, lines[-1]):
                return lines

    def status(self):
        return " ".join(self.ask("status", r"line mismatches"))

    def wait_status(self, wanted, timeout=30):
        """The first status `wanted` matches, or the last one after `timeout`
        seconds: what a program wrote before it closed the port may still be
        on its way through the terminal."""
        deadline = time.monotonic() + timeout
        while True:
            status = self.status()
            if re.search(wanted, status) or time.monotonic() > deadline:
                return status
            time.sleep(0.05)

    def image(self):
        """Address -> byte of the device's memory image."""
        image = {}
        for line in self.ask("image", r"^image end$"):
            match = re.fullmatch(r"([0-9A-F]{6,8}) ([0-9A-F]+)", line)
            if match:
                address = int(match.group(1), 16)
                for offset, value in enumerate(bytes.fromhex(match.group(2))):
                    image[address + offset] = value
        return image

    def stop(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()
        # The reader ends at the end of the output; closing the pipe under it
        # would fail its read.
        self._reader.join(timeout=5)
        self.process.stdout.close()


def s_record_image(lines):
    """Address -> byte of the data records (S1, S2, S3) among S-record lines."""
    image = {}
    address_bytes = {"1": 2, "2": 3, "3": 4}
    for line in lines:
        if len(line) < 4 or line[0] != "S" or line[1] not in address_bytes:
            continue
        record = bytes.fromhex(line[2:])
        width = address_bytes[line[1]]
        address = int.from_bytes(record[1:1 + width], "big")
        for offset, value in enumerate(record[1 + width:-1]):
            image[address + offset] = value
    return image


def checksum(body):
    return (~sum(body) & 0xFF)


def s2(address, data):
    body = bytes([len(data) + 4]) + address.to_bytes(3, "big") + data
    return "S2" + body.hex().upper() + f"{checksum(body):02X}"


def firmware(blocks, lines_per_block):
    """An S-record file with `lines_per_block` 16-byte records in each of
    the ROM blocks `blocks` (64 KiB each)."""
    lines = ["S00600004844521B"]
    for block in blocks:
        for i in range(lines_per_block):
            address = block * 0x10000 + i * 16
            lines.append(s2(address, bytes((address + k) & 0xFF for k in range(16))))
    lines.append("S804000000FB")
    return "\r\n".join(lines) + "\r\n", lines
