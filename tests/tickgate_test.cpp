// RunTimer's ticks stay about a period apart, whatever the timer does after a late tick.
#include "link/tickgate.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using namespace std::chrono_literals;
using Clock = TickGate::Clock;

TEST(TickGate, LeavesOutATickThatCrowdsTheOneBefore)
{
    TickGate gate;
    const Clock::time_point t0{};
    EXPECT_TRUE(gate.admit(t0 + 5ms)); // the first tick always runs
    EXPECT_TRUE(gate.admit(t0 + 6ms + 30us));
    EXPECT_TRUE(gate.admit(t0 + 7ms + 990us)); // late by almost a period
    EXPECT_FALSE(gate.admit(t0 + 8ms + 3us));  // the timer catching up its phase
    // Spacing counts from the last tick that ran, not from the one left out.
    EXPECT_FALSE(gate.admit(t0 + 8ms + 850us));
    EXPECT_TRUE(gate.admit(t0 + 8ms + 890us));
    EXPECT_TRUE(gate.admit(t0 + 9ms + 890us));
}

TEST(TickGate, TheMinimumLiesBetweenAByteTimeAndThePeriod)
{
    // A byte takes 347 us at 28800 baud: the minimum spacing is well above it and below the
    // 1 ms period.
    EXPECT_GT(TickGate::kMinSpacing, 2 * 347us);
    EXPECT_LT(TickGate::kMinSpacing, 1ms);
    TickGate gate;
    const Clock::time_point t0{};
    EXPECT_TRUE(gate.admit(t0));
    EXPECT_FALSE(gate.admit(t0 + TickGate::kMinSpacing - 1us));
    EXPECT_TRUE(gate.admit(t0 + TickGate::kMinSpacing));
}

} // namespace
} // namespace qj
