// Reading environment switches: atoi's reading held within the int range, and
// the range-held read that reports a replaced value once. Every test uses a
// variable of its own: values are cached for the life of the process.
#include "io/env.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/platform.h"
#include "support.h"

namespace kelmstrad::test {
namespace {

TEST(EnvInt, ReadsLikeAtoi) {
  env_assign("KLMTEST_ATOI", "  -42abc");
  EXPECT_EQ(env_int("KLMTEST_ATOI", 7), -42);
  env_assign("KLMTEST_WORD", "lots");
  EXPECT_EQ(env_int("KLMTEST_WORD", 7), 0);
  EXPECT_EQ(env_int("KLMTEST_NEVER_SET", 7), 7);
}

// atoi of a number past the int range is not defined; glibc's wraps
// 99999999999999999999 to -1. The switch reader holds it at the end instead.
TEST(EnvInt, HoldsNumbersBeyondTheIntRange) {
  env_assign("KLMTEST_HUGE", "99999999999999999999");
  EXPECT_EQ(env_int("KLMTEST_HUGE", 0), INT_MAX);
  env_assign("KLMTEST_NEG_HUGE", "-99999999999999999999");
  EXPECT_EQ(env_int("KLMTEST_NEG_HUGE", 0), INT_MIN);
  env_assign("KLMTEST_33_BITS", "4294967295");
  EXPECT_EQ(env_int("KLMTEST_33_BITS", 0), INT_MAX);
}

TEST(EnvIntWithin, KeepsValuesInsideTheRangeSilently) {
  env_assign("KLMTEST_INSIDE", "-1000000");
  const std::string out = capture_output([] {
    EXPECT_EQ(env_int_within("KLMTEST_INSIDE", 5, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT), -1000000);
  });
  EXPECT_EQ(out, "");
  EXPECT_EQ(env_int_within("KLMTEST_UNSET_WITHIN", 5, 0, 3), 3);  // a fallback is held too
}

TEST(EnvIntWithin, ReplacesOutsideValuesAndSaysSoOnce) {
  env_assign("KLMTEST_OUTSIDE", "-5");
  const std::string out = capture_output([] {
    EXPECT_EQ(env_int_within("KLMTEST_OUTSIDE", 100, 0, 1000000), 0);
    EXPECT_EQ(env_int_within("KLMTEST_OUTSIDE", 100, 0, 1000000), 0);
  });
  EXPECT_EQ(out, "info string KLMTEST_OUTSIDE -5 is outside 0..1000000, using 0\n");
}

TEST(EnvIntWithin, QuotesAtMost32CharactersOfTheText) {
  env_assign("KLMTEST_LONG", "123456789012345678901234567890123456789");
  const std::string out =
      capture_output([] { EXPECT_EQ(env_int_within("KLMTEST_LONG", 0, -10, 10), 10); });
  EXPECT_EQ(out,
            "info string KLMTEST_LONG 12345678901234567890123456789012 is outside -10..10, using "
            "10\n");
}

}  // namespace
}  // namespace kelmstrad::test
