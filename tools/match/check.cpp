#include "check.h"

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "referee.h"

namespace kelmstrad::match {

namespace {

constexpr const char* CHECK_FEN =
    "r1bqkb1r/1p2pppp/p1n2n2/2pp4/3P1B2/2P2N2/PP1NPPPP/R2QKB1R w KQkq - 0 6";

constexpr const char* CHECK_USAGE = R"(Usage: uci_check [options] COMMAND [ARGS...]

Checks that a UCI engine answers as GUIs and match managers expect: the "uci"
block, every declared option set to its default, "isready" at every stage,
"position startpos"/"fen", "go wtime 100 btime 100", "go wtime 100 winc 100
btime 100 binc 100", "stop" during "go infinite", "go ponder" with
"ponderhit" and with "stop", and "quit". Every "bestmove" must follow an info
line with a score whose PV starts with the move answered, and every PV must be
legal to its end and stop where the game ends (mate, stalemate, threefold
repetition, fifty-move rule). A book answer, announced by "info string book"
just before it, needs no info line.

Options:
  -timeout MS          answer time for uciok, readyok, stop and quit (default 5000)
  -margin MS           lateness tolerated for a timed go (default 200)
  -quiet MS            how long go infinite / go ponder must not answer (default 300)
  -option NAME=VALUE   send "setoption name NAME value VALUE" after "uciok"
  -env NAME=VALUE      environment variable for the engine
  -h                   this text
Exit status: 0 every step passed, 1 bad command line, 4 a step failed.
)";

struct Checker {
  const CheckSetup* setup = nullptr;
  FILE* out = nullptr;
  EngineSession e;
  std::vector<std::string> transcript;  // every output line of the engine
  GameState state;                      // the position the engine was given
  CheckResult result;
};

// "" when the engine answers "isready" within the time-out, else what went wrong.
std::string expect_ready(Checker& c) {
  if (!process_write_line(c.e.process, "isready")) return "engine does not read its input";
  std::string line;
  const int64_t timeout = c.setup->timeout_ms;
  const WaitResult r = wait_for_word(c.e, "readyok", now_ms() + timeout, &line, nullptr);
  if (r == WaitResult::FOUND) return "";
  if (r == WaitResult::CLOSED) return "engine disconnected";
  return "no readyok within " + std::to_string(timeout) + " ms";
}

// Sets the position in the engine and in the referee, then synchronises.
std::string send_position(Checker& c, const std::string& fen, const std::string& moves) {
  std::string error;
  referee_start(c.state, fen, &error);
  std::istringstream in(moves);
  for (std::string m; in >> m;) referee_play(c.state, m);
  if (!process_write_line(c.e.process, position_command(c.state)))
    return "engine does not read its input";
  return expect_ready(c);
}

// The moves after "pv" in an info line (empty when it has none).
std::vector<std::string> pv_moves(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> moves;
  bool in_pv = false;
  for (std::string word; in >> word;) {
    if (in_pv) moves.push_back(word);
    if (word == "pv") in_pv = true;
  }
  return moves;
}

// "" when the PV is legal from the checked position to its end and stops where
// the game ends, else what is wrong.
std::string check_pv(const GameState& start, const std::vector<std::string>& pv) {
  GameState state = start;
  for (size_t i = 0; i < pv.size(); ++i) {
    const Verdict v = referee_verdict(state);
    if (v != Verdict::ONGOING && v != Verdict::INSUFFICIENT_MATERIAL)
      return "PV continues after the end of the game at \"" + pv[i] + "\"";
    if (referee_play(state, pv[i]) != MoveCheck::LEGAL) return "illegal PV move \"" + pv[i] + "\"";
  }
  return "";
}

// The lines of the search that just answered (after the previous "bestmove"):
// every PV legal and ending with the game, and the last info line with a
// score has a PV starting with the move answered (unless the answer came
// from the book, announced by "info string book" just before it).
std::string check_search_lines(const Checker& c, const std::string& move) {
  size_t first = c.transcript.size() - 1;  // the "bestmove" line itself
  while (first > 0 && c.transcript[first - 1].rfind("bestmove", 0) != 0) --first;
  std::string last_scored;
  for (size_t i = first; i + 1 < c.transcript.size(); ++i) {
    const std::string& line = c.transcript[i];
    if (line.rfind("info ", 0) != 0 || line.rfind("info string", 0) == 0) continue;
    const std::string wrong = check_pv(c.state, pv_moves(line));
    if (!wrong.empty()) return wrong + " in \"" + line + "\"";
    if (line.find(" score ") != std::string::npos) last_scored = line;
  }
  // A book answer, announced as such, is not a search and has no search line.
  if (last_scored.empty() && c.transcript.size() >= 2 &&
      c.transcript[c.transcript.size() - 2] == "info string book")
    return "";
  if (last_scored.empty()) return "no info line with a score before \"bestmove " + move + "\"";
  const std::vector<std::string> pv = pv_moves(last_scored);
  if (pv.empty() || pv[0] != move)
    return "bestmove " + move + " is not the first move of the last PV in \"" + last_scored + "\"";
  return "";
}

// "" when a legal "bestmove" (with a legal ponder move, if any) arrives within
// allowed_ms. The report names the allowance itself, not a clock reading, so it
// does not vary with how long the call was in coming.
std::string expect_bestmove(Checker& c, int64_t allowed_ms, const std::string& what) {
  std::string line;
  const WaitResult r = wait_for_word(c.e, "bestmove", now_ms() + allowed_ms, &line, nullptr);
  if (r == WaitResult::CLOSED) return "engine disconnected";
  if (r != WaitResult::FOUND)
    return "no bestmove within " + std::to_string(allowed_ms) + " ms " + what;
  std::istringstream in(line);
  std::string word, move, ponder;
  in >> word >> move;
  while (in >> word)
    if (word == "ponder") in >> ponder;
  GameState after = c.state;
  if (referee_play(after, move) != MoveCheck::LEGAL) return "illegal bestmove \"" + move + "\"";
  if (!ponder.empty() && !referee_is_legal(after, ponder))
    return "illegal ponder move \"" + ponder + "\"";
  return check_search_lines(c, move);
}

// "" when no "bestmove" comes for the quiet time (a search that must wait for the GUI).
std::string expect_quiet(Checker& c) {
  std::string line;
  const WaitResult r = wait_for_word(c.e, "bestmove", now_ms() + c.setup->quiet_ms, &line, nullptr);
  if (r == WaitResult::FOUND) return "answered \"" + line + "\" before being told to";
  if (r == WaitResult::CLOSED) return "engine disconnected";
  return "";
}

// Sends a line and answers "" or the failure.
std::string send(Checker& c, const std::string& line) {
  return process_write_line(c.e.process, line) ? "" : "engine does not read its input";
}

// Checks the lines of the "uci" block seen so far.
std::string check_uci_block(const std::vector<std::string>& lines) {
  bool name = false, author = false;
  for (const std::string& l : lines) {
    name |= l.rfind("id name ", 0) == 0;
    author |= l.rfind("id author ", 0) == 0;
    if (l.rfind("option ", 0) != 0) continue;
    std::istringstream in(l);
    std::string word, type;
    bool has_name = false;
    while (in >> word) {
      has_name |= word == "name";
      if (word == "type") in >> type;
    }
    const bool known = type == "check" || type == "spin" || type == "combo" || type == "button" ||
                       type == "string";
    if (!has_name || !known) return "malformed option line \"" + l + "\"";
  }
  if (!name) return "no \"id name\" line";
  if (!author) return "no \"id author\" line";
  return "";
}

// Name and default of each declared option that has one (a button has none).
std::vector<std::pair<std::string, std::string>> declared_defaults(
    const std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, std::string>> options;
  for (const std::string& l : lines) {
    if (l.rfind("option ", 0) != 0) continue;
    std::istringstream in(l);
    std::string word, name, value, *field = nullptr;
    bool has_default = false;
    in >> word;
    while (in >> word) {
      if (word == "name") {
        field = &name;
      } else if (word == "default") {
        field = &value;
        has_default = true;
      } else if (word == "type" || word == "min" || word == "max" || word == "var") {
        field = nullptr;
        if (word == "type") in >> word;
      } else if (field != nullptr) {
        *field += (field->empty() ? "" : " ") + word;
      }
    }
    if (!name.empty() && has_default) options.emplace_back(name, value);
  }
  return options;
}

// Runs one step and reports it; false when it failed.
bool step(Checker& c, const std::string& name, const std::function<std::string()>& body) {
  const int64_t start = now_ms();
  const std::string failure = body();
  const int64_t took = now_ms() - start;
  if (failure.empty()) {
    ++c.result.passed;
    std::fprintf(c.out, "ok    %-44s %5lld ms\n", name.c_str(), static_cast<long long>(took));
    std::fflush(c.out);
    return true;
  }
  ++c.result.failed;
  if (c.result.first_failure.empty()) c.result.first_failure = name;
  std::fprintf(c.out, "FAIL  %s: %s\n", name.c_str(), failure.c_str());
  for (const std::string& l : c.e.last_lines) std::fprintf(c.out, "      %s\n", l.c_str());
  std::fflush(c.out);
  return false;
}

// The "uci" handshake and the idle synchronisations.
bool check_start(Checker& c) {
  const int64_t timeout = c.setup->timeout_ms;
  return step(c, "uci block ending in uciok",
              [&] {
                ProcessSetup launch;
                launch.argv = split_command_line(c.setup->engine.cmd);
                launch.argv.insert(launch.argv.end(), c.setup->engine.args.begin(),
                                   c.setup->engine.args.end());
                launch.env = c.setup->engine.env;
                std::string error, line;
                if (!process_start(c.e.process, launch, &error)) return error;
                if (!send(c, "uci").empty()) return std::string("engine does not read its input");
                const WaitResult r =
                    wait_for_word(c.e, "uciok", now_ms() + timeout, &line, nullptr);
                if (r == WaitResult::CLOSED) return std::string("engine disconnected");
                if (r != WaitResult::FOUND)
                  return "no uciok within " + std::to_string(timeout) + " ms";
                const std::string block = check_uci_block(c.transcript);
                if (!block.empty()) return block;
                for (const auto& [n, v] : declared_defaults(c.transcript))
                  send(c, "setoption name " + n + " value " + v);
                for (const auto& [n, v] : c.setup->engine.options)
                  send(c, "setoption name " + n + " value " + v);
                return std::string();
              }) &&
         step(c, "isready after setting every option", [&] { return expect_ready(c); }) &&
         step(c, "isready after ucinewgame", [&] {
           const std::string f = send(c, "ucinewgame");
           return f.empty() ? expect_ready(c) : f;
         });
}

// The timed searches on the start position and on a FEN.
bool check_timed_go(Checker& c) {
  const int64_t margin = c.setup->margin_ms;
  return step(c, "position startpos, isready", [&] { return send_position(c, "startpos", ""); }) &&
         step(c, "go wtime 100 btime 100",
              [&] {
                const std::string f = send(c, "go wtime 100 btime 100");
                return f.empty() ? expect_bestmove(c, 100 + margin, "(100 ms clock)") : f;
              }) &&
         step(c, "isready after a search", [&] { return expect_ready(c); }) &&
         step(c, "position fen, isready", [&] { return send_position(c, CHECK_FEN, ""); }) &&
         step(c, "go wtime 100 winc 100 btime 100 binc 100", [&] {
           const std::string f = send(c, "go wtime 100 winc 100 btime 100 binc 100");
           return f.empty() ? expect_bestmove(c, 100 + margin, "(100 ms clock)") : f;
         });
}

// "go infinite" with "isready" and "stop"; "go ponder" with "ponderhit" and with "stop".
bool check_waiting_searches(Checker& c) {
  const int64_t timeout = c.setup->timeout_ms, margin = c.setup->margin_ms;
  const auto start_ponder = [&] {
    std::string f = send_position(c, "startpos", "e2e4 e7e5 f1c4");
    if (f.empty()) f = send(c, "go ponder wtime 1000 btime 1000");
    if (f.empty()) f = expect_quiet(c);
    return f.empty() ? expect_ready(c) : f;
  };
  return step(c, "position startpos moves, isready",
              [&] { return send_position(c, "startpos", "e2e4 e7e5"); }) &&
         step(c, "go infinite keeps searching",
              [&] {
                const std::string f = send(c, "go infinite");
                return f.empty() ? expect_quiet(c) : f;
              }) &&
         step(c, "isready during go infinite", [&] { return expect_ready(c); }) &&
         step(c, "stop ends go infinite with bestmove",
              [&] {
                const std::string f = send(c, "stop");
                return f.empty() ? expect_bestmove(c, timeout, "after stop") : f;
              }) &&
         step(c, "go ponder waits; isready answered", start_ponder) &&
         step(c, "ponderhit, then bestmove in time",
              [&] {
                const std::string f = send(c, "ponderhit");
                return f.empty()
                           ? expect_bestmove(c, 1000 + margin, "after ponderhit (1000 ms clock)")
                           : f;
              }) &&
         step(c, "go ponder waits again", start_ponder) &&
         step(c, "stop ends go ponder with bestmove", [&] {
           const std::string f = send(c, "stop");
           return f.empty() ? expect_bestmove(c, timeout, "after stop") : f;
         });
}

// "quit" ends the process within the time-out.
bool check_quit(Checker& c) {
  return step(c, "quit ends the engine", [&] {
    send(c, "quit");
    const int64_t deadline = now_ms() + c.setup->timeout_ms;
    while (!process_reap_nowait(c.e.process) && now_ms() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!c.e.process.reaped)
      return "still running " + std::to_string(c.setup->timeout_ms) + " ms after quit";
    return std::string();
  });
}

}  // namespace

// Runs every step, stopping at the first failure.
CheckResult run_uci_check(const CheckSetup& setup, FILE* out) {
  Checker c;
  c.setup = &setup;
  c.out = out;
  c.e.config = &setup.engine;
  c.e.transcript = &c.transcript;
  if (check_start(c) && check_timed_go(c) && check_waiting_searches(c)) check_quit(c);
  process_kill(c.e.process);
  std::fprintf(out, "%s: %d steps passed, %d failed\n", c.result.failed ? "FAILED" : "PASSED",
               c.result.passed, c.result.failed);
  return c.result;
}

// The compliance check tool.
int check_main(int argc, const char* const* argv) {
  CheckSetup setup;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string opt = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    const size_t eq = value.find('=');
    if (opt == "-h" || opt == "-help" || opt == "--help") {
      std::fputs(CHECK_USAGE, stdout);
      return 0;
    }
    if ((opt == "-timeout" || opt == "-margin" || opt == "-quiet") && !value.empty() &&
        value.find_first_not_of("0123456789") == std::string::npos) {
      (opt == "-timeout"  ? setup.timeout_ms
       : opt == "-margin" ? setup.margin_ms
                          : setup.quiet_ms) = std::atoll(value.c_str());
    } else if ((opt == "-option" || opt == "-env") && eq != std::string::npos && eq > 0) {
      auto& list = opt == "-option" ? setup.engine.options : setup.engine.env;
      list.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else {
      std::fprintf(stderr, "uci_check: bad option \"%s\" (see -h)\n", opt.c_str());
      return 1;
    }
    ++i;
  }
  if (i >= argc) {
    std::fprintf(stderr, "uci_check: no engine command (see -h)\n");
    return 1;
  }
  setup.engine.cmd = argv[i];
  for (++i; i < argc; ++i) setup.engine.args.push_back(argv[i]);
  referee_init();
  return run_uci_check(setup, stdout).failed == 0 ? 0 : 4;
}

}  // namespace kelmstrad::match
