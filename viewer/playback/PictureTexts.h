// The texts a picture of the playback window carries when it is saved or printed: the snapshot's stamp
// and the printed page's lines. The window captures and paints; this says what is written where.
#pragma once

#include "common/export/PrintLayout.h"
#include "common/frame/DateTime.h"

#include <string>
#include <vector>

namespace dvr::playback {

// "%04d-%02d-%02d %02d-%02d-%02d", the time in snapshot and recording names and on the printed page.
std::string fileTimeText(const DateTime& t);

// One text stamped onto a snapshot. Red: drawn in red as one line into the box (x, y) to (x + 360,
// y + 30); otherwise white with a one-pixel black outline, its top-left at (x, y).
struct SnapshotText {
    int x = 0;
    int y = 0;
    std::string text;
    bool red = false;
    friend bool operator==(const SnapshotText&, const SnapshotText&) = default;
};

// The stamp of a snapshot of an areaWidth x areaHeight picture area: one column shows "CAM%d <time>"
// for the selected channel; several columns show the time and a "CAM%02d" label on each pane, numbered
// on from the first channel.
std::vector<SnapshotText> snapshotStampTexts(int columns, int firstChannel, int selectedChannel,
                                             int areaWidth, int areaHeight, const DateTime& time);

// What the printed page tells.
struct PrintedPicture {
    std::string title;            // the language's "PRINT"/"Vistrel" text
    std::string dateTimeCaption;  // the language's "PRINT"/"PLAY DATE/TIME" text
    DateTime rangeStart;
    DateTime rangeEnd;
    DateTime requestTime;
    DateTime printTime;  // local time of printing
    int width = 0;       // the printed picture's own size
    int height = 0;
};

// The page of "Vistrel PRINT": texts 50 pixels right of the picture's edge, the recorded range, the
// picture's size and request time under it, the time of printing and the size again in the footer.
exporting::PrintSheet playbackPrintSheet(const PrintedPicture& picture);

}  // namespace dvr::playback
