#!/usr/bin/env python3
"""The transcript runner fails a case on a checker's report even when the output matches.

Stand-in engines (small Python programs) answer one line and write to standard error
what a sanitizer or a failed ASSERT would write.
"""
import os
import stat
import subprocess
import sys
import tempfile
import unittest

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "run_transcript.py")

CASE = """> isready
< readyok
"""


def stand_in(folder, stderr_text, status=0):
    """Writes an engine that answers "readyok", then writes stderr_text and exits with status."""
    path = os.path.join(folder, "engine")
    with open(path, "w", encoding="utf-8") as handle:
        handle.write(f"#!{sys.executable}\n"
                     "import sys\n"
                     "sys.stdin.read()\n"
                     "print('readyok')\n"
                     f"sys.stderr.write({stderr_text!r})\n"
                     f"sys.exit({status})\n")
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


def run_case(stderr_text, status=0, case=CASE):
    """The runner's exit status and output for the stand-in engine on the case."""
    with tempfile.TemporaryDirectory() as folder:
        engine = stand_in(folder, stderr_text, status)
        case_path = os.path.join(folder, "case.txt")
        with open(case_path, "w", encoding="utf-8") as handle:
            handle.write(case)
        proc = subprocess.run([sys.executable, RUNNER, engine, case_path], capture_output=True, text=True)
        return proc.returncode, proc.stdout


class CheckerReports(unittest.TestCase):
    def test_clean_run_passes(self):
        self.assertEqual(run_case("")[0], 0)

    def test_other_standard_error_text_passes(self):
        self.assertEqual(run_case("eval debug line\n")[0], 0)

    def test_address_sanitizer_report_fails(self):
        code, out = run_case("=================================================================\n"
                             "==4711==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x6\n")
        self.assertEqual(code, 1)
        self.assertIn("checker report on standard error: ==4711==ERROR: AddressSanitizer", out)

    def test_leak_sanitizer_report_fails(self):
        self.assertEqual(run_case("==12==ERROR: LeakSanitizer: detected memory leaks\n")[0], 1)

    def test_undefined_behaviour_report_fails(self):
        code, out = run_case("src/search/see.cpp:42:7: runtime error: index 128 out of bounds\n")
        self.assertEqual(code, 1)
        self.assertIn("runtime error", out)

    def test_thread_sanitizer_report_fails(self):
        code, out = run_case("==================\nWARNING: ThreadSanitizer: data race (pid=9)\n")
        self.assertEqual(code, 1)
        self.assertIn("WARNING: ThreadSanitizer", out)

    def test_failed_assert_fails(self):
        self.assertEqual(run_case("ASSERT failed: position_is_ok() (src/board/make.cpp:232)\n", -6)[0], 1)

    def test_report_fails_even_with_the_expected_status(self):
        # A case expecting exit status 1 must not pass on a sanitizer's exit status 1.
        case = CASE + "exit 1\n"
        self.assertEqual(run_case("", 1, case)[0], 0)
        self.assertEqual(run_case("SUMMARY: AddressSanitizer: SEGV (engine+0x1)\n", 1, case)[0], 1)

    def test_unexpected_status_fails(self):
        self.assertEqual(run_case("", 66)[0], 1)

    def test_arguments_reach_the_engine(self):
        with tempfile.TemporaryDirectory() as folder:
            engine = os.path.join(folder, "engine")
            with open(engine, "w", encoding="utf-8") as handle:
                handle.write(f"#!{sys.executable}\nimport sys\nprint(' '.join(sys.argv[1:]))\n")
            os.chmod(engine, os.stat(engine).st_mode | stat.S_IXUSR)
            case_path = os.path.join(folder, "case.txt")
            with open(case_path, "w", encoding="utf-8") as handle:
                handle.write("args bench 'a b'\n< bench a b\n")
            proc = subprocess.run([sys.executable, RUNNER, engine, case_path], capture_output=True, text=True)
            self.assertEqual(proc.returncode, 0, proc.stdout)


class WindowsEngine(unittest.TestCase):
    """--command runs an engine command line over many cases; --windows reads "\r\n" line ends."""

    def run_cases(self, answer, windows, cases):
        with tempfile.TemporaryDirectory() as folder:
            engine = os.path.join(folder, "engine")
            with open(engine, "w", encoding="utf-8") as handle:
                handle.write(f"#!{sys.executable}\nimport sys\nsys.stdin.read()\n"
                             f"sys.stdout.buffer.write({answer!r})\n")
            os.chmod(engine, os.stat(engine).st_mode | stat.S_IXUSR)
            paths = []
            for number, text in enumerate(cases):
                paths.append(os.path.join(folder, f"case{number}.txt"))
                with open(paths[-1], "w", encoding="utf-8") as handle:
                    handle.write(text)
            flags = ["--windows"] if windows else []
            proc = subprocess.run([sys.executable, RUNNER, "--command", f"{sys.executable} {engine}",
                                   *flags, "--jobs", "2", *paths], capture_output=True, text=True)
            return proc.returncode, proc.stdout

    def test_crlf_lines_are_lines_only_for_the_windows_build(self):
        self.assertEqual(self.run_cases(b"readyok\r\n", True, [CASE])[0], 0)
        code, out = self.run_cases(b"readyok\r\n", False, [CASE])
        self.assertEqual(code, 1)
        self.assertIn("got 'readyok\\r'", out)
        # A lone carriage return before the line end stays part of the line.
        self.assertEqual(self.run_cases(b"readyok\r\r\n", True, [CASE])[0], 1)

    def test_skip_windows_is_counted_and_says_why(self):
        skipped = CASE.replace("< readyok", "< never") + "skip-windows no such thing there\n"
        code, out = self.run_cases(b"readyok\r\n", True, [CASE, skipped])
        self.assertEqual(code, 0, out)
        self.assertIn("skipped case1.txt: no such thing there", out)
        self.assertIn("1 passed, 1 skipped, 0 failed of 2 cases", out)
        self.assertEqual(self.run_cases(b"readyok\n", False, [CASE, skipped])[0], 1)

    def test_only_windows_is_skipped_elsewhere(self):
        only = CASE.replace("< readyok", "< never") + "only-windows backslashes\n"
        code, out = self.run_cases(b"readyok\n", False, [only])
        self.assertEqual(code, 0, out)
        self.assertIn("skipped case0.txt: backslashes", out)
        self.assertEqual(self.run_cases(b"readyok\r\n", True, [only])[0], 1)


if __name__ == "__main__":
    unittest.main()
