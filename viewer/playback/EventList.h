// The event list: the event file the session keeps from the recorder's
// event-list reply, its rows as the dialog shows them, the packed event time
// word, and the list's controller (load, filter, sort, pick an event). No Qt.
#pragma once

#include "viewer/link/EventRecord.h"
#include "viewer/link/Packet.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dvr::playback {

inline constexpr const char* kEventFileName = "AlarmEvent.am";

// Event time word: year - 1996 in bits 26-31, month 22-25, day 17-21,
// hour 12-16, minute 6-11, second 0-5.
uint32_t packEventTime(const DateTime& t);
DateTime unpackEventTime(uint32_t word);

// Whether an in-range record names a moment that can be played: month and
// day from 1, hour below 24, a year the time word holds (at most 2059).
bool playableEvent(const link::EventRecord& record);

struct EventRow {
    int channel = 0;  // 1-based, as shown
    uint8_t type = 0;
    uint32_t timeWord = 0;
    size_t fileIndex = 0;     // the record's place in the file
    std::string channelText;  // "CH%d"
    std::string typeText;     // with its leading blank
    std::string timeText;     // "[ %04d/%02d/%02d ] %02d:%02d:%02d"
};

// The rows of an event file's bytes in file order: whole records only,
// out-of-range and unplayable ones skipped.
std::vector<EventRow> eventRows(std::span<const uint8_t> file);

// The whole file; empty when it is missing or unreadable.
std::vector<uint8_t> readEventFile(const std::string& path);
// Replaces the file with `records` through a temporary file beside it and a
// rename, so a reader sees the old list or the new one, never a part.
bool writeEventFile(const std::string& path, std::span<const uint8_t> records);

enum class EventColumn { Channel = 0, Type = 1, Time = 2 };

// The list the dialog shows: rows in file order unless a sort is chosen,
// narrowed by an optional channel and event-type filter.
class EventListController {
public:
    void load(std::span<const uint8_t> file);
    void clear() { load({}); }

    // 0 shows every channel, 1 to 16 one channel.
    void setChannelFilter(int channel);
    // nullopt shows every type.
    void setTypeFilter(std::optional<uint8_t> type);
    // nullopt restores file order.
    void setSort(std::optional<EventColumn> column, bool descending = false);

    const std::vector<EventRow>& rows() const { return m_visible; }
    size_t totalRows() const { return m_rows.size(); }
    int channelFilter() const { return m_channel; }
    std::optional<uint8_t> typeFilter() const { return m_type; }
    std::optional<EventColumn> sortColumn() const { return m_sortColumn; }

    // The time word to jump to for a shown row (double-click or Enter);
    // nullopt when the row does not exist or its channel is not 1 to 16.
    std::optional<uint32_t> pick(size_t row) const;

private:
    void rebuild();

    std::vector<EventRow> m_rows;
    std::vector<EventRow> m_visible;
    int m_channel = 0;
    std::optional<uint8_t> m_type;
    std::optional<EventColumn> m_sortColumn;
    bool m_descending = false;
};

}  // namespace dvr::playback
