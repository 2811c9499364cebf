#include "common/frame/FormatText.h"

#include "common/frame/FrameHeader.h"

namespace dvr::frame {

namespace {

constexpr std::string_view kQualityWords[] = {"BASIC", "NORMAL", "ENHANCED", "FINE", "SUPER FINE"};
constexpr std::string_view kQualityLines[] = {
    "BASIC             \n", "NORMAL            \n", "ENHANCED          \n",
    "FINE              \n", "SUPER FINE        \n",
};

// Index by size code: pair, quad, full height, single.
constexpr std::string_view kSixtySizes[] = {"@360*240", "@360*120", "@720*480", "@720*240"};
constexpr std::string_view kFiftySizes[] = {"@360*288", "@360*144", "@720*576", "@720*288"};
constexpr std::string_view kSixtySizeLines[] = {"@360*240            \n", "@360*120            \n",
                                                "@720*480            \n", "@720*240            \n"};
constexpr std::string_view kFiftySizeLines[] = {"@360*288           \n", "@360*144           \n",
                                                "@720*576           \n", "@720*288           \n"};

int sizeIndex(uint32_t flags) {
    switch (pictureKind(flags)) {
        case PictureKind::Pair:
            return 0;
        case PictureKind::Quad:
            return 1;
        case PictureKind::FullHeight:
            return 2;
        case PictureKind::Single:
            break;
    }
    return 3;
}

bool knownQuality(uint32_t flags) {
    return qualityCode(flags) <= 4;
}

}  // namespace

std::string_view qualityWord(uint32_t pictureFlags) {
    return knownQuality(pictureFlags) ? kQualityWords[qualityCode(pictureFlags)] : std::string_view{};
}

std::string_view paddedQualityLine(uint32_t pictureFlags) {
    return knownQuality(pictureFlags) ? kQualityLines[qualityCode(pictureFlags)] : std::string_view{};
}

std::string_view sizeText(uint32_t pictureFlags, bool sixtyField) {
    return (sixtyField ? kSixtySizes : kFiftySizes)[sizeIndex(pictureFlags)];
}

std::string_view paddedSizeLine(uint32_t pictureFlags, bool sixtyField) {
    return (sixtyField ? kSixtySizeLines : kFiftySizeLines)[sizeIndex(pictureFlags)];
}

bool FormatText::update(uint32_t pictureFlags, uint32_t videoStandard) {
    if (m_hasPrevious && pictureFlags == m_flags && videoStandard == m_standard)
        return false;
    m_hasPrevious = true;
    m_flags = pictureFlags;
    m_standard = videoStandard;

    const bool sixty = isSixtyField(videoStandard);
    switch (m_style) {
        case FormatTextStyle::Live:
            if (knownQuality(pictureFlags))
                m_quality = paddedQualityLine(pictureFlags);
            m_text = m_quality;
            m_text += sizeText(pictureFlags, sixty);
            break;
        case FormatTextStyle::Playback:
            if (knownQuality(pictureFlags))
                m_quality = qualityWord(pictureFlags);
            m_text = m_quality;
            m_text += paddedSizeLine(pictureFlags, sixty);
            break;
        case FormatTextStyle::Player:
            m_quality = qualityWord(pictureFlags);
            m_text = m_quality;
            m_text += sizeText(pictureFlags, sixty);
            break;
    }
    return true;
}

void FormatText::clear() {
    m_hasPrevious = false;
    m_flags = 0;
    m_standard = 0;
    m_quality.clear();
    m_text.clear();
}

}  // namespace dvr::frame
