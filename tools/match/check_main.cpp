// The UCI compliance check (see -h).
#include <signal.h>

#include "check.h"

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a dead engine shows as a failed write, not a dead tool
  return kelmstrad::match::check_main(argc, argv);
}
