// Helpers shared by the book tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "board/position.h"
#include "driver/polyglot.h"

namespace kelmstrad::test {

constexpr const char* GNUCHESS_BOOK = "/usr/share/games/gnuchess/book.bin";

// True when Debian's gnuchess book can be read; the tests that need it skip otherwise.
inline bool gnuchess_book_readable() { return access(GNUCHESS_BOOK, R_OK) == 0; }

// Path of a fixture in tests/data/books.
inline std::string book_fixture(const std::string& name) {
  return std::string(KELMSTRAD_TEST_DATA) + "/books/" + name;
}

// Sets the start position and plays the moves of a space-separated list;
// fails the test at the first move that is unknown or illegal.
inline void play_from_start(const std::string& moves) {
  parse_fen(START_FEN);
  std::istringstream words(moves);
  std::string word;
  while (words >> word) {
    const Move move = parse_move_text(word.c_str());
    ASSERT_NE(move, 0) << word;
    ASSERT_TRUE(make_move(move)) << word;
  }
}

// The UCI text of a move of the current position, "none" for 0.
inline std::string text_of(Move move) { return move == 0 ? "none" : move_to_text(move); }

// Loads a Polyglot book file once per process (the engine never frees a
// book, so each stays held here); fails the test when it cannot be read.
inline PolyglotBook load_book(const std::string& path) {
  static auto* const loaded = new std::map<std::string, PolyglotBook>();
  auto found = loaded->find(path);
  if (found == loaded->end()) {
    PolyglotBook book;
    EXPECT_TRUE(load_polyglot_book(path.c_str(), &book)) << path;
    found = loaded->emplace(path, book).first;
  }
  return found->second;
}

// Writes bytes to a fresh temporary file and returns its path.
inline std::string write_temp_file(const std::vector<uint8_t>& bytes) {
  char path[] = "/tmp/kelmstrad_book_XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  FILE* f = fdopen(fd, "wb");
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  return path;
}

}  // namespace kelmstrad::test
