// A check that fails stores its reason and returns false, in one call.
#pragma once

#include <string>
#include <utility>

namespace kelmstrad::match {

// Stores `text` in *error and returns false, so a check reads `return fail(error, "...");`.
inline bool fail(std::string* error, std::string text) {
  *error = std::move(text);
  return false;
}

}  // namespace kelmstrad::match
