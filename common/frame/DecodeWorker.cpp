#include "common/frame/DecodeWorker.h"

#include <utility>

namespace dvr::frame {

namespace {

// Finished decodes kept for reuse: one in the owner's hands while the next one decodes.
constexpr size_t kSpareDecodes = 2;

}  // namespace

void PumpedPoster::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_all();
}

int PumpedPoster::runPending() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (std::function<void()>& task : tasks) {
        task();
    }
    return int(tasks.size());
}

int PumpedPoster::waitAndRun(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(m_mutex);
        m_posted.wait_for(lock, timeout, [&] { return !m_tasks.empty(); });
    }
    return runPending();
}

size_t PumpedPoster::pending() const {
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

DecodeWorker::DecodeWorker(TaskPoster& poster, std::unique_ptr<PictureDecoder> decoder)
    : m_poster(poster), m_pictureDecoder(std::move(decoder)) {
    m_decoder.setPictureDecoder(m_pictureDecoder.get());
    m_thread = std::thread([this] { run(); });
}

DecodeWorker::~DecodeWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void DecodeWorker::submit(const PictureRecord& record, std::weak_ptr<const void> owner, Done done) {
    std::unique_ptr<WorkerDecode> decode;
    {
        std::lock_guard lock(m_spares->mutex);
        if (!m_spares->items.empty()) {
            decode = std::move(m_spares->items.back());
            m_spares->items.pop_back();
        }
    }
    if (!decode) {
        decode = std::make_unique<WorkerDecode>();
    }
    decode->bytes.assign(record.bytes.begin(), record.bytes.end());
    decode->record = PictureRecord{decode->bytes, record.header, record.options};
    decode->frame = DecodedFrame{};
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
        m_queue.push_back(Job{std::move(decode), std::move(owner), std::move(done)});
    }
    m_changed.notify_all();
    if (m_submitted) {
        m_submitted();
    }
}

void WaitingRecord::keep(const PictureRecord& record) {
    m_bytes.assign(record.bytes.begin(), record.bytes.end());
    m_header = record.header;
    m_options = record.options;
    m_waiting = true;
}

uint64_t DecodeWorker::decodes() const {
    std::lock_guard lock(m_mutex);
    return m_decodes;
}

void DecodeWorker::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_stopping) {
            return;
        }
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        WorkerDecode& decode = *job.decode;
        decode.frame = m_decoder.decode(decode.record, &decode.picture);
        {
            std::lock_guard counted(m_mutex);
            ++m_decodes;
        }
        // The task owns everything it touches: it may run after the worker is gone.
        auto task = [spares = m_spares, owned = std::shared_ptr<WorkerDecode>(std::move(job.decode)),
                     owner = std::move(job.owner), done = std::move(job.done)]() mutable {
            if (const std::shared_ptr<const void> alive = owner.lock()) {
                done(*owned);
            }
            std::lock_guard spareLock(spares->mutex);
            if (spares->items.size() < kSpareDecodes && owned.use_count() == 1) {
                spares->items.push_back(std::make_unique<WorkerDecode>(std::move(*owned)));
            }
        };
        m_poster.post(std::move(task));
        lock.lock();
    }
}

}  // namespace dvr::frame
