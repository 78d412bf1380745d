#!/usr/bin/env python3
"""Writes a test file that is too large, or too odd, to keep in the repository.

usage: make_file.py OUTPUT [--prefix TEXT] [--text TEXT] [--repeat N] [--suffix TEXT]
       make_file.py OUTPUT --random BYTES [--seed S]

The first form writes PREFIX, then TEXT N times (once by default), then SUFFIX.
The texts may hold the escapes of a Python string literal (\\n, \\t, \\x00, \\xff, \\\\),
and each character is written as the one byte of its code (0..255), so a file
can hold a NUL byte or a megabyte line: for example
  make_file.py moves.txt --prefix "position startpos moves" --text " g1f3 g8f6 f3g1 f6g8"
               --repeat 500 --suffix "\\n"
The second form writes BYTES pseudo-random bytes, the same for the same seed
(default 1). OUTPUT "-" writes to standard output.
"""
import argparse
import random
import sys


def unescape(text):
    """The text with its escapes turned into the characters they stand for."""
    return text.encode("latin-1", "backslashreplace").decode("unicode_escape")


def as_bytes(text, what):
    """The text as bytes, one byte per character; a usage error beyond code 255."""
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        raise SystemExit(f"make_file.py: {what} holds a character above \\xff")


def content(args):
    """The bytes the arguments ask for."""
    if args.random is not None:
        if args.random < 0:
            raise SystemExit("make_file.py: --random needs a byte count of 0 or more")
        generator = random.Random(args.seed)
        return bytes(generator.getrandbits(8) for _ in range(args.random))
    if args.repeat < 0:
        raise SystemExit("make_file.py: --repeat needs a count of 0 or more")
    prefix = as_bytes(unescape(args.prefix), "--prefix")
    text = as_bytes(unescape(args.text), "--text")
    suffix = as_bytes(unescape(args.suffix), "--suffix")
    return prefix + text * args.repeat + suffix


def main():
    parser = argparse.ArgumentParser(description="Writes a large or odd test file.")
    parser.add_argument("output")
    parser.add_argument("--prefix", default="")
    parser.add_argument("--text", default="")
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--suffix", default="")
    parser.add_argument("--random", type=int, metavar="BYTES")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    data = content(args)
    if args.output == "-":
        sys.stdout.buffer.write(data)
    else:
        with open(args.output, "wb") as handle:
            handle.write(data)


if __name__ == "__main__":
    main()
