#include "pgn_games.h"

#include <cctype>

namespace kelmstrad::tune {

namespace {

// The value of a tag line `[Name "Value"]`, or false when it is malformed.
bool read_tag(const std::string& line, std::string* name, std::string* value) {
  const size_t quote = line.find('"');
  const size_t last = line.rfind('"');
  if (line.back() != ']' || quote == std::string::npos || last == quote) return false;
  *name = line.substr(1, line.find_first_of(" \t") - 1);
  value->clear();
  for (size_t i = quote + 1; i < last; ++i) {
    if (line[i] == '\\' && i + 1 < last) ++i;
    *value += line[i];
  }
  return true;
}

bool is_result(const std::string& w) {
  return w == "1-0" || w == "0-1" || w == "1/2-1/2" || w == "*";
}

// Movetext state across lines: inside a comment or a variation, the comment
// so far, and whether the last move has had its comment.
struct Movetext {
  bool in_comment = false;
  bool move_commented = false;
  int variation_depth = 0;
  std::string comment;
  bool done = false;
};

// Takes one movetext word (no spaces, braces or parentheses inside).
void take_word(std::string word, PgnGame* game, Movetext* m) {
  if (is_result(word)) {
    m->done = true;
    return;
  }
  if (word[0] == '$') return;  // NAG
  size_t digits = 0;
  while (digits < word.size() && std::isdigit(static_cast<unsigned char>(word[digits]))) ++digits;
  if (digits > 0 && digits < word.size() && word[digits] == '.') {
    const size_t move = word.find_first_not_of("0123456789.");  // "12." or "12.e4"
    if (move == std::string::npos) return;
    word = word.substr(move);
  } else if (digits == word.size() || word.find_first_not_of('.') == std::string::npos) {
    return;  // a bare number or dots
  }
  game->moves.push_back(word);
  game->book.push_back(false);
  m->move_commented = false;
}

// Splits a movetext line into words, comments and variations.
void take_line(const std::string& line, PgnGame* game, Movetext* m) {
  std::string word;
  const auto flush = [&]() {
    if (!word.empty() && m->variation_depth == 0) take_word(word, game, m);
    word.clear();
  };
  for (size_t i = 0; i < line.size() && !m->done; ++i) {
    const char c = line[i];
    if (m->in_comment) {
      if (c == '}') {
        m->in_comment = false;
        // A closing comment ("Black mates") follows the last move's own one.
        if (m->variation_depth == 0 && !game->book.empty() && !m->move_commented) {
          game->book.back() = m->comment == "book" || m->comment.find('/') == std::string::npos;
          m->move_commented = true;
        }
      } else {
        m->comment += c;
      }
    } else if (c == '{') {
      flush();
      m->in_comment = true;
      m->comment.clear();
    } else if (c == ';') {
      break;
    } else if (c == '(') {
      flush();
      ++m->variation_depth;
    } else if (c == ')') {
      flush();
      if (m->variation_depth > 0) --m->variation_depth;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      flush();
    } else {
      word += c;
    }
  }
  if (!m->done) flush();
}

}  // namespace

bool read_pgn_game(std::istream& in, PgnGame* game, std::string* error) {
  error->clear();
  PgnGame g;
  Movetext m;
  bool started = false;
  std::string line;
  while (!m.done && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!m.in_comment && !line.empty() && line[0] == '[') {
      std::string name, value;
      if (!read_tag(line, &name, &value)) return *error = "malformed tag line: " + line, false;
      if (name == "FEN") g.fen = value;
      if (name == "Result") g.result = value;
      if (name == "Termination") g.termination = value;
      started = true;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string::npos && !m.in_comment) continue;
    started = true;
    take_line(line, &g, &m);
  }
  if (!started) return false;
  if (!m.done) return *error = "a game ends without a result", false;
  if (!is_result(g.result)) return *error = "a game has no Result tag", false;
  *game = g;
  return true;
}

}  // namespace kelmstrad::tune
