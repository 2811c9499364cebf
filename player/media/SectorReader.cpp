#include "player/media/SectorReader.h"

#include <algorithm>
#include <cstring>

namespace dvr::media {

SectorReader::SectorReader() = default;

SectorReader::~SectorReader() {
    close();
}

void SectorReader::open(std::unique_ptr<ByteSource> source) {
    close();
    m_source = std::move(source);
    m_offset = 0;
}

void SectorReader::close() {
    stopReadAhead();
    m_source.reset();
    m_offset = 0;
    m_windowLength = 0;
}

size_t SectorReader::readDirect(std::span<uint8_t> out) {
    const size_t got = m_source->readAt(m_offset, out);
    m_offset += got;
    return got;
}

size_t SectorReader::read(std::span<uint8_t> out) {
    if (!m_source)
        return 0;
    if (!readAheadRunning())
        return readDirect(out);
    size_t done = 0;
    while (done < out.size()) {
        if (!enterWindow(m_offset))
            return done + readDirect(out.subspan(done));
        const size_t inWindow = size_t(m_offset - m_windowOffset);
        const size_t count = std::min(out.size() - done, m_windowLength - inWindow);
        std::memcpy(out.data() + done, m_window.data() + inWindow, count);
        done += count;
        m_offset += count;
    }
    return done;
}

bool SectorReader::seek(uint64_t offset) {
    if (!m_source || offset > m_source->size())
        return false;
    m_offset = offset;
    return true;
}

bool SectorReader::enterWindow(uint64_t offset) {
    if (m_windowLength > 0 && offset >= m_windowOffset && offset < m_windowOffset + m_windowLength)
        return true;
    if (offset >= m_source->size())
        return false;
    const uint64_t wanted = offset / kWindowBytes * kWindowBytes;
    bool fromWorker = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_fetchPending && m_fetchOffset == wanted) {
            m_fetched.wait(lock, [this] { return m_fetchDone; });
            m_fetchPending = false;
            if (!m_fetchFailed) {
                m_window.swap(m_spare);
                m_windowLength = m_spareLength;
                fromWorker = true;
            }
        } else if (m_fetchPending) {
            // A fetch of another window is under way: let it finish before the spare buffer is reused.
            m_fetched.wait(lock, [this] { return m_fetchDone; });
            m_fetchPending = false;
        }
    }
    if (fromWorker) {
        ++m_windowsFromWorker;
    } else {
        const size_t length = size_t(std::min<uint64_t>(kWindowBytes, m_source->size() - wanted));
        if (m_source->readAt(wanted, {m_window.data(), length}) < length) {
            m_windowLength = 0;
            return false;
        }
        m_windowLength = length;
    }
    m_windowOffset = wanted;
    if (m_windowOffset + kWindowBytes < m_source->size())
        requestFetch(m_windowOffset + kWindowBytes);
    return m_windowLength > 0;
}

void SectorReader::requestFetch(uint64_t windowOffset) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_fetchPending)
            return;
        m_fetchPending = true;
        m_fetchDone = false;
        m_fetchFailed = false;
        m_fetchOffset = windowOffset;
    }
    m_wake.notify_one();
}

void SectorReader::startReadAhead() {
    stopReadAhead();
    if (!m_source)
        return;
    m_window.resize(kWindowBytes);
    m_spare.resize(kWindowBytes);
    m_windowLength = 0;
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
        m_fetchPending = false;
    }
    m_worker = std::thread([this] { workerLoop(); });
    // The first reads come from the current window; the worker starts on the one after it.
    const uint64_t current = m_offset / kWindowBytes * kWindowBytes;
    if (current + kWindowBytes < m_source->size())
        requestFetch(current + kWindowBytes);
}

void SectorReader::stopReadAhead() {
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
    }
    m_wake.notify_all();
    m_worker.join();
    std::lock_guard lock(m_mutex);
    m_fetchPending = false;
    m_windowLength = 0;
}

void SectorReader::workerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_running || (m_fetchPending && !m_fetchDone); });
        if (!m_running)
            break;
        const uint64_t offset = m_fetchOffset;
        const size_t length = size_t(std::min<uint64_t>(kWindowBytes, m_source->size() - offset));
        lock.unlock();
        const bool ok = m_source->readAt(offset, {m_spare.data(), length}) == length;
        lock.lock();
        m_spareLength = length;
        m_fetchFailed = !ok;
        m_fetchDone = true;
        m_fetched.notify_all();
    }
    // A reader waiting for a fetch that will never come is released.
    m_fetchDone = true;
    m_fetched.notify_all();
}

}  // namespace dvr::media
