#include "viewer/playback/EventList.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"

namespace dvr::playback {

uint32_t packEventTime(const DateTime& t) {
    return (uint32_t(t.year - 1996) & 0x3F) << 26 | (uint32_t(t.month) & 0xF) << 22 |
           (uint32_t(t.day) & 0x1F) << 17 | (uint32_t(t.hour) & 0x1F) << 12 |
           (uint32_t(t.minute) & 0x3F) << 6 | (uint32_t(t.second) & 0x3F);
}

DateTime unpackEventTime(uint32_t w) {
    return DateTime{1996 + int(w >> 26), int(w >> 22 & 0xF), int(w >> 17 & 0x1F),
                    int(w >> 12 & 0x1F), int(w >> 6 & 0x3F), int(w & 0x3F)};
}

bool playableEvent(const link::EventRecord& r) {
    // The time word keeps six bits of year: a later year would jump to the wrong one.
    return r.time.year - 1996 <= 63 && r.time.month >= 1 && r.time.day >= 1 && r.time.hour < 24;
}

std::vector<EventRow> eventRows(std::span<const uint8_t> file) {
    std::vector<EventRow> rows;
    for (size_t at = 0, index = 0; at + link::kEventRecordBytes <= file.size();
         at += link::kEventRecordBytes, ++index) {
        const auto record = link::parseEventRecord(file.subspan(at).first<link::kEventRecordBytes>());
        if (!record || !playableEvent(*record))
            continue;
        EventRow row;
        row.channel = record->channel + 1;
        row.type = record->type;
        row.timeWord = packEventTime(record->time);
        row.fileIndex = index;
        char text[64];
        std::snprintf(text, sizeof text, "CH%d", row.channel);
        row.channelText = text;
        row.typeText = std::string(link::eventTypeText(record->type));
        const DateTime& t = record->time;
        std::snprintf(text, sizeof text, "[ %04d/%02d/%02d ] %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
        row.timeText = text;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<uint8_t> readEventFile(const std::string& path) {
    // The event list is a few thousand records; anything far larger is not an event file.
    constexpr std::size_t kMaxEventFileBytes = 16u * 1024u * 1024u;
    const std::optional<std::string> bytes = fs::readInput(path, kMaxEventFileBytes, nullptr);
    if (!bytes)
        return {};
    return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

bool writeEventFile(const std::string& path, std::span<const uint8_t> records) {
    if (path.empty())
        return false;
    fs::AtomicFile::Options options;
    options.makeFolder = false;
    return fs::AtomicFile::write(
               path, std::string_view(reinterpret_cast<const char*>(records.data()), records.size()), options)
        .ok;
}

void EventListController::load(std::span<const uint8_t> file) {
    m_rows = eventRows(file);
    rebuild();
}

void EventListController::setChannelFilter(int channel) {
    m_channel = (channel >= 1 && channel <= 16) ? channel : 0;
    rebuild();
}

void EventListController::setTypeFilter(std::optional<uint8_t> type) {
    m_type = type;
    rebuild();
}

void EventListController::setSort(std::optional<EventColumn> column, bool descending) {
    m_sortColumn = column;
    m_descending = descending;
    rebuild();
}

std::optional<uint32_t> EventListController::pick(size_t row) const {
    if (row >= m_visible.size())
        return std::nullopt;
    const EventRow& r = m_visible[row];
    if (r.channel < 1 || r.channel > 16)
        return std::nullopt;
    return r.timeWord;
}

void EventListController::rebuild() {
    m_visible.clear();
    for (const EventRow& row : m_rows) {
        if (m_channel != 0 && row.channel != m_channel)
            continue;
        if (m_type && row.type != *m_type)
            continue;
        m_visible.push_back(row);
    }
    if (!m_sortColumn)
        return;
    // Stable, so equal keys keep file order; the time word orders by date.
    const EventColumn column = *m_sortColumn;
    const bool descending = m_descending;
    std::stable_sort(m_visible.begin(), m_visible.end(),
                     [column, descending](const EventRow& a, const EventRow& b) {
                         auto key = [column](const EventRow& r) -> uint32_t {
                             switch (column) {
                                 case EventColumn::Channel:
                                     return uint32_t(r.channel);
                                 case EventColumn::Type:
                                     return r.type;
                                 case EventColumn::Time:
                                     return r.timeWord;
                             }
                             return 0;
                         };
                         return descending ? key(b) < key(a) : key(a) < key(b);
                     });
}

}  // namespace dvr::playback
