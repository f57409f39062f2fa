// Events and threads of the platform layer.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Thread.h"

namespace calidra {
namespace {

TEST(Event, ManualResetStaysSetAutoResetReleasesOneWait) {
    Event manual(true, false);
    EXPECT_FALSE(manual.Wait(0));
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(1));

    Event automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
}

TEST(Event, ThreadSignalsAndJoins) {
    Event done(true, false);
    std::atomic<int> ran{0};
    Thread worker;
    ASSERT_TRUE(worker.Start(
        [&] {
            ran = 1;
            done.Set();
        },
        true));
    EXPECT_FALSE(worker.Start([] {}));
    EXPECT_TRUE(done.Wait(Event::kInfinite));
    worker.Join();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_FALSE(worker.Joinable());
}

TEST(Clock, TimeAdvancesAcrossASleep) {
    std::uint32_t before = Clock::TimeMs();
    Clock::Sleep(20);
    EXPECT_GE(static_cast<std::uint32_t>(Clock::TimeMs() - before), 20u);
}

}  // namespace
}  // namespace calidra
