// A clock and timers the tests set and step by hand, for driving a live controller without waiting.
#pragma once

#include <array>
#include <cstdint>

#include "viewer/live/LiveController.h"

namespace dvr::live::testing {

class FakeClock : public LiveClock {
public:
    DateTime now() const override { return time; }
    DateTime time{2026, 12, 8, 13, 30, 0};
};

class FakeLiveTimers : public LiveTimers {
public:
    void start(LiveTimer timer, int periodMs) override {
        Entry& e = m_entries[size_t(timer)];
        e.running = true;
        e.periodMs = periodMs;
        e.dueMs = nowMs + periodMs;
        ++e.starts;
    }
    void stop(LiveTimer timer) override { m_entries[size_t(timer)].running = false; }

    bool running(LiveTimer timer) const { return m_entries[size_t(timer)].running; }
    int periodMs(LiveTimer timer) const { return m_entries[size_t(timer)].periodMs; }
    int starts(LiveTimer timer) const { return m_entries[size_t(timer)].starts; }

    // Steps time by `ms`, reporting every expiry on the way to the controller in time order.
    void advance(int64_t ms, LiveController& controller) {
        const int64_t end = nowMs + ms;
        for (;;) {
            int next = -1;
            for (int i = 0; i < int(m_entries.size()); ++i) {
                const Entry& e = m_entries[size_t(i)];
                if (e.running && e.dueMs <= end && (next < 0 || e.dueMs < m_entries[size_t(next)].dueMs)) {
                    next = i;
                }
            }
            if (next < 0) {
                break;
            }
            Entry& e = m_entries[size_t(next)];
            nowMs = e.dueMs;
            e.dueMs += e.periodMs;
            controller.onTimer(LiveTimer(next));
        }
        nowMs = end;
    }

    int64_t nowMs = 0;

private:
    struct Entry {
        bool running = false;
        int periodMs = 0;
        int64_t dueMs = 0;
        int starts = 0;
    };
    std::array<Entry, 4> m_entries{};
};

}  // namespace dvr::live::testing
