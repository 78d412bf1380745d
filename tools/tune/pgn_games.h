// A reader of the games the match runner writes (-pgnout): the tags, the
// moves in SAN and which of them no search chose. The first comment after a
// move tells: "{book}" for a ply of the walked opening, "{0.01s}" (a time
// without "score/depth") for a reply from the engine's own book, "{+0.30/5
// 0.01s}" for a searched one; a move without a comment counts as searched.
// Later comments, ";" comments, NAGs and variations are skipped.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace kelmstrad::tune {

struct PgnGame {
  std::string fen = "startpos";  // FEN tag, or the standard start
  std::string result;            // Result tag: "1-0", "0-1", "1/2-1/2" or "*"
  std::string termination;       // Termination tag ("" when absent)
  std::vector<std::string> moves;
  std::vector<bool> book;  // per move: "{book}" or a comment without a score
};

// Reads the next game; false at the end of the input (game untouched) or on
// malformed text (`error` set, otherwise left empty).
bool read_pgn_game(std::istream& in, PgnGame* game, std::string* error);

}  // namespace kelmstrad::tune
