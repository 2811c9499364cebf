#include "viewer/live/widgets/VistrelApplication.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <ostream>
#include <string_view>

#include "common/skin/LanguageFile.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/SingleInstanceLock.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/link/ArpCache.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/widgets/PlaybackExporter.h"

namespace dvr::live {

bool takeSingleInstance(skin::SingleInstanceLock& lock, const skin::LanguageFile& language,
                        ViewerNotifier& notifier) {
    if (lock.acquire()) {
        return true;
    }
    if (!lock.folderError().isEmpty()) {
        notifier.showError("No private folder for the program's lock: " + lock.folderError().toStdString(),
                           language.text("ERR_MSG", "MSG_020", "ERROR"));
        return false;
    }
    notifier.showError(language.errorMessage(19), language.text("ERR_MSG", "MSG_020", "ERROR"));
    return false;
}

int answerCommandLine(const ViewerCommandLine& line, std::ostream& out, std::ostream& err) {
    if (!line.ok()) {
        err << "vistrel: " << line.error << " (try --help)\n";
        return 2;
    }
    if (line.help) {
        out << viewerUsage();
        return 0;
    }
    return -1;
}

int runVistrel(const ViewerCommandLine& line, ViewerNotifier& notifier) {
    const std::string programFolder = skin::ProgramFolder::resolve(line.home, skin::ProgramFolder::kViewer);
    const skin::LanguageFile language(programFolder);
    skin::SingleInstanceLock lock(QStringLiteral("Vistrel"));
    if (!takeSingleInstance(lock, language, notifier)) {
        return 1;
    }

    link::LinuxArpTable arpTable;
    ViewOptions options;
    options.programFolder = programFolder;
    options.settingsFilePath = config::SettingsStore::defaultSettingsFilePath();
    options.hostOverride = line.host;
    options.portOverride = line.port;
    options.arpTable = line.arpCleanup ? &arpTable : nullptr;
    playback::SystemDesktopServices desktop;
    options.desktop = &desktop;
    // Read once, so a measurement can compare the two ways of decoding on the same program.
    const char* onUiThread = std::getenv("VISTREL_DECODE_ON_UI_THREAD");
    options.decodeOnWorker = onUiThread == nullptr || std::string_view(onUiThread) != "1";

    MainFrame frame(std::move(options), notifier);
    frame.view()->initialUpdate();
    if (!frame.isFullScreen()) {
        frame.show();
    }
    if (line.connect) {
        QTimer::singleShot(0, frame.view(), [&frame] { frame.view()->pressConnect(); });
    }
    return QApplication::exec();
}

}  // namespace dvr::live
