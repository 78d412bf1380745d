// PGN text of a finished game: the seven-tag roster, the start position when
// it is not the standard one, the termination, and the moves in SAN with a
// comment per move (the engine's score/depth and the time it used; "book" for
// opening moves). The last comment gives the reason of the result and, for a
// fault, the engine's last lines. Lines are wrapped before 80 characters.
#pragma once

#include <string>

#include "game.h"

namespace kelmstrad::match {

struct PgnOptions {
  std::string event = "?";
  std::string site = "?";
  bool minimal = false;  // no per-move comments
};

// The PGN record of a game, ending with an empty line.
std::string pgn_text(const GameRecord& game, const PgnOptions& options);

// The per-move comment text of an engine reply ("+0.25/12 0.123s", "-M3/20 1.5s").
std::string move_comment(const SearchReply& reply);

}  // namespace kelmstrad::match
