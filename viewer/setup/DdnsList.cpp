#include "viewer/setup/DdnsList.h"

#include <algorithm>

#include "common/skin/IniFile.h"
#include "common/skin/TextCodec.h"
#include "viewer/setup/IniSection.h"

namespace dvr::setup {

namespace {

constexpr const char* kSection = "DDNS";

std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

DdnsEntry DdnsList::defaultRow() {
    return {"name", "group", "name"};
}

DdnsList DdnsList::parse(std::span<const std::uint8_t> bytes) {
    DdnsList list;
    list.m_document = skin::IniDocument::parse(bytes);
    const IniSection section(list.m_document, kSection);
    const auto read = [&](const std::string& key) { return section.value(key, kFieldMaxChars); };
    const int count = std::clamp(skin::parseProfileInt(read("number")), 0, kMaxEntries);
    list.m_entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string index = std::to_string(i);
        list.m_entries.push_back({read("id" + index), read("group" + index), read("name" + index)});
    }
    return list;
}

DdnsList DdnsList::parse(std::string_view bytes) {
    return parse(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

DdnsList DdnsList::load(const std::string& path) {
    const auto bytes = skin::FileBytes::read(path);
    return bytes ? parse(*bytes) : DdnsList();
}

std::vector<DdnsEntry> DdnsList::rows() const {
    return m_entries.empty() ? std::vector<DdnsEntry>{defaultRow()} : m_entries;
}

bool DdnsList::save(std::string_view memberId, std::string_view name) {
    if (name.empty()) {
        return false;
    }
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const DdnsEntry& entry) { return entry.title == name; });
    const std::size_t index = static_cast<std::size_t>(found - m_entries.begin());
    const std::string key = std::to_string(index);
    if (found != m_entries.end()) {
        found->group = memberId;
        found->name = name;
    } else {
        m_entries.push_back({std::string(name), std::string(memberId), std::string(name)});
        m_document.setValue(kSection, "id" + key, name);
        m_document.setValue(kSection, "group" + key, memberId);
        m_document.setValue(kSection, "name" + key, name);
        m_document.setValue(kSection, "number", std::to_string(m_entries.size()));
        return true;
    }
    m_document.setValue(kSection, "group" + key, memberId);
    m_document.setValue(kSection, "name" + key, name);
    return true;
}

bool DdnsList::hasRoomFor(std::string_view name) const {
    return m_entries.size() < std::size_t(kMaxEntries) ||
           std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const DdnsEntry& entry) { return entry.title == name; });
}

bool DdnsList::remove(std::size_t index) {
    if (index >= m_entries.size()) {
        return false;
    }
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    m_document = skin::IniDocument::parse(wholeText());
    return true;
}

std::string DdnsList::serialize() const {
    return m_document.serialize();
}

std::string DdnsList::wholeText() const {
    std::vector<std::string> lines;
    lines.reserve(2 + 3 * m_entries.size());
    lines.push_back("[DDNS]");
    lines.push_back("number=" + std::to_string(m_entries.size()));
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const std::string index = std::to_string(i);
        lines.push_back("id" + index + "=" + oneLine(m_entries[i].title));
        lines.push_back("group" + index + "=" + oneLine(m_entries[i].group));
        lines.push_back("name" + index + "=" + oneLine(m_entries[i].name));
    }
    return BookFile::utf16Text(lines);
}

}  // namespace dvr::setup
