#include "viewer/live/widgets/InstanceLock.h"

#include <QDir>

#include <cstdlib>

namespace dvr::live {

InstanceLock::InstanceLock(const QString& programName)
    : m_path(lockFolder() + QLatin1Char('/') + programName + QStringLiteral(".lock")),
      m_lock(std::make_unique<QLockFile>(m_path)) {
    // Only a lock whose owner no longer runs is stale, however old it is.
    m_lock->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryLock() {
    return m_lock->isLocked() || m_lock->tryLock(0);
}

bool InstanceLock::isLocked() const {
    return m_lock->isLocked();
}

QString InstanceLock::lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QDir::cleanPath(QString::fromLocal8Bit(runtime));
    }
    return QDir::tempPath();
}

}  // namespace dvr::live
