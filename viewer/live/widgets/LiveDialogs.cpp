#include "viewer/live/widgets/LiveDialogs.h"

#include <QGraphicsProxyWidget>

#include "viewer/live/LiveController.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/ptz/PtzFiles.h"
#include "viewer/ptz/widgets/UserPtzCommandDialog.h"
#include "viewer/setup/widgets/SetupDialog.h"

namespace dvr::live {

void runSetupDialog(QWidget& view, LiveController& live, ViewerNotifier& notifier,
                    const std::string& programFolder) {
    setup::SetupServices services;
    services.notifier = &notifier;
    services.ptzTypeChosen = [&live](int ptzType) { live.setPtzType(ptzType); };
    services.ptzBaudRateChosen = [&live](int rate) { live.setPtzBaudRate(uint32_t(rate)); };
    services.editPtzCommands = [&live](QWidget* parent) { editPtzCommands(live, parent); };
    // Inside the full-screen scaler a child dialog would be drawn into the scene: it gets its own window.
    QWidget* parent = view.graphicsProxyWidget() != nullptr ? nullptr : &view;
    const setup::SetupResult result =
        setup::SetupDialog::runSetup(parent, live.settingsStore(), programFolder, std::move(services));
    live.setupFinished(result.accepted, result.changes.connectionChanged);
}

void editPtzCommands(LiveController& live, QWidget* parent) {
    ptz::DialogFileChooser files;
    ptz::MessageBoxSink messages;
    ptz::UserPtzCommandDialog dialog(live.ptzCommandFilePath(), files, messages, &live.language(), parent);
    dialog.setOperateHandler([&live](const ptz::PtzCommand& command) { live.operatePtz(command); });
    dialog.setUserFolder(ptz::defaultUserDataFolder());
    dialog.exec();
    live.setPtzCommandFilePath(dialog.filePath());
}

}  // namespace dvr::live
