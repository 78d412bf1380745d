#include "positions.h"

#include "board/fen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "eval/evaluate.h"
#include "referee.h"
#include "search/quiesce.h"
#include "search/switches.h"

namespace kelmstrad::tune {

void prepare_filters() {
  ensure_search_switches();
  // Each position stands alone: no table entry from an earlier one, and the
  // stand pat is always the full evaluation it is compared with.
  search_switches.qtt = 0;
  search_switches.lazyq = 0;
}

bool quiet_position() {
  node_count = 0;
  abort_search.store(0);
  qs_in_check = 0;
  qs_evasion = 0;
  qs_root_ply = 0;
  move_stack_len = 0;
  const int stand_pat = evaluate();
  return quiesce(-NO_SCORE, NO_SCORE, 0) == stand_pat;
}

const char* result_label(const std::string& result) {
  if (result == "1-0") return "1.0";
  if (result == "0-1") return "0.0";
  if (result == "1/2-1/2") return "0.5";
  return "";
}

bool extract_game(const PgnGame& game, int skip, std::set<std::string>* seen,
                  std::vector<std::string>* lines, ExtractCounts* counts, std::string* error) {
  const std::string label = result_label(game.result);
  // A fault (illegal move, crash, time) decides a game without a word from the board.
  if (label.empty() || (game.termination != "normal" && game.termination != "adjudication" &&
                        !game.termination.empty())) {
    ++counts->skipped_games;
    return true;
  }
  std::string identity = game.fen;
  for (const std::string& move : game.moves) identity += " " + move;
  if (seen->count(identity) != 0) {
    ++counts->repeated_games;
    return true;
  }
  match::GameState state;
  if (!match::referee_start(state, game.fen, error)) return false;
  std::vector<std::string> kept;
  ExtractCounts c;
  for (size_t i = 0; i < game.moves.size(); ++i) {
    const std::string& san = game.moves[i];
    if (game.book[i]) {
      ++c.book;
    } else if (static_cast<int>(i) < skip) {
      ++c.early;
    } else if (state.in_check) {
      ++c.in_check;
    } else if (san.find('x') != std::string::npos || san.find('=') != std::string::npos) {
      // The engine saw a gain the static evaluation does not hold.
      ++c.capture;
    } else {
      parse_fen(state.fen.c_str());
      if (quiet_position()) {
        kept.push_back(state.fen + " [" + label + "]");
        ++c.kept;
      } else {
        ++c.not_quiet;
      }
    }
    if (!match::referee_play_any(state, game.moves[i]))
      return *error = "cannot play move " + std::to_string(i + 1) + " \"" + game.moves[i] + "\"",
             false;
  }
  seen->insert(identity);
  lines->insert(lines->end(), kept.begin(), kept.end());
  ++counts->games;
  counts->book += c.book;
  counts->early += c.early;
  counts->in_check += c.in_check;
  counts->capture += c.capture;
  counts->not_quiet += c.not_quiet;
  counts->kept += c.kept;
  return true;
}

}  // namespace kelmstrad::tune
