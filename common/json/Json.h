#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr {

struct JsonMember;

// A JSON value as the strict reader gives it. Numbers keep whether they were whole numbers in the
// 64-bit range; only those are read as integers.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::optional<int64_t> integer;   // numbers without fraction or exponent that fit
    std::string text;                 // strings, UTF-8
    std::vector<JsonValue> items;     // arrays
    std::vector<JsonMember> members;  // objects, in file order, names unique

    // The member of an object by name; null when absent or not an object.
    const JsonValue* member(std::string_view name) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

struct JsonParse {
    std::optional<JsonValue> value;
    std::string error;  // "line L column C: what", when value is empty
};

// Takes the items of one array as they are read (so that a long list never stands as a document): the
// array that is the value of the top-level object's member `member`. An item handed over is not kept;
// returning false ends the reading with the error text given.
struct JsonItemHook {
    std::string_view member;
    std::function<bool(JsonValue&& item, std::string& error)> take;
};

// Reads one JSON document (RFC 8259): whitespace around it only, no trailing commas, no comments,
// strings valid UTF-8 without raw control characters, object member names unique, nesting at most
// 64 deep. At most maxValues values are kept (items handed to the hook are not counted once taken).
JsonParse parseJson(std::string_view text, size_t maxValues = SIZE_MAX, const JsonItemHook* hook = nullptr);

// The text as a JSON string literal, quotes included: `"` and `\` as \" and \\, line feed, carriage
// return and tab as \n, \r and \t, the other bytes below 0x20 as \u00xx (lower-case hex), every other
// byte as it is (UTF-8 passes through unchanged). The one writer of JSON strings: export manifests and
// the text they sign depend on these bytes, and the command-line tools print the same.
std::string jsonString(std::string_view text);

// Text from outside (a manifest, a recorder) for a tool's plain line output: bytes below 0x20 and 0x7F
// shown as \xNN, so that such text cannot end a line early or steer the terminal (move the cursor,
// rewrite a verdict printed above it). Every other byte as it is.
std::string lineText(std::string_view text);

}  // namespace dvr
