#include "common/skin/widgets/SingleInstanceLock.h"

#include <QDir>

namespace dvr::skin {

SingleInstanceLock::SingleInstanceLock(const QString& programName)
    : m_path(lockFolder() + QLatin1Char('/') + programName + QStringLiteral(".lock")),
      m_lock(std::make_unique<QLockFile>(m_path)) {
    // Only a lock whose owner no longer runs is stale, however long the owner has been running.
    m_lock->setStaleLockTime(0);
}

SingleInstanceLock::~SingleInstanceLock() {
    release();
}

bool SingleInstanceLock::acquire() {
    if (!m_held) {
        m_held = m_lock->tryLock(0);
    }
    return m_held;
}

void SingleInstanceLock::release() {
    if (m_held) {
        m_lock->unlock();
        m_held = false;
    }
}

QString SingleInstanceLock::lockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return QDir::cleanPath(runtime);
    }
    return QDir::tempPath();
}

}  // namespace dvr::skin
