#pragma once

// Each pane's picture kept at the pane's size: a picture is scaled into its
// pane once, when it is first painted, and every later paint of that pane (a
// text beside it, a window uncovered, a menu closed) copies it unscaled. A
// picture that no paint shows (pictures come faster than the screen shows
// them) is never scaled.

#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>

namespace dvr::playback {

class PaneImageCache {
public:
    static constexpr int kPanes = 16;

    // A new picture is in picture buffer `buffer`: panes scaled from it are
    // scaled again on their next paint.
    void pictureChanged(int buffer);
    // Every pane is scaled again on its next paint.
    void clear();
    // Pane `pane`'s picture at `size`: `source` of `image` (picture buffer
    // `buffer`) scaled smoothly, reused while buffer, picture, source and size
    // are those it was scaled for.
    const QImage& scaled(int pane, int buffer, const QImage& image, const QRect& source, QSize size);
    // How many scalings ran (benchmarks and tests).
    uint64_t scalings() const { return m_scalings; }

private:
    struct Entry {
        QImage image;
        int buffer = -1;
        uint64_t version = 0;
        QRect source;
    };
    std::array<Entry, kPanes> m_entries;
    std::array<uint64_t, kPanes> m_versions{};
    uint64_t m_nextVersion = 1;
    uint64_t m_scalings = 0;
};

}  // namespace dvr::playback
