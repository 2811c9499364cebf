// The panes' worker: a job's result runs on the thread that runs the poster, a newer job for a pane
// replaces the one still waiting (and only that pane's), dropped jobs never run, and a stream of jobs
// against the owner's thread loses nothing it must show (also under ThreadSanitizer).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "common/frame/PaneWorker.h"

namespace dvr::frame {
namespace {

// Holds the worker inside a job until released, so that jobs queue behind it.
class Gate {
public:
    void waitOpen() {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
    }
    void waitEntered() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_entered; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

// A job that reports `value` for `pane` on the owner's thread.
PaneWorker::Job report(std::vector<std::pair<int, int>>& shown, int pane, int value) {
    return [&shown, pane, value] {
        return std::function<void()>([&shown, pane, value] { shown.emplace_back(pane, value); });
    };
}

TEST(PaneWorker, ANewerJobReplacesOnlyItsOwnPanesWaitingJobAndResultsRunOnTheOwnersThread) {
    frame::PumpedPoster poster;
    PaneWorker worker(poster);
    Gate gate;
    std::vector<std::pair<int, int>> shown;
    worker.submit(0, [&] {
        gate.waitOpen();
        return std::function<void()>([&] { shown.emplace_back(0, 0); });
    });
    gate.waitEntered();
    worker.submit(1, report(shown, 1, 1));
    worker.submit(2, report(shown, 2, 1));
    worker.submit(1, report(shown, 1, 2));  // replaces pane 1's first job, keeps its place
    worker.submit(0, report(shown, 0, 1));  // pane 0's running job is not replaced
    gate.open();
    worker.waitIdle();
    EXPECT_TRUE(shown.empty()) << "results run only when the owner runs the poster";
    poster.runPending();
    EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{0, 0}, {1, 2}, {2, 1}, {0, 1}}));
    EXPECT_EQ(worker.jobsRun(), 4u);
}

TEST(PaneWorker, DroppedAndStoppedJobsNeverRun) {
    frame::PumpedPoster poster;
    std::vector<std::pair<int, int>> shown;
    {
        PaneWorker worker(poster);
        Gate gate;
        worker.submit(0, [&] {
            gate.waitOpen();
            return std::function<void()>();
        });
        gate.waitEntered();
        worker.submit(1, report(shown, 1, 1));
        worker.dropWaiting();
        worker.submit(2, report(shown, 2, 1));
        gate.open();
        worker.waitIdle();
        EXPECT_EQ(worker.jobsRun(), 2u);
        // Jobs waiting when the worker stops are dropped with it.
        Gate second;
        worker.submit(3, [&] {
            second.waitOpen();
            return std::function<void()>();
        });
        second.waitEntered();
        worker.submit(4, report(shown, 4, 1));
        second.open();
    }
    poster.runPending();
    for (const auto& [pane, value] : shown)
        EXPECT_NE(pane, 1) << "a dropped job ran";
    EXPECT_EQ(shown.front(), std::make_pair(2, 1));
}

TEST(PaneWorker, AStreamAgainstTheOwnersThreadShowsEveryPanesLastJob) {
    frame::PumpedPoster poster;
    PaneWorker worker(poster);
    constexpr int kPanes = 16;
    constexpr int kRounds = 200;
    std::vector<int> last(kPanes, -1);
    std::vector<std::pair<int, int>> shown;
    for (int round = 0; round < kRounds; ++round) {
        for (int pane = 0; pane < kPanes; ++pane)
            worker.submit(pane, report(shown, pane, round));
        poster.runPending();
    }
    worker.waitIdle();
    poster.runPending();
    ASSERT_FALSE(shown.empty());
    for (const auto& [pane, value] : shown) {
        EXPECT_GT(value, last[size_t(pane)]) << "pane " << pane << " went back to an older job";
        last[size_t(pane)] = value;
    }
    for (int pane = 0; pane < kPanes; ++pane)
        EXPECT_EQ(last[size_t(pane)], kRounds - 1) << "pane " << pane << " lost its last job";
}

}  // namespace
}  // namespace dvr::frame
