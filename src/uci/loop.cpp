#include "uci/loop.h"

#include <cstring>
#include <string>
#include <vector>

#include "board/attack.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/position.h"
#include "clock/counters.h"
#include "driver/book.h"
#include "driver/think.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "io/env.h"
#include "io/output.h"
#include "io/switch_table.h"
#include "platform/platform.h"
#include "search/guards.h"
#include "uci/commands.h"
#include "uci/options.h"

namespace kelmstrad {

namespace {

constexpr const char* TOKEN_DELIMITERS = " \t\r\n";
constexpr size_t FEN_TEXT_LIMIT = 255;

void cmd_uci(TokenReader&) {
  uci_print(
      "id name Kelmstrad 2.2\nid author Orlenvey\n"
      "option name Ponder type check default true\n"
      "option name OwnBook type check default true\n"
      "option name RealSpeed type check default false\n"
      "option name VirtualClock type check default true\nuciok\n");
}

void cmd_isready(TokenReader&) { uci_print("readyok\n"); }

// "setoption name N value V": the second and fourth tokens are not looked at.
void cmd_setoption(TokenReader& tokens) {
  tokens.next();
  const char* name = tokens.next();
  tokens.next();
  const char* value = tokens.next();
  if (name == nullptr || value == nullptr) return;
  set_option(name, value);
}

// "ucinewgame": forgets what earlier games taught the search; the position stays.
void cmd_ucinewgame(TokenReader&) { new_game(); }

// "position [startpos | fen F...] [moves M...]". A position the engine cannot
// search safely is refused and the previous one kept.
void cmd_position(TokenReader& tokens) {
  static Position previous;
  const char* token = tokens.next();
  if (token == nullptr) return;
  previous = position;
  if (strcmp(token, "startpos") == 0) {
    parse_fen(START_FEN);
    token = tokens.next();
  } else if (strcmp(token, "fen") == 0) {
    std::string fen;
    while ((token = tokens.next()) != nullptr && strcmp(token, "moves") != 0) {
      fen += token;
      fen += ' ';
    }
    if (fen.size() > FEN_TEXT_LIMIT) fen.resize(FEN_TEXT_LIMIT);
    parse_fen(fen.c_str());
    if (const char* why = unplayable_reason()) {
      position = previous;
      uci_print("info string position refused: %s\n", why);
      return;
    }
  }
  if (token == nullptr || strcmp(token, "moves") != 0) return;
  std::vector<const char*> moves;
  while ((token = tokens.next()) != nullptr) moves.push_back(token);
  play_position_moves(moves.data(), static_cast<int>(moves.size()));
}

struct Command {
  const char* name;
  void (*run)(TokenReader&);
};

// The command table, in the order the loop tests it. "quit" is handled by
// the loop itself.
const Command COMMANDS[] = {
    {"uci", cmd_uci},
    {"setoption", cmd_setoption},
    {"phstat", cmd_phstat},
    {"isready", cmd_isready},
    {"ucinewgame", cmd_ucinewgame},
    {"position", cmd_position},
    {"go", cmd_go},
    {"perft", cmd_perft},
    {"skel", cmd_skel},
    {"skel2", cmd_skel2},
    {"skel3", cmd_skel3},
    {"skel4", cmd_skel4},
    {"perftx", cmd_perftx},
    {"d", cmd_d},
    {"eval", cmd_eval},
    {"seesign", cmd_seesign},
    {"pgkey", cmd_pgkey},
    {"bookkey", cmd_bookkey},
    {"seem", cmd_seem},
    {"seeleast", cmd_seeleast},
    {"nefeat", cmd_nefeat},
    {"termfeat", cmd_termfeat},
    {"mobstat", cmd_mobstat},
    {"termfeat3", cmd_termfeat3},
    {"tunefeat", cmd_tunefeat},
    {"qhist", cmd_qhist},
    {"vsdump", cmd_vsdump},
    {"costkeys", cmd_costkeys},
    {"histkeys", cmd_histkeys},
    {"dumpparams", cmd_dumpparams},
    {"tuneeval", cmd_tuneeval},
    {"evalskel", cmd_evalskel},
    {"evalskel2", cmd_evalskel2},
    {"evalskel2p", cmd_evalskel2},
    {"bench", cmd_bench},
};

// Reads one whole line of any length, every byte of it; false at the end of
// input. A NUL byte ends the command text (as in a C line buffer) but not the
// line, so the next line still starts after the line feed.
bool read_line(FILE* in, std::string* line) {
  line->clear();
  int c;
  while ((c = getc(in)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') return true;
  }
  return !line->empty();
}

// The first word of the line, at most 31 characters.
std::string command_word(const char* line) {
  const char* p = line;
  while (*p != '\0' && strchr(TOKEN_DELIMITERS, *p) != nullptr) ++p;
  std::string word;
  while (*p != '\0' && strchr(TOKEN_DELIMITERS, *p) == nullptr && word.size() < 31) word += *p++;
  return word;
}

}  // namespace

// Start-up in its fixed order.
void startup() {
  for (const EnvironmentSwitch& entry : ENVIRONMENT_SWITCHES)
    if (entry.shipped != nullptr && env_lookup(entry.name) == nullptr)
      env_assign(entry.name, entry.shipped);
  load_cost_table();
  attack_tables_init();
  castle_masks_init();
  eval_tables_init();
  phase_scale_init();
  load_eval_params();
  keys_init();
  if (env_int("NEXT", 0) != 0) {
    ply_limit = 60;
    stack_move_limit = 260;
    stack_budget = 1073741824;
  }
  parse_fen(START_FEN);
  setvbuf(stdout, nullptr, _IONBF, 0);
  const uint32_t calendar = static_cast<uint32_t>(calendar_seconds());
  random_state ^= static_cast<uint32_t>(process_clock_ms()) ^ (calendar * 0x9E3779B1u);
}

// One input line: the checks beside a running search, then the dispatch.
bool process_line(const char* line) {
  if (searching.load(std::memory_order_relaxed)) {
    const std::string word = command_word(line);
    if (word == "stop") {
      stop_flag.store(1, std::memory_order_relaxed);
      join_search_thread();
      return true;
    }
    if (word == "ponderhit") {
      ponderhit.store(1, std::memory_order_relaxed);
      return true;
    }
    if (word == "isready") {
      uci_print("readyok\n");
      return true;
    }
    if (word.empty()) return true;
    stop_flag.store(1, std::memory_order_relaxed);
  }
  join_search_thread();
  std::string copy(line);
  TokenReader tokens(copy.data());
  const char* first = tokens.next();
  if (first == nullptr) return true;
  if (strcmp(first, "quit") == 0) {
    stop_flag.store(1, std::memory_order_relaxed);
    join_search_thread();
    return false;
  }
  for (const Command& command : COMMANDS) {
    if (strcmp(first, command.name) == 0) {
      command.run(tokens);
      break;
    }
  }
  return true;
}

// At the end of input a search that would wait forever for "stop" or
// "ponderhit" (infinite, or pondering) is stopped so that it answers and the
// process ends; any other search runs to its own end first.
int command_loop(FILE* in) {
  std::string line;
  while (read_line(in, &line)) {
    if (!process_line(line.c_str())) return 0;
  }
  const bool waits_forever =
      infinite.load(std::memory_order_relaxed) ||
      (pondering.load(std::memory_order_relaxed) && !ponderhit.load(std::memory_order_relaxed));
  if (searching.load(std::memory_order_relaxed) && waits_forever)
    stop_flag.store(1, std::memory_order_relaxed);
  join_search_thread();
  return 0;
}

}  // namespace kelmstrad
