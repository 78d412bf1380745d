// The FEN reader. It never fails: malformed text gives whatever position the
// reading rules yield (unknown characters skipped, missing fields defaulted).
#pragma once

namespace kelmstrad {

// Sets the whole position from FEN text; the move stack and the recapture
// square are left alone.
void parse_fen(const char* fen);

}  // namespace kelmstrad
