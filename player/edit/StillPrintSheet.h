#pragma once

#include <string>

#include "common/export/PrintLayout.h"
#include "common/frame/DateTime.h"

namespace dvr::player {

// What the printed page tells about the picture.
struct PrintFacts {
    DateTime backupStart;  // the backup file's first recording
    DateTime backupEnd;    // and its last
    DateTime pictureTime;
    DateTime printTime;  // local time of printing
    int channel = 0;     // 0-based
    int width = 0;       // the picture's own size
    int height = 0;
};

// The still picture's page, "ZAV IMAGE PRINT": the header with the program's version, the backup's
// time span, the channel and picture time under the picture, and a footer with the time of printing and
// the picture's size.
exporting::PrintSheet stillPrintSheet(const PrintFacts& facts);

// "%d-%02d-%02d %02d:%02d:%02d".
std::string printTimeText(const DateTime& time);

}  // namespace dvr::player
