// The printed page of a picture, shared by both programs: a header with a time span above the picture,
// the picture stretched across the page at 4:3, a line under it and a footer with the time of printing.
// Positions are in the printer's device pixels; lengths come in print units of its vertical resolution.
#pragma once

#include <string>
#include <vector>

namespace dvr::exporting {

// A length in print units: n x vertical dots per inch / 84, rounded.
int printUnit(int n, int dotsPerInchY);
// The page font's character height: the print unit of 10.
inline int printFontHeight(int dotsPerInchY) {
    return printUnit(10, dotsPerInchY);
}

// The printer's resolution and page, and the size of the letter "A" in the page font, in device pixels.
struct PrintMetrics {
    int dotsPerInchX = 0;
    int dotsPerInchY = 0;
    int pageWidthPx = 0;  // the physical page width
    int letterWidthPx = 0;
    int letterHeightPx = 0;
};

// What a program prints around its picture. A column k stands right of the texts' margin by the print
// unit of k and the width of the letter "A".
struct PrintSheet {
    std::string documentTitle;  // the print job's name
    int marginExtraPx = 0;      // the texts' margin is one inch plus this
    // Line 1: the heading at the margin, and an optional note at a column.
    std::string heading;
    std::string headingNote;  // empty: none
    int headingNoteColumn = 0;
    // Line 3: the caption of the time span.
    std::string spanCaption;
    int spanCaptionColumn = 0;
    // Line 4: the span's start, "~" and its end.
    std::string spanStart;
    std::string spanEnd;
    int spanStartColumn = 0;
    int spanMarkColumn = 0;
    int spanEndColumn = 0;
    // Line 5, level with the picture's bottom edge: a note at the margin and a time at column 385.
    std::string pictureNote;
    std::string pictureTime;
    // The closing rule lies this many print units (and a line) below line 5.
    int footerGapUnits = 0;
    // Line 7: the time of printing at the margin and the picture's size at column 410.
    std::string printTime;
    std::string sizeText;
};

struct PrintText {
    int x = 0;
    int y = 0;  // the top of the text line
    std::string text;
};

// One printed page in device pixels: the print job's name, the font's character height, the picture's
// rectangle and the text lines in the order they are drawn.
struct PrintPage {
    std::string title;
    int fontHeightPx = 0;
    int pictureX = 0;
    int pictureY = 0;
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::vector<PrintText> texts;
};

// The page: the picture at one inch from the left and one inch plus the print unit of 120 from the top,
// as wide as the page less two and a half inches, at 4:3; the header from one inch down, each line
// below the one before by a few print units and the letter's height; two rules of 89 underscores.
PrintPage layoutPrintPage(const PrintMetrics& metrics, const PrintSheet& sheet);

}  // namespace dvr::exporting
