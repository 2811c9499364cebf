#include "viewer/ptz/UserCommandEditor.h"

#include "viewer/ptz/PtzFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <sys/stat.h>

#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"

namespace dvr::ptz {

namespace {

PtzMessage languageMessage(std::string_view key, std::string_view text) {
    return PtzMessage{key, text, {}};
}
PtzMessage plainMessage(std::string text) {
    return PtzMessage{{}, {}, std::move(text)};
}

const PtzMessage kInsertNameOrClear =
    languageMessage("MSG_006", "Please Insert Command Name or Clear Command Data.");
const PtzMessage kSelectNew = languageMessage("MSG_008", "Please Select New Pt Command.");
const PtzMessage kInsertName = languageMessage("MSG_009", "Please Insert Command Name");
const PtzMessage kListFull = languageMessage("MSG_010", "User Pantilt Cmd is full(100)");
const PtzMessage kSelectEntry = languageMessage("MSG_011", "Please Select Pt Cmd List");
const PtzMessage kCannotDeleteDefault = languageMessage("MSG_012", "Can't Delete Default Pt Cmd");

// A name read back from a file must stay a name: a line that begins with a
// camera number (after blanks, a sign or "<" and ">") is a block header, a
// "/" would split it into fields.
EditorMessage checkName(std::string_view name) {
    if (!name.empty() && name.front() >= '0' && name.front() <= '9')
        return plainMessage("A command name must not begin with a digit.");
    if (blockHeaderNumber(std::string(name) + "/"))
        return plainMessage("A command name must not begin with a camera number.");
    if (name.find_first_of("/\r\n") != std::string_view::npos)
        return plainMessage("A command name must not hold \"/\".");
    return std::nullopt;
}

// Byte ranges of the lines of `text`: [begin, end) without the line end,
// `next` the start of the following line.
struct LineSpan {
    size_t begin;
    size_t end;
    size_t next;
};
std::vector<LineSpan> lineSpans(std::string_view text) {
    std::vector<LineSpan> spans;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (end > pos && text[end - 1] == '\r')
            --end;
        spans.push_back({pos, end, next});
        pos = next;
    }
    return spans;
}

bool isHeader(std::string_view text, const LineSpan& span) {
    const std::string_view line = text.substr(span.begin, std::min(span.end - span.begin, kEditorLineChars));
    return blockHeaderNumber(line).has_value();
}

}  // namespace

uint8_t cellByte(std::string_view cellText) {
    unsigned value = 0;
    for (char ch : cellText) {
        int d = -1;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        if (d < 0)
            break;
        value = (value * 16 + static_cast<unsigned>(d)) & 0xFF;
    }
    return static_cast<uint8_t>(value);
}

std::string formatCommandLine(const PtzCommand& command) {
    std::string line = command.name + "/" + std::to_string(command.length) + "/";
    for (uint8_t b : command.view()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", b);
        line += hex;
        line += '/';
    }
    return line;
}

std::vector<PtzCommand> readEditorBlock(std::string_view text) {
    const std::vector<LineSpan> spans = lineSpans(text);
    size_t first = 0;
    const auto header =
        std::find_if(spans.begin(), spans.end(), [&](const LineSpan& s) { return isHeader(text, s); });
    if (header != spans.end())
        first = static_cast<size_t>(header - spans.begin()) + 1;
    std::vector<PtzCommand> entries;
    for (size_t i = first; i < spans.size() && entries.size() < kEditorMaxEntries; ++i) {
        if (header != spans.end() && isHeader(text, spans[i]))
            break;
        const std::string_view line =
            text.substr(spans[i].begin, std::min(spans[i].end - spans[i].begin, kEditorLineChars));
        entries.push_back(parseCommandLine(line));
    }
    return entries;
}

std::string replaceEditorBlock(std::string_view text, const std::vector<PtzCommand>& entries) {
    std::string body;
    int written = 0;
    for (const PtzCommand& e : entries) {
        if (e.length <= 0 || written >= kEditorMaxEntries)
            continue;
        body += formatCommandLine(e) + "\r\n";
        ++written;
    }
    const std::vector<LineSpan> spans = lineSpans(text);
    const auto header =
        std::find_if(spans.begin(), spans.end(), [&](const LineSpan& s) { return isHeader(text, s); });
    if (header == spans.end())
        return "<1>\r\n" + body;
    // Keep everything up to and including the first header line; a header
    // that ends the file without a line end gets one.
    std::string out(text.substr(0, header->next));
    if (header->next == header->end)
        out += "\r\n";
    out += body;
    const auto nextHeader =
        std::find_if(header + 1, spans.end(), [&](const LineSpan& s) { return isHeader(text, s); });
    if (nextHeader != spans.end())
        out += text.substr(nextHeader->begin);
    return out;
}

EditorMessage UserCommandEditor::open(const std::string& currentFilePath) {
    m_filePath = currentFilePath;
    clearCells();
    m_lengthSelection = 0;
    m_newMode = false;
    m_selectedMode = false;
    m_selection = -1;
    if (currentFilePath.empty())
        return std::nullopt;
    return readInto(currentFilePath);
}

EditorMessage UserCommandEditor::readInto(const std::string& path) {
    const auto text = readWholeFile(path);
    if (!text)
        return plainMessage("Can not Read File : " + path);
    m_entries = readEditorBlock(*text);
    return std::nullopt;
}

EditorMessage UserCommandEditor::newCommand() {
    clearCells();
    m_name.clear();
    m_newMode = true;
    m_selectedMode = false;
    m_selection = -1;
    return std::nullopt;
}

EditorMessage UserCommandEditor::addCommand() {
    if (!m_newMode)
        return kSelectNew;
    if (m_name.empty())
        return kInsertName;
    if (m_entries.size() >= kEditorMaxEntries)
        return kListFull;
    if (auto problem = checkName(m_name))
        return problem;
    m_entries.push_back(commandFromCells(m_name.substr(0, kPtzMaxNameChars)));
    m_selection = static_cast<int>(m_entries.size()) - 1;
    // The new entry is selected: the cells show its bytes as they were read.
    showEntry(m_entries.back());
    m_newMode = false;
    m_name.clear();
    m_selectedMode = true;
    return std::nullopt;
}

EditorMessage UserCommandEditor::storeSelected() {
    if (!hasSelection())
        return kSelectEntry;
    PtzCommand& entry = m_entries[static_cast<size_t>(m_selection)];
    std::string name = entry.name;
    if (!m_name.empty()) {
        if (auto problem = checkName(m_name))
            return problem;
        name = m_name.substr(0, kPtzMaxNameChars);
    }
    entry = commandFromCells(std::move(name));
    return std::nullopt;
}

EditorMessage UserCommandEditor::deleteSelected() {
    if (!hasSelection())
        return kSelectEntry;
    if (m_selection < kEditorDefaultEntries)
        return kCannotDeleteDefault;
    m_entries.erase(m_entries.begin() + m_selection);
    selectEntry(0);
    return std::nullopt;
}

EditorMessage UserCommandEditor::operate(std::optional<PtzCommand>* command) {
    if (!hasSelection())
        return kSelectEntry;
    if (command)
        *command = m_entries[static_cast<size_t>(m_selection)];
    return std::nullopt;
}

EditorMessage UserCommandEditor::loadFile(const std::string& path) {
    if (auto message = readInto(path))
        return message;
    m_filePath = path;
    m_lengthSelection = 0;
    clearCells();
    m_newMode = false;
    m_selectedMode = false;
    m_selection = -1;
    return std::nullopt;
}

EditorMessage UserCommandEditor::saveCheck() const {
    if (m_newMode && m_name.empty() &&
        std::any_of(m_cells.begin(), m_cells.end(), [](const std::string& c) { return !c.empty(); }))
        return kInsertNameOrClear;
    return std::nullopt;
}

EditorMessage UserCommandEditor::saveFile(const std::string& path) {
    if (auto message = saveCheck())
        return message;
    std::string existing;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        // The other camera blocks of an existing file are kept: a file that cannot be read is not
        // replaced by one holding this block only.
        std::string reason;
        const std::optional<std::string> bytes = fs::readInput(path, kMaxPtzFileBytes, &reason);
        if (!bytes)
            return plainMessage("Can not Write File : " + path + " (" + reason + ")");
        existing = *bytes;
    }
    const std::string text = replaceEditorBlock(existing, m_entries);
    // A whole new file replaces the old one in one step: a failure at any point leaves the old file.
    fs::AtomicFile::Options options;
    options.makeFolder = false;  // the file chooser named an existing folder
    const fs::FileResult written = fs::AtomicFile::write(path, text, options);
    if (!written.ok)
        return plainMessage("Can not Write File : " + path + " (" + written.reason + ")");
    m_filePath = path;
    return std::nullopt;
}

void UserCommandEditor::selectEntry(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    m_selection = index;
    m_newMode = false;
    m_name.clear();
    m_selectedMode = true;
    showEntry(m_entries[static_cast<size_t>(index)]);
}

void UserCommandEditor::setLengthSelection(int selection) {
    selection = std::clamp(selection, 0, kPtzMaxBytes - 1);
    const int oldLength = m_lengthSelection + 1;
    m_lengthSelection = selection;
    if (!m_selectedMode || !hasSelection())
        return;
    PtzCommand& entry = m_entries[static_cast<size_t>(m_selection)];
    if (entry.length < 1)
        return;
    const int newLength = selection + 1;
    for (int i = 0; i < newLength; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", entry.bytes[static_cast<size_t>(i)]);
        m_cells[static_cast<size_t>(i)] = hex;
    }
    for (int i = newLength; i < std::max(oldLength, entry.length) && i < kPtzMaxBytes; ++i)
        m_cells[static_cast<size_t>(i)].clear();
    entry.length = newLength;
}

void UserCommandEditor::setCellText(int cell, std::string text) {
    if (cell >= 0 && cell < kPtzMaxBytes)
        m_cells[static_cast<size_t>(cell)] = std::move(text);
}

void UserCommandEditor::clearCells() {
    for (std::string& c : m_cells)
        c.clear();
}

void UserCommandEditor::showEntry(const PtzCommand& entry) {
    clearCells();
    for (int i = 0; i < entry.length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", entry.bytes[static_cast<size_t>(i)]);
        m_cells[static_cast<size_t>(i)] = hex;
    }
    m_lengthSelection = std::max(entry.length - 1, 0);
}

PtzCommand UserCommandEditor::commandFromCells(std::string name) const {
    PtzCommand c;
    c.name = std::move(name);
    c.length = m_lengthSelection + 1;
    for (int i = 0; i < c.length; ++i)
        c.bytes[static_cast<size_t>(i)] = cellByte(m_cells[static_cast<size_t>(i)]);
    return c;
}

}  // namespace dvr::ptz
