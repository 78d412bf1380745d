#include "config.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "book_walk.h"
#include "fail.h"

namespace kelmstrad::match {

namespace {

constexpr const char* USAGE = R"(Usage: match -engine KEY=VALUE... -engine KEY=VALUE... [options]

Plays games between two UCI engines, refereed by Kelmstrad's own board.

Engine keys (after -engine, or after -each for both engines):
  cmd=COMMAND          command line of the engine (words split as a shell would)
  name=NAME            name in reports and PGN (default: the engine's "id name")
  arg=ARG              one more argument for the command (repeatable)
  dir=DIR              working directory of the engine
  env.NAME=VALUE       environment variable for this engine only
  option.NAME=VALUE    sends "setoption name NAME value VALUE" (quote names with spaces)
  tc=[MOVES/]BASE[+INC]  clock in seconds, e.g. 10+0.1, 40/60, 1:00+1, inf
  st=SECONDS           fixed time per move ("go movetime")
  movetime=MS          fixed time per move in milliseconds
  depth=N              "go depth N"
  nodes=N              "go nodes N"
  timemargin=MS        overrun of the clock or move time still tolerated (default 0)
  ponder               let the engine ponder ("go ponder", "ponderhit", "stop")

Options:
  -each KEY=VALUE...   engine keys for both engines (an engine's own keys win)
  -games N             number of games (default 2)
  -rounds N            number of opening pairs, i.e. -games 2N
  -openings file=FILE [order=sequential|random] [plies=N] [start=N]
                       openings, one per line: a FEN or EPD (optionally followed by
                       "moves ..."), or moves from the start position in UCI or SAN;
                       each opening is played twice with colours reversed
  -openings book=FILE plies=N
                       a walk of N plies through a Polyglot book per game pair,
                       each move drawn by its weight; lines that leave the book
                       or repeat an earlier one are drawn again
  -srand N             seed of the random opening order and of the book walk
                       (a book walk without it draws a seed and prints it)
  -concurrency N       games played at the same time (default 1)
  -pgnout FILE [min]   append the games to FILE in PGN; "min": no move comments
  -event NAME          PGN Event tag
  -sprt elo0=E0 elo1=E1 alpha=A beta=B
                       sequential probability ratio test on the first engine's
                       logistic Elo; the match stops as soon as it decides
  -timeout MS          time for "uciok", "readyok" and "bestmove" after "stop"
                       (default 5000); a silent engine loses as stalled
  -movewait MS         a move under depth or nodes only is stopped after MS
                       (default 60000)
  -maxmoves N          adjudicate a draw after N full moves (default: never)
  -strict first|second|both
                       exit with status 3 if that engine made any fault
  -h, -help            this text

Faults (illegal or unparsable bestmove, crash, stall, time loss) lose the game
and are printed with the engine's last lines ("<" output, "!" standard error).
The score, Elo difference and 95% error bar are from the first engine's view.
Exit status: 0 done, 1 bad command line, 2 the match could not run, 3 faults
of an engine named by -strict.
)";

// Splits "key=value" at the first "="; no "=" gives an empty value and has_value false.
void split_key(const std::string& arg, std::string* key, std::string* value, bool* has_value) {
  const size_t eq = arg.find('=');
  *has_value = eq != std::string::npos;
  *key = arg.substr(0, eq);
  *value = *has_value ? arg.substr(eq + 1) : "";
}

// Reads a whole non-negative integer; false on any other text.
bool read_int(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *out = std::atoll(text.c_str());
  return true;
}

// Reads seconds ("10", "0.5", "1:30") as milliseconds; false on bad text.
bool read_seconds(const std::string& text, int64_t* ms) {
  const size_t colon = text.find(':');
  int64_t minutes = 0;
  std::string rest = text;
  if (colon != std::string::npos) {
    if (!read_int(text.substr(0, colon), &minutes)) return false;
    rest = text.substr(colon + 1);
  }
  if (rest.empty() || rest.find_first_not_of("0123456789.") != std::string::npos ||
      std::count(rest.begin(), rest.end(), '.') > 1 || rest == ".")
    return false;
  *ms = minutes * 60000 + static_cast<int64_t>(std::llround(std::atof(rest.c_str()) * 1000));
  return true;
}

// Applies one engine key; false with a message on bad input.
bool apply_engine_key(EngineConfig* e, const std::string& arg, std::string* error) {
  std::string key, value;
  bool has_value = false;
  split_key(arg, &key, &value, &has_value);
  int64_t n = 0;
  if (key == "ponder" && !has_value) return e->ponder = true;
  if (!has_value) return fail(error, "engine key \"" + arg + "\" needs a value (KEY=VALUE)");
  if (key == "cmd")
    e->cmd = value;
  else if (key == "name")
    e->name = value;
  else if (key == "arg")
    e->args.push_back(value);
  else if (key == "dir")
    e->dir = value;
  else if (key.rfind("env.", 0) == 0 && key.size() > 4)
    e->env.emplace_back(key.substr(4), value);
  else if (key.rfind("option.", 0) == 0 && key.size() > 7)
    e->options.emplace_back(key.substr(7), value);
  else if (key == "tc") {
    if (!parse_time_control(value, &e->tc))
      return fail(error, "bad time control \"" + value + "\"");
  } else if (key == "st") {
    if (!read_seconds(value, &n) || n == 0) return fail(error, "bad move time \"" + value + "\"");
    e->tc.movetime_ms = n;
  } else if (key == "movetime" && read_int(value, &n) && n > 0)
    e->tc.movetime_ms = n;
  else if (key == "depth" && read_int(value, &n) && n > 0 && n < 1000)
    e->tc.depth = static_cast<int>(n);
  else if (key == "nodes" && read_int(value, &n) && n > 0)
    e->tc.nodes = static_cast<uint64_t>(n);
  else if (key == "timemargin" && read_int(value, &n))
    e->timemargin_ms = n;
  else if (key == "ponder" && (value == "true" || value == "on"))
    e->ponder = true;
  else if (key == "ponder" && (value == "false" || value == "off"))
    e->ponder = false;
  else
    return fail(error, "bad engine key \"" + arg + "\"");
  return true;
}

// Collects the KEY=VALUE words after an option word (up to the next "-word").
void collect_words(int argc, const char* const* argv, int* i, std::vector<std::string>* out) {
  while (*i + 1 < argc && argv[*i + 1][0] != '-') out->push_back(argv[++*i]);
}

// Reads the value of a numeric option; false with a message.
bool option_number(int argc, const char* const* argv, int* i, int64_t min, int64_t* out,
                   std::string* error) {
  const std::string name = argv[*i];
  if (*i + 1 >= argc || !read_int(argv[*i + 1], out) || *out < min) {
    *error = name + " needs a number" + (min > 0 ? " of at least " + std::to_string(min) : "");
    return false;
  }
  ++*i;
  return true;
}

// Reads "-openings file=F order=... plies=N start=N".
bool parse_openings_option(const std::vector<std::string>& words, MatchConfig* c,
                           std::string* error) {
  for (const std::string& w : words) {
    std::string key, value;
    bool has_value = false;
    int64_t n = 0;
    split_key(w, &key, &value, &has_value);
    if (key == "file" && has_value && !value.empty())
      c->openings_file = value;
    else if (key == "book" && has_value && !value.empty())
      c->openings_book = value;
    else if (key == "order" && (value == "random" || value == "sequential"))
      c->openings_random = value == "random";
    else if (key == "plies" && read_int(value, &n))
      c->openings_plies = static_cast<int>(n);
    else if (key == "start" && read_int(value, &n) && n >= 1)
      c->openings_start = static_cast<int>(n);
    else if (key == "format")
      continue;  // the format of each line is recognised by itself
    else
      return fail(error, "bad -openings key \"" + w + "\"");
  }
  if (c->openings_file.empty() == c->openings_book.empty())
    return fail(error, "-openings needs file=FILE or book=FILE");
  if (!c->openings_book.empty() && c->openings_plies <= 0)
    return fail(error, "-openings book=FILE needs plies=N (at least 1)");
  return true;
}

// Reads "-sprt elo0=.. elo1=.. alpha=.. beta=..".
bool parse_sprt_option(const std::vector<std::string>& words, MatchConfig* c, std::string* error) {
  for (const std::string& w : words) {
    std::string key, value;
    bool has_value = false;
    split_key(w, &key, &value, &has_value);
    char* end = nullptr;
    const double x = std::strtod(value.c_str(), &end);
    if (!has_value || value.empty() || *end != '\0')
      return fail(error, "bad -sprt value \"" + w + "\"");
    if (key == "elo0")
      c->sprt_setup.elo0 = x;
    else if (key == "elo1")
      c->sprt_setup.elo1 = x;
    else if (key == "alpha")
      c->sprt_setup.alpha = x;
    else if (key == "beta")
      c->sprt_setup.beta = x;
    else
      return fail(error, "bad -sprt key \"" + w + "\"");
  }
  const SprtSetup& s = c->sprt_setup;
  if (!(s.alpha > 0 && s.alpha < 0.5 && s.beta > 0 && s.beta < 0.5))
    return fail(error, "-sprt needs 0 < alpha, beta < 0.5");
  if (!(s.elo1 > s.elo0)) return fail(error, "-sprt needs elo1 > elo0");
  return c->sprt = true;
}

// Checks that both engines are complete.
bool check_engines(const MatchConfig& c, std::string* error) {
  for (int i = 0; i < 2; ++i) {
    const EngineConfig& e = c.engines[i];
    const std::string which = i == 0 ? "first" : "second";
    if (e.cmd.empty()) return fail(error, "the " + which + " engine needs cmd=COMMAND");
    const TimeControl& t = e.tc;
    if (!t.clock && !t.movetime_ms && !t.depth && !t.nodes)
      return fail(error,
                  "the " + which + " engine has no time control (tc=, st=, depth= or nodes=)");
  }
  return true;
}

// True for a movetext token that is no move: a move number or a result.
bool is_move_number_or_result(const std::string& w) {
  if (w == "*" || w == "1-0" || w == "0-1" || w == "1/2-1/2") return true;
  const size_t digits = w.find_first_not_of("0123456789");
  return digits > 0 && digits != std::string::npos &&
         w.find_first_not_of('.', digits) == std::string::npos;
}

}  // namespace

// The usage text printed by -h.
const char* usage_text() { return USAGE; }

// Reads the command line into the config.
bool parse_command_line(int argc, const char* const* argv, MatchConfig* c, std::string* error) {
  std::vector<std::string> engine_words[2], each_words;
  int engines = 0;
  int64_t n = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    std::vector<std::string> words;
    if (opt == "-h" || opt == "-help" || opt == "--help") return c->help = true;
    if (opt == "-engine") {
      if (engines == 2) return fail(error, "more than two -engine options");
      collect_words(argc, argv, &i, &engine_words[engines++]);
    } else if (opt == "-each") {
      collect_words(argc, argv, &i, &each_words);
    } else if (opt == "-games" || opt == "-rounds") {
      if (!option_number(argc, argv, &i, 1, &n, error)) return false;
      c->games = static_cast<int>(opt == "-games" ? n : 2 * n);
    } else if (opt == "-concurrency") {
      if (!option_number(argc, argv, &i, 1, &n, error)) return false;
      c->concurrency = static_cast<int>(std::min<int64_t>(n, 256));
    } else if (opt == "-openings") {
      collect_words(argc, argv, &i, &words);
      if (!parse_openings_option(words, c, error)) return false;
    } else if (opt == "-srand") {
      if (!option_number(argc, argv, &i, 0, &n, error)) return false;
      c->seed = static_cast<uint32_t>(n);
      c->seed_given = true;
    } else if (opt == "-pgnout") {
      collect_words(argc, argv, &i, &words);
      if (words.empty() || words.size() > 2 || (words.size() == 2 && words[1] != "min"))
        return fail(error, "-pgnout needs FILE [min]");
      c->pgn_file = words[0];
      c->pgn.minimal = words.size() == 2;
    } else if (opt == "-event") {
      if (i + 1 >= argc) return fail(error, "-event needs a name");
      c->pgn.event = argv[++i];
    } else if (opt == "-sprt") {
      collect_words(argc, argv, &i, &words);
      if (!parse_sprt_option(words, c, error)) return false;
    } else if (opt == "-timeout" || opt == "-movewait") {
      if (!option_number(argc, argv, &i, 1, &n, error)) return false;
      (opt == "-timeout" ? c->timeout_ms : c->movewait_ms) = n;
    } else if (opt == "-maxmoves") {
      if (!option_number(argc, argv, &i, 1, &n, error)) return false;
      c->maxmoves = static_cast<int>(n);
    } else if (opt == "-strict") {
      const std::string v = i + 1 < argc ? argv[++i] : "";
      c->strict = v == "first" ? 1 : v == "second" ? 2 : v == "both" ? 3 : 0;
      if (c->strict == 0) return fail(error, "-strict needs first, second or both");
    } else {
      return fail(error, "unknown option \"" + opt + "\" (see -h)");
    }
  }
  for (int e = 0; e < 2; ++e) {
    for (const std::string& w : each_words)
      if (!apply_engine_key(&c->engines[e], w, error)) return false;
    for (const std::string& w : engine_words[e])
      if (!apply_engine_key(&c->engines[e], w, error)) return false;
  }
  if (engines != 2) return fail(error, "two -engine options are needed (see -h)");
  return check_engines(*c, error);
}

// Reads a time control "[moves/]base[+inc]".
bool parse_time_control(const std::string& text, TimeControl* tc) {
  if (text == "inf" || text == "infinite") {
    tc->clock = false;
    return true;
  }
  std::string rest = text;
  int64_t moves = 0, base = 0, inc = 0;
  const size_t slash = rest.find('/');
  if (slash != std::string::npos) {
    if (!read_int(rest.substr(0, slash), &moves) || moves == 0) return false;
    rest = rest.substr(slash + 1);
  }
  const size_t plus = rest.find('+');
  if (plus != std::string::npos && !read_seconds(rest.substr(plus + 1), &inc)) return false;
  if (!read_seconds(rest.substr(0, plus), &base)) return false;
  if (base <= 0 && inc <= 0) return false;
  tc->clock = true;
  tc->moves = static_cast<int>(moves);
  tc->base_ms = std::max<int64_t>(base, 1);
  tc->inc_ms = inc;
  return true;
}

// Parses one line of an openings file into an opening (not yet checked for legality).
bool parse_opening_line(const std::string& line, Opening* opening, std::string* error) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  *opening = Opening();
  if (words.empty()) return fail(error, "empty line");
  size_t next = 0;
  if (words[0].find('/') != std::string::npos) {
    if (words.size() < 4) return fail(error, "a FEN needs at least four fields");
    opening->fen = words[0] + " " + words[1] + " " + words[2] + " " + words[3];
    next = 4;
    const auto number = [&](size_t k) {
      return k < words.size() && words[k].find_first_not_of("0123456789") == std::string::npos;
    };
    if (number(4) && number(5)) opening->fen += " " + words[4] + " " + words[5], next = 6;
    while (next < words.size() && words[next] != "moves") ++next;  // EPD opcodes
    ++next;
  }
  for (; next < words.size(); ++next)
    if (!is_move_number_or_result(words[next])) opening->moves.push_back(words[next]);
  return true;
}

// Loads, checks, orders and cuts the openings.
bool load_openings(MatchConfig* c, std::vector<std::string>* warnings, std::string* error) {
  c->openings.clear();
  if (!c->openings_book.empty()) {
    if (!c->seed_given) c->seed = std::random_device()();
    return walk_book_lines(c->openings_book, c->openings_plies, (c->games + 1) / 2, c->seed,
                           &c->openings, error);
  }
  if (c->openings_file.empty()) {
    c->openings.push_back(Opening{"startpos", {}, "start position"});
    return true;
  }
  std::ifstream file(c->openings_file);
  if (!file) return fail(error, "cannot read openings file \"" + c->openings_file + "\"");
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
    Opening o;
    std::string why;
    GameState state;
    if (parse_opening_line(line, &o, &why)) {
      if (c->openings_plies > 0 && static_cast<int>(o.moves.size()) > c->openings_plies)
        o.moves.resize(c->openings_plies);
      o.source = c->openings_file + ":" + std::to_string(number);
      if (opening_state(o, &state, &why)) {
        // Keep the moves as UCI text, whatever notation the file used.
        o.moves.assign(state.moves.begin(), state.moves.end());
        c->openings.push_back(o);
        continue;
      }
    }
    warnings->push_back(c->openings_file + ":" + std::to_string(number) + ": " + why +
                        " (skipped)");
  }
  if (c->openings.empty()) return fail(error, "no usable opening in \"" + c->openings_file + "\"");
  if (c->openings_random)
    std::shuffle(c->openings.begin(), c->openings.end(), std::mt19937(c->seed));
  const size_t start = static_cast<size_t>(c->openings_start - 1) % c->openings.size();
  std::rotate(c->openings.begin(), c->openings.begin() + static_cast<long>(start),
              c->openings.end());
  return true;
}

}  // namespace kelmstrad::match
