#!/usr/bin/env python3
"""A scripted UCI engine that misbehaves on request, for the match runner's tests.

Both sides of a game follow one fixed move script; the engine answers the move
of the script at the current ply (the number of moves in "position ... moves").
From ply --at on (and only when playing --side, if given) it fails as asked:

  --fail illegal     answers "bestmove a1h8" (never legal in the scripts)
  --fail garbage     answers "bestmove xyz"
  --fail crash       writes a line to each stream, then kills itself with SIGSEGV
  --fail silent      never answers "go", nor the "stop" that follows
  --fail slow        answers "go" only when told "stop"
  --fail noreadyok   ignores "isready"
  --fail nouciok     ignores "uci" (from the start)
  --fail nostop      ignores "stop" during "go ponder"
  --fail noinfo      answers without an info line
  --fail pvother     its last PV starts with another move than the one answered
  --fail pvpast      its PV runs on past the script's end (mate, or the third repetition)

"go infinite" and "go ponder" wait for "stop" (or "ponderhit").
--ponder-move M offers M as ponder move instead of the script's next move.
On "ponderhit" it reports depth 7 before answering, so a test can see the hit.
"""
import argparse
import os
import signal
import sys

SCRIPTS = {
    # Scholar's mate: White mates with the seventh ply.
    "scholar": "e2e4 e7e5 f1c4 b8c6 d1h5 g8f6 h5f7".split(),
    # Knights out and back twice: the start position comes back a third time at ply 8.
    "repeat": "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8".split(),
}


def say(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", default="scholar", choices=sorted(SCRIPTS))
    parser.add_argument("--fail", default="none")
    parser.add_argument("--at", type=int, default=0)
    parser.add_argument("--side", choices=["white", "black"], default=None)
    parser.add_argument("--ponder-move", default=None)
    args = parser.parse_args()
    script = SCRIPTS[args.script]
    ply = 0
    searching = None  # "go" or "ponder" while a search is open

    def failing():
        side = "white" if ply % 2 == 0 else "black"
        return ply >= args.at and (args.side is None or args.side == side)

    def answer(depth=1, score=13):
        move = script[ply] if ply < len(script) else "0000"
        nxt = args.ponder_move or (script[ply + 1] if ply + 1 < len(script) else None)
        if failing() and args.fail == "pvother":
            say("info depth %d score cp %d nodes 20 pv %s" % (depth, score, move))
            say("info depth %d score cp %d nodes 30 pv a2a3" % (depth + 1, score))
        elif failing() and args.fail == "pvpast":
            say("info depth %d score cp %d nodes 20 pv %s a7a6" % (depth, score,
                                                                 " ".join(script[ply:])))
        elif not (failing() and args.fail == "noinfo"):
            say("info depth %d score cp %d nodes 20 pv %s" % (depth, score, move))
        say("bestmove " + move + (" ponder " + nxt if nxt else ""))

    for raw in sys.stdin:
        words = raw.split()
        if not words:
            continue
        cmd = words[0]
        if cmd == "uci":
            if args.fail == "nouciok":
                continue
            say("id name Fake " + args.fail)
            say("id author nobody")
            say("option name Ponder type check default false")
            say("uciok")
        elif cmd == "isready":
            if args.fail == "noreadyok" and failing():
                continue
            say("readyok")
        elif cmd == "position":
            ply = len(words) - words.index("moves") - 1 if "moves" in words else 0
        elif cmd == "go":
            if "ponder" in words or "infinite" in words:
                searching = "ponder" if "ponder" in words else "infinite"
                continue
            if failing() and args.fail == "illegal":
                say("bestmove a1h8")
            elif failing() and args.fail == "garbage":
                say("bestmove xyz")
            elif failing() and args.fail == "crash":
                say("info string about to crash")
                sys.stderr.write("fake: crashing\n")
                sys.stderr.flush()
                os.kill(os.getpid(), signal.SIGSEGV)
            elif failing() and args.fail in ("silent", "slow"):
                searching = args.fail
            else:
                answer()
        elif cmd == "ponderhit" and searching == "ponder":
            searching = None
            answer(7, 77)
        elif cmd == "stop" and searching:
            if searching == "silent" or (searching == "ponder" and args.fail == "nostop"):
                continue
            searching = None
            answer()
        elif cmd == "quit":
            break


if __name__ == "__main__":
    main()
