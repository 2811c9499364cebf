#include "common/frame/PaneWorker.h"

#include <algorithm>
#include <utility>

namespace dvr::frame {

PaneWorker::PaneWorker(TaskPoster& poster) : m_poster(poster) {
    m_thread = std::thread([this] { run(); });
}

PaneWorker::~PaneWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void PaneWorker::submit(int pane, Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
        const auto same = std::find_if(m_waiting.begin(), m_waiting.end(),
                                       [pane](const Waiting& waiting) { return waiting.pane == pane; });
        if (same != m_waiting.end()) {
            same->job = std::move(job);
        } else {
            m_waiting.push_back(Waiting{pane, std::move(job)});
        }
    }
    m_changed.notify_all();
}

void PaneWorker::dropWaiting() {
    std::lock_guard lock(m_mutex);
    m_waiting.clear();
}

void PaneWorker::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopping || (m_waiting.empty() && !m_running); });
}

uint64_t PaneWorker::jobsRun() const {
    std::lock_guard lock(m_mutex);
    return m_jobsRun;
}

void PaneWorker::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping) {
            return;
        }
        Job job = std::move(m_waiting.front().job);
        m_waiting.pop_front();
        m_running = true;
        lock.unlock();
        std::function<void()> result = job();
        if (result) {
            m_poster.post(std::move(result));
        }
        lock.lock();
        m_running = false;
        ++m_jobsRun;
        m_changed.notify_all();
    }
}

}  // namespace dvr::frame
