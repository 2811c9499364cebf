#pragma once

#include <cstdint>

#include "common/frame/DecodedPicture.h"
#include "player/view/FieldInterleaver.h"

namespace dvr::player {

// Which decoded records, taken in file order, become a channel's picture. Quad pictures come as field
// pairs and only the first field is kept, except from the recorders of layout code 0x20016, whose quads
// are kept whatever their field code. Full-height pictures are woven from a first field and the second
// field of the same channel that follows it. The player's window and the exports apply the same rules,
// so an exported clip holds the pictures the window shows.
class FieldRules {
public:
    static constexpr uint32_t kQuadAnyFieldLayout = 0x20016;

    enum class Verdict {
        Keep,       // `picture` is the channel's new picture
        FieldHeld,  // a first field held aside for its second field
        Dropped,    // nothing to show
    };
    struct Taken {
        Verdict verdict = Verdict::Dropped;
        // The decoded record itself or the woven frame (owned by the rules, valid until the next call);
        // null unless kept.
        frame::DecodedPicture* picture = nullptr;
    };

    // True for a record that `take` drops whatever its pixels hold (a quad's second field): it need not be
    // decoded at all.
    static bool dropsUndecoded(uint32_t pictureFlags, uint32_t layoutCode, int fieldCode);

    // `channel` is the first channel read from the decoded picture; `fieldCode` 0 first field, 1 second
    // field, anything else a whole frame.
    Taken take(int channel, frame::DecodedPicture& decoded, uint32_t pictureFlags, uint32_t layoutCode,
               int fieldCode);
    // Forgets a held first field (a new file: it must not be woven with a field of the next file).
    void clear() { m_interleaver.clear(); }

private:
    FieldInterleaver m_interleaver;
    frame::DecodedPicture m_woven;
};

}  // namespace dvr::player
