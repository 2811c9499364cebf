#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/skin/TextCodec.h"

namespace dvr::skin {

// Reads an integer the way the private-profile functions do: leading blanks, an optional sign, then
// decimal digits up to the first other character; no digits gives 0. The result wraps to 32 bits.
int parseProfileInt(std::string_view text);

// An ini file held in memory with private-profile semantics:
// - "[name]" lines open sections; "key=value" lines inside a section are entries; lines starting with ';'
//   and lines without '=' are kept but never match.
// - Section and key names match ignoring ASCII case and surrounding blanks; the first section of a name
//   is the one that counts, and inside it the first entry of a key wins.
// - Values are returned without their leading and trailing blanks.
// Every line keeps its own text and line end, so a document that was parsed and changed serializes back
// to the same bytes except for the lines that were changed or added.
class IniDocument {
public:
    // An empty document; it serializes in `encoding` with CR LF line ends.
    explicit IniDocument(TextEncoding encoding = TextEncoding::Windows1252);

    static IniDocument parse(std::span<const std::uint8_t> bytes);
    static IniDocument parse(std::string_view bytes);

    // The value of key in section, or nothing when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;
    // Section names in file order (duplicates included) and the keys of the first section of a name.
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(std::string_view section) const;
    // The entries (key, value) of the first section of that name, in file order, duplicates included.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

    // Sets key in section to value. An existing entry's line is replaced (its key spelling kept); a new
    // key goes after the last entry of the section; a missing section is appended at the end. Line
    // breaks inside the value are replaced by blanks so a value can never add lines. When an 8-bit
    // document receives a character that Windows-1252 cannot hold, the document switches to UTF-16LE so
    // nothing is lost.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes the entry of key in the first section of that name; false when there was none.
    bool removeKey(std::string_view section, std::string_view key);

    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding encoding) { m_encoding = encoding; }

    // The file bytes: byte-order mark, every line with its own line end.
    std::string serialize() const;

private:
    struct Line {
        std::string text;
        std::string ending;  // "\r\n", "\n", "\r", or empty for a last line without one
    };
    struct SectionRange {
        std::size_t header = 0;  // index of the "[name]" line
        std::size_t end = 0;     // one past the last line before the next header
    };

    std::optional<SectionRange> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const SectionRange& range, std::string_view key) const;
    std::string newLineEnding() const;

    std::vector<Line> m_lines;
    TextEncoding m_encoding = TextEncoding::Windows1252;
};

}  // namespace dvr::skin
