#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace dvr::live {

// The single-instance lock: a lock file named after the program in $XDG_RUNTIME_DIR (the temporary
// folder when that is not set). A lock left by a copy that no longer runs is taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString& programName);
    ~InstanceLock();

    // False when another running copy holds the lock.
    bool tryLock();
    bool isLocked() const;
    const QString& path() const { return m_path; }

    // The folder the lock files live in.
    static QString lockFolder();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace dvr::live
