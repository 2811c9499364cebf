#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dvr::skin {

// How a text file's bytes map onto characters. Every text inside the program is UTF-8; files on disk
// are one of these three.
enum class TextEncoding {
    Windows1252,  // 8-bit, no byte-order mark (the default for files without one)
    Utf8Bom,      // EF BB BF, then UTF-8
    Utf16LeBom,   // FF FE, then UTF-16 little-endian
};

// A decoded file: its text as UTF-8 (without the byte-order mark) and the encoding it was stored in.
struct DecodedText {
    std::string text;
    TextEncoding encoding = TextEncoding::Windows1252;
};

// Conversions between file bytes and UTF-8 text. Decoding never fails: every Windows-1252 byte maps to a
// character (the five unassigned bytes map to the control characters of the same value), and unpaired
// UTF-16 surrogates are carried through as 3-byte sequences, so decode followed by encode gives the
// original bytes back (an odd trailing byte of a UTF-16 file is dropped).
class TextCodec {
public:
    // Detects the encoding by its byte-order mark and decodes the rest.
    static DecodedText decode(std::span<const std::uint8_t> bytes);
    static DecodedText decode(std::string_view bytes);

    // Encodes UTF-8 text in the given encoding, byte-order mark included. Characters that have no
    // Windows-1252 byte become '#'; invalid UTF-8 bytes become '#' (8-bit) or U+FFFD (UTF-16).
    static std::string encode(std::string_view utf8, TextEncoding encoding);

    // Windows-1252 bytes to UTF-8.
    static std::string fromWindows1252(std::string_view bytes);
    // UTF-8 to Windows-1252 bytes; characters without a mapping become `replacement`.
    static std::string toWindows1252(std::string_view utf8, char replacement = '#');
    // True when every character of the UTF-8 text has a Windows-1252 byte.
    static bool fitsWindows1252(std::string_view utf8);

    // The first `maxChars` characters of UTF-8 text, never splitting a character.
    static std::string leftChars(std::string_view utf8, std::size_t maxChars);

    // UTF-16 little-endian bytes (no byte-order mark) to UTF-8 and back.
    static std::string fromUtf16Le(std::string_view bytes);
    static std::string toUtf16Le(std::string_view utf8);
};

}  // namespace dvr::skin
