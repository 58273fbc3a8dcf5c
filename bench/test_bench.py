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

from procs import (ClockMapping, cpu_seconds_from_stat, parse_arrival, parse_clock, parse_download_status,
                   parse_gaps, parse_json_lines, parse_time_report, pause_idle_from_gaps, peak_rss_kib_from_status)
from wire import (DOWNLOAD_MODES, Framing, first_lines_of_blocks, mask_index, paced_seconds, sent_lines,
                  wire_load, wire_seconds)


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
        # The simulator rounds each chunk of 64 characters up to whole
        # microseconds: 9 bits at 115200 baud make 5000 µs a chunk.
        self.assertAlmostEqual(paced_seconds(6400, Framing(115200, 7, "N")), 0.5)
        # 10 bits: 5555.6 µs, paced as 5556, and 40 characters in 3473.
        self.assertAlmostEqual(paced_seconds(1000, Framing(115200, 8, "N")), (15 * 5556 + 3473) / 1e6)
        self.assertAlmostEqual(paced_seconds(64, Framing(9600, 7, "E")), 0.066667)

    def test_download_modes(self):
        self.assertEqual([m.text() for m in (DOWNLOAD_MODES[0], DOWNLOAD_MODES[4], DOWNLOAD_MODES[8])],
                         ["9600,N,7,1", "19200,E,7,1", "115200,N,7,1"])


class BlockSelectionTest(unittest.TestCase):
    LINES = [b"S00F0000", b"S2240000", b"S2240001", b"S2240100", b"S2240700", b"S2240800", b"S2240F00",
             b"S9030000FC", b"S2241000", b"S804000000FB"]

    def test_mask_characters_of_lines(self):
        cases = [(b"S1130000", 0), (b"S113FFF0", 0), (b"S2240000", 0), (b"S2240700", 7), (b"S2240800", 8),
                 (b"S2241F00", 8), (b"S2240A00", 8), (b"S2", None), (b"S224", None), (b"S2240", None), (b"S00F0000", None),
                 (b"S9030000FC", None), (b"S3150100", None)]
        for line, index in cases:
            with self.subTest(line):
                self.assertEqual(mask_index(line), index)

    def test_lines_sent_under_a_mask(self):
        data = b"\r\n".join(self.LINES) + b"\r\n"
        cases = [
            ("111111111", self.LINES),
            # The S9 line follows what was taken; the last line closes.
            ("100000000", [b"S2240000", b"S2240001", b"S9030000FC", b"S804000000FB"]),
            # Nothing taken before the S9: it is passed over.
            ("000000001", [b"S2240800", b"S2240F00", b"S9030000FC", b"S2241000", b"S804000000FB"]),
            ("010000000", [b"S2240100", b"S9030000FC", b"S804000000FB"]),
        ]
        for mask, lines in cases:
            with self.subTest(mask):
                self.assertEqual(sent_lines(data, mask), lines)

    def test_first_line_of_every_block_sent(self):
        # Mask character 8 takes the blocks from 08 on.
        self.assertEqual(first_lines_of_blocks(self.LINES), {0: 2, 1: 4, 7: 5, 8: 6})


class SimulatorClockTest(unittest.TestCase):
    def test_status_and_arrival_answers(self):
        status = b"download 5 lines, 0 bad, 0 completed, 0 line mismatches; clock 12.000345 s"
        self.assertAlmostEqual(parse_clock(status), 12.000345)
        self.assertIsNone(parse_clock(b"power on"))
        self.assertEqual(parse_arrival(b"line 7 at 3.500000 s"), (7, 3.5))
        self.assertEqual(parse_arrival(b"line 9 not received"), (9, None))
        self.assertEqual(parse_arrival(b"end at 4.250000 s"), (0, 4.25))
        self.assertEqual(parse_arrival(b"end not received"), (0, None))
        self.assertIsNone(parse_arrival(b"bye"))

    def test_gaps_between_lines_explain_the_pauses(self):
        self.assertEqual(parse_gaps(b"gaps 1.999688 0.000312\n"), [1.999688, 0.000312])
        self.assertEqual(parse_gaps(b"gaps"), [])
        self.assertIsNone(parse_gaps(b"line 3 at 1.0 s"))
        # Each less the line's own time, up to one pause; none below zero.
        self.assertAlmostEqual(pause_idle_from_gaps([2.5, 1.2, 0.005], 0.007, 2.0), 2.0 + 1.193)

    def test_the_offset_lies_in_every_question_and_answer_window(self):
        mapping = ClockMapping()
        self.assertFalse(mapping.known())
        # The simulator's clock runs 100 s behind; answers take 1 to 4 ms.
        mapping.note(200.000, 200.004, 100.001)
        mapping.note(201.000, 201.002, 101.0015)
        self.assertTrue(mapping.known())
        self.assertAlmostEqual(mapping.low, 99.999)    # from the first answer
        self.assertAlmostEqual(mapping.high, 100.0005)  # from the second
        self.assertAlmostEqual(mapping.monotonic(50.0), 149.99975)
        self.assertAlmostEqual(mapping.error(), 0.00075)


class OutputParsingTest(unittest.TestCase):
    def test_processor_time_from_proc_stat(self):
        # utime 150 and stime 50 ticks; the name holds blanks and a ')'.
        stat = "4242 (mirvok cli) x) S 1 4242 4242 0 -1 4194304 500 0 0 0 150 50 0 0 20 0 3 0 100"
        self.assertAlmostEqual(cpu_seconds_from_stat(stat), 2.0)

    def test_simulator_status(self):
        text = "received 0 commands, 0 polls; download 32770 lines, 0 bad, 1 completed, 0 line mismatches"
        self.assertEqual(parse_download_status(text.encode()), (32770, 0, 1))
        self.assertIsNone(parse_download_status(b"power on, cable in, cover closed"))

    def test_station_log_and_event_stream(self):
        text = ('{"event":"progress","port":1}\n'
                'mirvok-cli: a note\n'
                '{"ending":"completed","lines_sent":3,"lines_total":3}\n'
                '[1, 2]\n'
                '{"event":"summary","exit_code":60')  # cut short by a kill
        self.assertEqual(parse_json_lines(text), [{"event": "progress", "port": 1},
                                                  {"ending": "completed", "lines_sent": 3, "lines_total": 3}])

    def test_peak_memory_from_proc_status(self):
        for text, peak in [("Name:\tmirvok-cli\nVmPeak:\t  300000 kB\nVmHWM:\t   13312 kB\nVmRSS:\t 12000 kB\n", 13312),
                           ("Name:\tzombie\nState:\tZ (zombie)\n", None)]:
            with self.subTest(peak):
                self.assertEqual(peak_rss_kib_from_status(text), peak)

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


class GoalTableTest(unittest.TestCase):
    """The verdicts of the goal rows, on made-up runs of one file."""

    def setUp(self):
        import bench
        self.bench = bench
        self.folder = tempfile.TemporaryDirectory(prefix="mirvok-goal-test-")
        path = Path(self.folder.name) / "one.s28"
        path.write_bytes(b"S2140000\n" * 10)
        self.image = bench.Image("one.s28", path, "1 line")

    def tearDown(self):
        self.folder.cleanup()

    def run_of(self, sender, seconds, first_line):
        return self.bench.Run(sender, self.image, 8, seconds=seconds, first_line=first_line)

    def verdicts(self, rows, words):
        return [row.rsplit("|", 2)[1].strip() for row in rows if words in row]

    def test_first_line_and_whole_transfer(self):
        # The whole transfer: 199.7 s for ascii-xfr; +19.9 ms is 0.01 %.
        cases = [
            ("first line earlier, 0.01 % slower", 0.011, 199.7199, "met", "met"),
            ("first line as early", 0.013, 199.7, "met", "met"),
            ("first line later", 0.014, 199.7, "**missed**", "met"),
            ("0.06 % slower", 0.011, 199.82, "met", "**missed**"),
            ("0.06 % quicker: lost bytes, not speed", 0.011, 199.58, "met", "**missed**"),
        ]
        for name, first, seconds, first_verdict, whole_verdict in cases:
            with self.subTest(name):
                mirvok = self.run_of("Mirvok", seconds, first)
                others = [mirvok, self.run_of("ascii-xfr", 199.7, 0.005), self.run_of("python3-serial", 199.7, 0.013)]
                rows = self.bench.transfer_goals([mirvok], others)
                self.assertEqual(self.verdicts(rows, "first line no later than python3-serial"), [first_verdict])
                self.assertEqual(self.verdicts(rows, "of ascii-xfr's"), [whole_verdict])
                self.assertEqual(self.verdicts(rows, "no slower than"), [])

    def test_unpaced_twice_the_python_sender(self):
        for name, mirvok_seconds, verdict in [("2.0 ×", 2.0, "met"), ("1.9 ×", 4 / 1.9, "**missed**")]:
            with self.subTest(name):
                # A run of a second or less says nothing about a rate: 10 lines in 4 s and in 2 s.
                mirvok = self.run_of("Mirvok", mirvok_seconds, 0.1)
                mirvok.time_report = {"user": 0.1, "system": 0.0}
                rows = self.bench.unpaced_goals(mirvok, self.run_of("python3-serial", 4.0, 0.1))
                self.assertEqual(self.verdicts(rows, "python3-serial"), [verdict])


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

    def test_a_station_on_two_ports_times_each_device_and_reads_its_log(self):
        # 1.6 s on the wire: long enough for the 0.1 s samples to see each child.
        image = self.bench.image("16k.s28", "16 KiB", [(0, 0x4000)])
        station = self.bench.execute_station(self.bench_module.StationRun(image, 2))
        self.assertEqual(station.error, "")
        self.assertEqual(station.completed(), (2, 2))
        self.assertEqual(station.summary["exit_code"], 0)
        self.assertEqual(len(station.process.tree_peak_kib), 2)  # one child per device
        self.assertLess(station.worst_ratio(), 2)
        self.assertGreater(station.cpu_share_per_device(), 0)

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
