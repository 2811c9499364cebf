#include "viewer/link/EventRecord.h"

#include <algorithm>

namespace dvr::link {

std::optional<EventRecord> parseEventRecord(std::span<const uint8_t, kEventRecordBytes> b) {
    // 0 year - 1996, 1 month, 2 day, 3 hour, 4 minute, 5 second, 6 channel, 8 type.
    if (b[0] > 100 || b[1] > 12 || b[2] >= 32 || b[3] > 24 || b[4] >= 60 || b[5] >= 60 || b[6] > 15)
        return std::nullopt;
    EventRecord r;
    r.time = DateTime{1996 + b[0], b[1], b[2], b[3], b[4], b[5]};
    r.channel = b[6];
    r.type = b[8];
    return r;
}

std::vector<EventRecord> parseEventRecords(std::span<const uint8_t> body) {
    std::vector<EventRecord> out;
    for (size_t at = 0; at + kEventRecordBytes <= body.size(); at += kEventRecordBytes) {
        if (auto r = parseEventRecord(body.subspan(at).first<kEventRecordBytes>()))
            out.push_back(*r);
    }
    return out;
}

void writeEventRecord(std::span<uint8_t, kEventRecordBytes> out, const EventRecord& r) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    out[0] = static_cast<uint8_t>(r.time.year - 1996);  // year - 1996
    out[1] = static_cast<uint8_t>(r.time.month);
    out[2] = static_cast<uint8_t>(r.time.day);
    out[3] = static_cast<uint8_t>(r.time.hour);
    out[4] = static_cast<uint8_t>(r.time.minute);
    out[5] = static_cast<uint8_t>(r.time.second);
    out[6] = static_cast<uint8_t>(r.channel);  // 0-based channel
    out[8] = r.type;                           // event type
}

std::string_view eventTypeText(uint8_t type) {
    switch (type) {
        case 0x80:
            return " ALARM EVENT ON";
        case 0x81:
            return " ALARM EVENT OFF";
        case 0x82:
            return " LOSS EVENT ON";
        case 0x83:
            return " LOSS EVENT OFF";
        case 0x84:
            return " MOTION EVENT ON";
        case 0x85:
            return " MOTION EVENT OFF";
        default:
            return " NO EVENT";
    }
}

}  // namespace dvr::link
