#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/fs/FileResult.h"
#include "common/skin/ProgramFiles.h"
#include "viewer/config/ViewerSettings.h"

namespace dvr::config {

// How the settings file stores its values, as registry values are typed: "sz:" strings in double
// quotes with backslash, CR and LF escaped, "dword:" decimal integers. Decoding gives nothing for a
// value of another type.
std::string encodeStoredString(std::string_view value);
std::optional<std::string> decodeStoredString(std::string_view stored);
std::optional<int> decodeStoredInteger(std::string_view stored);

// Loads and saves the viewer's settings:
// - the per-user settings file (section "Setting", same value names as the table in ViewerSettings),
//   written with mode 0600 because it holds the password; strings keep every character, integers are
//   stored as decimal numbers and a value of the wrong type reads as missing;
// - ini/opt.ini beside the program (read from, and written to, the per-user copy when the program
//   folder is read-only).
// Missing values and keys silently take their defaults.
class SettingsStore {
public:
    static constexpr const char* kSectionName = "Setting";
    static constexpr const char* kOptionsFile = "ini/opt.ini";

    // `settingsFilePath` is the per-user file, `programFolder` the folder opt.ini and the default
    // save folder ("Backup") are resolved against, with the viewer's default per-user folder.
    SettingsStore(std::string settingsFilePath, std::string programFolder);
    SettingsStore(std::string settingsFilePath, skin::ProgramFiles files);

    // $XDG_CONFIG_HOME/Vistrel/Vistrel.ini (XDG_CONFIG_HOME defaulting to ~/.config); empty when neither
    // XDG_CONFIG_HOME nor HOME is set.
    static std::string defaultSettingsFilePath();

    const std::string& settingsFilePath() const { return m_settingsFilePath; }
    // Where opt.ini is written (and read once it has been written).
    std::string optionsFilePath() const { return m_files.writePath(kOptionsFile); }

    ViewerSettings& settings() { return m_settings; }
    const ViewerSettings& settings() const { return m_settings; }
    ViewerOptions& options() { return m_options; }
    const ViewerOptions& options() const { return m_options; }

    // Reads every settings value with its default, creates the save folder (failure ignored), then
    // reads all opt.ini keys.
    void loadSettings();
    // Writes every settings value, "Ptz File Path" included; keeps lines of the file it does not own.
    // Fails with the path and reason when the file cannot be written, or exists but cannot be read.
    // opt.ini is not written here.
    fs::FileResult saveSettings() const;

    // Reads PIXEL_X, PIXEL_Y, FRAM and MAX_STOP_COUNT of opt.ini.
    void readDisplayOptions();
    // Reads the four NETWORK_SPEED keys of opt.ini (also after the setup sheet was confirmed).
    void readNetworkSpeed();
    // Writes the four NETWORK_SPEED keys as decimal numbers. Fails with the path and reason when
    // opt.ini cannot be written (or exists but cannot be read).
    fs::FileResult writeNetworkSpeed() const;

private:
    void readSettingsFile();

    std::string m_settingsFilePath;
    skin::ProgramFiles m_files;
    ViewerSettings m_settings;
    ViewerOptions m_options;
};

}  // namespace dvr::config
