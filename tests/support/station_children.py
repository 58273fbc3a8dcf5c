"""The station children of one settings file that are still running, for the
tests that check no child outlives its station."""

from pathlib import Path


def station_children(ini):
    """Process ids of the mirvok-cli station children started with `ini`
    (zombies have no command line, so they are not counted)."""
    found = []
    for entry in Path("/proc").iterdir():
        try:
            line = (entry / "cmdline").read_bytes() if entry.name.isdigit() else b""
        except OSError:
            continue
        if b"\0--station-child\0" in line and str(ini).encode() in line:
            found.append(int(entry.name))
    return found
