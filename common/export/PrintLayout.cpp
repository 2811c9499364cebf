#include "common/export/PrintLayout.h"

#include <cmath>

namespace dvr::exporting {

namespace {

constexpr int kPictureTimeColumn = 385;
constexpr int kSizeColumn = 410;
constexpr size_t kRuleLength = 89;

}  // namespace

int printUnit(int n, int dotsPerInchY) {
    return int(std::lround(double(n) * double(dotsPerInchY) / 84.0));
}

PrintPage layoutPrintPage(const PrintMetrics& m, const PrintSheet& sheet) {
    const int dpiX = m.dotsPerInchX;
    const int dpiY = m.dotsPerInchY;
    auto u = [dpiY](int n) { return printUnit(n, dpiY); };
    const int margin = dpiX + sheet.marginExtraPx;
    auto column = [&](int k) { return margin + u(k) + m.letterWidthPx; };
    const int h = m.letterHeightPx;
    const std::string rule(kRuleLength, '_');

    PrintPage page;
    page.title = sheet.documentTitle;
    page.fontHeightPx = printFontHeight(dpiY);
    // Integer inches: the page less two and a half of them.
    page.pictureWidth = m.pageWidthPx - 2 * dpiX - dpiX / 2;
    page.pictureHeight = page.pictureWidth * 3 / 4;
    page.pictureX = dpiX;
    page.pictureY = dpiY + u(120);

    auto& texts = page.texts;
    int y = dpiY;
    texts.push_back({margin, y, sheet.heading});
    if (!sheet.headingNote.empty())
        texts.push_back({column(sheet.headingNoteColumn), y, sheet.headingNote});
    y += u(1) + h;
    texts.push_back({margin, y, rule});
    y += u(10) + h;
    texts.push_back({column(sheet.spanCaptionColumn), y, sheet.spanCaption});
    y += u(4) + h;
    texts.push_back({column(sheet.spanStartColumn), y, sheet.spanStart});
    texts.push_back({column(sheet.spanMarkColumn), y, "~"});
    texts.push_back({column(sheet.spanEndColumn), y, sheet.spanEnd});

    y = page.pictureY + page.pictureHeight;
    texts.push_back({margin, y, sheet.pictureNote});
    texts.push_back({column(kPictureTimeColumn), y, sheet.pictureTime});
    y += u(sheet.footerGapUnits) + h;
    texts.push_back({margin, y, rule});
    y += u(6) + h;
    texts.push_back({margin, y, sheet.printTime});
    texts.push_back({column(kSizeColumn), y, sheet.sizeText});
    return page;
}

}  // namespace dvr::exporting
