#pragma once

#include <QWidget>

#include <string>

namespace dvr::live {

class LiveController;
class ViewerNotifier;

// The setup dialog, modal, over the live view; when it closes the controller hears whether it was
// confirmed and whether the connection settings changed.
void runSetupDialog(QWidget& view, LiveController& live, ViewerNotifier& notifier,
                    const std::string& programFolder);

// The "User PTZ Command" editor over `parent`; the file it last loaded or saved becomes current.
void editPtzCommands(LiveController& live, QWidget* parent);

}  // namespace dvr::live
