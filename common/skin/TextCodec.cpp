#include "common/skin/TextCodec.h"

#include <array>

namespace dvr::skin {

namespace {

// Characters of the Windows-1252 bytes 0x80 to 0x9F. The five unassigned bytes map to the control
// character of the same value, as the platform's own conversion does.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kInvalid = 0xFFFFFFFF;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads one character at `pos` and advances past it. Lone surrogates written as 3-byte sequences are
// accepted (decoded UTF-16 files carry them so). An invalid byte yields kInvalid and advances by one.
char32_t nextUtf8(std::string_view s, std::size_t& pos) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return kInvalid;
    }
    if (pos + length > s.size()) {
        ++pos;
        return kInvalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = byteAt(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kInvalid;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF) {
        ++pos;
        return kInvalid;
    }
    pos += length;
    return c;
}

// The Windows-1252 byte of a character, or -1 when it has none.
int windows1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

void appendUtf16Unit(std::string& out, char32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

}  // namespace

DecodedText TextCodec::decode(std::span<const std::uint8_t> bytes) {
    return decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

DecodedText TextCodec::decode(std::string_view bytes) {
    DecodedText result;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        result.encoding = TextEncoding::Utf16LeBom;
        result.text = fromUtf16Le(bytes.substr(2));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        result.encoding = TextEncoding::Utf8Bom;
        result.text = std::string(bytes.substr(3));
    } else {
        result.encoding = TextEncoding::Windows1252;
        result.text = fromWindows1252(bytes);
    }
    return result;
}

std::string TextCodec::encode(std::string_view utf8, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf16LeBom:
            return "\xFF\xFE" + toUtf16Le(utf8);
        case TextEncoding::Utf8Bom:
            return "\xEF\xBB\xBF" + std::string(utf8);
        case TextEncoding::Windows1252:
            break;
    }
    return toWindows1252(utf8);
}

std::string TextCodec::fromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0) {
            appendUtf8(out, kHighControls[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

std::string TextCodec::toWindows1252(std::string_view utf8, char replacement) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = nextUtf8(utf8, pos);
        const int b = c == kInvalid ? -1 : windows1252Byte(c);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

bool TextCodec::fitsWindows1252(std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = nextUtf8(utf8, pos);
        if (c == kInvalid || windows1252Byte(c) < 0) {
            return false;
        }
    }
    return true;
}

std::string TextCodec::fromUtf16Le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        // Unpaired surrogates are kept as 3-byte sequences so that rewriting the file restores them.
        appendUtf8(out, unit);
    }
    return out;
}

std::string TextCodec::toUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = nextUtf8(utf8, pos);
        if (c == kInvalid) {
            appendUtf16Unit(out, 0xFFFD);
        } else if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            appendUtf16Unit(out, 0xD800 + (v >> 10));
            appendUtf16Unit(out, 0xDC00 + (v & 0x3FF));
        } else {
            appendUtf16Unit(out, c);
        }
    }
    return out;
}

std::string TextCodec::leftChars(std::string_view utf8, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                return std::string(utf8.substr(0, i));
            }
            ++chars;
        }
    }
    return std::string(utf8);
}

}  // namespace dvr::skin
