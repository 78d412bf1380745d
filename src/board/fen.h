// The FEN reader and writer. The reader never fails: malformed text gives
// whatever position the reading rules yield (unknown characters skipped,
// missing fields defaulted).
#pragma once

#include <string>

namespace kelmstrad {

// Sets the whole position from FEN text; the move stack and the recapture
// square are left alone.
void parse_fen(const char* fen);

// The placement field (the first FEN field) of the position.
std::string fen_placement();

// The castling field of the position ("KQkq", "-" when no right is left).
std::string fen_castling();

// The whole FEN of the position, with the en-passant square as stored and
// the given full-move number.
std::string position_fen(int fullmove);

}  // namespace kelmstrad
