#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "common/frame/MallocTuning.h"
#include "viewer/live/ViewerCommandLine.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/live/widgets/VistrelApplication.h"

int main(int argc, char** argv) {
    const dvr::live::ViewerCommandLine line =
        dvr::live::parseViewerCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const int status = dvr::live::answerCommandLine(line, std::cout, std::cerr); status >= 0) {
        return status;
    }
    dvr::frame::tuneHeapForPictureDecoding();
    QApplication application(argc, argv);
    dvr::live::DialogViewerNotifier notifier;
    return dvr::live::runVistrel(line, notifier);
}
