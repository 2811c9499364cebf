#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace dvr::skin {

// Keeps a second copy of a program from running: a lock file named after the program in a folder only
// this user can use: the session's runtime folder ($XDG_RUNTIME_DIR, owner and mode checked), else
// <cache folder>/<program>/runtime (made 0700, owner and mode checked). A lock left by a copy that no
// longer runs is taken over, however old it is; the lock is released when this object ends.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const QString& programName);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock (or already held it); false while another copy holds
    // it, or when there is no private folder for it (folderError() then says why).
    bool acquire();
    void release();
    bool isHeld() const { return m_held; }
    // Empty when there is no private folder.
    const QString& lockPath() const { return m_path; }
    // Why there is no private folder for the lock; empty when there is one.
    const QString& folderError() const { return m_folderError; }

    // The private folder the program's lock and local sockets live in; empty, with the reason in
    // `error`, when there is none.
    static QString lockFolder(const QString& programName, QString* error = nullptr);

private:
    QString m_path;
    QString m_folderError;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

}  // namespace dvr::skin
