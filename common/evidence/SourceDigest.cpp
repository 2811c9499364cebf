#include "common/evidence/SourceDigest.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

namespace dvr::evidence {

namespace {

// What tells one state of a file from another without reading it.
struct FileStamp {
    bool ok = false;
    off_t sizeBytes = 0;
    timespec modified{};
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileStamp& o) const {
        return ok && o.ok && sizeBytes == o.sizeBytes && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && device == o.device && inode == o.inode;
    }
};

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true, st.st_size, st.st_mtim, st.st_dev, st.st_ino};
}

}  // namespace

struct SourceDigest::Work {
    std::string path;
    FileStamp stamp;  // taken before reading
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> bytesDone{0};
    std::mutex mutex;  // guards done, result, reason
    std::condition_variable finished;
    bool done = false;
    std::optional<FileDigest> result;
    std::string reason;
};

SourceDigest::~SourceDigest() {
    stop();
}

void SourceDigest::start(const std::string& path) {
    stop();
    auto work = std::make_shared<Work>();
    work->path = path;
    work->stamp = stampOf(path);
    {
        std::lock_guard lock(m_mutex);
        m_work = work;
    }
    m_thread = std::thread([work] {
        std::string reason;
        std::optional<FileDigest> result = sha256OfFile(work->path, &reason, &work->cancel, &work->bytesDone);
        {
            std::lock_guard lock(work->mutex);
            work->result = std::move(result);
            work->reason = std::move(reason);
            work->done = true;
        }
        work->finished.notify_all();
    });
}

void SourceDigest::stop() {
    std::shared_ptr<Work> work;
    {
        std::lock_guard lock(m_mutex);
        work = std::move(m_work);
        m_work.reset();
    }
    if (work)
        work->cancel.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

std::shared_ptr<SourceDigest::Work> SourceDigest::current() const {
    std::lock_guard lock(m_mutex);
    return m_work;
}

std::optional<FileDigest> SourceDigest::of(const std::string& path, std::string* reason) const {
    const std::shared_ptr<Work> work = current();
    if (work && work->path == path && work->stamp == stampOf(path)) {
        std::unique_lock lock(work->mutex);
        work->finished.wait(lock, [&] { return work->done; });
        // A result cut short by stop() is no answer; the file is read here instead.
        if (work->result || work->reason != "cancelled") {
            if (!work->result && reason)
                *reason = work->reason;
            return work->result;
        }
    }
    return sha256OfFile(path, reason);
}

bool SourceDigest::ready(const std::string& path) const {
    const std::shared_ptr<Work> work = current();
    if (!work || work->path != path || !(work->stamp == stampOf(path)))
        return false;
    std::lock_guard lock(work->mutex);
    return work->done;
}

std::optional<int> SourceDigest::percentDone(const std::string& path) const {
    const std::shared_ptr<Work> work = current();
    if (!work || work->path != path || !(work->stamp == stampOf(path)))
        return std::nullopt;
    const uint64_t size = uint64_t(work->stamp.sizeBytes);
    if (size == 0)
        return 100;
    return int(std::min<uint64_t>(100, work->bytesDone.load() * 100 / size));
}

}  // namespace dvr::evidence
