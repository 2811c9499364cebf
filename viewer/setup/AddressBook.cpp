#include "viewer/setup/AddressBook.h"

#include <algorithm>

#include "common/skin/IniDocument.h"
#include "common/skin/IniFile.h"
#include "common/skin/TextCodec.h"
#include "viewer/setup/BookFile.h"
#include "viewer/setup/IniSection.h"

namespace dvr::setup {

namespace {

constexpr const char* kSection = "CNN";

// Decodes one UTF-8 character at `i` (advancing it); invalid bytes stand for themselves.
char32_t nextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = static_cast<unsigned char>(text[i++]);
    if (byte < 0x80 || i >= text.size()) {
        return byte;
    }
    if ((byte & 0xE0) == 0xC0) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) == 0x80) {
            ++i;
            return static_cast<char32_t>(((byte & 0x1F) << 6) | (next & 0x3F));
        }
    }
    return byte;
}

char32_t foldCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    return c;
}

}  // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (foldCase(nextCharacter(a, i)) != foldCase(nextCharacter(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

AddressEntry AddressBook::defaultRow() {
    return {"INTRANET", "192.168.1.160", "50000"};
}

AddressBook AddressBook::parse(std::span<const std::uint8_t> bytes) {
    const IniSection section(skin::IniDocument::parse(bytes), kSection);
    const auto read = [&](const std::string& key, std::size_t maxChars) {
        return section.value(key, maxChars);
    };
    AddressBook book;
    const int count =
        std::clamp(skin::parseProfileInt(read("number", skin::IniFile::kMaxTextChars)), 0, kMaxEntries);
    book.m_entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string index = std::to_string(i);
        book.m_entries.push_back({read("id" + index, kNameMaxChars), read("ip" + index, kAddressMaxChars),
                                  read("port" + index, kFieldMaxChars)});
    }
    return book;
}

AddressBook AddressBook::parse(std::string_view bytes) {
    return parse(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

AddressBook AddressBook::load(const std::string& path) {
    const auto bytes = skin::FileBytes::read(path);
    return bytes ? parse(*bytes) : AddressBook();
}

std::vector<AddressEntry> AddressBook::rows() const {
    return m_entries.empty() ? std::vector<AddressEntry>{defaultRow()} : m_entries;
}

std::size_t AddressBook::save(const AddressEntry& entry) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (equalIgnoringCase(m_entries[i].name, entry.name)) {
            m_entries[i].address = entry.address;
            m_entries[i].port = entry.port;
            return i;
        }
    }
    m_entries.push_back(entry);
    return m_entries.size() - 1;
}

bool AddressBook::hasRoomFor(const AddressEntry& entry) const {
    return m_entries.size() < std::size_t(kMaxEntries) ||
           std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const AddressEntry& e) { return equalIgnoringCase(e.name, entry.name); });
}

bool AddressBook::remove(std::size_t index) {
    if (index >= m_entries.size()) {
        return false;
    }
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::vector<std::string> AddressBook::lines() const {
    std::vector<std::string> out;
    out.reserve(2 + 3 * m_entries.size());
    out.push_back("[CNN]");
    out.push_back("number=" + std::to_string(m_entries.size()));
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        // A line break inside a value would start a line of its own.
        const auto oneLine = [](std::string text) {
            std::replace_if(
                text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
            return text;
        };
        const std::string index = std::to_string(i);
        out.push_back("id" + index + "=" + oneLine(m_entries[i].name));
        out.push_back("ip" + index + "=" + oneLine(m_entries[i].address));
        out.push_back("port" + index + "=" + oneLine(m_entries[i].port));
    }
    return out;
}

std::string AddressBook::serialize() const {
    return BookFile::utf16Text(lines());
}

}  // namespace dvr::setup
