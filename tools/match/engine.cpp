#include "engine.h"

#include <cstdlib>
#include <sstream>

namespace kelmstrad::match {

namespace {

constexpr int64_t WAIT_SLICE_MS = 50;    // how often a wait looks at the abort flag
constexpr int64_t QUIT_GRACE_MS = 1000;  // time an engine gets to leave after "quit"
constexpr int64_t CRASH_DRAIN_MS = 200;  // time given to a failed engine's last words and exit

// Remembers a line of the engine; "< " marks standard output, "! " standard error.
void remember(EngineSession& e, const std::string& mark, const std::string& line) {
  e.last_lines.push_back(mark + line);
  while (e.last_lines.size() > LAST_LINES_KEPT) e.last_lines.pop_front();
}

// The first word of a line.
std::string first_word(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  return word;
}

// Reads "score cp N" / "score mate N" and "depth N" from an info line into the reply.
void read_info(const std::string& line, SearchReply* reply) {
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    if (word == "depth") {
      in >> reply->depth;
    } else if (word == "score") {
      std::string kind;
      in >> kind >> reply->score;
      reply->mate = kind == "mate";
      reply->has_score = kind == "mate" || kind == "cp";
    }
  }
}

// A fault with the engine's last lines attached.
Fault make_fault(EngineSession& e, FaultKind kind, const std::string& text) {
  Fault f;
  f.kind = kind;
  f.text = text;
  f.last_lines.assign(e.last_lines.begin(), e.last_lines.end());
  return f;
}

}  // namespace

// Reads lines until one starts with the word; deadline 0 waits without limit.
WaitResult wait_for_word(EngineSession& e, const std::string& word, int64_t deadline,
                         std::string* found, SearchReply* info) {
  while (true) {
    if (e.abort && e.abort->load()) return WaitResult::ABORTED;
    int64_t slice = WAIT_SLICE_MS;
    if (deadline != 0) {
      const int64_t left = deadline - now_ms();
      if (left <= 0) return WaitResult::TIMEOUT;
      slice = std::min(slice, left);
    }
    std::string line;
    std::vector<std::string> errors;
    const ReadResult r = process_read_line(e.process, slice, &line, &errors);
    for (const std::string& err : errors) remember(e, "! ", err);
    if (r == ReadResult::CLOSED) return WaitResult::CLOSED;
    if (r == ReadResult::TIMEOUT) continue;
    remember(e, "< ", line);
    if (e.transcript) e.transcript->push_back(line);
    const std::string first = first_word(line);
    if (first == "info" && info) read_info(line, info);
    if (first == "id" && e.name.empty() && line.rfind("id name ", 0) == 0) e.name = line.substr(8);
    if (first == word) {
      *found = line;
      return WaitResult::FOUND;
    }
  }
}

namespace {

// A stall or crash fault for a wait that found nothing.
Fault wait_fault(EngineSession& e, WaitResult r, const std::string& what, int64_t timeout_ms) {
  if (r == WaitResult::CLOSED) return crash_fault(e, "while waiting for " + what);
  if (r == WaitResult::ABORTED) return Fault();
  return make_fault(e, FaultKind::STALL,
                    "no " + what + " within " + std::to_string(timeout_ms) + " ms");
}

// Splits "bestmove X ponder Y" into the reply.
void read_bestmove(const std::string& line, SearchReply* reply) {
  std::istringstream in(line);
  std::string word;
  in >> word >> reply->bestmove;
  while (in >> word)
    if (word == "ponder") in >> reply->ponder;
}

}  // namespace

// Starts the engine and runs the handshake up to the first "readyok".
Fault engine_start(EngineSession& e, int64_t timeout_ms) {
  const EngineConfig& c = *e.config;
  ProcessSetup launch;
  launch.argv = split_command_line(c.cmd);
  launch.argv.insert(launch.argv.end(), c.args.begin(), c.args.end());
  launch.env = c.env;
  launch.dir = c.dir;
  e.name = c.name;
  e.last_lines.clear();
  std::string error;
  if (!process_start(e.process, launch, &error)) return make_fault(e, FaultKind::CRASH, error);
  Fault f = engine_send(e, "uci");
  if (f.kind != FaultKind::NONE) return f;
  std::string line;
  const WaitResult r = wait_for_word(e, "uciok", now_ms() + timeout_ms, &line, nullptr);
  if (r != WaitResult::FOUND) return wait_fault(e, r, "uciok", timeout_ms);
  if (e.name.empty()) e.name = launch.argv[0];
  for (const auto& [name, value] : c.options) {
    f = engine_send(e, "setoption name " + name + " value " + value);
    if (f.kind != FaultKind::NONE) return f;
  }
  if (c.ponder) f = engine_send(e, "setoption name Ponder value true");
  if (f.kind != FaultKind::NONE) return f;
  return engine_sync(e, timeout_ms);
}

// "ucinewgame" and a synchronisation; the clock starts full.
Fault engine_new_game(EngineSession& e, int64_t timeout_ms) {
  const TimeControl& tc = e.config->tc;
  e.clock_ms = tc.base_ms;
  e.moves_to_go = tc.moves;
  e.pondering = false;
  Fault f = engine_send(e, "ucinewgame");
  if (f.kind != FaultKind::NONE) return f;
  return engine_sync(e, timeout_ms);
}

// Sends a line; a failed write is a crash.
Fault engine_send(EngineSession& e, const std::string& line) {
  if (process_write_line(e.process, line)) return Fault();
  return crash_fault(e, "while sending \"" + line + "\"");
}

// "isready" answered by "readyok" within the time-out.
Fault engine_sync(EngineSession& e, int64_t timeout_ms) {
  Fault f = engine_send(e, "isready");
  if (f.kind != FaultKind::NONE) return f;
  std::string line;
  const WaitResult r = wait_for_word(e, "readyok", now_ms() + timeout_ms, &line, &e.last);
  return r == WaitResult::FOUND ? Fault() : wait_fault(e, r, "readyok", timeout_ms);
}

// Waits for "bestmove" until the deadline.
Fault engine_wait_bestmove(EngineSession& e, int64_t deadline_ms, SearchReply* reply,
                           bool* timed_out) {
  std::string line;
  *timed_out = false;
  const WaitResult r = wait_for_word(e, "bestmove", deadline_ms, &line, reply);
  if (r == WaitResult::FOUND) {
    read_bestmove(line, reply);
    return Fault();
  }
  if (r == WaitResult::TIMEOUT) {
    *timed_out = true;
    return Fault();
  }
  return wait_fault(e, r, "bestmove", 0);
}

// "stop", then "bestmove" within the time-out.
Fault engine_stop(EngineSession& e, int64_t timeout_ms, SearchReply* reply) {
  Fault f = engine_send(e, "stop");
  if (f.kind != FaultKind::NONE) return f;
  std::string line;
  const WaitResult r = wait_for_word(e, "bestmove", now_ms() + timeout_ms, &line, reply);
  if (r == WaitResult::FOUND) {
    read_bestmove(line, reply);
    return Fault();
  }
  return wait_fault(e, r, "bestmove after stop", timeout_ms);
}

// "quit" and the end of the process.
void engine_quit(EngineSession& e) {
  if (e.process.pid <= 0) return;
  process_write_line(e.process, "quit");
  process_finish(e.process, QUIT_GRACE_MS);
}

// The "go" parameters of a time control.
std::string go_parameters(const TimeControl& tc, int64_t wtime, int64_t btime, int movestogo) {
  std::string go;
  if (tc.clock) {
    go += " wtime " + std::to_string(wtime) + " btime " + std::to_string(btime);
    if (tc.inc_ms)
      go += " winc " + std::to_string(tc.inc_ms) + " binc " + std::to_string(tc.inc_ms);
    if (movestogo > 0) go += " movestogo " + std::to_string(movestogo);
  }
  if (tc.movetime_ms) go += " movetime " + std::to_string(tc.movetime_ms);
  if (tc.depth) go += " depth " + std::to_string(tc.depth);
  if (tc.nodes) go += " nodes " + std::to_string(tc.nodes);
  return go;
}

// A crash fault: how the process ended and its last lines.
Fault crash_fault(EngineSession& e, const std::string& when) {
  // Collect what is still in the pipes, then give the process a moment to end.
  std::string line;
  std::vector<std::string> errors;
  while (process_read_line(e.process, 0, &line, &errors) == ReadResult::LINE)
    remember(e, "< ", line);
  process_drain_errors(e.process, CRASH_DRAIN_MS, &errors);
  for (const std::string& err : errors) remember(e, "! ", err);
  process_finish(e.process, CRASH_DRAIN_MS);
  return make_fault(e, FaultKind::CRASH,
                    "disconnected " + when + ": " + process_exit_text(e.process));
}

// Name of a fault kind for reports.
const char* fault_kind_name(FaultKind kind) {
  switch (kind) {
    case FaultKind::ILLEGAL:
      return "illegal move";
    case FaultKind::CRASH:
      return "crash";
    case FaultKind::STALL:
      return "stall";
    case FaultKind::TIME:
      return "time loss";
    default:
      return "none";
  }
}

}  // namespace kelmstrad::match
