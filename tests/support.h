// Helpers shared by the unit tests.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "io/output.h"
#include "uci/tokens.h"

namespace kelmstrad::test {

// Runs `body` with the output channel redirected and returns what it wrote.
inline std::string capture_output(const std::function<void()>& body) {
  FILE* sink = tmpfile();
  set_output_sink(sink);
  body();
  set_output_sink(nullptr);
  std::string text;
  rewind(sink);
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), sink)) > 0) text.append(chunk, n);
  fclose(sink);
  return text;
}

// Calls a command handler with an argument line.
inline void run_command(void (*handler)(TokenReader&), const std::string& args) {
  std::string copy = args;
  TokenReader tokens(copy.data());
  handler(tokens);
}

}  // namespace kelmstrad::test
