#!/usr/bin/python3
"""Checks of the benchmark's arithmetic and of how it reads other programs'
output: a wrong figure here would make every table wrong. With MIRVOK_BUILD
naming a build folder, short runs against mirvok-sim check the whole road.

    MIRVOK_BUILD=build /usr/bin/python3 -m unittest discover -s bench
"""

import os
import tempfile
import unittest
from pathlib import Path

from procs import cpu_seconds_from_stat, parse_download_status, parse_time_report, pause_idle, stalls
from wire import DOWNLOAD_MODES, Framing, paced_seconds, wire_load, wire_seconds


class WireLoadTest(unittest.TestCase):
    def test_characters_count_each_line_with_cr_lf_and_one_end_of_file_byte(self):
        for name, data in [("LF", b"S1AB\nS9CD\n"), ("CR LF", b"S1AB\r\nS9CD\r\n"), ("CR", b"S1AB\rS9CD\r"),
                           ("no final line end", b"S1AB\nS9CD"), ("empty lines", b"\nS1AB\n\n\r\nS9CD\n\n")]:
            with self.subTest(name):
                load = wire_load(data)
                self.assertEqual(load.lines, 2)
                self.assertEqual(load.characters, 2 * (4 + 2) + 1)

    def test_pauses_follow_each_change_of_block(self):
        cases = [
            # S1 lines all lie in block 0, whatever their address.
            ("S1 file", [b"S0030000FC", b"S1130000", b"S113FFF0", b"S9030000FC"], 0),
            ("S2 blocks 00 01 02, S8 back to 00",
             [b"S2140000", b"S2140100", b"S2140101", b"S2140200", b"S804000000FB"], 3),
            ("S3: the top address byte", [b"S3150000", b"S3150100", b"S70500000000FA"], 2),
            ("S0 header keyed by its address", [b"S00E0000", b"S2140100"], 1),
        ]
        for name, lines, pauses in cases:
            with self.subTest(name):
                load = wire_load(b"\n".join(lines) + b"\n")
                self.assertEqual(load.pauses, pauses)
                self.assertEqual(load.pause_seconds(), 2.0 * pauses)

    def test_made_file_of_srec_cat_shape(self):
        # 1 MiB in S2 records of 32 data bytes: 32768 data lines of 76
        # characters, header and S8 record, 16 blocks.
        lines = [b"S00F00004D6972766F6B2062656E6368D8"]
        lines += [b"S224%06X" % (address) + b"00" * 32 + b"00" for address in range(0, 0x100000, 32)]
        lines += [b"S804000000FB"]
        load = wire_load(b"\n".join(lines) + b"\n")
        self.assertEqual(load.lines, 32770)
        self.assertEqual(load.characters, 34 + 2 + 32768 * 78 + 12 + 2 + 1)
        self.assertEqual(load.pauses, 16)  # 15 block changes, and back to 00 for the S8 line


class WireTimeTest(unittest.TestCase):
    def test_bits_per_character(self):
        for framing, bits in [(Framing(9600, 7, "N"), 9), (Framing(9600, 7, "E"), 10),
                              (Framing(9600, 8, "N"), 10), (Framing(9600, 8, "O", 2), 12)]:
            with self.subTest(framing.text()):
                self.assertEqual(framing.bits_per_character(), bits)

    def test_lower_bound_and_simulator_pace(self):
        self.assertAlmostEqual(wire_seconds(115200, Framing(115200, 7, "N")), 9.0)
        self.assertAlmostEqual(wire_seconds(9600, Framing(9600, 7, "E")), 10.0)
        # 10 bits at 115200 baud: 86.8 µs, paced as 87 µs.
        self.assertAlmostEqual(paced_seconds(1000, Framing(115200, 8, "N")), 0.087)
        self.assertAlmostEqual(paced_seconds(1000, Framing(9600, 8, "N")), 1.042)

    def test_download_modes(self):
        self.assertEqual([m.text() for m in (DOWNLOAD_MODES[0], DOWNLOAD_MODES[4], DOWNLOAD_MODES[8])],
                         ["9600,N,7,1", "19200,E,7,1", "115200,N,7,1"])


class PauseOnTheWireTest(unittest.TestCase):
    def test_stalls_are_spans_where_the_count_stood_still(self):
        line = 0.01
        progress = [(0.0, 0), (0.1, 0), (0.2, 5),                 # nothing yet: not idle
                    (0.3, 10), (0.4, 10), (0.5, 10), (1.3, 10),   # stands from 0.3 to 1.4
                    (1.4, 12), (1.5, 14), (1.6, 14), (1.7, 15)]   # a short one, 1.5 to 1.7
        spells = stalls(progress, line)
        self.assertEqual(len(spells), 2)
        self.assertAlmostEqual(spells[0], 1.1 - line)
        self.assertAlmostEqual(spells[1], 0.2 - line)

    def test_pauses_explain_the_longest_spells_up_to_two_seconds_each(self):
        spells = [0.05, 1.5, 2.6, 0.3, 0.02]
        self.assertAlmostEqual(pause_idle(spells, 2, 2.0), 2.0 + 1.5)
        self.assertAlmostEqual(pause_idle(spells, 0, 2.0), 0.0)
        self.assertAlmostEqual(pause_idle(spells, 9, 2.0), 2.0 + 1.5 + 0.3 + 0.05 + 0.02)


class OutputParsingTest(unittest.TestCase):
    def test_processor_time_from_proc_stat(self):
        # utime 150 and stime 50 ticks; the name holds blanks and a ')'.
        stat = "4242 (mirvok cli) x) S 1 4242 4242 0 -1 4194304 500 0 0 0 150 50 0 0 20 0 3 0 100"
        self.assertAlmostEqual(cpu_seconds_from_stat(stat), 2.0)

    def test_simulator_status(self):
        text = "received 0 commands, 0 polls; download 32770 lines, 0 bad, 1 completed, 0 line mismatches"
        self.assertEqual(parse_download_status(text.encode()), (32770, 0, 1))
        self.assertIsNone(parse_download_status(b"power on, cable in, cover closed"))

    def test_time_report(self):
        text = """\tCommand being timed: "mirvok-cli download x --port 1"
\tUser time (seconds): 1.25
\tSystem time (seconds): 0.50
\tPercent of CPU this job got: 3%
\tElapsed (wall clock) time (h:mm:ss or m:ss): 1:02.03
\tMaximum resident set size (kbytes): 12345
\tExit status: 3
"""
        self.assertEqual(parse_time_report(text),
                         {"user": 1.25, "system": 0.5, "max_rss_kib": 12345, "exit_status": 3})


@unittest.skipUnless(os.environ.get("MIRVOK_BUILD"), "MIRVOK_BUILD names no build folder")
class RunAgainstSimulatorTest(unittest.TestCase):
    def setUp(self):
        import bench
        self.bench_module = bench
        self.folder = tempfile.TemporaryDirectory(prefix="mirvok-bench-test-")
        self.bench = bench.Bench(Path(os.environ["MIRVOK_BUILD"]).resolve(), Path(self.folder.name))

    def tearDown(self):
        self.folder.cleanup()

    def test_every_sender_delivers_the_whole_file(self):
        image = self.bench.image("small.s28", "1 KiB", [(0, 0x180)])
        for sender in ("Mirvok", "ascii-xfr", "python3-serial"):
            with self.subTest(sender):
                run = self.bench.execute(self.bench_module.Run(sender, image, 8, paced=False))
                self.assertEqual(run.error, "")
                self.assertTrue(run.ok, run.status)
                self.assertEqual(run.exit_code, 0)
                self.assertGreater(run.time_report["max_rss_kib"], 0)

    def test_a_block_pause_shows_on_the_wire(self):
        # Two lines in block 0, two in block 1, S8 back in block 0: too little
        # for the terminal to hide the pauses, so both show nearly whole.
        image = self.bench.image("two-blocks.s28", "2 blocks", [(0x00FFC0, 0x010040)])
        self.assertEqual(image.load.pauses, 2)
        run = self.bench.execute(self.bench_module.Run("Mirvok", image, 8))
        self.assertTrue(run.ok, run.error or run.status)
        self.assertGreater(run.paused, 3.6)
        self.assertLessEqual(run.paused, 4.0)
        self.assertLess(run.seconds - run.paused, 0.5)


if __name__ == "__main__":
    unittest.main()
