#include "player/edit/StillPrintSheet.h"

#include <cstdio>

namespace dvr::player {

std::string printTimeText(const DateTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

exporting::PrintSheet stillPrintSheet(const PrintFacts& facts) {
    char channel[16];
    std::snprintf(channel, sizeof channel, "%02d CH", facts.channel + 1);
    char size[48];
    std::snprintf(size, sizeof size, "%03d * %03d PIXEL", facts.width, facts.height);
    exporting::PrintSheet sheet;
    sheet.documentTitle = "ZAV IMAGE PRINT";
    sheet.heading = "ZAV IMAGE EDIT";
    sheet.headingNote = "VER 1.4";
    sheet.headingNoteColumn = 430;
    sheet.spanCaption = "BACKUP DATE/TIME";
    sheet.spanCaptionColumn = 175;
    sheet.spanStart = printTimeText(facts.backupStart);
    sheet.spanEnd = printTimeText(facts.backupEnd);
    sheet.spanStartColumn = 75;
    sheet.spanMarkColumn = 210;
    sheet.spanEndColumn = 260;
    sheet.pictureNote = channel;
    sheet.pictureTime = printTimeText(facts.pictureTime);
    sheet.footerGapUnits = 300;
    sheet.printTime = printTimeText(facts.printTime);
    sheet.sizeText = size;
    return sheet;
}

}  // namespace dvr::player
