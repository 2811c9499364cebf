#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/frame/DecodedPicture.h"
#include "common/frame/PictureDecoder.h"
#include "player/media/PlaybackShared.h"
#include "player/view/PlaybackHandOff.h"
#include "player/view/PlayerPictures.h"

namespace dvr::player {

// Decodes the pictures the playback thread delivers on worker threads, so that the pictures of a group
// are decoded side by side while the thread reads and paces the next ones. Pictures are stored in the
// order they were delivered (one store at a time, on whichever worker finishes the next one in turn), at
// most one group ahead of the store: the playback thread waits while a group is in flight. A mode or
// position change (drop()), a speed change, or the thread being stopped drops every queued decode at once
// and discards the running ones, so nothing decoded for the old request is ever shown.
class DecodeAhead {
public:
    using DecoderFactory = std::function<std::unique_ptr<frame::PictureDecoder>()>;

    // `makeDecoder` gives each worker its own decoder (JPEG 2000 when empty).
    DecodeAhead(PlayerPictures& pictures, PlaybackHandOff& handOff, const media::PlaybackShared& shared,
                int threads = 2, DecoderFactory makeDecoder = {});
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Called on a worker thread when the hand-off asks for the window to be woken. Set before the first
    // delivery.
    void setWake(std::function<void()> wake) { m_wake = std::move(wake); }
    // Called on the storing worker after each store, in delivery order (tests watch the order).
    void setStoreObserver(std::function<void(const PictureRecord&, const StoreOutcome&)> observer) {
        m_observer = std::move(observer);
    }

    // --- playback thread
    // Copies the record and queues its decode; first waits while `groupSize` records (at least as many
    // as there are workers, at most the pool's room) are in flight.
    void deliver(const PictureRecord& record, uint32_t recordMask, int groupSize);
    // Waits until every delivered record is stored or dropped (before decoding on the caller's thread).
    void flush();

    // --- window thread
    // Drops the queued decodes and discards the running ones (a mode or position change).
    void drop();
    // drop(), then waits until no decode or store runs any more (before the pictures are cleared).
    void dropAndWait();

    // Decodes begun since the pool was made.
    uint64_t decodes() const;

private:
    enum class JobState { Free, Queued, Running, Done, Dropped };
    struct Job {
        PictureRecord record;
        std::vector<uint8_t> codestream;
        uint32_t recordMask = 0;
        uint64_t generation = 0;
        int speedIndex = 0;
        JobState state = JobState::Free;
        DecodeStep step;
        frame::DecodedPicture picture{frame::DecodedPicture::Unsized{}};
    };

    void run(int index);
    bool staleLocked(const Job& job) const;
    // Stores the finished jobs in delivery order while the next one is done; `decoder` is null on the
    // window thread (which only frees dropped jobs).
    void storeInOrderLocked(std::unique_lock<std::mutex>& lock, frame::PictureDecoder* decoder);

    PlayerPictures& m_pictures;
    PlaybackHandOff& m_handOff;
    const media::PlaybackShared& m_shared;
    DecoderFactory m_makeDecoder;
    std::function<void()> m_wake;
    std::function<void(const PictureRecord&, const StoreOutcome&)> m_observer;
    const int m_threads;

    mutable std::mutex m_mutex;  // guards every member below
    std::condition_variable m_changed;
    std::vector<Job> m_jobs;       // a ring, indexed by delivery number modulo its size
    std::deque<uint64_t> m_queue;  // delivery numbers waiting for a worker
    uint64_t m_nextDelivered = 0;
    uint64_t m_nextStored = 0;
    uint64_t m_generation = 0;
    uint64_t m_decodes = 0;
    bool m_storing = false;
    bool m_stopping = false;

    std::vector<std::thread> m_workers;  // last: started once everything above exists
};

}  // namespace dvr::player
