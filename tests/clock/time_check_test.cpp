// The time check, driven by hand-set counters on the virtual clock.
#include "clock/time_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "clock/counters.h"
#include "driver/limits.h"
#include "driver/think.h"
#include "io/env.h"
#include "platform/platform.h"
#include "uci/loop.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

// One AB count costs exactly 10 virtual milliseconds here.
constexpr int32_t TEN_MS_COST = 35469;

// Starts each test with no limits, no flags and a zeroed virtual clock, and
// puts every shared value back afterwards.
class TimeCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_limits_ = search_limits;
    saved_nodes_ = node_count;
    saved_cost_ = op_costs[AB];
    saved_virtual_ = use_virtual_clock;
    saved_real_speed_ = real_speed_option;
    search_limits = SearchLimits{};
    node_count = 0;
    op_costs[AB] = TEN_MS_COST;
    use_virtual_clock = true;
    real_speed_option = 0;
    clear_search_counters();
    clear_flags();
  }
  void TearDown() override {
    search_limits = saved_limits_;
    node_count = saved_nodes_;
    op_costs[AB] = saved_cost_;
    use_virtual_clock = saved_virtual_;
    real_speed_option = saved_real_speed_;
    clear_search_counters();
    clear_flags();
  }
  static void clear_flags() {
    for (std::atomic<int>* f :
         {&stop_flag, &pondering, &ponderhit, &infinite, &real_time_mode, &abort_search})
      f->store(0);
    search_start_ticks.store(0);
  }
  // Makes elapsed_ms read `ms` (a multiple of 10).
  static void set_virtual_elapsed(int32_t ms) {
    op_counters[AB] = static_cast<uint32_t>(ms / 10);
    ASSERT_EQ(elapsed_ms(), ms);
  }
  static bool aborted() { return abort_search.load() != 0; }

 private:
  SearchLimits saved_limits_;
  uint32_t saved_nodes_ = 0;
  int32_t saved_cost_ = 0;
  bool saved_virtual_ = true;
  int saved_real_speed_ = 0;
};

// Runs time_check on this thread while a helper thread, after `delay_ms`,
// sets `flag` unless time_check has already returned; if it still has not
// returned two seconds later, the helper sets stop_flag so that a wrong wait
// fails the test instead of hanging it. Returns whether `flag` had to be set.
bool check_with_helper(std::atomic<int>* flag, int delay_ms) {
  std::atomic<bool> returned{false};
  std::atomic<bool> helped{false};
  std::thread helper([&] {
    auto wait = [&](int ms) {
      for (int waited = 0; waited < ms && !returned.load(); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return !returned.load();
    };
    if (!wait(delay_ms)) return;
    helped.store(true);
    flag->store(1);
    if (wait(2000)) stop_flag.store(1);
  });
  time_check();
  returned.store(true);
  helper.join();
  return helped.load();
}

TEST_F(TimeCheckTest, QuietNodeChangesNothing) {
  node_count = 256;
  time_check();
  EXPECT_FALSE(aborted());
}

TEST_F(TimeCheckTest, NodeLimitAbortsAtTheNodeThatReachesIt) {
  search_limits.node_limit = 10000;
  node_count = 9999;
  time_check();
  EXPECT_FALSE(aborted());
  node_count = 10000;
  time_check();
  EXPECT_TRUE(aborted());
}

TEST_F(TimeCheckTest, NodeLimitOfOneAbortsAtTheFirstNode) {
  search_limits.node_limit = 1;
  node_count = 1;
  time_check();
  EXPECT_TRUE(aborted());
}

TEST_F(TimeCheckTest, StopAbortsAndSkipsThePonderHit) {
  stop_flag.store(1);
  pondering.store(1);
  ponderhit.store(1);
  search_limits.saved_soft_ms = 2000;
  node_count = 3;
  time_check();
  EXPECT_TRUE(aborted());
  EXPECT_EQ(pondering.load(), 1);
  EXPECT_EQ(search_limits.soft_limit_ms, 0);
}

TEST_F(TimeCheckTest, HardLimitIsTestedAtEveryNodeOnTheVirtualClock) {
  EXPECT_EQ(hard_check_mask(), 0u);
  search_limits.hard_limit_ms = 1000;
  set_virtual_elapsed(1000);
  node_count = 7;
  time_check();
  EXPECT_TRUE(aborted());
}

TEST_F(TimeCheckTest, HardLimitIsTestedOnlyAtItsNodeIntervalOnTheProcessClock) {
  use_virtual_clock = false;
  const uint32_t mask = hard_check_mask();
  EXPECT_EQ(mask, env_present("TMODE") ? 15u : 255u);
  search_limits.hard_limit_ms = 1000;
  const int64_t saved_start = search_start_clock_ms;
  search_start_clock_ms = process_clock_ms() - 2000;
  node_count = mask;
  time_check();
  EXPECT_FALSE(aborted());
  node_count = mask + 2;
  time_check();
  EXPECT_FALSE(aborted());
  node_count = 3 * (mask + 1);
  time_check();
  EXPECT_TRUE(aborted());
  search_start_clock_ms = saved_start;
}

TEST_F(TimeCheckTest, HardLimitWaitsForTheElapsedTimeToReachIt) {
  search_limits.hard_limit_ms = 1000;
  set_virtual_elapsed(990);
  node_count = 256;
  time_check();
  EXPECT_FALSE(aborted());
  search_limits.hard_limit_ms = 0;
  set_virtual_elapsed(100000);
  time_check();
  EXPECT_FALSE(aborted());
}

TEST_F(TimeCheckTest, PonderHitAddsThePonderTimeToTheSavedBudget) {
  pondering.store(1);
  ponderhit.store(1);
  real_time_mode.store(1);
  search_limits.saved_soft_ms = 2000;
  search_limits.saved_hard_ms = 6000;
  set_virtual_elapsed(300);
  node_count = 1;  // not a pacing node
  time_check();
  EXPECT_EQ(search_limits.soft_limit_ms, 2600);
  EXPECT_EQ(search_limits.hard_limit_ms, 6300);
  EXPECT_EQ(pondering.load(), 0);
  EXPECT_EQ(real_time_mode.load(), 0);
  EXPECT_FALSE(aborted());
}

TEST_F(TimeCheckTest, PonderHitKeepsPacingWithRealSpeed) {
  real_speed_option = 1;
  pondering.store(1);
  ponderhit.store(1);
  real_time_mode.store(1);
  node_count = 1;
  time_check();
  EXPECT_EQ(real_time_mode.load(), 1);
  EXPECT_EQ(pondering.load(), 0);
  // No saved budget ("go ponder" without a clock): the search stays unlimited.
  EXPECT_EQ(search_limits.soft_limit_ms, 0);
  EXPECT_EQ(search_limits.hard_limit_ms, 0);
}

TEST_F(TimeCheckTest, PonderingWithoutTheHitChangesNothing) {
  pondering.store(1);
  search_limits.saved_soft_ms = 2000;
  node_count = 1;
  time_check();
  EXPECT_EQ(pondering.load(), 1);
  EXPECT_EQ(search_limits.soft_limit_ms, 0);
}

TEST_F(TimeCheckTest, PacingWaitsOnlyAtEvery16thNode) {
  real_time_mode.store(1);
  set_virtual_elapsed(100000);
  search_start_ticks.store(tick_ms());
  node_count = 17;
  EXPECT_FALSE(check_with_helper(&stop_flag, 2000));
  EXPECT_FALSE(aborted());
}

TEST_F(TimeCheckTest, PacingDoesNotWaitWhenRealTimeIsAhead) {
  real_time_mode.store(1);
  set_virtual_elapsed(50);
  search_start_ticks.store(tick_ms() - 1000000);
  node_count = 16;
  EXPECT_FALSE(check_with_helper(&stop_flag, 2000));
  EXPECT_FALSE(aborted());
}

TEST_F(TimeCheckTest, StopDuringAPacingSleepAborts) {
  real_time_mode.store(1);
  set_virtual_elapsed(100000);
  search_start_ticks.store(tick_ms());
  node_count = 32;
  EXPECT_TRUE(check_with_helper(&stop_flag, 20));
  EXPECT_TRUE(aborted());
}

TEST_F(TimeCheckTest, PonderHitDuringAPacingSleepIsConvertedAtTheNextCall) {
  pondering.store(1);
  real_time_mode.store(1);
  search_limits.saved_soft_ms = 2000;
  search_limits.saved_hard_ms = 6000;
  set_virtual_elapsed(100000);
  search_start_ticks.store(tick_ms());
  node_count = 16;
  EXPECT_TRUE(check_with_helper(&ponderhit, 20));
  EXPECT_FALSE(aborted());
  EXPECT_EQ(pondering.load(), 1);
  node_count = 17;
  time_check();
  EXPECT_EQ(pondering.load(), 0);
  EXPECT_EQ(real_time_mode.load(), 0);
  EXPECT_EQ(search_limits.soft_limit_ms, 202000);
  EXPECT_EQ(search_limits.hard_limit_ms, 106000);
  EXPECT_FALSE(aborted());
}

}  // namespace
}  // namespace kelmstrad
