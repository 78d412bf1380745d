#include "pgn_positions.h"

#include <fstream>
#include <set>
#include <vector>

#include "param_file.h"

namespace kelmstrad::tune {

bool write_pgn_positions(const std::string& pgn_path, const std::string& out_path, int skip,
                         ExtractCounts* counts, std::string* error) {
  std::ifstream in(pgn_path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + pgn_path;
    return false;
  }
  prepare_filters();
  std::vector<std::string> lines;
  std::set<std::string> seen;
  PgnGame game;
  for (long number = 1; read_pgn_game(in, &game, error); ++number) {
    if (!extract_game(game, skip, &seen, &lines, counts, error)) {
      *error = pgn_path + " game " + std::to_string(number) + ": " + *error;
      return false;
    }
  }
  if (!error->empty()) {
    *error = pgn_path + ": " + *error;
    return false;
  }
  const ExtractCounts& c = *counts;
  std::string text = "# positions from " + pgn_path + ": " + std::to_string(c.games) +
                     " games (skipped " + std::to_string(c.skipped_games) +
                     " unfinished or faulty, " + std::to_string(c.repeated_games) + " repeated); " +
                     std::to_string(c.kept) + " kept, dropped " + std::to_string(c.book) +
                     " book, " + std::to_string(c.early) + " early, " + std::to_string(c.in_check) +
                     " in check, " + std::to_string(c.capture) + " capture, " +
                     std::to_string(c.not_quiet) + " not quiet\n";
  for (const std::string& line : lines) text += line + "\n";
  return write_file_atomically(out_path, text, error);
}

}  // namespace kelmstrad::tune
