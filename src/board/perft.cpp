#include "board/perft.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "io/output.h"
#include "platform/platform.h"

namespace kelmstrad {

uint32_t csh;  // XOR of the side-aware keys of the perftx leaves
uint16_t csm;  // sum of the leaves' mg_score modulo 65536
uint16_t cse;  // sum of the leaves' eg_score modulo 65536

namespace {

constexpr const char* PIECE_LETTERS = ".PNBRQK";

// Folds the current position into the checksums.
void fold_leaf() {
  csh ^= position.hash ^ (position.side == BLACK ? side_key : 0);
  csm = static_cast<uint16_t>(csm + position.mg_score);
  cse = static_cast<uint16_t>(cse + position.eg_score);
}

// True if the side to move's king is not attacked (uncharged test), so its
// moves may take the shorter legality test.
bool king_is_safe() {
  const Side enemy = opponent(position.side);
  return !square_attacked(king_square(position.side), enemy);
}

// The shared walk: counts leaves below the current position, folding them
// into the checksums when CHECKSUM is set.
template <bool CHECKSUM>
uint64_t walk(int depth) {
  if (depth <= 0) {
    if (CHECKSUM) fold_leaf();
    return 1;
  }
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  const bool safe = king_is_safe();
  uint64_t leaves = 0;
  for (int i = mark; i < end; ++i) {
    if (!(safe ? make_move_king_safe(move_stack[i]) : make_move(move_stack[i]))) continue;
    leaves += walk<CHECKSUM>(depth - 1);
    unmake_move();
  }
  move_stack_len = mark;
  return leaves;
}

}  // namespace

// Counts the leaves of the legal tree; the position is unchanged afterwards.
uint64_t perft(int depth) { return walk<false>(depth); }

// Counts the leaves and folds each into csh, csm and cse.
uint64_t perft_checksum(int depth) { return walk<true>(depth); }

// Prints every legal root move with its subtree count, then the
// total and the elapsed milliseconds.
void perft_divide(int depth) {
  const uint16_t mark = move_stack_len;
  const int64_t start_ms = process_clock_ms();
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  uint64_t total = 0;
  for (int i = mark; i < end; ++i) {
    char text[8];
    snprintf(text, sizeof(text), "%s", move_to_text(move_stack[i]));
    if (!make_move(move_stack[i])) continue;
    const uint64_t count = depth < 2 ? 1 : perft(depth - 1);
    unmake_move();
    uci_print("%s: %llu\n", text, static_cast<unsigned long long>(count));
    total += count;
  }
  move_stack_len = mark;
  const long elapsed = static_cast<long>(process_clock_ms() - start_ms);
  uci_print("\nNodes: %llu  (%ld ms)\n", static_cast<unsigned long long>(total), elapsed);
}

// Prints the leaf count and the three checksums of the given depth.
void perftx_report(int depth) {
  csh = 0;
  csm = 0;
  cse = 0;
  const uint64_t nodes = perft_checksum(depth);
  uci_print("perftx nodes %llu csh %08lx csm %04x cse %04x\n",
            static_cast<unsigned long long>(nodes), static_cast<unsigned long>(csh),
            static_cast<unsigned>(csm), static_cast<unsigned>(cse));
}

// The diagram goes straight to the output (not through the line
// channel), rank 8 first; then the status line through the channel.
void print_diagram(int (*evaluation)()) {
  FILE* out = output_sink();
  for (int rank = 7; rank >= 0; --rank) {
    char line[18];
    for (int file = 0; file < 8; ++file) {
      const Piece p = position.board[rank * 16 + file];
      char letter = PIECE_LETTERS[piece_kind(p) < 7 ? piece_kind(p) : 0];
      if (piece_side(p) == BLACK && p != 0) letter = static_cast<char>(letter + 32);
      line[file * 2] = letter;
      line[file * 2 + 1] = ' ';
    }
    line[16] = '\n';
    line[17] = '\0';
    fputs(line, out);
  }
  fflush(out);
  const uint32_t key = position.hash ^ (position.side == BLACK ? side_key : 0);
  uci_print("side %c  castle %d  ep %02x  hash %08lx  eval %d\n",
            position.side == BLACK ? 'b' : 'w', position.castling, position.ep_square,
            static_cast<unsigned long>(key), evaluation());
}

// Prints the keys stored in the newest n history records.
void print_history_keys(int n) {
  uci_print("histkeys");
  for (int i = 0; i < n && position.history_top - 1 - i >= 0; ++i)
    uci_print(" %08x", static_cast<unsigned>(position.history[position.history_top - 1 - i].hash));
  uci_print("\n");
}

}  // namespace kelmstrad
