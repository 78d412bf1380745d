// Command-line tokens, split the way strtok splits on " \t\r\n". Command
// handlers of every subsystem take their arguments from a TokenReader.
#pragma once

namespace kelmstrad {

// Splits a command line the way strtok does, on " \t\r\n".
class TokenReader {
 public:
  explicit TokenReader(char* line) : cursor_(line) {}
  // The next token, or nullptr at the end of the line.
  const char* next();

 private:
  char* cursor_;
};

}  // namespace kelmstrad
