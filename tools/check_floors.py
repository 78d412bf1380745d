#!/usr/bin/env python3
"""Fails when an include of src/ points up a floor.

The engine's subsystems stand on floors, each including only its own floor and
the ones below: platform, io, clock, board, eval, search, driver, uci, then
src/main.cpp. Every quoted include of a file under src/ is checked; each
upward one is printed as "file:line: floor -> floor (include)".
Usage: check_floors.py [repository root] (default: the parent of tools/).
"""
import pathlib
import re
import sys

FLOORS = ["platform", "io", "clock", "board", "eval", "search", "driver", "uci", "main"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def floor_of(path):
    """The floor of a path relative to src/, or None for a name off every floor."""
    parts = pathlib.PurePosixPath(path).parts
    name = "main" if len(parts) == 1 and parts[0] == "main.cpp" else parts[0]
    return FLOORS.index(name) if name in FLOORS else None


def upward_includes(src):
    """Each include of a file under src that names a file on a higher floor."""
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(src).as_posix()
        own = floor_of(relative)
        if own is None:
            found.append(f"src/{relative}: not on any floor ({', '.join(FLOORS)})")
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = floor_of(match.group(1))
            if target is not None and target > own:
                found.append(f"src/{relative}:{number}: {FLOORS[own]} -> {FLOORS[target]} "
                             f'(#include "{match.group(1)}")')
    return found


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    found = upward_includes(root / "src")
    for line in found:
        print(line)
    if found:
        print(f"check_floors: {len(found)} include(s) point up a floor", file=sys.stderr)
        return 1
    print("check_floors: every include of src/ points down or across")
    return 0


if __name__ == "__main__":
    sys.exit(main())
