#include "uci/tokens.h"

#include <cstring>

namespace kelmstrad {

namespace {

constexpr const char* TOKEN_DELIMITERS = " \t\r\n";

}  // namespace

const char* TokenReader::next() {
  while (*cursor_ != '\0' && strchr(TOKEN_DELIMITERS, *cursor_) != nullptr) ++cursor_;
  if (*cursor_ == '\0') return nullptr;
  char* start = cursor_;
  while (*cursor_ != '\0' && strchr(TOKEN_DELIMITERS, *cursor_) == nullptr) ++cursor_;
  if (*cursor_ != '\0') *cursor_++ = '\0';
  return start;
}

}  // namespace kelmstrad
