#pragma once

#include <string>
#include <vector>

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

// The printer's resolution and page, and the size of the letter "A" in the page font, in device pixels.
struct PrintMetrics {
    int dotsPerInchX = 0;
    int dotsPerInchY = 0;
    int pageWidthPx = 0;  // the physical page width
    int letterWidthPx = 0;
    int letterHeightPx = 0;
};

struct PrintText {
    int x = 0;
    int y = 0;  // the top of the text line
    std::string text;
};

// One printed page in device pixels: the title of the print job, the font's character height, the
// picture's rectangle and the text lines.
struct PrintPage {
    std::string title;
    int fontHeightPx = 0;
    int pictureX = 0;
    int pictureY = 0;
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::vector<PrintText> texts;
};

// A length in print units: n x vertical dots per inch / 84, rounded.
int printUnit(int n, int dotsPerInchY);
// The page font's character height: the print unit of 10.
inline int printFontHeight(int dotsPerInchY) {
    return printUnit(10, dotsPerInchY);
}

// The still picture's page: header, the backup's time span, the picture stretched to the page width
// less two and a half inches at 4:3, the channel and picture time under it, and a footer with the time
// of printing and the picture's size.
PrintPage stillPrintPage(const PrintMetrics& metrics, const PrintFacts& facts);

// "%d-%02d-%02d %02d:%02d:%02d".
std::string printTimeText(const DateTime& time);

}  // namespace dvr::player
