#include "viewer/playback/PictureTexts.h"

#include <cstdio>

namespace dvr::playback {

std::string fileTimeText(const DateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::vector<SnapshotText> snapshotStampTexts(int columns, int firstChannel, int selectedChannel,
                                             int areaWidth, int areaHeight, const DateTime& time) {
    std::vector<SnapshotText> texts;
    const std::string when = fileTimeText(time);
    if (columns <= 1) {
        texts.push_back({240, 5, "CAM" + std::to_string(selectedChannel + 1) + " " + when, true});
        return texts;
    }
    texts.push_back({240, 5, when, false});
    const int paneWidth = areaWidth / columns;
    const int paneHeight = areaHeight / columns;
    int channel = firstChannel;
    for (int row = 1; row <= columns; ++row) {
        for (int column = 1; column <= columns; ++column) {
            char label[16];
            std::snprintf(label, sizeof label, "CAM%02d", ++channel);
            texts.push_back(
                {paneWidth / 2 - 25 + (column - 1) * paneWidth, row * paneHeight - 20, label, false});
        }
    }
    return texts;
}

exporting::PrintSheet playbackPrintSheet(const PrintedPicture& picture) {
    char size[64];
    std::snprintf(size, sizeof size, "%03d * %03d PIXEL", picture.width, picture.height);
    exporting::PrintSheet sheet;
    sheet.documentTitle = "Vistrel PRINT";
    sheet.marginExtraPx = 50;
    sheet.heading = picture.title;
    sheet.spanCaption = picture.dateTimeCaption;
    sheet.spanCaptionColumn = 195;
    sheet.spanStart = fileTimeText(picture.rangeStart);
    sheet.spanEnd = fileTimeText(picture.rangeEnd);
    sheet.spanStartColumn = 95;
    sheet.spanMarkColumn = 230;
    sheet.spanEndColumn = 280;
    sheet.pictureNote = std::to_string(picture.width) + " * " + std::to_string(picture.height) + " PIXEL";
    sheet.pictureTime = fileTimeText(picture.requestTime);
    sheet.footerGapUnits = 200;
    sheet.printTime = fileTimeText(picture.printTime);
    sheet.sizeText = size;
    return sheet;
}

}  // namespace dvr::playback
