#pragma once

#include <cstdint>

#include "common/frame/DecodedPicture.h"

namespace dvr::player {

// Builds full-height pictures from the two fields of a frame picture: the first field of a
// channel is held aside; the following second field of the same channel is woven with it
// row by row. Rows are taken from a starting row that depends on the recorder (4 for the
// layout codes 0x20004, 0x20008, 0x20016, else 3); rows past a field's last row repeat
// its last row.
class FieldInterleaver {
public:
    FieldInterleaver() = default;

    // Holds a first field of channel aside (replacing any held one).
    void firstField(int channel, const frame::DecodedPicture& field);
    // Weaves a second field of channel with the held first field into out (twice the
    // field height, at most 576 rows). False, with out untouched, when no first field of
    // that channel is held or the two fields differ in size.
    bool secondField(int channel, const frame::DecodedPicture& field, uint32_t layoutCode,
                     frame::DecodedPicture& out);
    void clear() { m_channel = -1; }

private:
    frame::DecodedPicture m_first;
    int m_channel = -1;
};

}  // namespace dvr::player
