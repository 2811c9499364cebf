// Feeds arbitrary bytes to both command file readers (the live table reader
// and the editor's block reader) and checks what must always hold: no
// command is longer than 32 bytes or sends more than its line held, and a
// block the editor writes back reads again as the same commands.
#include "fuzz/support/Check.h"
#include "viewer/ptz/PtzCommandTable.h"
#include "viewer/ptz/UserCommandEditor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using dvr::fuzz::check;

namespace {

void checkCommand(const dvr::ptz::PtzCommand& c) {
    check(c.length >= 0 && c.length <= dvr::ptz::kPtzMaxBytes);
    check(c.name.size() <= dvr::ptz::kPtzMaxNameChars);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dvr::ptz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    PtzCommandTable table;
    const int named = readBlockFile(input, table);
    check(named >= 0);
    for (int camera = 0; camera < kPtzCameras; ++camera)
        for (int slot = 0; slot < kPtzSlots; ++slot)
            checkCommand(table.at(camera, slot));

    const std::vector<PtzCommand> entries = readEditorBlock(input);
    check(entries.size() <= static_cast<size_t>(kEditorMaxEntries));
    for (const PtzCommand& e : entries) {
        checkCommand(e);
        // A command never holds more bytes than its line gave.
        check(static_cast<size_t>(e.length) * 2 <= size);
    }

    // Writing the block back and reading it again gives the commands that
    // were written: those with bytes and a name that stays a name.
    std::vector<PtzCommand> kept;
    for (const PtzCommand& e : entries) {
        const bool plainName = e.name.find_first_of("/\r\n") == std::string::npos &&
                               !blockHeaderNumber(e.name).has_value() && e.name.size() < 200;
        if (e.length > 0 && plainName)
            kept.push_back(e);
    }
    const std::string written = replaceEditorBlock(input, kept);
    const std::vector<PtzCommand> again = readEditorBlock(written);
    check(again.size() >= std::min(kept.size(), static_cast<size_t>(kEditorMaxEntries)));
    for (size_t i = 0; i < kept.size() && i < again.size(); ++i) {
        check(again[i].length == kept[i].length);
        // Bytes past the length are kept by the reader but never written.
        check(std::equal(again[i].view().begin(), again[i].view().end(), kept[i].view().begin()));
    }
    return 0;
}
