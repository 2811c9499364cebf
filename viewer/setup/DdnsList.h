#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/skin/IniDocument.h"
#include "viewer/setup/BookFile.h"

namespace dvr::setup {

// One saved DDNS lookup: the entry title (the name), the member ID and the name.
struct DdnsEntry {
    std::string title;
    std::string group;
    std::string name;

    bool operator==(const DdnsEntry&) const = default;
};

// The local DDNS list ini/ddns.ini: section "DDNS" with "number" and, per entry i from 0, "id<i>",
// "group<i>" and "name<i>". Saving writes single keys and keeps every other line of the file; deleting
// rewrites the file whole as UTF-16LE text with a byte-order mark and CR LF line ends.
class DdnsList {
public:
    static constexpr const char* kRelativePath = "ini/ddns.ini";
    static constexpr std::size_t kFieldMaxChars = 259;
    static constexpr int kMaxEntries = 1000;

    // The row the Loader shows while the list is empty.
    static DdnsEntry defaultRow();

    static DdnsList parse(std::span<const std::uint8_t> bytes);
    static DdnsList parse(std::string_view bytes);
    // The list stored at `path`; a missing or unreadable file gives an empty list.
    static DdnsList load(const std::string& path);

    const std::vector<DdnsEntry>& entries() const { return m_entries; }
    std::vector<DdnsEntry> rows() const;

    // Updates the member ID and name of the entry titled `name` (exact comparison), or appends an entry.
    // Nothing happens for an empty name (false).
    bool save(std::string_view memberId, std::string_view name);
    // Whether save() keeps an entry titled `name` when the list is read again: the title is in the list,
    // or the list holds fewer than kMaxEntries.
    bool hasRoomFor(std::string_view name) const;
    // Removes entry `index`; the file is then rewritten whole. False when there is no such entry.
    bool remove(std::size_t index);

    // The file's bytes after the last change: the parsed file with the saved keys set, or after a
    // removal the whole list.
    std::string serialize() const;

private:
    std::string wholeText() const;

    std::vector<DdnsEntry> m_entries;
    skin::IniDocument m_document;
};

}  // namespace dvr::setup
