#include "player/edit/PrintPage.h"

#include <cmath>
#include <cstdio>

namespace dvr::player {

int printUnit(int n, int dotsPerInchY) {
    return int(std::lround(double(n) * double(dotsPerInchY) / 84.0));
}

std::string printTimeText(const DateTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

PrintPage stillPrintPage(const PrintMetrics& m, const PrintFacts& facts) {
    const int dpiX = m.dotsPerInchX;
    const int dpiY = m.dotsPerInchY;
    auto u = [dpiY](int n) { return printUnit(n, dpiY); };
    const int margin = dpiX;
    const int h = m.letterHeightPx;
    auto column = [&](int k) { return margin + u(k) + m.letterWidthPx; };
    const std::string rule(89, '_');

    PrintPage page;
    page.title = "ZAV IMAGE PRINT";
    page.fontHeightPx = printFontHeight(dpiY);
    page.pictureWidth = m.pageWidthPx - 2 * dpiX - dpiX / 2;
    page.pictureHeight = page.pictureWidth * 3 / 4;
    page.pictureX = dpiX;
    page.pictureY = dpiY + u(120);

    auto& texts = page.texts;
    int y = dpiY;
    texts.push_back({margin, y, "ZAV IMAGE EDIT"});
    texts.push_back({column(430), y, "VER 1.4"});
    y += u(1) + h;
    texts.push_back({margin, y, rule});
    y += u(10) + h;
    texts.push_back({column(175), y, "BACKUP DATE/TIME"});
    y += u(4) + h;
    texts.push_back({column(75), y, printTimeText(facts.backupStart)});
    texts.push_back({column(210), y, "~"});
    texts.push_back({column(260), y, printTimeText(facts.backupEnd)});

    y = page.pictureY + page.pictureHeight;
    char channel[16];
    std::snprintf(channel, sizeof channel, "%02d CH", facts.channel + 1);
    texts.push_back({margin, y, channel});
    texts.push_back({column(385), y, printTimeText(facts.pictureTime)});
    y += u(300) + h;
    texts.push_back({margin, y, rule});
    y += u(6) + h;
    texts.push_back({margin, y, printTimeText(facts.printTime)});
    char size[48];
    std::snprintf(size, sizeof size, "%03d * %03d PIXEL", facts.width, facts.height);
    texts.push_back({column(410), y, size});
    return page;
}

}  // namespace dvr::player
