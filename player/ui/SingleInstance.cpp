#include "player/ui/SingleInstance.h"

#include <QDir>

namespace dvr::player {

namespace {

QString runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
    return QDir::tempPath();
}

}  // namespace

SingleInstance::SingleInstance(const QString& name)
    : m_path(runtimeFolder() + QLatin1Char('/') + name + QStringLiteral(".lock")),
      m_lock(std::make_unique<QLockFile>(m_path)) {
    // A running copy keeps its lock however long it runs.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    if (!m_held) {
        m_held = m_lock->tryLock(0);
    }
    return m_held;
}

void SingleInstance::release() {
    if (m_held) {
        m_lock->unlock();
        m_held = false;
    }
}

}  // namespace dvr::player
