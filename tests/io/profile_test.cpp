// Profile option lines: read in file order beside the switches, and refused
// with a reason naming the line when the option is unknown, its value is of
// the wrong kind, the line is malformed or the option is set twice.
#include "uci/profile.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmstrad::test {
namespace {

TEST(ProfileOptions, ReadInOrderBesideSwitches) {
  ProfileSettings settings;
  ProfileSettings options;
  std::string why;
  ASSERT_TRUE(
      parse_profile("TTENT=4096\nsetoption name VirtualClock value false # real clock\n"
                    "  setoption\tname EvalCost value -12\nsetoption name CheapSEE value true\n",
                    &settings, &why, &options))
      << why;
  EXPECT_EQ(settings, (ProfileSettings{{"TTENT", "4096"}}));
  EXPECT_EQ(options, (ProfileSettings{
                         {"VirtualClock", "false"}, {"EvalCost", "-12"}, {"CheapSEE", "true"}}));
  // Option lines alone make a profile.
  ASSERT_TRUE(parse_profile("setoption name OwnBook value false\n", &settings, &why, &options));
  EXPECT_TRUE(settings.empty());
  EXPECT_EQ(options, (ProfileSettings{{"OwnBook", "false"}}));
}

TEST(ProfileOptions, RefusedWithTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"TTENT=8\nsetoption name OwnBok value false\n", "line 2: unknown option OwnBok"},
      {"setoption name VirtualClock value no\n",
       "line 1: option VirtualClock cannot take the value no"},
      {"setoption name Terms value 3x\n", "line 1: option Terms cannot take the value 3x"},
      {"setoption name OwnBook false\n", "line 1: not setoption name OPTION value VALUE"},
      {"setoption name OwnBook value false\nsetoption name OwnBook value true\n",
       "line 2: option OwnBook set twice"},
      {"setoptions=1\n", "line 1: unknown switch setoptions"},
  };
  for (const auto& [text, reason] : cases) {
    ProfileSettings settings;
    ProfileSettings options;
    std::string why;
    EXPECT_FALSE(parse_profile(text, &settings, &why, &options)) << text;
    EXPECT_EQ(why, reason) << text;
  }
}

}  // namespace
}  // namespace kelmstrad::test
