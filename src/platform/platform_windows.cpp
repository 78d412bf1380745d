// The operating-system layer on Windows (the MinGW-w64 build): the C
// runtime's threads, a critical section, GetTickCount64, Sleep and the
// runtime's clocks and environment. platform_posix.cpp is the same layer on
// POSIX systems; the build compiles one of the two.
#ifdef _WIN32

#include <process.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "platform/assert.h"
#include "platform/platform.h"

namespace kelmstrad {

namespace {

// The one lock around output lines, initialised on first use (the output
// channel may be used from the start of main, before any init function runs).
struct OutputSection {
  CRITICAL_SECTION section;
  OutputSection() { InitializeCriticalSection(&section); }
};

CRITICAL_SECTION* output_section() {
  static OutputSection lock;
  return &lock.section;
}

// What the new thread runs: _beginthreadex wants a __stdcall procedure
// returning unsigned, the interface takes the POSIX shape.
struct ThreadStart {
  void* (*proc)(void*);
  void* arg;
};

unsigned __stdcall thread_entry(void* start) {
  const ThreadStart run = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  run.proc(run.arg);
  return 0;
}

}  // namespace

// Reserves the 64 MiB stack and commits it as the thread grows into it (a
// stack size alone would be committed at once).
bool thread_start(ThreadHandle* handle, void* (*proc)(void*), void* arg) {
  ThreadStart* start = new (std::nothrow) ThreadStart{proc, arg};
  if (start == nullptr) return false;
  const uintptr_t thread =
      _beginthreadex(nullptr, static_cast<unsigned>(SEARCH_THREAD_STACK_BYTES), thread_entry, start,
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == 0) {
    delete start;
    return false;
  }
  handle->id = static_cast<uint64_t>(thread);
  handle->running = true;
  return true;
}

// Waits for the thread and releases its handle; the handle is empty afterwards.
void thread_join(ThreadHandle* handle) {
  if (!handle->running) return;
  const HANDLE thread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle->id));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  handle->running = false;
}

void output_lock() { EnterCriticalSection(output_section()); }
void output_unlock() { LeaveCriticalSection(output_section()); }

uint64_t tick_ms() { return GetTickCount64(); }

// The Windows C runtime's clock() counts wall time from the start of the
// process, which is what the process clock means.
int64_t process_clock_ms() {
  return static_cast<int64_t>(clock()) * 1000 / static_cast<int64_t>(CLOCKS_PER_SEC);
}

void sleep_1ms() { Sleep(1); }

int64_t calendar_seconds() { return static_cast<int64_t>(_time64(nullptr)); }

// Only the two output streams are flushed (standard input's lock may be held
// by the command loop waiting for a line); _exit runs no static destructors.
void process_exit(int status) {
  fflush(stdout);
  fflush(stderr);
  _exit(status);
}

// Prints the failed condition with its place and aborts.
void assert_failed(const char* condition, const char* file, int line) {
  fprintf(stderr, "ASSERT failed: %s (%s:%d)\n", condition, file, line);
  fflush(nullptr);
  abort();
}

const char* env_lookup(const char* name) { return getenv(name); }

// _putenv_s updates the runtime's copy of the environment, which getenv reads.
void env_assign(const char* name, const char* value) { _putenv_s(name, value); }

// Both slashes separate folders; "C:" ends the folder part of "C:name".
size_t path_folder_length(const char* path) {
  size_t length = 0;
  for (size_t i = 0; path[i] != '\0'; ++i)
    if (path[i] == '/' || path[i] == '\\' || (i == 1 && path[i] == ':')) length = i + 1;
  return length;
}

bool path_is_absolute(const char* path) {
  const bool drive =
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
  return drive || path[0] == '/' || path[0] == '\\';
}

}  // namespace kelmstrad

#endif  // _WIN32
