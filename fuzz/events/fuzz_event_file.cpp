// Loads arbitrary bytes as an event file. The first byte steers the filter
// and sort; every shown row must name a playable moment that the time word
// gives back unchanged.
#include "viewer/playback/EventList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dvr::playback;
    if (size == 0)
        return 0;
    const uint8_t steer = data[0];
    const std::span<const uint8_t> file(data + 1, size - 1);

    EventListController list;
    list.load(file);
    if (list.totalRows() > file.size() / 16)
        std::abort();
    list.setChannelFilter(steer & 0x1F);
    if (steer & 0x20)
        list.setTypeFilter(uint8_t(0x80 + (steer & 0x07)));
    if (steer & 0xC0)
        list.setSort(static_cast<EventColumn>(((steer >> 6) & 3) - 1), (steer & 1) != 0);
    for (size_t i = 0; i <= list.rows().size(); ++i) {
        const auto word = list.pick(i);
        if (i == list.rows().size()) {
            if (word)
                std::abort();
            break;
        }
        const EventRow& row = list.rows()[i];
        const auto t = unpackEventTime(row.timeWord);
        if (!word || *word != row.timeWord || t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 ||
            packEventTime(t) != row.timeWord)
            std::abort();
    }
    return 0;
}
