#include "io/env.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "io/output.h"
#include "platform/platform.h"

namespace kelmstrad {

namespace {

struct CachedVar {
  bool present;
  std::string value;
};

// Both threads may read a switch for the first time, so the cache is locked.
std::mutex env_mutex;
std::map<std::string, CachedVar>& env_cache() {
  static std::map<std::string, CachedVar> cache;
  return cache;
}

// Variables whose out-of-range value has been reported.
std::set<std::string>& env_reported() {
  static std::set<std::string> reported;
  return reported;
}

// True the first time it is asked about `name`.
bool first_report(const char* name) {
  std::lock_guard<std::mutex> guard(env_mutex);
  return env_reported().insert(name).second;
}

}  // namespace

const char* env_str(const char* name) {
  std::lock_guard<std::mutex> guard(env_mutex);
  auto& cache = env_cache();
  auto it = cache.find(name);
  if (it == cache.end()) {
    const char* raw = env_lookup(name);
    it = cache.emplace(name, CachedVar{raw != nullptr, raw ? raw : ""}).first;
  }
  return it->second.present ? it->second.value.c_str() : nullptr;
}

bool env_present(const char* name) { return env_str(name) != nullptr; }

// atoi's reading (leading blanks, a sign, digits), but a number beyond the
// int range is held at its end instead of wrapping.
int env_int(const char* name, int fallback) {
  const char* v = env_str(name);
  if (v == nullptr) return fallback;
  const long long n = strtoll(v, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

// Reports a replaced value once per variable, with at most 32 characters of its text.
int env_int_within(const char* name, int fallback, int low, int high) {
  const int value = env_int(name, fallback);
  if (value >= low && value <= high) return value;
  const int used = value < low ? low : high;
  const char* text = env_str(name);
  if (text != nullptr && first_report(name))
    uci_print("info string %s %.32s is outside %d..%d, using %d\n", name, text, low, high, used);
  return used;
}

long env_long(const char* name, long fallback) {
  const char* v = env_str(name);
  return v ? atol(v) : fallback;
}

double env_real(const char* name, double fallback) {
  const char* v = env_str(name);
  return v ? atof(v) : fallback;
}

// Reports with at most 32 characters of the variable's text.
long long env_power_of_two(const char* name, long long fallback, long long low, long long high) {
  const char* text = env_str(name);
  if (text == nullptr) return fallback;
  const long long requested = strtoll(text, nullptr, 10);
  const long long size = power_of_two_within(requested, low, high);
  if (size != requested)
    uci_print("info string %s %.32s is not a power of two from %lld to %lld, using %lld\n", name,
              text, low, high, size);
  return size;
}

}  // namespace kelmstrad
