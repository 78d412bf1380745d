#!/usr/bin/env python3
"""Checks tests/data/make_network.py: the file layout, presets, settings and usage errors."""
import os
import subprocess
import sys
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make_network.py")


def run(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True)


def values(*args):
    """The integers the tool writes for the arguments, as width and sections."""
    proc = run(*args, "-")
    assert proc.returncode == 0, proc.stderr
    numbers = [int(word) for word in proc.stdout.split()]
    n = numbers[0]
    rows = [numbers[1 + r * n:1 + (r + 1) * n] for r in range(768)]
    rest = numbers[1 + 768 * n:]
    assert len(rest) == 3 * n + 1, len(rest)
    return n, rows, rest[:n], rest[n:3 * n], rest[3 * n]


class Layout(unittest.TestCase):
    def test_bias_only_network(self):
        n, rows, hidden, output, bias = values("--output-bias", "160")
        self.assertEqual(n, 1)
        self.assertEqual(bias, 160)
        self.assertEqual({v for row in rows for v in row} | set(hidden) | set(output), {0})

    def test_one_line_per_row(self):
        lines = run("--width", "3", "-").stdout.splitlines()
        self.assertEqual(len(lines), 1 + 768 + 3)
        self.assertEqual(lines[1], "0 0 0")
        self.assertEqual(lines[-2], "0 0 0 0 0 0")

    def test_writes_a_file(self):
        path = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"mknet_{os.getpid()}.txt")
        try:
            self.assertEqual(run("--output-bias", "-17", path).returncode, 0)
            with open(path, encoding="ascii") as handle:
                words = handle.read().split()
            self.assertEqual(len(words), 773)
            self.assertEqual(words[-1], "-17")
        finally:
            if os.path.exists(path):
                os.remove(path)


class Presets(unittest.TestCase):
    def test_material_counter(self):
        n, rows, hidden, output, bias = values("--material", "1,3,3,5,9")
        self.assertEqual(n, 12)
        for r, row in enumerate(rows):
            self.assertEqual(row, [8 if u == r // 64 else 0 for u in range(12)])
        self.assertEqual(output, [1, 3, 3, 5, 9, 0, -1, -3, -3, -5, -9, 0,
                                  -1, -3, -3, -5, -9, 0, 1, 3, 3, 5, 9, 0])
        self.assertEqual((hidden, bias), ([0] * 12, 0))

    def test_negative_values_follow_their_option(self):
        n, _, hidden, output, bias = values("--material", "-1,-3,-3,-5,-9", "--output-bias", "-17",
                                            "--hidden-bias", "-5")
        self.assertEqual(output[:6], [-1, -3, -3, -5, -9, 0])
        self.assertEqual((hidden, bias), ([-5] * 12, -17))

    def test_material_values_must_fit_eight_bits(self):
        proc = run("--material", "100,300,300,500,900", "-")
        self.assertEqual(proc.returncode, 2)
        self.assertIn("-127..127", proc.stderr)

    def test_random_is_repeatable_and_in_range(self):
        first = values("--random", "7")
        self.assertEqual(first, values("--random", "7"))
        self.assertNotEqual(first, values("--random", "8"))
        n, rows, hidden, output, bias = first
        self.assertEqual(n, 128)
        self.assertTrue(all(-8 <= v <= 8 for row in rows for v in row))
        self.assertTrue(all(0 <= v <= 64 for v in hidden))
        self.assertTrue(all(-127 <= v <= 127 for v in output))
        self.assertEqual(values("--random", "7", "--width", "4")[0], 4)


class Settings(unittest.TestCase):
    def test_named_rows_follow_the_view(self):
        _, rows, _, _, _ = values("--width", "3", "--feature", "own-pawn-e4:0=200",
                                  "--feature", "their-king-e8:all=5",
                                  "--feature", "10-12:1-2=-3", "--feature", "own-knight:2=1")
        self.assertEqual(rows[28], [200, 0, 0])
        self.assertEqual(rows[384 + 5 * 64 + 60], [5, 5, 5])
        self.assertEqual(rows[11], [0, -3, -3])
        self.assertEqual([rows[r][2] for r in range(64, 128)], [1] * 64)
        self.assertEqual(rows[63], [0, 0, 0])

    def test_biases_and_output_weights_are_written_as_given(self):
        _, _, hidden, output, bias = values("--width", "2", "--hidden-bias", "300,-5",
                                            "--output-weights", "257,16,0,-200",
                                            "--output-bias", "70000")
        self.assertEqual((hidden, output, bias), ([300, -5], [257, 16, 0, -200], 70000))
        _, _, hidden, output, _ = values("--width", "2", "--hidden-bias", "9",
                                         "--output-weights", "4")
        self.assertEqual((hidden, output), ([9, 9], [4, 4, 4, 4]))


class Usage(unittest.TestCase):
    def assert_refused(self, *args, says):
        proc = run(*args)
        self.assertEqual(proc.returncode, 2, proc.stderr)
        self.assertIn("usage: make_network.py", proc.stderr)
        self.assertIn(says, proc.stderr)
        self.assertEqual(proc.stdout, "")

    def test_help(self):
        proc = run("--help")
        self.assertEqual(proc.returncode, 0)
        self.assertTrue(proc.stdout.startswith("Writes a network file"))

    def test_bad_descriptions(self):
        self.assert_refused("--width", "129", "-", says="--width 129 is outside 1..128")
        self.assert_refused("--width", "0", "-", says="outside 1..128")
        self.assert_refused("--output-bias", "1", says="no OUTPUT file given")
        self.assert_refused("--width", "2", "--hidden-bias", "1,2,3", "-",
                            says="expected 1 or 2 values, got 3")
        self.assert_refused("--feature", "own-pawn-e9:0=1", "-", says="square 'e9'")
        self.assert_refused("--feature", "mine-pawn:0=1", "-", says="own|their-KIND")
        self.assert_refused("--feature", "3:1=1", "-", says="unit '1' is outside 0..0")
        self.assert_refused("--feature", "3:0", "-", says="expected ROWS:UNITS=VALUE")
        self.assert_refused("--feature", "800:0=1", "-", says="row '800' is outside 0..767")
        self.assert_refused("--output-weights", "a", "-", says="'a' is not an integer")
        self.assert_refused("--material", "1,3,3,5,9", "--width", "4", "-",
                            says="--material has width 12")
        self.assert_refused("--material", "1,3,3,5,9", "--random", "1", "-",
                            says="exclude each other")


if __name__ == "__main__":
    unittest.main()
