// The recorder's event list: a sequence of 16-byte records (alarm, video
// loss, motion), as the event-list reply carries it.
#pragma once

#include "viewer/link/Packet.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace dvr::link {

struct EventRecord {
    DateTime time;
    int channel = 0;  // 0-based
    uint8_t type = 0;
    bool operator==(const EventRecord&) const = default;
};

// One record; nullopt when a field is out of range (year beyond 1996 + 100,
// month above 12, day above 31, hour above 24, minute or second above 59,
// channel above 15).
std::optional<EventRecord> parseEventRecord(std::span<const uint8_t, kEventRecordBytes> bytes);
// Every valid whole record, in order; a partial last record is ignored.
std::vector<EventRecord> parseEventRecords(std::span<const uint8_t> body);
void writeEventRecord(std::span<uint8_t, kEventRecordBytes> out, const EventRecord& record);

// " ALARM EVENT ON", " ALARM EVENT OFF", " LOSS EVENT ON", " LOSS EVENT OFF",
// " MOTION EVENT ON", " MOTION EVENT OFF", any other type " NO EVENT".
std::string_view eventTypeText(uint8_t type);

}  // namespace dvr::link
