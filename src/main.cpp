#include <cstdio>
#include <cstring>
#include <string>

#include "uci/commands.h"
#include "uci/loop.h"
#include "uci/profile.h"

// "kelmstrad [--profile FILE] [bench [depth]]": the profile's settings enter
// the environment before start-up reads any switch, and its option lines are
// set right after start-up, before the first command is read; "bench" runs the bench
// and ends; otherwise (any other arguments are ignored) the engine speaks UCI
// on standard input. A profile that cannot be used ends the process with a
// message on standard error rather than start an engine the user did not ask for.
int main(int argc, char** argv) {
  int first = 1;
  if (argc > 1 && strcmp(argv[1], "--profile") == 0) {
    if (argc < 3) {
      fprintf(stderr, "kelmstrad: --profile needs a file\n");
      return 2;
    }
    std::string why;
    if (!kelmstrad::apply_profile(argv[2], &why)) {
      fprintf(stderr, "kelmstrad: profile %s: %s\n", argv[2], why.c_str());
      return 2;
    }
    first = 3;
  }
  kelmstrad::startup();
  kelmstrad::apply_profile_options();
  if (argc > first && strcmp(argv[first], "bench") == 0) {
    std::string line;
    for (int i = first + 1; i < argc; ++i) line.append(argv[i]).append(" ");
    kelmstrad::TokenReader args(line.data());
    kelmstrad::cmd_bench(args);
    return 0;
  }
  return kelmstrad::command_loop(stdin);
}
