#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace dvr::skin {

// Keeps a second copy of a program from running: a lock file named after the program in $XDG_RUNTIME_DIR
// (the temporary folder when that is not set). A lock left by a copy that no longer runs is taken over,
// however old it is; the lock is released when this object ends.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const QString& programName);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock (or already held it); false while another copy holds it.
    bool acquire();
    void release();
    bool isHeld() const { return m_held; }
    const QString& lockPath() const { return m_path; }

    // The folder the lock files live in.
    static QString lockFolder();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

}  // namespace dvr::skin
