#include <cstdio>

#include "uci/loop.h"

int main() {
  kelmstrad::startup();
  return kelmstrad::command_loop(stdin);
}
