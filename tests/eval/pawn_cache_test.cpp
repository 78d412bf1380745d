// The pawn cache against the direct computation: the file table, the term sums
// and the features agree for every term mask, on random placements (pawns on
// any rank) and along random games, whether the entry was just filled or hit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eval/pawns.h"
#include "eval_support.h"
#include "random_positions.h"

namespace kelmstrad::test {
namespace {

// Cached and direct results for every term mask; twice, so the second is a hit.
void expect_cache_equal() {
  for (int pass = 0; pass < 2; ++pass) {
    for (int terms = 0; terms < 32; ++terms) {
      PawnFileTable direct;
      build_pawn_file_table(&direct);
      const TermPair want = pawn_structure_terms(direct, terms);
      const EvalFeatures want_features = eval_features;
      memset(&eval_features, 0x55, sizeof(eval_features));
      memcpy(&eval_features.mobility, &want_features.mobility, sizeof(want_features.mobility));
      memcpy(&eval_features.pawn_extra, &want_features.pawn_extra,
             sizeof(want_features.pawn_extra));
      memcpy(&eval_features.shelter_counts, &want_features.shelter_counts,
             sizeof(want_features.shelter_counts));
      PawnFileTable cached;
      memset(&cached, 0x55, sizeof(cached));
      const TermPair got = cached_pawn_structure_terms(&cached, terms);
      ASSERT_EQ(got.mg, want.mg) << terms;
      ASSERT_EQ(got.eg, want.eg) << terms;
      ASSERT_EQ(memcmp(&cached, &direct, sizeof(cached)), 0) << terms;
      ASSERT_EQ(memcmp(&eval_features, &want_features, sizeof(want_features)), 0) << terms;
    }
  }
}

TEST(PawnCache, EqualsDirectPathOnRandomPlacements) {
  EvalSettingsGuard guard;
  pawn_cache_clear();
  Random rng{2024};
  for (int round = 0; round < 300; ++round) {
    const std::string fen = random_placement(&rng);
    SCOPED_TRACE(fen);
    set_fen(fen);
    expect_cache_equal();
  }
}

TEST(PawnCache, EqualsDirectPathAlongRandomGames) {
  EvalSettingsGuard guard;
  pawn_cache_clear();
  Random rng{77};
  for (int game = 0; game < 12; ++game) along_random_game(&rng, START_FEN, 120, expect_cache_equal);
  set_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
