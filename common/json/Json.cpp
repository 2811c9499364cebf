#include "common/json/Json.h"

#include <charconv>
#include <unordered_set>

namespace dvr {

const JsonValue* JsonValue::member(std::string_view name) const {
    if (kind != Kind::Object)
        return nullptr;
    for (const auto& [key, value] : members)
        if (key == name)
            return &value;
    return nullptr;
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    Parser(std::string_view text, size_t maxValues, const JsonItemHook* hook)
        : m_text(text), m_maxValues(maxValues), m_hook(hook && hook->take ? hook : nullptr) {}

    JsonParse run() {
        JsonParse out;
        JsonValue value;
        skipSpace();
        if (parseValue(value, 0)) {
            skipSpace();
            if (m_pos == m_text.size())
                out.value = std::move(value);
            else
                fail("text after the document");
        }
        if (!out.value)
            out.error = where() + m_error;
        return out;
    }

private:
    bool fail(const char* what) {
        if (m_error.empty())
            m_error = what;
        return false;
    }

    std::string where() const {
        int line = 1;
        int column = 1;
        for (size_t i = 0; i < m_failPos && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + " column " + std::to_string(column) + ": ";
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_pos;
        m_failPos = m_pos;
    }

    bool literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return fail("unknown word");
        m_pos += word.size();
        return true;
    }

    bool parseValue(JsonValue& out, int depth) {
        m_failPos = m_pos;
        if (depth >= kMaxDepth)
            return fail("nested too deep");
        if (++m_values > m_maxValues)
            return fail("too many values");
        switch (peek()) {
            case '{':
                return parseObject(out, depth);
            case '[':
                return parseArray(out, depth);
            case '"':
                out.kind = JsonValue::Kind::String;
                return parseString(out.text);
            case 't':
                out.kind = JsonValue::Kind::Bool;
                out.boolean = true;
                return literal("true");
            case 'f':
                out.kind = JsonValue::Kind::Bool;
                return literal("false");
            case 'n':
                out.kind = JsonValue::Kind::Null;
                return literal("null");
            default:
                if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                    return parseNumber(out);
                return fail(atEnd() ? "unexpected end" : "unexpected character");
        }
    }

    bool parseObject(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Object;
        ++m_pos;
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            return true;
        }
        std::unordered_set<std::string> names;
        for (;;) {
            skipSpace();
            if (peek() != '"')
                return fail("member name expected");
            std::string name;
            if (!parseString(name))
                return false;
            if (!names.insert(name).second)
                return fail("member name repeated");
            if (depth == 0)
                m_topMember = name;
            skipSpace();
            if (peek() != ':')
                return fail("':' expected");
            ++m_pos;
            skipSpace();
            JsonValue value;
            if (!parseValue(value, depth + 1))
                return false;
            out.members.push_back({std::move(name), std::move(value)});
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                return true;
            }
            return fail("',' or '}' expected");
        }
    }

    bool parseArray(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Array;
        ++m_pos;
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue value;
            const size_t valuesBefore = m_values;
            if (!parseValue(value, depth + 1))
                return false;
            if (m_hook && depth == 1 && m_topMember == m_hook->member) {
                std::string error;
                if (!m_hook->take(std::move(value), error)) {
                    m_error = error;
                    return false;
                }
                m_values = valuesBefore;
            } else {
                out.items.push_back(std::move(value));
            }
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                return true;
            }
            return fail("',' or ']' expected");
        }
    }

    bool parseNumber(JsonValue& out) {
        out.kind = JsonValue::Kind::Number;
        const size_t start = m_pos;
        bool whole = true;
        if (peek() == '-')
            ++m_pos;
        if (peek() == '0') {
            ++m_pos;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9')
                ++m_pos;
        } else {
            return fail("digit expected");
        }
        if (peek() == '.') {
            whole = false;
            ++m_pos;
            if (!(peek() >= '0' && peek() <= '9'))
                return fail("digit expected");
            while (peek() >= '0' && peek() <= '9')
                ++m_pos;
        }
        if (peek() == 'e' || peek() == 'E') {
            whole = false;
            ++m_pos;
            if (peek() == '+' || peek() == '-')
                ++m_pos;
            if (!(peek() >= '0' && peek() <= '9'))
                return fail("digit expected");
            while (peek() >= '0' && peek() <= '9')
                ++m_pos;
        }
        if (whole) {
            int64_t v = 0;
            const auto r = std::from_chars(m_text.data() + start, m_text.data() + m_pos, v);
            if (r.ec == std::errc() && r.ptr == m_text.data() + m_pos)
                out.integer = v;
        }
        return true;
    }

    bool hex4(uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            int v = -1;
            if (c >= '0' && c <= '9')
                v = c - '0';
            else if (c >= 'a' && c <= 'f')
                v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v = c - 'A' + 10;
            if (v < 0)
                return fail("bad \\u escape");
            out = out << 4 | uint32_t(v);
            ++m_pos;
        }
        return true;
    }

    static void putUtf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | c >> 18));
            out.push_back(char(0x80 | (c >> 12 & 0x3F)));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }

    // One UTF-8 sequence copied as it is, checked for shortest form and the scalar range.
    bool copyUtf8(std::string& out) {
        const auto b0 = uint8_t(peek());
        int extra = 0;
        uint32_t c = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            extra = 1;
            c = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            extra = 2;
            c = b0 & 0x0F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            extra = 3;
            c = b0 & 0x07;
        } else {
            return fail("invalid UTF-8");
        }
        if (m_pos + size_t(extra) >= m_text.size())
            return fail("invalid UTF-8");
        for (int i = 1; i <= extra; ++i) {
            const auto b = uint8_t(m_text[m_pos + size_t(i)]);
            if ((b & 0xC0) != 0x80)
                return fail("invalid UTF-8");
            c = c << 6 | (b & 0x3F);
        }
        if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF))
            return fail("invalid UTF-8");
        out.append(m_text.substr(m_pos, size_t(extra) + 1));
        m_pos += size_t(extra) + 1;
        return true;
    }

    bool parseString(std::string& out) {
        ++m_pos;  // the opening quote
        for (;;) {
            if (atEnd())
                return fail("unterminated string");
            const char c = peek();
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (uint8_t(c) < 0x20)
                return fail("control character in a string");
            if (uint8_t(c) >= 0x80) {
                if (!copyUtf8(out))
                    return false;
                continue;
            }
            ++m_pos;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            const char e = peek();
            ++m_pos;
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out.push_back(e);
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u': {
                    uint32_t unit = 0;
                    if (!hex4(unit))
                        return false;
                    if (unit >= 0xDC00 && unit <= 0xDFFF)
                        return fail("lone surrogate");
                    if (unit >= 0xD800 && unit <= 0xDBFF) {
                        uint32_t low = 0;
                        if (peek() != '\\' || m_pos + 1 >= m_text.size() || m_text[m_pos + 1] != 'u')
                            return fail("lone surrogate");
                        m_pos += 2;
                        if (!hex4(low))
                            return false;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return fail("lone surrogate");
                        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    }
                    putUtf8(out, unit);
                    break;
                }
                default:
                    return fail("bad escape");
            }
        }
    }

    std::string_view m_text;
    const size_t m_maxValues;
    const JsonItemHook* m_hook;
    size_t m_values = 0;
    std::string m_topMember;  // the member of the top-level object being read
    size_t m_pos = 0;
    size_t m_failPos = 0;
    std::string m_error;
};

}  // namespace

JsonParse parseJson(std::string_view text, size_t maxValues, const JsonItemHook* hook) {
    return Parser(text, maxValues, hook).run();
}

std::string jsonString(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (uint8_t(c) < 0x20) {
                    out += "\\u00";
                    out.push_back(kDigits[uint8_t(c) >> 4]);
                    out.push_back(kDigits[uint8_t(c) & 15]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

std::string lineText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = uint8_t(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace dvr
