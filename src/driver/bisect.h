// Lookup in a table sorted by key, shared by the engine's own book and the
// Polyglot reader (their entries differ, the search does not).
#pragma once

namespace kelmstrad {

// The index of the first entry whose key equals `key`, or -1: a bisection
// that keeps going left after a hit, so the first entry of the run is found.
// key_at(i) gives the key of entry i of the `count` entries.
template <typename Key, typename KeyAt>
long first_with_key(long count, Key key, KeyAt key_at) {
  long lo = 0;
  long hi = count - 1;
  long found = -1;
  while (lo <= hi) {
    const long mid = lo + (hi - lo) / 2;
    const Key k = key_at(mid);
    if (k < key) {
      lo = mid + 1;
    } else {
      if (k == key) found = mid;
      hi = mid - 1;
    }
  }
  return found;
}

}  // namespace kelmstrad
