#include "common/skin/widgets/SingleInstanceLock.h"

#include <unistd.h>

#include <QDir>
#include <QStandardPaths>

#include "common/fs/SafeOpen.h"

namespace dvr::skin {

SingleInstanceLock::SingleInstanceLock(const QString& programName) {
    const QString folder = lockFolder(programName, &m_folderError);
    if (!folder.isEmpty()) {
        m_path = folder + QLatin1Char('/') + programName + QStringLiteral(".lock");
        m_lock = std::make_unique<QLockFile>(m_path);
        // Only a lock whose owner no longer runs is stale, however long the owner has been running.
        m_lock->setStaleLockTime(0);
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    release();
}

bool SingleInstanceLock::acquire() {
    if (!m_held && m_lock) {
        m_held = m_lock->tryLock(0);
        // A lock file whose holder cannot be told from its contents (cut short by a crash or a power
        // loss, written on another machine sharing the home folder, naming a process id reused since)
        // is never judged stale by them. A running copy holds a lock on the file itself, so removing it
        // succeeds only when none does.
        if (!m_held && m_lock->error() == QLockFile::LockFailedError && m_lock->removeStaleLockFile()) {
            m_held = m_lock->tryLock(0);
        }
    }
    return m_held;
}

void SingleInstanceLock::release() {
    if (m_held) {
        m_lock->unlock();
        m_held = false;
    }
}

QString SingleInstanceLock::lockFolder(const QString& programName, QString* error) {
    const unsigned user = ::geteuid();
    // The session's runtime folder, when the session has one and it is this user's and closed to
    // others (checked here first, so Qt never falls back to a folder in the shared temporary folder).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && fs::checkPrivateFolder(QFile::encodeName(runtime).toStdString(), user).ok) {
        const QString checked = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!checked.isEmpty() && QDir::cleanPath(checked) == QDir::cleanPath(runtime)) {
            return QDir::cleanPath(checked);
        }
    }
    // No usable runtime folder (su, sudo, cron, some remote sessions): a private folder of the user's
    // own, never a shared one where another user could plant a lock or a socket.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        if (error) {
            *error = QStringLiteral("no runtime or cache folder (XDG_RUNTIME_DIR and HOME are not set)");
        }
        return {};
    }
    const QString folder =
        QDir::cleanPath(cache + QLatin1Char('/') + programName + QStringLiteral("/runtime"));
    const fs::FileResult made = fs::ensurePrivateFolder(QFile::encodeName(folder).toStdString(), user);
    if (!made.ok) {
        if (error) {
            *error = QString::fromStdString(made.describe());
        }
        return {};
    }
    return folder;
}

}  // namespace dvr::skin
