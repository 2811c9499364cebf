#include "common/skin/IniDocument.h"

#include <cstdint>

namespace dvr::skin {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    std::size_t begin = 0;
    while (begin < s.size() && isBlank(s[begin])) {
        ++begin;
    }
    std::size_t end = s.size();
    while (end > begin && isBlank(s[end - 1])) {
        --end;
    }
    return s.substr(begin, end - begin);
}

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) {
            return false;
        }
    }
    return true;
}

// The name of a "[name]" line (up to the first ']', or to the line end when there is none).
std::optional<std::string_view> sectionHeaderName(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    const std::size_t close = line.find(']');
    return trimmed(close == std::string_view::npos ? line : line.substr(0, close));
}

struct Entry {
    std::string_view key;
    std::string_view value;
    std::size_t equalsPos = 0;
};

// A "key=value" line; comments (';'), headers and lines without '=' or without a key are not entries.
std::optional<Entry> entryOf(std::string_view line) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == ';' || content.front() == '[') {
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    if (key.empty()) {
        return std::nullopt;
    }
    return Entry{key, trimmed(line.substr(equals + 1)), equals};
}

// Line breaks inside a written name or value would add lines to the file; they become blanks.
std::string singleLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

}  // namespace

int parseProfileInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::uint32_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
        ++pos;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

IniDocument::IniDocument(TextEncoding encoding) : m_encoding(encoding) {}

IniDocument IniDocument::parse(std::span<const std::uint8_t> bytes) {
    return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

IniDocument IniDocument::parse(std::string_view bytes) {
    DecodedText decoded = TextCodec::decode(bytes);
    IniDocument document(decoded.encoding);
    const std::string& text = decoded.text;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            document.m_lines.push_back({text.substr(start), {}});
            break;
        }
        const std::size_t endingLength =
            (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        document.m_lines.push_back({text.substr(start, end - start), text.substr(end, endingLength)});
        start = end + endingLength;
    }
    return document;
}

std::optional<IniDocument::SectionRange> IniDocument::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionHeaderName(m_lines[i].text);
        if (!name || !sameName(*name, section)) {
            continue;
        }
        SectionRange range{i, m_lines.size()};
        for (std::size_t j = i + 1; j < m_lines.size(); ++j) {
            if (sectionHeaderName(m_lines[j].text)) {
                range.end = j;
                break;
            }
        }
        return range;
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::findKey(const SectionRange& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const auto entry = entryOf(m_lines[i].text);
        if (entry && sameName(entry->key, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    const auto range = findSection(section);
    if (!range) {
        return std::nullopt;
    }
    const auto line = findKey(*range, key);
    if (!line) {
        return std::nullopt;
    }
    return std::string(entryOf(m_lines[*line].text)->value);
}

bool IniDocument::hasSection(std::string_view section) const {
    return findSection(section).has_value();
}

std::vector<std::string> IniDocument::sectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (const auto name = sectionHeaderName(line.text)) {
            names.emplace_back(*name);
        }
    }
    return names;
}

std::vector<std::string> IniDocument::keyNames(std::string_view section) const {
    std::vector<std::string> keys;
    if (const auto range = findSection(section)) {
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            if (const auto entry = entryOf(m_lines[i].text)) {
                keys.emplace_back(entry->key);
            }
        }
    }
    return keys;
}

std::vector<std::pair<std::string, std::string>> IniDocument::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    if (const auto range = findSection(section)) {
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            if (const auto entry = entryOf(m_lines[i].text)) {
                out.emplace_back(entry->key, entry->value);
            }
        }
    }
    return out;
}

std::string IniDocument::newLineEnding() const {
    for (const Line& line : m_lines) {
        if (!line.ending.empty()) {
            return line.ending;
        }
    }
    return "\r\n";
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cleanSection = singleLine(trimmed(section));
    const std::string cleanKey = singleLine(trimmed(key));
    const std::string cleanValue = singleLine(value);
    const std::string ending = newLineEnding();
    std::string changedText;

    const auto range = findSection(cleanSection);
    if (!range) {
        if (!m_lines.empty() && m_lines.back().ending.empty()) {
            m_lines.back().ending = ending;
        }
        m_lines.push_back({"[" + cleanSection + "]", ending});
        changedText = cleanKey + "=" + cleanValue;
        m_lines.push_back({changedText, ending});
        changedText += m_lines[m_lines.size() - 2].text;
    } else if (const auto line = findKey(*range, cleanKey)) {
        Line& existing = m_lines[*line];
        const std::size_t equals = existing.text.find('=');
        std::string keyPart = existing.text.substr(0, equals);
        while (!keyPart.empty() && isBlank(keyPart.back())) {
            keyPart.pop_back();
        }
        existing.text = keyPart + "=" + cleanValue;
        changedText = existing.text;
    } else {
        std::size_t after = range->header;
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            if (entryOf(m_lines[i].text)) {
                after = i;
            }
        }
        if (m_lines[after].ending.empty()) {
            m_lines[after].ending = ending;
        }
        changedText = cleanKey + "=" + cleanValue;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(after + 1), Line{changedText, ending});
    }

    if (m_encoding == TextEncoding::Windows1252 && !TextCodec::fitsWindows1252(changedText)) {
        m_encoding = TextEncoding::Utf16LeBom;
    }
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    const auto range = findSection(section);
    if (!range) {
        return false;
    }
    const auto line = findKey(*range, key);
    if (!line) {
        return false;
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
}

std::string IniDocument::serialize() const {
    std::string text;
    for (const Line& line : m_lines) {
        text += line.text;
        text += line.ending;
    }
    return TextCodec::encode(text, m_encoding);
}

}  // namespace dvr::skin
