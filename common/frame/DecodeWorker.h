// Decoding away from the owner's thread: a worker thread decodes one copied picture record at a time and
// hands each result back to the owner's thread through a poster, in the order the records were given.
// The owner (a window's controller) keeps painting and handling input meanwhile; whatever the result
// touches is touched on the owner's thread only.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/frame/DecodedPicture.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/PictureDecoder.h"

namespace dvr::frame {

// Runs tasks on the owner's thread. post() is called on the worker's thread; the tasks run later on the
// owner's thread, one at a time, in the order they were posted.
class TaskPoster {
public:
    virtual ~TaskPoster() = default;
    virtual void post(std::function<void()> task) = 0;
};

// A poster whose tasks wait until the owner runs them: tests pump it by hand, and an owner without an
// event loop runs it from its own loop.
class PumpedPoster final : public TaskPoster {
public:
    void post(std::function<void()> task) override;
    // Runs the tasks posted so far, in order; how many ran.
    int runPending();
    // Waits until a task was posted or `timeout` passed, then runs the tasks posted so far; how many ran.
    int waitAndRun(std::chrono::milliseconds timeout);
    size_t pending() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

// One record as it comes back from the worker: the worker's own copy of the record, the outcome of its
// decode and the picture (`frame.picture` points at `picture` when it decoded).
struct WorkerDecode {
    std::vector<uint8_t> bytes;
    PictureRecord record;  // its bytes are `bytes`
    DecodedFrame frame;
    DecodedPicture picture{DecodedPicture::Unsized{}};
};

// The newest record that came while an owner's record was out with the worker. A recorder answers one
// request with one picture, so this is normally empty; a peer that sends pictures nobody asked for costs
// one copy here instead of a queue of copies and decodes that grows with the flood.
class WaitingRecord {
public:
    // Keeps a copy of `record`, in place of any record kept before.
    void keep(const PictureRecord& record);
    bool waiting() const { return m_waiting; }
    // The kept record; its bytes stay valid until the next keep() or clear().
    PictureRecord record() const { return PictureRecord{m_bytes, m_header, m_options}; }
    void clear() { m_waiting = false; }

private:
    std::vector<uint8_t> m_bytes;
    FrameHeader m_header;
    FrameDecodeOptions m_options;
    bool m_waiting = false;
};

class DecodeWorker {
public:
    // Called on the owner's thread with the decoded record; it may keep the bytes (move them out).
    using Done = std::function<void(WorkerDecode&)>;

    // `decoder` decodes the codestreams (JPEG 2000 when empty). `poster` must outlive the worker.
    explicit DecodeWorker(TaskPoster& poster, std::unique_ptr<PictureDecoder> decoder = {});
    // Records not yet decoded are dropped; results already posted still reach owners that exist.
    ~DecodeWorker();
    DecodeWorker(const DecodeWorker&) = delete;
    DecodeWorker& operator=(const DecodeWorker&) = delete;

    // Copies the record and queues its decode (with the record's own options). `done` runs on the
    // owner's thread through the poster, unless `owner` has expired by then: an owner that goes away
    // never hears of the records it gave.
    void submit(const PictureRecord& record, std::weak_ptr<const void> owner, Done done);

    // `submitted` runs on the owner's thread each time a record was queued: the owner's thread is free for
    // a while then (the window paces its repaints to that moment).
    void setSubmitted(std::function<void()> submitted) { m_submitted = std::move(submitted); }

    // Decodes finished since the worker was made.
    uint64_t decodes() const;

private:
    struct Job {
        std::unique_ptr<WorkerDecode> decode;
        std::weak_ptr<const void> owner;
        Done done;
    };
    // Finished decodes given back by the owner's thread, kept for the next records so their pixel
    // buffers are not allocated again for every picture.
    struct Spares {
        std::mutex mutex;
        std::vector<std::unique_ptr<WorkerDecode>> items;
    };

    void run();

    TaskPoster& m_poster;
    std::unique_ptr<PictureDecoder> m_pictureDecoder;
    FrameDecoder m_decoder;             // the worker thread's alone
    std::function<void()> m_submitted;  // the owner's thread's alone
    std::shared_ptr<Spares> m_spares = std::make_shared<Spares>();

    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_changed;
    std::deque<Job> m_queue;
    uint64_t m_decodes = 0;
    bool m_stopping = false;

    std::thread m_thread;  // last: started once everything above exists
};

}  // namespace dvr::frame
