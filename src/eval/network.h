// Network evaluation (loaded on first use from the file named by NNUE).
#pragma once

namespace kelmstrad {

// True while a network is loaded: make then charges the NNF feature updates.
extern bool network_active;

}  // namespace kelmstrad
