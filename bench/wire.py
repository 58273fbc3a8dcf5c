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


WHOLE_FILE_MASK = "111111111"


def mask_index(line):
    """The block mask character (0-8) that takes a line; None for none: S1
    lines are block 0, S2 lines by their address byte, 08 and above all 8."""
    if line.startswith(b"S1"):
        return 0
    if not line.startswith(b"S2"):
        return None
    key = line[4:6]
    if key >= b"08":
        return 8
    if len(key) == 2 and key[:1] == b"0" and b"0" <= key[1:2] <= b"7":
        return key[1] - ord("0")
    return None


def sent_lines(data, mask):
    """The lines a download sends under a block mask, in order: every
    non-empty line for the whole file; otherwise the lines of the chosen
    blocks, an S9 line once something was taken, and the file's last line."""
    lines = [line for line in lines_of(data) if line]
    if mask == WHOLE_FILE_MASK:
        return lines
    sent = []
    taken = 0
    for number, line in enumerate(lines):
        index = mask_index(line)
        if index is not None and mask[index] == "1":
            sent.append(line)
            taken += 1
        elif line.startswith(b"S9") and taken > 0 or number == len(lines) - 1:
            sent.append(line)
    return sent


def first_lines_of_blocks(lines):
    """{mask character: 1-based position of its block's first line} over the
    lines sent (character 8 takes every block from 08 on)."""
    firsts = {}
    for position, line in enumerate(lines, 1):
        index = mask_index(line)
        if index is not None:
            firsts.setdefault(index, position)
    return firsts


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


SIMULATOR_CHUNK_BYTES = 64


def paced_seconds(characters, framing):
    """The time the simulated device takes the characters in: it reads them
    in chunks of 64 bytes, each taking its characters' time on the wire
    rounded up to whole microseconds."""
    def chunk_us(count):
        return -(-count * framing.bits_per_character() * 1_000_000 // framing.baud)
    chunks, rest = divmod(characters, SIMULATOR_CHUNK_BYTES)
    return (chunks * chunk_us(SIMULATOR_CHUNK_BYTES) + chunk_us(rest)) / 1e6
