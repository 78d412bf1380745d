#include "selfplay.h"

#include <fstream>
#include <random>

#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "driver/limits.h"
#include "driver/think.h"
#include "eval/evaluate.h"
#include "referee.h"
#include "search/alpha_beta.h"
#include "search/score.h"
#include "uci/loop.h"

namespace kelmstrad::train_data {

namespace {

// Sets the engine's global position to the game so far, history included,
// so the search sees repetitions as it would in play.
void set_up(const match::GameState& state) {
  parse_fen(state.start_fen.c_str());
  std::vector<const char*> tokens;
  for (const std::string& m : state.moves) tokens.push_back(m.c_str());
  play_position_moves(tokens.data(), static_cast<int>(tokens.size()));
  move_stack_len = 0;
}

// The search of the current position at the node limit: score for the side
// to move and the move (0 when none was found).
// The limits in force before are put back.
FixedDepthResult search_position(uint32_t nodes) {
  const SearchLimits saved = search_limits;
  search_limits = depth_only_limits(MAX_SEARCH_DEPTH);
  search_limits.node_limit = nodes;
  prepare_root();
  const FixedDepthResult r = search_fixed_depth(MAX_SEARCH_DEPTH);
  search_limits = saved;
  return r;
}

// The result for White (0, 1, 2) of a game the rules ended.
int verdict_result(match::Verdict verdict, const match::GameState& state) {
  if (verdict != match::Verdict::CHECKMATE) return 1;
  return state.white_to_move ? 0 : 2;
}

// True when the move of the current position captures (en passant too) or
// promotes: the search saw a gain the static evaluation does not hold.
bool is_capture_or_promotion(Move m) {
  if (position.board[move_to(m)] != 0) return true;
  if (piece_kind(position.board[move_from(m)]) != PAWN) return false;
  const int rank = square_rank(move_to(m));
  return square_file(move_to(m)) != square_file(move_from(m)) || rank == 0 || rank == 7;
}

}  // namespace

bool read_openings(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  std::ifstream in(path);
  if (!in) return *error = "cannot read " + path, false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    lines->push_back(line);
  }
  if (lines->empty()) return *error = path + " holds no opening line", false;
  return true;
}

void selfplay_init() {
  startup();
  real_time_mode.store(0, std::memory_order_relaxed);
  stop_flag.store(0, std::memory_order_relaxed);
}

void play_game(const SelfplaySettings& settings, long game, std::vector<PackedPosition>* kept,
               SelfplayCounts* counts) {
  std::seed_seq seq{static_cast<uint32_t>(settings.seed),
                    static_cast<uint32_t>(settings.seed >> 32), static_cast<uint32_t>(game),
                    static_cast<uint32_t>(game >> 32)};
  std::mt19937_64 random(seq);
  new_game();
  pawn_hash_sim_clear();
  previous_iteration_best = 0;
  match::GameState state;
  std::string error;
  match::referee_start(state, "startpos", &error);
  // The opening: a book line (stopping where a move does not play), then random plies.
  const std::string& line = settings.openings[random() % settings.openings.size()];
  size_t start = 0;
  while (start < line.size()) {
    const size_t end =
        line.find(' ', start) == std::string::npos ? line.size() : line.find(' ', start);
    const std::string san = line.substr(start, end - start);
    start = end + 1;
    if (!san.empty() && !match::referee_play_any(state, san)) break;
  }
  const int extra =
      settings.random_plies == 0 ? 0 : static_cast<int>(random() % (settings.random_plies + 1));
  for (int i = 0; i < extra && match::referee_verdict(state) == match::Verdict::ONGOING; ++i) {
    set_up(state);
    const std::vector<Move> legal = legal_moves();
    match::referee_play(state, move_to_text(legal[random() % legal.size()]));
  }
  // The game: positions kept with their scores until the result is known.
  std::vector<PackedPosition> positions;
  int result = 1;
  bool just_captured = false;
  for (;;) {
    const match::Verdict verdict = match::referee_verdict(state);
    if (verdict != match::Verdict::ONGOING) {
      result = verdict_result(verdict, state);
      break;
    }
    if (static_cast<int>(state.moves.size()) >= settings.max_plies) break;
    set_up(state);
    const FixedDepthResult r = search_position(settings.nodes);
    set_up(state);
    const Move best = r.move != 0 ? r.move : legal_moves()[0];
    ++counts->searched;
    if (r.score > MATE_BOUND || r.score < -MATE_BOUND) {
      ++counts->mate_score;
      // A found mate decides the game: what follows teaches nothing new.
      result = (r.score > 0) == state.white_to_move ? 2 : 0;
      break;
    }
    if (state.in_check) {
      ++counts->in_check;
    } else if (just_captured || is_capture_or_promotion(best)) {
      ++counts->capture;
    } else {
      positions.push_back(pack_current_position(r.score, 1));
    }
    just_captured = is_capture_or_promotion(best);
    match::referee_play(state, move_to_text(best));
  }
  for (PackedPosition& p : positions) p.result = static_cast<uint8_t>(result);
  kept->insert(kept->end(), positions.begin(), positions.end());
  counts->kept += static_cast<long>(positions.size());
  ++counts->games;
}

}  // namespace kelmstrad::train_data
