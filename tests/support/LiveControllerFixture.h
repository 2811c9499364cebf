// A live controller the tests drive by hand: a clock and timers they set and step without waiting, a fake
// transport under the session, and the fixture that starts the controller in a temporary program folder.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/viewer/link/FakeLink.h"
#include "viewer/live/LiveController.h"

namespace dvr::live::testing {

class FakeClock : public LiveClock {
public:
    DateTime now() const override { return time; }
    // The steady time follows the fake timers' time when linked to it.
    link::TimePoint steadyNow() const override {
        return link::TimePoint(std::chrono::milliseconds(steadyMs != nullptr ? *steadyMs : 0));
    }
    DateTime time{2026, 12, 8, 13, 30, 0};
    const int64_t* steadyMs = nullptr;
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

// The machine's ARP table as the tests see it: the recorder's entry among others; removals are recorded
// and refused, as they are for an ordinary user.
class CountingArpTable : public link::ArpTable {
public:
    std::optional<std::vector<link::ArpEntry>> read(size_t) override {
        ++reads;
        return std::vector<link::ArpEntry>{{"10.0.0.1", "eth0"}, {"127.0.0.1", "lo"}, {"10.0.0.2", "eth0"}};
    }
    bool remove(const link::ArpEntry& entry) override {
        removed.push_back(entry);
        return false;
    }
    int reads = 0;
    std::vector<link::ArpEntry> removed;
};

// A started live controller over a fake transport, fake timers and a fake clock, with its settings in a
// temporary program folder and the recorder on loopback. `Screen` is the test's LiveScreen.
template <typename Screen>
class LiveControllerFixture : public ::testing::Test {
protected:
    // The recorder port given for the run (nothing listens: the transport is a fake).
    static constexpr uint16_t kRecorderPort = 50123;

    LiveControllerFixture() {
        LiveControllerOptions options;
        options.programFolder = m_folder.path();
        options.settingsFilePath = m_folder.file("Vistrel.ini");
        options.hostOverride = "127.0.0.1";
        options.portOverride = kRecorderPort;
        options.arpTable = &m_arp;
        m_clock.steadyMs = &m_timers.nowMs;
        m_controller = std::make_unique<LiveController>(std::move(options), m_screen, m_timers, m_clock);
        m_controller->createSession(m_transport);
        m_controller->loadSettings();
        m_controller->start(PaneRect{8, 8, 728, 488});
    }
    ~LiveControllerFixture() override { m_controller.reset(); }

    LiveController& live() { return *m_controller; }

    // The bytes arrive as one read and are read until none wait (bounded, in case the session closed).
    void deliver(const std::vector<uint8_t>& bytes) {
        m_transport.arrive(bytes);
        for (int i = 0; i < 10000 && !m_transport.incoming.empty(); ++i) {
            link::readOnce(m_transport, *m_controller->session());
        }
    }

    testsupport::TempFolder m_folder;
    Screen m_screen;
    FakeLiveTimers m_timers;
    FakeClock m_clock;
    link::testing::FakeTransport m_transport;
    CountingArpTable m_arp;
    std::unique_ptr<LiveController> m_controller;
};

}  // namespace dvr::live::testing
