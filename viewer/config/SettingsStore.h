#pragma once

#include <string>

#include "viewer/config/ViewerSettings.h"

// Loads and saves the viewer's settings:
// - the per-user settings file (section "Setting", same value names as the table in ViewerSettings),
//   written with mode 0600 because it holds the password; strings keep every character, integers are
//   stored as decimal numbers and a value of the wrong type reads as missing;
// - ini/opt.ini beside the program.
// Missing values and keys silently take their defaults.
class SettingsStore {
public:
    static constexpr const char* kSectionName = "Setting";
    static constexpr const char* kOptionsFile = "ini/opt.ini";

    // `settingsFilePath` is the per-user file, `programFolder` the folder opt.ini and the default
    // save folder ("Backup") are resolved against.
    SettingsStore(std::string settingsFilePath, std::string programFolder);

    // $XDG_CONFIG_HOME/Vistrel/Vistrel.ini (XDG_CONFIG_HOME defaulting to ~/.config); empty when neither
    // XDG_CONFIG_HOME nor HOME is set.
    static std::string defaultSettingsFilePath();

    const std::string& settingsFilePath() const { return m_settingsFilePath; }
    const std::string& optionsFilePath() const { return m_optionsFilePath; }
    // Reads and writes opt.ini at `path` from now on (a per-user copy of the shipped file).
    void setOptionsFilePath(std::string path) { m_optionsFilePath = std::move(path); }

    ViewerSettings& settings() { return m_settings; }
    const ViewerSettings& settings() const { return m_settings; }
    ViewerOptions& options() { return m_options; }
    const ViewerOptions& options() const { return m_options; }

    // Reads every settings value with its default, creates the save folder (failure ignored), then
    // reads all opt.ini keys.
    void loadSettings();
    // Writes every settings value, "Ptz File Path" included; keeps lines of the file it does not own.
    // False when the file cannot be written. opt.ini is not written here.
    bool saveSettings() const;

    // Reads PIXEL_X, PIXEL_Y, FRAM and MAX_STOP_COUNT of opt.ini.
    void readDisplayOptions();
    // Reads the four NETWORK_SPEED keys of opt.ini (also after the setup sheet was confirmed).
    void readNetworkSpeed();
    // Writes the four NETWORK_SPEED keys as decimal numbers. False when opt.ini cannot be written.
    bool writeNetworkSpeed() const;

private:
    void readSettingsFile();

    std::string m_settingsFilePath;
    std::string m_programFolder;
    std::string m_optionsFilePath;
    ViewerSettings m_settings;
    ViewerOptions m_options;
};
