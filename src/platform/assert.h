// ASSERT(condition): the invariant checks of Debug builds. With KELMSTRAD_DEBUG
// defined (CMake defines it for the Debug configuration) a false condition
// prints "ASSERT failed: <condition> (<file>:<line>)" on standard error and
// aborts the process; in every other build the condition is not evaluated.
#pragma once

namespace kelmstrad {

// Reports a failed ASSERT on standard error and aborts; never returns.
[[noreturn]] void assert_failed(const char* condition, const char* file, int line);

}  // namespace kelmstrad

#ifdef KELMSTRAD_DEBUG
#define ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::kelmstrad::assert_failed(#condition, __FILE__, __LINE__))
#else
#define ASSERT(condition) static_cast<void>(false && (condition))
#endif
