// A thread of its own that prepares a window's panes after each picture (the stretch of a picture
// into its pane), so that the window's thread is free to read the recorder's next reply meanwhile.
// Each pane has at most one job waiting: a newer job for a pane replaces the one still waiting, so a pane
// never falls behind the pictures it is given. A job's result is handed back to the owner's thread
// through the poster, in the order the jobs finish.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/frame/DecodeWorker.h"

namespace dvr::frame {

class PaneWorker {
public:
    // Runs on the worker's thread; returns what then runs on the owner's thread (may be empty).
    using Job = std::function<std::function<void()>()>;

    // `poster` must outlive the worker.
    explicit PaneWorker(TaskPoster& poster);
    // Jobs not yet started are dropped; the one running finishes first.
    ~PaneWorker();
    PaneWorker(const PaneWorker&) = delete;
    PaneWorker& operator=(const PaneWorker&) = delete;

    // Queues `job` for `pane`, in place of that pane's job still waiting.
    void submit(int pane, Job job);
    // Drops the jobs still waiting (a layout applied, the panes cleared).
    void dropWaiting();
    // Waits until no job waits or runs; their results are posted by then.
    void waitIdle();
    // Jobs run since the worker was made.
    uint64_t jobsRun() const;

private:
    struct Waiting {
        int pane = 0;
        Job job;
    };
    void run();

    TaskPoster& m_poster;
    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_changed;
    std::deque<Waiting> m_waiting;
    bool m_running = false;
    bool m_stopping = false;
    uint64_t m_jobsRun = 0;
    std::thread m_thread;  // last: started once everything above exists
};

}  // namespace dvr::frame
