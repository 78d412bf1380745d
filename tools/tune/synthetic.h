// Synthetic training data with a known answer: positions from random legal
// games, each labelled 1.0 or 0.0 with the probability sigmoid(k * eval)
// under the parameters in force. Tuning on such data should lead back to
// those parameters; the tests use it to check the tuner.
#pragma once

#include <cstdint>
#include <string>

namespace kelmstrad::tune {

// Writes `count` labelled positions in the data format (atomically); false
// with a message.
bool write_synthetic_data(const std::string& path, int count, uint64_t seed, double k,
                          std::string* error);

}  // namespace kelmstrad::tune
