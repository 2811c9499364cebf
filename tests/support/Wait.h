// Waiting on state in a test: one time-out for every wait, so a state that never comes fails the test in
// the same time wherever it is awaited, and a state that comes ends the wait at once.
#pragma once

#include <chrono>
#include <thread>

namespace dvr::testsupport {

// How long a test waits for a state before it fails: long enough for a loaded machine under the
// sanitizers, never reached by a test that passes.
inline constexpr int kStateWaitMs = 30000;

// Yields the processor until `done()` holds; false when `timeoutMs` passed first. For state another thread
// makes; a test whose state needs this thread's event loop waits with runEventsUntil instead.
template <typename Condition>
bool waitUntil(Condition done, int timeoutMs = kStateWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace dvr::testsupport
