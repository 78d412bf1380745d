#include "platform/env.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

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

int env_int(const char* name, int fallback) {
  const char* v = env_str(name);
  return v ? atoi(v) : fallback;
}

long env_long(const char* name, long fallback) {
  const char* v = env_str(name);
  return v ? atol(v) : fallback;
}

double env_real(const char* name, double fallback) {
  const char* v = env_str(name);
  return v ? atof(v) : fallback;
}

}  // namespace kelmstrad
