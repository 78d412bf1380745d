// One UCI engine as the match sees it: its configuration, the running process,
// the clock it plays on and the last lines it wrote (kept for diagnosis).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "process.h"

namespace kelmstrad::match {

constexpr size_t LAST_LINES_KEPT = 12;  // lines of an engine kept for a fault report

// How an engine is told to think. Any combination may be given; "go" carries
// every part that is set.
struct TimeControl {
  bool clock = false;  // base + increment (optionally per moves)
  int64_t base_ms = 0;
  int64_t inc_ms = 0;
  int moves = 0;  // moves per period (0: whole game)
  int64_t movetime_ms = 0;
  int depth = 0;
  uint64_t nodes = 0;
};

struct EngineConfig {
  std::string name;                                          // empty: the engine's "id name"
  std::string cmd;                                           // command line
  std::vector<std::string> args;                             // extra arguments
  std::string dir;                                           // working directory
  std::vector<std::pair<std::string, std::string>> env;      // variables for this engine
  std::vector<std::pair<std::string, std::string>> options;  // "setoption name N value V"
  TimeControl tc;
  int64_t timemargin_ms = 0;  // overrun of the clock or movetime still tolerated
  bool ponder = false;
};

enum class FaultKind { NONE, ILLEGAL, CRASH, STALL, TIME };

struct Fault {
  FaultKind kind = FaultKind::NONE;
  std::string text;  // what happened, e.g. "no readyok within 5000 ms"
  std::vector<std::string>
      last_lines;  // the engine's last lines ("< " output, "! " standard error)
};

// What one search of an engine produced.
struct SearchReply {
  std::string bestmove;  // text after "bestmove" (may be empty or unparsable)
  std::string ponder;    // text after "ponder", empty if none
  int64_t elapsed_ms = 0;
  bool has_score = false;  // the last "info" with a score, for the game record
  bool mate = false;
  int score = 0;  // centipawns, or moves to mate when mate is set
  int depth = 0;
};

struct EngineSession {
  const EngineConfig* config = nullptr;
  std::string name;
  ChildProcess process;
  std::deque<std::string> last_lines;
  int64_t clock_ms = 0;                            // time left on the clock
  int moves_to_go = 0;                             // moves left in the period (clock with moves)
  bool pondering = false;                          // a "go ponder" search is running
  std::string ponder_move;                         // the move it ponders on
  SearchReply last;                                // information of the running or last search
  const std::atomic<bool>* abort = nullptr;        // set: give up waiting at once
  std::vector<std::string>* transcript = nullptr;  // set: every output line is appended
};

enum class WaitResult { FOUND, TIMEOUT, CLOSED, ABORTED };

// Reads the engine's lines until one starts with the word (kept in *found);
// deadline_ms on the monotonic clock, 0 waits without limit. Scores and depths
// of "info" lines go to *info when given.
WaitResult wait_for_word(EngineSession& e, const std::string& word, int64_t deadline_ms,
                         std::string* found, SearchReply* info);

// Starts the engine, runs the "uci" handshake, sends the options and waits for
// "readyok". The name comes from the config or from "id name".
Fault engine_start(EngineSession& e, int64_t timeout_ms);

// "ucinewgame", then "isready" answered within the time-out; also resets the clock.
Fault engine_new_game(EngineSession& e, int64_t timeout_ms);

// Sends a line; a failed write is a crash.
Fault engine_send(EngineSession& e, const std::string& line);

// Sends "isready" and waits for "readyok".
Fault engine_sync(EngineSession& e, int64_t timeout_ms);

// Waits for "bestmove" until deadline_ms on the monotonic clock (0: none); on
// time-out the reply's bestmove stays empty and the fault is NONE with timed_out set.
Fault engine_wait_bestmove(EngineSession& e, int64_t deadline_ms, SearchReply* reply,
                           bool* timed_out);

// Sends "stop" and waits up to timeout_ms for "bestmove"; STALL if none.
Fault engine_stop(EngineSession& e, int64_t timeout_ms, SearchReply* reply);

// Sends "quit" and ends the process (killed after a short grace).
void engine_quit(EngineSession& e);

// The "go" parameters of the engine's time control, given both clocks.
std::string go_parameters(const TimeControl& tc, int64_t wtime, int64_t btime, int movestogo);

// A crash fault built from the ended process, with the last lines.
Fault crash_fault(EngineSession& e, const std::string& when);

// Name of a fault kind for reports ("illegal move", "crash", "stall", "time loss").
const char* fault_kind_name(FaultKind kind);

}  // namespace kelmstrad::match
