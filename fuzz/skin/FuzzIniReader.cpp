// Feeds arbitrary bytes to the ini reader as a file's contents and checks what must always hold:
// an unchanged document serializes to its own bytes, every listed key can be looked up, and a written
// value reads back after a round trip through the file bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/skin/IniDocument.h"
#include "common/skin/SkinValues.h"
#include "common/skin/TextCodec.h"
#include "fuzz/support/Check.h"

using dvr::fuzz::check;

using namespace dvr::skin;

namespace {

std::string_view trimmedBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    IniDocument document = IniDocument::parse(input);

    // Unchanged documents give their bytes back (a UTF-16 file loses only an odd trailing byte).
    const std::string bytes = document.serialize();
    if (document.encoding() == TextEncoding::Utf16LeBom && size % 2 == 1) {
        check(bytes == input.substr(0, size - 1));
    } else {
        check(bytes == input);
    }

    for (const std::string& section : document.sectionNames()) {
        for (const std::string& key : document.keyNames(section)) {
            const auto value = document.value(section, key);
            check(value.has_value());
            const SkinRect rect = SkinValues::parsePosition(*value);
            (void)rect.isEmpty();
            (void)parseProfileInt(*value);
            (void)SkinValues::isEmptyBitmap(*value);
        }
    }

    // A printable value written into the document reads back, also after re-parsing the bytes.
    std::string written;
    for (std::size_t i = 0; i < size && i < 24; ++i) {
        written.push_back(static_cast<char>(0x20 + data[i] % 95));
    }
    document.setValue("MAIN POS", "POS_SKIN", written);
    const std::string expected(trimmedBlanks(written));
    check(document.value("main pos", "pos_skin") == expected);
    const IniDocument reread = IniDocument::parse(document.serialize());
    check(reread.value("MAIN POS", "POS_SKIN") == expected);

    (void)TextCodec::toWindows1252(input);
    (void)TextCodec::toUtf16Le(input);
    return 0;
}
