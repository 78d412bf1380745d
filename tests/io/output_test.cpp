#include "io/output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support.h"

namespace kelmstrad {
namespace {

TEST(UciPrint, LinesAreWrittenOnlyWhenComplete) {
  const std::string partial = test::capture_output([] { EXPECT_EQ(uci_print("id name "), 8); });
  EXPECT_EQ(partial, "");  // nothing reaches the sink before the line feed
  const std::string text =
      test::capture_output([] { EXPECT_EQ(uci_print("Kelmstrad %s\n", "2.2"), 14); });
  EXPECT_EQ(text, "id name Kelmstrad 2.2\n");
}

TEST(UciPrint, TwoLinesInOneCallAndFiltering) {
  unsetenv("KLMRAW");
  std::string filtered = test::capture_output([] {
    uci_print("a\nb\n");
    uci_print("info string vclock 5\ninfo string book e2e4\n");
    uci_print("info string see_least x\ninfo string leaves 3\ninfo string tused 9\n");
    uci_print("info string vclocks are prefixes too\ninfo string tuse is not\n");
  });
  EXPECT_EQ(filtered, "a\nb\ninfo string book e2e4\ninfo string tuse is not\n");

  setenv("KLMRAW", "1", 1);
  std::string raw = test::capture_output([] { uci_print("info string vclock 5\n"); });
  unsetenv("KLMRAW");
  EXPECT_EQ(raw, "info string vclock 5\n");
}

TEST(UciPrint, OverlongLineIsHandedOverNotStuck) {
  std::string big(70000, 'x');
  std::string text = test::capture_output([&] {
    uci_print("%s", big.c_str());
    uci_print("\nreadyok\n");
  });
  // The buffer holds 65535 bytes; the rest of the over-long text is cut, but
  // the following lines still get through.
  EXPECT_EQ(text.size(), 65535u + 1 + 8);
  EXPECT_EQ(text.substr(text.size() - 8), "readyok\n");
}

}  // namespace
}  // namespace kelmstrad
