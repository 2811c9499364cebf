#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace dvr::exporting {

// Runs jobs on a fixed number of worker threads and hands their results back in the order the jobs
// were submitted. At most `capacity` jobs are in flight (queued, running or done but not yet taken):
// submit blocks beyond that, so a fast producer cannot outrun the consumer's memory.
// submit and close come from one producer thread, next from one consumer thread.
template <typename Job, typename Result>
class OrderedPool {
public:
    // work(job, workerIndex): workerIndex lets each worker keep its own state (a decoder).
    using Work = std::function<Result(Job& job, int workerIndex)>;

    OrderedPool(int threads, size_t capacity, Work work)
        : m_capacity(capacity < 1 ? 1 : capacity), m_work(std::move(work)) {
        const int count = threads < 1 ? 1 : threads;
        for (int i = 0; i < count; ++i)
            m_workers.emplace_back([this, i] { run(i); });
    }
    ~OrderedPool() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_closed = true;
        }
        m_wake.notify_all();
        for (auto& t : m_workers)
            t.join();
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    // Queues a job. False when the pool is closed or stopping (the job is dropped).
    bool submit(Job job) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_stopping || m_inFlight < m_capacity; });
        if (m_closed || m_stopping)
            return false;
        m_queue.emplace_back(m_nextSubmitted++, std::move(job));
        ++m_inFlight;
        m_wake.notify_all();
        return true;
    }
    // No more jobs: next() ends after the results of those submitted.
    void close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_wake.notify_all();
    }
    // Drops every queued job and wakes a blocked submit (the consumer gave up).
    void cancel() {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_closed = true;
        m_inFlight -= m_queue.size();
        m_queue.clear();
        m_wake.notify_all();
    }
    // The next result in submission order, waiting for it; nullopt once closed and every result taken.
    std::optional<Result> next() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            auto it = m_done.find(m_nextTaken);
            if (it != m_done.end()) {
                Result result = std::move(it->second);
                m_done.erase(it);
                ++m_nextTaken;
                --m_inFlight;
                m_wake.notify_all();
                return result;
            }
            if (m_closed && m_nextTaken == m_nextSubmitted)
                return std::nullopt;
            if (m_stopping && m_queue.empty() && m_running == 0)
                return std::nullopt;
            m_wake.wait(lock);
        }
    }

private:
    void run(int index) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            auto [sequence, job] = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_running;
            lock.unlock();
            Result result = m_work(job, index);
            lock.lock();
            --m_running;
            if (!m_stopping)
                m_done.emplace(sequence, std::move(result));
            m_wake.notify_all();
        }
    }

    const size_t m_capacity;
    Work m_work;
    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_wake;
    std::deque<std::pair<uint64_t, Job>> m_queue;
    std::map<uint64_t, Result> m_done;
    uint64_t m_nextSubmitted = 0;
    uint64_t m_nextTaken = 0;
    size_t m_inFlight = 0;
    int m_running = 0;
    bool m_closed = false;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;  // last: started after the state above exists
};

}  // namespace dvr::exporting
