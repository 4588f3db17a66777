#pragma once

#include <chrono>
#include <functional>

namespace qj::bench {

// Waiting with the event loop turning as it does in the panel: blocked in the dispatcher until
// something happens, never spinning and never sleeping past due timers (QTest::qWait sleeps
// up to 10 ms between turns, which would hold back the panel's bytes).
//
// Turns the event loop until `done` holds, looking every `every`, or until `timeout` passes.
// Returns whether `done` held. The look only decides when to stop; figures come from stamps
// taken where things happen.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds every = std::chrono::milliseconds{5});

// Turns the event loop for `time` with nothing else to do.
void idleFor(std::chrono::milliseconds time);

} // namespace qj::bench
