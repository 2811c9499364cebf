#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "player/media/ByteSource.h"

namespace dvr::media {

// The file the playback thread reads through: a current offset over a byte source. While the read-ahead
// worker runs (sound playback on), reads are served from 640 KiB windows at multiples of 640 KiB, and
// the worker loads the window after the current one into a spare buffer in the background, so that the
// thread, held back by the sound output, never waits for the disc.
//
// All operations except the worker's own loop run on one thread (the playback thread).
class SectorReader {
public:
    static constexpr size_t kWindowBytes = 655360;

    SectorReader();
    ~SectorReader();
    SectorReader(const SectorReader&) = delete;
    SectorReader& operator=(const SectorReader&) = delete;

    // Reads through source from offset 0. The reader owns the source until close().
    void open(std::unique_ptr<ByteSource> source);
    void close();
    bool isOpen() const { return m_source != nullptr; }

    // Reads up to out.size() bytes at the current offset and advances it by the count read.
    size_t read(std::span<uint8_t> out);
    // Moves to an absolute offset; fails, leaving the offset unchanged, beyond the file size.
    bool seek(uint64_t offset);
    uint64_t offset() const { return m_offset; }
    uint64_t size() const { return m_source ? m_source->size() : 0; }

    // Starts the read-ahead worker (stopping a running one first) and asks it for the window after the
    // current one.
    void startReadAhead();
    // Stops the worker and waits for it to end; reads go to the file directly again.
    void stopReadAhead();
    bool readAheadRunning() const { return m_worker.joinable(); }

    // Windows the worker loaded that reads then used (for tests and benchmarks).
    uint64_t windowsFromWorker() const { return m_windowsFromWorker; }

private:
    size_t readDirect(std::span<uint8_t> out);
    // Makes the window holding `offset` current; false when it cannot be loaded.
    bool enterWindow(uint64_t offset);
    void requestFetch(uint64_t windowOffset);
    void workerLoop();

    std::unique_ptr<ByteSource> m_source;
    uint64_t m_offset = 0;

    std::vector<uint8_t> m_window;  // the current window's bytes
    uint64_t m_windowOffset = 0;
    size_t m_windowLength = 0;  // 0: no current window

    std::vector<uint8_t> m_spare;  // the worker's window; the worker alone writes it while a fetch is pending
    uint64_t m_windowsFromWorker = 0;

    std::thread m_worker;
    // m_mutex protects m_running, m_fetchPending, m_fetchDone, m_fetchOffset, m_spareLength and
    // m_fetchFailed.
    std::mutex m_mutex;
    std::condition_variable m_wake;     // worker: a fetch was asked for, or stop
    std::condition_variable m_fetched;  // reader: a fetch is done
    bool m_running = false;
    bool m_fetchPending = false;
    bool m_fetchDone = false;
    bool m_fetchFailed = false;
    uint64_t m_fetchOffset = 0;
    size_t m_spareLength = 0;
};

}  // namespace dvr::media
