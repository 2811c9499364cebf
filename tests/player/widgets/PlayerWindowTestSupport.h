// What the offscreen tests of the Discoro windows share: backup files written by the backup writer, the
// window on a test skin with unpaced play, and waiting on state while the event loop runs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "player/widgets/PlayerView.h"
#include "tests/support/EventLoopWait.h"
#include "tools/zavgen/BackupGenerator.h"

namespace dvr::player::windowtest {

// Writes the backup file `name` into `folder`; its path. A failure to write is a test failure.
inline std::string generate(const std::filesystem::path& folder, const std::string& name,
                            const zavgen::GeneratorOptions& options) {
    const std::filesystem::path path = folder / name;
    zavgen::GeneratorReport report;
    EXPECT_TRUE(zavgen::generateBackup(path.string(), options, report)) << report.error;
    return path.string();
}

// The window on the skin of `programFolder`, shown, playing as fast as the pictures come.
inline std::unique_ptr<PlayerView> makeView(const std::filesystem::path& programFolder,
                                            skin::SkinNotifier& notifier, StillPrinter* printer = nullptr) {
    PlayerView::Options options;
    options.programFolder = programFolder.string();
    options.notifier = &notifier;
    options.paced = false;
    options.printer = printer;
    auto view = std::make_unique<PlayerView>(options);
    view->show();
    return view;
}

// Runs the event loop until done() or the time-out, then once more so that what done() saw is painted.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = testsupport::kStateWaitMs) {
    if (!testsupport::runEventsUntil(done, timeoutMs)) {
        return false;
    }
    QApplication::processEvents();
    return true;
}

}  // namespace dvr::player::windowtest
