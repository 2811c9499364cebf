#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace dvr::player {

// Keeps a second copy of a program from running: a lock file named after the program in
// $XDG_RUNTIME_DIR (the temporary folder when that is not set). A lock left by a program
// that ended without releasing it is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& name);
    // True when this process now holds the lock (or already held it).
    bool acquire();
    void release();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

}  // namespace dvr::player
