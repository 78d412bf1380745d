#!/usr/bin/env python3
"""Runs the engine on transcript cases and compares its output.

  run_transcript.py ENGINE CASE
  run_transcript.py [--command "WORDS"] [--windows] [--jobs N] CASE_OR_FOLDER...

The first form runs the engine binary ENGINE on one case (CTest's form). The
second runs every case named (a folder stands for the cases under it) and ends
with a count: --command gives the engine's command line, split as a shell
would, for example "wine build-win/kelmstrad.exe". Each case runs in its own
scratch folder, so words of the command that name existing files by relative
paths with a "/" are made absolute first. --windows says the engine is
the Windows build: its "\r\n" line ends are read as line ends, and a case
marked "skip-windows" is skipped with its reason printed (and one marked
"only-windows" runs).

A case file holds directives, one per line:
  # ...                 comment
  args ARGS...          command-line arguments of the engine (default: none)
  env NAME=VALUE        set a variable for the engine ({tmp} is the case's scratch folder)
  unset NAME            remove a variable from the engine's environment
  file NAME             start a scratch file; following "| text" lines are its lines
  tool NAME ARGS...     before the engine starts, run tests/data/NAME (Python) with the
                        arguments in the scratch folder; the case fails if it fails
  | text                one line of the current scratch file
  > text                one line of input
  send NAME             the bytes of scratch file NAME as input, as they are (a file made
                        by a tool may hold a megabyte line or bytes no case file can)
  wait REGEX            send the input so far, then wait for an output line matching REGEX
                        before sending more (so a search can finish before the next command)
  < text                the next output line must equal text exactly
  <~ regex              the next output line must match the regular expression
  <... text             some later output line equals text (lines before it are skipped)
  <...~ regex           some later output line matches the regular expression
  <count N regex        exactly N of the output lines match (checked on the whole output)
  <none regex           no output line matches (checked on the whole output)
  <halves regex         the matching output lines form two identical halves (a repeated run)
  <err text             the next line of standard error equals text (standard error is
                        only checked where a case asks)
  stderr exact          standard error holds nothing beyond the "<err" lines
  exact                 no output may follow the last expected line (the default)
  partial               output may go on after the last expected line
  exit N                expected exit status (default 0)
  timeout S             seconds allowed (default 120)
  requires PATH         skip the case (exit status 77) when PATH cannot be read
  skip-windows REASON   skip the case when the engine is the Windows build (--windows)
  only-windows REASON   skip the case unless the engine is the Windows build
  mintime MS            the run must last at least MS milliseconds of real time (a lower bound only)
Input is written as it comes (up to each "wait") and then closed: the end of input ends the engine.
Whatever the case expects, a sanitizer report or a failed ASSERT on standard error fails it
(sanitizer builds end the process on their first finding, with a status a case may expect).
"""
import argparse
import concurrent.futures
import os
import queue
import re
import shlex
import subprocess
import sys
import tempfile
import threading
import time


SKIPPED = 77  # CTest's SKIP_RETURN_CODE for transcript cases


class WaitFor:
    """A pause in the input until an output line matches the pattern."""

    def __init__(self, pattern):
        self.pattern = pattern


class SendFile:
    """Input taken byte for byte from a scratch file, read when it is sent."""

    def __init__(self, path):
        self.path = path


def run_engine(command, case, env, cwd, crlf):
    """Feeds the input, pausing at each WaitFor; returns (lines, stderr, status) or None on time-out.
    With crlf a line's "\r\n" end is taken off whole (the Windows build's text-mode output)."""
    proc = subprocess.Popen([*command, *case["args"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=env, cwd=cwd)
    line_end = "\r\n" if crlf else "\n"
    lines = queue.Queue()
    collected = []
    err_chunks = []

    def read_out():
        for raw in proc.stdout:
            text = raw.decode(errors="replace")
            lines.put(text[:-len(line_end)] if text.endswith(line_end) else text.rstrip("\n"))
        lines.put(None)

    def read_err():
        err_chunks.append(proc.stderr.read())

    readers = [threading.Thread(target=read_out, daemon=True),
               threading.Thread(target=read_err, daemon=True)]
    for reader in readers:
        reader.start()
    deadline = time.monotonic() + case["timeout"]

    def next_line():
        """The next output line, None at the end of output; TimeoutError past the deadline."""
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError
        try:
            line = lines.get(timeout=remaining)
        except queue.Empty:
            raise TimeoutError
        if line is not None:
            collected.append(line)
        return line

    def send(data):
        """Writes to the engine; an engine that has already exited (a refused
        start-up, "quit") reads no more, which is not a time-out."""
        try:
            proc.stdin.write(data)
            proc.stdin.flush()
        except BrokenPipeError:
            pass

    ended = False
    try:
        for item in case["input"]:
            if isinstance(item, WaitFor):
                while True:
                    line = next_line()
                    if line is None:
                        ended = True
                        break
                    if re.fullmatch(item.pattern, line):
                        break
                if ended:
                    break
            elif isinstance(item, SendFile):
                with open(item.path, "rb") as handle:
                    send(handle.read())
            else:
                send((item + "\n").encode())
        try:
            proc.stdin.close()
        except BrokenPipeError:
            pass
        while not ended and next_line() is not None:
            pass
        status = proc.wait(timeout=max(deadline - time.monotonic(), 0.1))
        for reader in readers:
            reader.join(timeout=max(deadline - time.monotonic(), 0.1))
    except (TimeoutError, subprocess.TimeoutExpired):
        proc.kill()
        proc.wait()
        return None
    return collected, b"".join(err_chunks), status


def parse_case(path, tmp):
    case = {"args": [], "env": {}, "unset": [], "files": {}, "tools": [], "input": [], "expect": [],
            "checks": [], "errors": [], "errors_exact": False, "exact": True, "exit": 0,
            "timeout": 120}
    current_file = None
    with open(path, encoding="utf-8") as handle:
        for raw in handle:
            line = raw.rstrip("\n")
            if line.startswith("| ") or line == "|":
                case["files"][current_file].append(line[2:])
                continue
            current_file = None
            if not line.strip() or line.startswith("#"):
                continue
            word, _, rest = line.partition(" ")
            rest = rest.replace("{tmp}", tmp)
            if word == "args":
                case["args"] = shlex.split(rest)
            elif word == "env":
                name, _, value = rest.partition("=")
                case["env"][name] = value
            elif word == "unset":
                case["unset"].append(rest)
            elif word == "file":
                current_file = rest
                case["files"][rest] = []
            elif word == "tool":
                case["tools"].append(shlex.split(rest))
            elif word == "<err":
                case["errors"].append(rest)
            elif word == "stderr" and rest == "exact":
                case["errors_exact"] = True
            elif word == ">":
                case["input"].append(rest)
            elif word == "wait":
                case["input"].append(WaitFor(rest))
            elif word == "send":
                case["input"].append(SendFile(os.path.join(tmp, rest)))
            elif word in ("<", "<~", "<...", "<...~"):
                case["expect"].append((word, rest))
            elif word in ("<count", "<none", "<halves"):
                case["checks"].append((word, rest))
            elif word == "exact":
                case["exact"] = True
            elif word == "partial":
                case["exact"] = False
            elif word == "exit":
                case["exit"] = int(rest)
            elif word == "timeout":
                case["timeout"] = float(rest)
            elif word == "requires":
                case.setdefault("requires", []).append(rest)
            elif word == "skip-windows":
                case["skip_windows"] = rest
            elif word == "only-windows":
                case["only_windows"] = rest
            elif word == "mintime":
                case["mintime"] = float(rest)
            else:
                raise SystemExit(f"{path}: unknown directive: {line}")
    return case


def compare(case, lines):
    pos = 0
    for kind, text in case["expect"]:
        if kind in ("<", "<~"):
            if pos >= len(lines):
                return f"expected {text!r} but the output ended"
            got = lines[pos]
            ok = got == text if kind == "<" else re.fullmatch(text, got) is not None
            if not ok:
                return f"line {pos + 1}: expected {text!r}, got {got!r}"
            pos += 1
        else:
            while pos < len(lines):
                got = lines[pos]
                pos += 1
                if (got == text) if kind == "<..." else re.fullmatch(text, got):
                    break
            else:
                return f"no later line matches {text!r}"
    if case["exact"] and pos < len(lines):
        return f"unexpected output from line {pos + 1}: {lines[pos]!r}"
    for kind, text in case["checks"]:
        if kind == "<count":
            count, _, pattern = text.partition(" ")
            found = sum(1 for l in lines if re.fullmatch(pattern, l))
            if found != int(count):
                return f"{found} lines match {pattern!r}, expected {count}"
        elif kind == "<halves":
            found = [l for l in lines if re.fullmatch(text, l)]
            half = len(found) // 2
            if not found or len(found) % 2 or found[:half] != found[half:]:
                return f"lines matching {text!r} are not two identical halves: {found}"
        elif any(re.fullmatch(text, l) for l in lines):
            return f"a line matches {text!r}, expected none"
    return None


# First lines of the reports of AddressSanitizer, LeakSanitizer, ThreadSanitizer,
# UndefinedBehaviorSanitizer, and of a failed ASSERT of a Debug build.
CHECKER_REPORT = re.compile(r"(==\d+==ERROR: \w+Sanitizer|WARNING: ThreadSanitizer|"
                            r"SUMMARY: \w+Sanitizer|.*: runtime error: |ASSERT failed: )")


def checker_report(lines):
    """The first line of a sanitizer report or failed ASSERT on standard error, or None."""
    for line in lines:
        if CHECKER_REPORT.match(line):
            return line
    return None


def compare_errors(case, lines):
    for pos, text in enumerate(case["errors"]):
        if pos >= len(lines):
            return f"expected {text!r} on standard error but it ended"
        if lines[pos] != text:
            return f"standard error line {pos + 1}: expected {text!r}, got {lines[pos]!r}"
    if case["errors_exact"] and len(lines) > len(case["errors"]):
        return f"unexpected standard error line: {lines[len(case['errors'])]!r}"
    return None


def run_tools(case, tmp):
    generators = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    for name, *args in case["tools"]:
        proc = subprocess.run([sys.executable, os.path.join(generators, name), *args],
                              capture_output=True, text=True, cwd=tmp)
        if proc.returncode != 0:
            return f"tool {name} failed: {proc.stderr.strip()[-500:]}"
    return None


def run_case(command, path, windows):
    """Runs one case: (status, report), status 0 passed, 1 failed, SKIPPED skipped."""
    with tempfile.TemporaryDirectory() as tmp:
        case = parse_case(path, tmp)
        if windows and "skip_windows" in case:
            return SKIPPED, f"skipped {os.path.basename(path)}: {case['skip_windows']}"
        if not windows and "only_windows" in case:
            return SKIPPED, f"skipped {os.path.basename(path)}: {case['only_windows']}"
        for name, lines in case["files"].items():
            os.makedirs(os.path.dirname(os.path.join(tmp, name)), exist_ok=True)
            with open(os.path.join(tmp, name), "w", encoding="utf-8") as handle:
                handle.write("".join(l + "\n" for l in lines))
        problem = run_tools(case, tmp)
        if problem:
            return 1, f"FAIL {path}: {problem}"
        env = dict(os.environ)
        env.pop("KLMRAW", None)
        for name in case["unset"]:
            env.pop(name, None)
        env.update(case["env"])
        missing = [p for p in case.get("requires", []) if not os.access(p, os.R_OK)]
        if missing:
            return SKIPPED, f"skipped {os.path.basename(path)}: cannot read {', '.join(missing)}"
        started = time.monotonic()
        result = run_engine(command, case, env, tmp, windows)
        if windows and result is not None and not result[0] and not result[1]:
            # Nothing on either stream: Wine did not start the program (seen
            # once in a few hundred runs under a busy wine server). Once more.
            result = run_engine(command, case, env, tmp, windows)
        took_ms = (time.monotonic() - started) * 1000
        if result is None:
            return 1, f"FAIL {path}: no exit within {case['timeout']} s"
        lines, stderr, status = result
        err_lines = stderr.decode(errors="replace").splitlines()
        report = checker_report(err_lines)
        problem = f"checker report on standard error: {report}" if report else None
        if problem is None:
            problem = compare(case, lines)
        if problem is None:
            problem = compare_errors(case, err_lines)
        if problem is None and took_ms < case.get("mintime", 0):
            problem = f"the run took {took_ms:.0f} ms, expected at least {case['mintime']:.0f}"
        if problem is None and status != case["exit"]:
            problem = f"exit status {status}, expected {case['exit']}"
        if problem:
            return 1, "\n".join([f"FAIL {path}: {problem}", "--- output ---", "\n".join(lines[:200]),
                                 "--- stderr ---", stderr.decode(errors="replace")[:20000]])
    return 0, f"ok {os.path.basename(path)}"


def absolute_words(words):
    """The command with its relative paths of existing files made absolute."""
    return [os.path.abspath(w) if "/" in w and os.path.exists(w) else w for w in words]


def case_files(names):
    """The case files named, a folder standing for every *.txt under it, in order."""
    found = []
    for name in names:
        if os.path.isdir(name):
            for folder, _, files in sorted(os.walk(name)):
                found += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".txt")]
        else:
            found.append(name)
    return found


def main():
    if len(sys.argv) == 3 and not sys.argv[1].startswith("-"):
        status, report = run_case(absolute_words([sys.argv[1]]), sys.argv[2], windows=False)
        print(report)
        return status
    parser = argparse.ArgumentParser(description="Runs transcript cases against an engine command.")
    parser.add_argument("--command", required=True, help="the engine's command line")
    parser.add_argument("--windows", action="store_true", help="the engine is the Windows build")
    parser.add_argument("--jobs", type=int, default=1, help="cases run at the same time")
    parser.add_argument("cases", nargs="+", help="case files or folders of cases")
    args = parser.parse_args()
    command = absolute_words(shlex.split(args.command))
    paths = case_files(args.cases)
    counts = {0: 0, 1: 0, SKIPPED: 0}
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(args.jobs, 1)) as pool:
        for status, report in pool.map(lambda p: run_case(command, p, args.windows), paths):
            print(report, flush=True)
            counts[status] += 1
    print(f"{counts[0]} passed, {counts[SKIPPED]} skipped, {counts[1]} failed of {len(paths)} cases")
    return 1 if counts[1] or not paths else 0


if __name__ == "__main__":
    sys.exit(main())
