// Move ordering: move scores, the selection step, killers, history, counter
// moves, and the move picker that feeds the main search's move loop.
//
// move_scores[i] is the one-byte ordering score of move_stack[i]. Killers are
// one 32-bit word per ply (first killer in the low 16 bits, second in the
// high). history_scores and counter_moves are indexed by a full piece code
// (0..15) and a 64-square destination index (rank * 8 + file).
//
// Capture score (mover kind m, victim kind v on the destination, 0 if empty):
// a pawn move to the first or last rank scores 8v + 46; anything else
// (v ? 8v : 8) + 7 - m. So pawn takes queen 46, queen takes pawn 10, king
// takes pawn 9, en passant as a pawn capture, queen promotion 46.
//
// The move picker. The main search runs one MovePicker per node:
//
//   MovePicker picker;
//   picker_init(picker, hash_move, ply);          // hash_move from tt_probe_main, 0 if none
//   for (Move m; (m = picker_next(picker)) != 0;) {
//     ... make m (illegal moves are simply skipped by the caller), search, unmake ...
//     if (cut-off) { if m is quiet and not Skeleton: note_cutoff(m, ply, depth); break; }
//   }
//   move_stack_len = length remembered at node entry;
//
// It hands out, in this order, each move at most once:
//   1. the hash move, if move_is_pseudo_legal accepts it (else it is forgotten);
//   2. the tactical moves (generated on the move stack when this stage starts),
//      best capture score first; with BADLAST (and not Skeleton) a capture of a
//      cheaper piece (SEE values) whose see_full is negative is put aside
//      instead (at most 64; when the list is full it is handed out at once);
//   3. the first killer of the ply, 4. the second killer, each if non-zero,
//      not tactical now, pseudo-legal and not already handed out (not in Skeleton);
//   5. with CMOVE (not Skeleton): the counter move of the previous move in the
//      game line, under the same conditions;
//   6. the quiet moves, generated above the tactical ones: the first four by
//      pick_next (highest history first), the rest in stack order; in Skeleton
//      all in generation order. Moves handed out in stages 1, 3-5 are skipped
//      but still count towards the four;
//   7. the put-aside captures in the order they were put aside; then 0.
// Between two calls the caller must leave move_stack_len where the picker left
// it (child nodes restore it). Move generation, selection scans, exchange
// evaluations and castling tests made here are charged as usual.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int KILLER_PLIES = 64;
constexpr int MAX_DEFERRED_CAPTURES = 64;
constexpr int ORDERED_QUIETS = 4;

extern uint8_t move_scores[MOVE_STACK_CAPACITY];  // ordering score per move_stack entry
extern uint32_t killers[KILLER_PLIES];            // per ply: first killer low, second high
extern uint8_t history_scores[16][64];            // by piece code and destination index
extern Move counter_moves[16][64];                // by the previous move's piece and destination

extern bool bad_last_enabled;  // BADLAST: defer losing captures (fixed at first use)
extern bool cmove_enabled;     // CMOVE: counter moves (fixed at first use)

// Reads BADLAST and CMOVE once (later calls do nothing).
void ordering_settings_load();

// Writes the capture score of move_stack[i] into move_scores[i] for i in [first, end).
void score_captures(int first, int end);

// Writes the history score of move_stack[i] into move_scores[i] for i in [first, end).
void score_quiets(int first, int end);

// The best-scored move of [cursor, end) (earliest on ties), swapped to the
// cursor with its score; advances the cursor. 0 when the range is empty.
// Charges one PICK and one PICKSCAN per scanned move.
Move pick_next(uint16_t& cursor, int end);

// A quiet move failed high at ply with depth: updates the killers, the
// counter move (with CMOVE) and the history, halving the whole history table
// first when the entry would pass 255. Charges one CUTUPD.
void note_cutoff(Move move, int ply, int depth);

// First and second killer of a ply (0 for a ply outside the table).
Move first_killer(int ply);
Move second_killer(int ply);

// Search start: clears killers and counter moves and divides every history byte by 4.
void ordering_new_search();

// "ucinewgame": sets every history byte to 0.
void history_clear();

enum PickerStage : int {
  STAGE_HASH,
  STAGE_CAPTURES_INIT,
  STAGE_CAPTURES,
  STAGE_KILLER1,
  STAGE_KILLER2,
  STAGE_COUNTER,
  STAGE_QUIETS_INIT,
  STAGE_QUIETS,
  STAGE_DEFERRED,
  STAGE_DONE,
};

struct MovePicker {
  int stage;
  int ply;
  Move hash_move;       // 0 once rejected
  Move killer1_played;  // moves handed out by stages 3-5, 0 if not
  Move killer2_played;
  Move counter_played;
  uint16_t cursor;        // next move_stack entry of the current list
  uint16_t list_end;      // end of the current list
  uint16_t captures_end;  // end of the tactical list; quiet moves go above it
  int quiets_taken;
  int deferred_count;
  int deferred_next;
  Move deferred[MAX_DEFERRED_CAPTURES];
};

// Prepares a picker for a node at `ply` with the table's move (0 if none).
void picker_init(MovePicker& picker, Move hash_move, int ply);

// The next move to try at the node, or 0 when there are no more.
Move picker_next(MovePicker& picker);

}  // namespace kelmstrad
