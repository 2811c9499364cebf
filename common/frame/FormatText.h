#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvr::frame {

// "BASIC", "NORMAL", "ENHANCED", "FINE", "SUPER FINE" for quality codes 0..4 (bits 24-31 of the flags);
// empty for any other code.
std::string_view qualityWord(uint32_t pictureFlags);

// The live view's quality line: the quality word padded with blanks to 18 characters and a line feed;
// empty for an unknown quality code.
std::string_view paddedQualityLine(uint32_t pictureFlags);

// Picture size text from bits 0-2 of the flags ("@360*240", "@360*120", "@720*480", "@720*240" for the
// 60-field standard; "@360*288", "@360*144", "@720*576", "@720*288" for 50 fields).
std::string_view sizeText(uint32_t pictureFlags, bool sixtyField);

// The playback window's size line: the size text padded with blanks and a line feed (12 blanks for the
// 60-field texts, 11 for the 50-field ones).
std::string_view paddedSizeLine(uint32_t pictureFlags, bool sixtyField);

// Which window the picture-format text is for.
enum class FormatTextStyle {
    Live,      // padded quality line + size text; 60 fields only for 0xFFFF0000
    Playback,  // quality word + padded size line; 60 fields only for 0xFFFF0000
    Player,    // quality word + size text; the caller passes the standard of its current skin
};

// The picture-format text of one window. It is rebuilt only when the flags or the standard word differ
// from the previous picture's (and always for the first picture after construction or clear()). An
// unknown quality code keeps the quality part of the previous text (Live, Playback) or shows none (Player).
class FormatText {
public:
    explicit FormatText(FormatTextStyle style) : m_style(style) {}

    // Returns true when the text was rebuilt.
    bool update(uint32_t pictureFlags, uint32_t videoStandard);
    const std::string& text() const { return m_text; }
    void clear();

private:
    FormatTextStyle m_style;
    bool m_hasPrevious = false;
    uint32_t m_flags = 0;
    uint32_t m_standard = 0;
    std::string m_quality;
    std::string m_text;
};

}  // namespace dvr::frame
