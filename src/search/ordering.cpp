#include "search/ordering.h"

#include <cstring>

#include "board/attack.h"
#include "board/move.h"
#include "board/movegen.h"
#include "clock/counters.h"
#include "io/env.h"
#include "io/options.h"
#include "platform/assert.h"
#include "search/see.h"

namespace kelmstrad {

uint8_t move_scores[MOVE_STACK_CAPACITY];  // scores of the list being picked from
uint32_t killers[KILLER_PLIES];            // two killers per ply, first in the low half
uint8_t history_scores[16][64];            // quiet cut-off history, bytes halved on overflow
Move counter_moves[16][64];                // reply that refuted the previous move

bool bad_last_enabled = false;  // replaced from BADLAST by ordering_settings_load
bool cmove_enabled = false;     // replaced from CMOVE by ordering_settings_load

namespace {

constexpr int HISTORY_MAX = 255;

bool ordering_settings_loaded = false;

// Loads the switches on first use.
inline void ensure_settings() {
  if (!ordering_settings_loaded) ordering_settings_load();
}

// The previous move of the game line, 0 when there is none or it was a null move.
const UndoRecord* previous_move_record() {
  if (position.history_top < 1) return nullptr;
  const UndoRecord& record = position.history[position.history_top - 1];
  return record.move == 0 ? nullptr : &record;
}

// Is a stored quiet move (killer or counter move) playable here and new at this node.
bool stored_quiet_usable(const MovePicker& picker, Move move) {
  if (move == 0 || move == picker.hash_move || move == picker.killer1_played ||
      move == picker.killer2_played)
    return false;
  return !move_is_tactical(move) && move_is_pseudo_legal(move);
}

// The killer for its stage when usable here, recorded in `played` so that the
// later stages skip it; 0 otherwise (and always in skeleton mode).
Move killer_candidate(const MovePicker& picker, Move killer, Move* played) {
  if (skeleton_mode || !stored_quiet_usable(picker, killer)) return 0;
  *played = killer;
  return killer;
}

// Should a picked capture be put aside: it takes a cheaper piece and loses
// by exchange. An empty destination (en passant, plain promotion) never is.
bool capture_is_bad(Move move) {
  const Piece victim = position.board[move_to(move)];
  if (victim == 0) return false;
  const int mover_value = SEE_VALUE[piece_kind(position.board[move_from(move)])];
  if (SEE_VALUE[piece_kind(victim)] >= mover_value) return false;
  return see_full(move) < 0;
}

// Stage 2: the next tactical move, deferring bad captures; 0 at the end.
Move next_capture(MovePicker& picker) {
  const bool may_defer = bad_last_enabled && !skeleton_mode;
  for (;;) {
    const Move move = pick_next(picker.cursor, picker.list_end);
    if (move == 0) return 0;
    if (move == picker.hash_move) continue;
    if (may_defer && picker.deferred_count < MAX_DEFERRED_CAPTURES && capture_is_bad(move)) {
      picker.deferred[picker.deferred_count++] = move;
      continue;
    }
    return move;
  }
}

// Stage 6: the next quiet move not handed out before; 0 at the end.
Move next_quiet(MovePicker& picker) {
  for (;;) {
    Move move;
    if (!skeleton_mode && picker.quiets_taken < ORDERED_QUIETS) {
      move = pick_next(picker.cursor, picker.list_end);
      if (move == 0) return 0;
    } else {
      if (picker.cursor >= picker.list_end) return 0;
      move = move_stack[picker.cursor++];
    }
    ++picker.quiets_taken;
    if (move == picker.hash_move || move == picker.killer1_played ||
        move == picker.killer2_played || move == picker.counter_played)
      continue;
    return move;
  }
}

// Stage 5: the counter move of the previous move, or 0.
Move counter_candidate(const MovePicker& picker) {
  if (!cmove_enabled || skeleton_mode) return 0;
  const UndoRecord* previous = previous_move_record();
  if (previous == nullptr) return 0;
  const Move move = counter_moves[previous->piece & 15][square64(move_to(previous->move))];
  return stored_quiet_usable(picker, move) ? move : 0;
}

}  // namespace

// Reads the ordering switches once.
void ordering_settings_load() {
  if (ordering_settings_loaded) return;
  ordering_settings_loaded = true;
  bad_last_enabled = env_present("BADLAST");
  cmove_enabled = env_present("CMOVE");
}

// Most valuable victim first, least valuable attacker second.
void score_captures(int first, int end) {
  for (int i = first; i < end; ++i) {
    const Move move = move_stack[i];
    const int to = move_to(move);
    const int mover = piece_kind(position.board[move_from(move)]);
    const int victim = piece_kind(position.board[to]);
    const int rank = square_rank(to);
    int score;
    if (mover == PAWN && (rank == 0 || rank == 7))
      score = 8 * victim + 46;
    else
      score = (victim != 0 ? 8 * victim : 8) + 7 - mover;
    move_scores[i] = static_cast<uint8_t>(score);
  }
}

// History byte of the moving piece and the destination.
void score_quiets(int first, int end) {
  for (int i = first; i < end; ++i) {
    const Move move = move_stack[i];
    move_scores[i] = history_scores[position.board[move_from(move)] & 15][square64(move_to(move))];
  }
}

// Selection step: one scan of the remaining range, one swap.
Move pick_next(uint16_t& cursor, int end) {
  ASSERT(end <= MOVE_STACK_CAPACITY);
  ++op_counters[PICK];
  if (cursor >= end) return 0;
  op_counters[PICKSCAN] += static_cast<uint32_t>(end - cursor);
  int best = cursor;
  for (int i = cursor + 1; i < end; ++i)
    if (move_scores[i] > move_scores[best]) best = i;
  const Move move = move_stack[best];
  move_stack[best] = move_stack[cursor];
  move_stack[cursor] = move;
  const uint8_t score = move_scores[best];
  move_scores[best] = move_scores[cursor];
  move_scores[cursor] = score;
  ++cursor;
  return move;
}

// Killers, counter move and history after a quiet cut-off.
void note_cutoff(Move move, int ply, int depth) {
  ensure_settings();
  ++op_counters[CUTUPD];
  if (ply >= 0 && ply < KILLER_PLIES && move != first_killer(ply))
    killers[ply] = (killers[ply] << 16) | move;
  if (cmove_enabled) {
    if (const UndoRecord* previous = previous_move_record())
      counter_moves[previous->piece & 15][square64(move_to(previous->move))] = move;
  }
  uint8_t& entry = history_scores[position.board[move_from(move)] & 15][square64(move_to(move))];
  const int bonus = depth * depth;
  if (entry + bonus > HISTORY_MAX) {
    for (auto& row : history_scores)
      for (uint8_t& byte : row) byte = static_cast<uint8_t>(byte >> 1);
  }
  const int h = entry + bonus;
  entry = static_cast<uint8_t>(h > HISTORY_MAX ? HISTORY_MAX : h);
}

Move first_killer(int ply) {
  return ply >= 0 && ply < KILLER_PLIES ? static_cast<Move>(killers[ply] & 0xffff) : 0;
}

Move second_killer(int ply) {
  return ply >= 0 && ply < KILLER_PLIES ? static_cast<Move>(killers[ply] >> 16) : 0;
}

// Forgets killers and counter moves; history fades to a quarter.
void ordering_new_search() {
  memset(killers, 0, sizeof(killers));
  memset(counter_moves, 0, sizeof(counter_moves));
  for (auto& row : history_scores)
    for (uint8_t& byte : row) byte = static_cast<uint8_t>(byte >> 2);
}

// Forgets all history.
void history_clear() { memset(history_scores, 0, sizeof(history_scores)); }

// A fresh picker starts at the hash-move stage.
void picker_init(MovePicker& picker, Move hash_move, int ply) {
  ensure_settings();
  picker.stage = STAGE_HASH;
  picker.ply = ply;
  picker.hash_move = hash_move;
  picker.killer1_played = 0;
  picker.killer2_played = 0;
  picker.counter_played = 0;
  picker.cursor = move_stack_len;
  picker.list_end = move_stack_len;
  picker.captures_end = move_stack_len;
  picker.quiets_taken = 0;
  picker.deferred_count = 0;
  picker.deferred_next = 0;
}

// Runs the stages in order until one yields a move.
Move picker_next(MovePicker& picker) {
  switch (picker.stage) {
    case STAGE_HASH:
      picker.stage = STAGE_CAPTURES_INIT;
      if (picker.hash_move != 0 && move_is_pseudo_legal(picker.hash_move)) return picker.hash_move;
      picker.hash_move = 0;
      [[fallthrough]];
    case STAGE_CAPTURES_INIT:
      picker.cursor = move_stack_len;
      generate_moves(true);
      picker.list_end = move_stack_len;
      score_captures(picker.cursor, picker.list_end);
      picker.stage = STAGE_CAPTURES;
      [[fallthrough]];
    case STAGE_CAPTURES:
      if (const Move move = next_capture(picker)) return move;
      picker.captures_end = picker.list_end;
      picker.stage = STAGE_KILLER1;
      [[fallthrough]];
    case STAGE_KILLER1:
      picker.stage = STAGE_KILLER2;
      if (const Move move =
              killer_candidate(picker, first_killer(picker.ply), &picker.killer1_played))
        return move;
      [[fallthrough]];
    case STAGE_KILLER2:
      picker.stage = STAGE_COUNTER;
      if (const Move move =
              killer_candidate(picker, second_killer(picker.ply), &picker.killer2_played))
        return move;
      [[fallthrough]];
    case STAGE_COUNTER:
      picker.stage = STAGE_QUIETS_INIT;
      if (const Move move = counter_candidate(picker)) {
        picker.counter_played = move;
        return move;
      }
      [[fallthrough]];
    case STAGE_QUIETS_INIT:
      move_stack_len = picker.captures_end;
      picker.cursor = move_stack_len;
      generate_moves(false);
      picker.list_end = move_stack_len;
      if (!skeleton_mode) score_quiets(picker.cursor, picker.list_end);
      picker.stage = STAGE_QUIETS;
      [[fallthrough]];
    case STAGE_QUIETS:
      if (const Move move = next_quiet(picker)) return move;
      picker.stage = STAGE_DEFERRED;
      [[fallthrough]];
    case STAGE_DEFERRED:
      if (picker.deferred_next < picker.deferred_count)
        return picker.deferred[picker.deferred_next++];
      picker.stage = STAGE_DONE;
      [[fallthrough]];
    default:
      return 0;
  }
}

}  // namespace kelmstrad
