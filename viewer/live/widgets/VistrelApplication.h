#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "viewer/live/ViewerCommandLine.h"

class LanguageFile;

namespace dvr::skin {
class SingleInstanceLock;
}

namespace dvr::live {

class ViewerNotifier;

// Takes the single-instance lock. When another copy of the program holds it, shows the language file's
// MSG_019 ("Another instance of this program exists") with the MSG_020 caption ("ERROR") as an error and
// returns false; the other copy is left alone.
bool takeSingleInstance(skin::SingleInstanceLock& lock, const ::LanguageFile& language,
                        ViewerNotifier& notifier);

// Answers --help and a bad command line without a window: prints the usage to `out` (status 0) or a
// one-line error to `err` (status 2). Returns -1 when the program is to start.
int answerCommandLine(const ViewerCommandLine& line, std::ostream& out, std::ostream& err);

// Runs the viewer in the application object that exists already: takes the single-instance lock, creates
// the main window and runs the event loop until the window closes. Returns the exit status: 0, or 1 when
// another copy runs.
int runVistrel(const ViewerCommandLine& line, ViewerNotifier& notifier);

}  // namespace dvr::live
