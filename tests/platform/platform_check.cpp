// Checks of the operating-system layer that the transcript suite cannot make,
// built for Linux (a CTest case) and for Windows (make windows; .ci/run runs
// it under Wine): a started thread can use most of its 64 MiB stack, the
// environment is read back as set, and file paths are split the system's way.
// Prints one line per check and exits with 1 if any failed; a thread whose
// stack is too small ends the process with a crash instead.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

constexpr int FRAME_BYTES = 32 * 1024;
constexpr int DEPTH = 1536;  // 48 MiB of frames: far past the 1 MiB (Windows) or 8 MiB default

// Recurses `depth` times, each frame holding and using FRAME_BYTES of stack;
// returns a sum of bytes of every frame, so that no frame can be left out.
int deep(int depth) {
  volatile unsigned char frame[FRAME_BYTES];
  for (int i = 0; i < FRAME_BYTES; i += 4096) frame[i] = static_cast<unsigned char>(depth + i);
  if (depth == 0) return frame[0];
  return deep(depth - 1) + frame[FRAME_BYTES - 4096];
}

void* deep_thread(void* result) {
  *static_cast<int*>(result) = deep(DEPTH);
  return nullptr;
}

// Path cases: text, folder part's length, absolute.
struct PathCase {
  const char* path;
  size_t folder;
  bool absolute;
};

#ifdef _WIN32
constexpr PathCase PATH_CASES[] = {
    {"C:\\Engines\\strong", 11, true},
    {"profiles/strong", 9, false},
    {"sub\\p", 4, false},
    {"C:strong", 2, true},
    {"\\\\server\\share\\x", 15, true},
    {"/tmp/a", 5, true},
    {"strong", 0, false},
    {"d:/x/y", 5, true},
};
#else
constexpr PathCase PATH_CASES[] = {
    {"/tmp/sub/p", 9, true},      {"profiles/strong", 9, false}, {"sub\\p", 0, false},
    {"C:\\Engines\\x", 0, false}, {"strong", 0, false},
};
#endif

}  // namespace

int main() {
  using namespace kelmstrad;
  int result = -1;
  kelmstrad::ThreadHandle thread{0, false};
  const bool started = thread_start(&thread, deep_thread, &result);
  check(started, "thread_start starts a thread");
  thread_join(&thread);
  check(started && result >= 0 && !thread.running, "the thread recursed through 48 MiB of stack");

  env_assign("KELMSTRAD_PLATFORM_CHECK", "a b=c");
  const char* value = env_lookup("KELMSTRAD_PLATFORM_CHECK");
  check(value != nullptr && strcmp(value, "a b=c") == 0, "env_lookup reads what env_assign set");
  env_assign("KELMSTRAD_PLATFORM_CHECK", "2");
  value = env_lookup("KELMSTRAD_PLATFORM_CHECK");
  check(value != nullptr && strcmp(value, "2") == 0, "env_assign replaces a value");

  for (const PathCase& c : PATH_CASES) {
    char what[128];
    snprintf(what, sizeof(what), "path %s: folder %zu, %s", c.path, c.folder,
             c.absolute ? "absolute" : "relative");
    check(path_folder_length(c.path) == c.folder && path_is_absolute(c.path) == c.absolute, what);
  }
  printf("%s\n", failures == 0 ? "platform_check: passed" : "platform_check: FAILED");
  return failures == 0 ? 0 : 1;
}
