// The model behind the "User PTZ Command" dialog: a list of up to 30 named
// commands of up to 32 bytes, the 32 byte cells, the length box and name
// field, the seven menu commands with their refusals, and loading and saving
// one camera block of a command file. The dialog only forwards events and
// shows what this model holds.
//
// A command file may hold camera blocks ("<N>" header lines). The editor
// works on the first block (or on the whole file when it has no headers);
// saving replaces that block and keeps every other line of the file, and a
// file without headers is written with a header for camera 1, so files of
// the editor and of the live view's table reader are one format.
#pragma once

#include "viewer/ptz/PtzCommandTable.h"
#include "viewer/ptz/PtzController.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::ptz {

inline constexpr int kEditorMaxEntries = 30;
inline constexpr int kEditorDefaultEntries = kPtzMoveCodes;  // 0..12 cannot be deleted
inline constexpr size_t kEditorLineChars = 2048;

// The value of a byte cell: its leading hexadecimal digits modulo 256; 0
// when it holds none.
uint8_t cellByte(std::string_view cellText);

// One line of the file: name "/" length "/" then "%02x/" per byte.
std::string formatCommandLine(const PtzCommand& command);

// The entries of the first block of `text` (or of the whole text when it has
// no block headers), at most 30.
std::vector<PtzCommand> readEditorBlock(std::string_view text);

// `text` with its first block's commands replaced by `entries` (those with a
// length above 0), every other line kept byte for byte; a text without block
// headers becomes one block for camera 1.
std::string replaceEditorBlock(std::string_view text, const std::vector<PtzCommand>& entries);

// The outcome of a menu command: a message to show, or none.
using EditorMessage = std::optional<PtzMessage>;

class UserCommandEditor {
public:
    // Opening the dialog: reads the current command file (when a path is set).
    EditorMessage open(const std::string& currentFilePath);

    // --- menu commands ---------------------------------------------------
    EditorMessage newCommand();
    EditorMessage addCommand();
    EditorMessage storeSelected();
    EditorMessage deleteSelected();
    // The selected entry, to be sent once by the PTZ control; MSG_011 without
    // a selection. Double-click does the same.
    EditorMessage operate(std::optional<PtzCommand>* command);
    // Reads `path` (chosen in the open dialog) into the list.
    EditorMessage loadFile(const std::string& path);
    // The check before the save dialog opens (MSG_006).
    EditorMessage saveCheck() const;
    // Writes the list into `path` (chosen in the save dialog).
    EditorMessage saveFile(const std::string& path);

    // --- other events ----------------------------------------------------
    void selectEntry(int index);
    // The length box changed to `selection` (length - 1).
    void setLengthSelection(int selection);
    void setCellText(int cell, std::string text);  // cell 0..31 (shown "No 1".."No 32")
    void setName(std::string name) { m_name = std::move(name); }

    // --- what the dialog shows -------------------------------------------
    const std::vector<PtzCommand>& entries() const { return m_entries; }
    const std::array<std::string, kPtzMaxBytes>& cells() const { return m_cells; }
    int lengthSelection() const { return m_lengthSelection; }
    const std::string& name() const { return m_name; }
    bool nameEnabled() const { return m_newMode; }
    bool newMode() const { return m_newMode; }
    bool selectedMode() const { return m_selectedMode; }
    int selection() const { return m_selection; }
    // The current PTZ command file path (shared with the live view).
    const std::string& filePath() const { return m_filePath; }

private:
    void clearCells();
    void showEntry(const PtzCommand& entry);
    PtzCommand commandFromCells(std::string name) const;
    bool hasSelection() const { return m_selection >= 0 && m_selection < static_cast<int>(m_entries.size()); }
    EditorMessage readInto(const std::string& path);

    std::vector<PtzCommand> m_entries;
    std::array<std::string, kPtzMaxBytes> m_cells{};
    int m_lengthSelection = 0;
    std::string m_name;
    bool m_newMode = false;
    bool m_selectedMode = false;
    int m_selection = -1;
    std::string m_filePath;
};

}  // namespace dvr::ptz
