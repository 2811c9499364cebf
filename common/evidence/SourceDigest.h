#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/evidence/Sha256.h"

namespace dvr::evidence {

// The SHA-256 of the source file a program has open, worked out once on a thread of its own. The program
// starts it when it opens the file; every manifest made from that file then takes the result instead of
// reading the whole file again on the thread that saves (a backup on a disc takes minutes to read).
// A file whose size or modification time changed since is hashed afresh.
// start and stop belong to one thread; of and ready may be called from any thread meanwhile.
class SourceDigest {
public:
    SourceDigest() = default;
    ~SourceDigest();
    SourceDigest(const SourceDigest&) = delete;
    SourceDigest& operator=(const SourceDigest&) = delete;

    // Begins hashing `path` in the background; the work on an earlier file ends first.
    void start(const std::string& path);
    // Ends the work in progress (within one block read) and forgets the result.
    void stop();

    // The size and digest of `path`: the background result when it is of this unchanged file (waiting
    // for it while it runs), else hashed on the calling thread. Nullopt with the reason when the file
    // cannot be read.
    std::optional<FileDigest> of(const std::string& path, std::string* reason = nullptr) const;
    // True when `of(path)` would return without reading the file.
    bool ready(const std::string& path) const;
    // How much of `path` the background work has hashed, 0 to 100; nullopt when no work on this
    // unchanged file runs or ran.
    std::optional<int> percentDone(const std::string& path) const;

private:
    struct Work;
    std::shared_ptr<Work> current() const;

    mutable std::mutex m_mutex;  // guards m_work (the pointer; the work guards itself)
    std::shared_ptr<Work> m_work;
    std::thread m_thread;  // start/stop thread only
};

}  // namespace dvr::evidence
