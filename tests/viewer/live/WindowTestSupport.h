// What the offscreen window tests against the recorder simulator share: waiting on state while the
// event loop runs, and a program folder of their own with the built skin.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace dvr::live::windowtest {

inline constexpr int kWaitMs = 30000;

// Runs the event loop until `done` holds; false when `timeoutMs` passed first.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A temporary program folder with the skin's ini files, the painted skin and the logos of the build's
// program folder; only the source tree's res.ini when the build holds no skin.
inline std::unique_ptr<QTemporaryDir> makeProgramFolder() {
    auto folder = std::make_unique<QTemporaryDir>();
    const QDir runtime(QStringLiteral(DVR_RUNTIME_DIR));
    std::error_code error;
    if (QFile::exists(runtime.filePath(QStringLiteral("ini/res.ini")))) {
        for (const char* sub : {"ini", "skin/vistrel", "logo"}) {
            const QString name = QString::fromLatin1(sub);
            std::filesystem::create_directories(folder->filePath(name).toStdString(), error);
            std::filesystem::copy(runtime.filePath(name).toStdString(), folder->filePath(name).toStdString(),
                                  std::filesystem::copy_options::recursive, error);
        }
    } else {
        QDir(folder->path()).mkpath(QStringLiteral("ini"));
        std::filesystem::copy_file(DVR_SOURCE_DIR "/skins/vistrel/res.ini",
                                   folder->filePath(QStringLiteral("ini/res.ini")).toStdString(), error);
    }
    return folder;
}

}  // namespace dvr::live::windowtest
