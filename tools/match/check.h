// The UCI compliance check: what a GUI or match manager expects of an engine,
// step by step, each answered within a time-out. The steps:
//   "uci" answered by "id name", "id author", well-formed "option" lines and "uciok";
//   "isready" idle, after "ucinewgame", after each "position", during a search
//   and after it; "position startpos" (with moves) and "position fen";
//   "go wtime 100 btime 100" and "go wtime 100 winc 100 btime 100 binc 100"
//   answered with a legal move before the clock runs out (plus a margin);
//   "go infinite" that does not end by itself and answers "stop";
//   "go ponder" that waits, then answers "ponderhit", and "go ponder" that answers "stop";
//   "quit" ends the process.
// Moves (and ponder moves) are checked by the referee.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine.h"

namespace kelmstrad::match {

struct CheckSetup {
  EngineConfig engine;        // cmd, args, env, options are used
  int64_t timeout_ms = 5000;  // answer time for uciok, readyok, stop, quit
  int64_t margin_ms = 200;    // tolerated lateness of a timed "go"
  int64_t quiet_ms = 300;     // how long an infinite or ponder search must keep quiet
};

struct CheckResult {
  int passed = 0;
  int failed = 0;
  std::string first_failure;  // name of the first failed step, empty when all passed
};

// Runs every step against the engine, writing one line per step to `out`.
CheckResult run_uci_check(const CheckSetup& setup, FILE* out);

// The compliance check tool: command line, run, exit status (0 all passed).
int check_main(int argc, const char* const* argv);

}  // namespace kelmstrad::match
