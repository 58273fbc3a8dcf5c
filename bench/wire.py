"""What a whole-file download puts on the wire, and how long it must take.

Every non-empty line goes out followed by CR LF, then one end-of-file byte;
the sender pauses 2 seconds after the first line of every new 64 KiB block.
"""

from dataclasses import dataclass

BLOCK_PAUSE_SECONDS = 2.0
END_OF_FILE_BYTES = 1
LINE_END_BYTES = 2  # CR LF


@dataclass(frozen=True)
class Framing:
    baud: int
    data_bits: int
    parity: str  # N, E, O, M, S
    stop_bits: int = 1

    def bits_per_character(self):
        return 1 + self.data_bits + (0 if self.parity == "N" else 1) + self.stop_bits

    def text(self):
        return f"{self.baud},{self.parity},{self.data_bits},{self.stop_bits}"


# The line settings of the device's download modes.
DOWNLOAD_MODES = [
    Framing(9600, 7, "N"), Framing(9600, 7, "E"), Framing(9600, 8, "N"),
    Framing(19200, 7, "N"), Framing(19200, 7, "E"), Framing(19200, 8, "N"),
    Framing(38400, 7, "N"), Framing(57600, 7, "N"), Framing(115200, 7, "N"),
]


def lines_of(data):
    """The lines of a file's bytes; CR, CR LF and LF all end a line."""
    return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")


def block_key(line):
    return b"00" if line.startswith(b"S1") else line[4:6]


@dataclass(frozen=True)
class WireLoad:
    lines: int       # non-empty lines sent
    characters: int  # lines with CR LF, and the end-of-file byte
    pauses: int      # block changes, each followed by a 2-second pause

    def pause_seconds(self):
        return self.pauses * BLOCK_PAUSE_SECONDS


def wire_load(data):
    """Lines, characters and block pauses of sending a whole file."""
    lines = characters = pauses = 0
    previous = None
    for line in lines_of(data):
        if not line:
            continue
        lines += 1
        characters += len(line) + LINE_END_BYTES
        key = block_key(line)
        if previous is not None and key != previous:
            pauses += 1
        previous = key
    return WireLoad(lines, characters + END_OF_FILE_BYTES, pauses)


def wire_seconds(characters, framing):
    """The lower bound: every character back to back at the line rate."""
    return characters * framing.bits_per_character() / framing.baud


def paced_seconds(characters, framing):
    """The time the simulated device takes the characters in: it paces one
    character time per byte, in whole microseconds rounded up."""
    per_character_us = -(-framing.bits_per_character() * 1_000_000 // framing.baud)
    return characters * per_character_us / 1e6
