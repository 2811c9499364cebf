#include "player/view/DecodeAhead.h"

#include <algorithm>

#include "common/frame/J2kDecoder.h"

namespace dvr::player {

DecodeAhead::DecodeAhead(PlayerPictures& pictures, PlaybackHandOff& handOff,
                         const media::PlaybackShared& shared, int threads, DecoderFactory makeDecoder)
    : m_pictures(pictures),
      m_handOff(handOff),
      m_shared(shared),
      m_makeDecoder(std::move(makeDecoder)),
      m_threads(std::max(threads, 1)),
      // Room for every worker plus two waiting: enough to keep the workers busy, little memory.
      m_jobs(static_cast<size_t>(m_threads) + 2) {
    for (int i = 0; i < m_threads; ++i) {
        m_workers.emplace_back([this, i] { run(i); });
    }
}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

bool DecodeAhead::staleLocked(const Job& job) const {
    return job.generation != m_generation || m_shared.runFlag.load() == 0 ||
           m_shared.speedIndex.load() != job.speedIndex;
}

void DecodeAhead::deliver(const PictureRecord& record, uint32_t recordMask, int groupSize) {
    std::unique_lock lock(m_mutex);
    const uint64_t limit = uint64_t(std::clamp(groupSize, m_threads, int(m_jobs.size())));
    m_changed.wait(lock, [&] { return m_stopping || m_nextDelivered - m_nextStored < limit; });
    if (m_stopping) {
        return;
    }
    const uint64_t number = m_nextDelivered++;
    Job& job = m_jobs[number % m_jobs.size()];
    job.codestream.assign(record.codestream.begin(), record.codestream.end());
    job.record = record;
    job.record.codestream = job.codestream;
    job.recordMask = recordMask;
    job.generation = m_generation;
    job.speedIndex = m_shared.speedIndex.load();
    job.state = JobState::Queued;
    m_queue.push_back(number);
    m_changed.notify_all();
}

void DecodeAhead::flush() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopping || (m_nextStored == m_nextDelivered && !m_storing); });
}

void DecodeAhead::drop() {
    std::unique_lock lock(m_mutex);
    ++m_generation;
    for (const uint64_t number : m_queue) {
        m_jobs[number % m_jobs.size()].state = JobState::Dropped;
    }
    m_queue.clear();
    storeInOrderLocked(lock, nullptr);
    m_changed.notify_all();
}

void DecodeAhead::dropAndWait() {
    drop();
    flush();
}

uint64_t DecodeAhead::decodes() const {
    std::lock_guard lock(m_mutex);
    return m_decodes;
}

void DecodeAhead::run(int index) {
    (void)index;
    const std::unique_ptr<frame::PictureDecoder> decoder =
        m_makeDecoder ? m_makeDecoder() : std::make_unique<frame::J2kDecoder>();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_stopping) {
            return;
        }
        const uint64_t number = m_queue.front();
        m_queue.pop_front();
        Job& job = m_jobs[number % m_jobs.size()];
        if (staleLocked(job)) {
            job.state = JobState::Dropped;
        } else {
            job.state = JobState::Running;
            ++m_decodes;
            lock.unlock();
            // The job is this worker's alone while Running: deliver() never reuses a job before it is stored.
            const DecodeStep step = m_pictures.decode(job.record, *decoder, job.picture);
            lock.lock();
            job.step = step;
            job.state = JobState::Done;
        }
        storeInOrderLocked(lock, decoder.get());
    }
}

void DecodeAhead::storeInOrderLocked(std::unique_lock<std::mutex>& lock, frame::PictureDecoder* decoder) {
    if (m_storing) {
        return;  // the worker storing now takes this one too when its turn comes
    }
    m_storing = true;
    while (m_nextStored < m_nextDelivered) {
        Job& job = m_jobs[m_nextStored % m_jobs.size()];
        if (job.state == JobState::Done && !staleLocked(job)) {
            if (!decoder) {
                break;  // only a worker stores; a fresh one is finished by the worker that decoded it
            }
            lock.unlock();
            const StoreOutcome outcome = m_pictures.storeDecoded(job.record, job.step, job.picture, *decoder);
            const bool wake = m_handOff.pictureStored(m_pictures, job.record, job.recordMask, outcome);
            if (m_observer) {
                m_observer(job.record, outcome);
            }
            if (wake && m_wake) {
                m_wake();
            }
            lock.lock();
        } else if (job.state != JobState::Done && job.state != JobState::Dropped) {
            break;  // still queued or decoding
        }
        job.state = JobState::Free;
        ++m_nextStored;
        m_changed.notify_all();
    }
    m_storing = false;
    m_changed.notify_all();
}

}  // namespace dvr::player
