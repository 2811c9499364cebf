#include "viewer/config/SettingsStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "common/fs/AtomicFile.h"
#include "common/skin/IniFile.h"
#include "common/skin/ProgramFolder.h"

namespace dvr::config {

namespace {

// Stored values carry their type, as registry values do: "sz:" strings in double quotes (so leading and
// trailing blanks survive) with backslash, CR and LF escaped; "dword:" decimal integers.
constexpr std::string_view kStringTag = "sz:";
constexpr std::string_view kIntegerTag = "dword:";

}  // namespace

std::string encodeStoredString(std::string_view value) {
    std::string out(kStringTag);
    out.push_back('"');
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
                break;
        }
    }
    out.push_back('"');
    return out;
}

std::optional<std::string> decodeStoredString(std::string_view stored) {
    if (stored.substr(0, kStringTag.size()) != kStringTag) {
        return std::nullopt;
    }
    stored.remove_prefix(kStringTag.size());
    if (stored.size() >= 2 && stored.front() == '"' && stored.back() == '"') {
        stored = stored.substr(1, stored.size() - 2);
    }
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size()) {
            const char next = stored[++i];
            out.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next);
        } else {
            out.push_back(stored[i]);
        }
    }
    return out;
}

std::optional<int> decodeStoredInteger(std::string_view stored) {
    if (stored.substr(0, kIntegerTag.size()) != kIntegerTag) {
        return std::nullopt;
    }
    stored.remove_prefix(kIntegerTag.size());
    if (stored.find_first_of("0123456789") == std::string_view::npos) {
        return std::nullopt;
    }
    return skin::parseProfileInt(stored);
}

namespace {

// Reads the "Setting" values of a parsed settings file; missing or mistyped values give the default.
class SettingsReader {
public:
    explicit SettingsReader(const std::optional<skin::IniDocument>& document) : m_document(document) {}

    std::string string(const char* name, std::string_view defaultValue, std::size_t maxChars) const {
        std::optional<std::string> value;
        if (const auto stored = raw(name)) {
            value = decodeStoredString(*stored);
        }
        return skin::TextCodec::leftChars(value ? std::string_view(*value) : defaultValue, maxChars);
    }
    int integer(const char* name, int defaultValue) const {
        if (const auto stored = raw(name)) {
            if (const auto value = decodeStoredInteger(*stored)) {
                return *value;
            }
        }
        return defaultValue;
    }
    // One-byte fields keep the low 8 bits, as a byte field filled from a 32-bit value does.
    std::uint8_t byte(const char* name, std::uint8_t defaultValue) const {
        return static_cast<std::uint8_t>(integer(name, defaultValue));
    }

private:
    std::optional<std::string> raw(const char* name) const {
        return m_document ? m_document->value(SettingsStore::kSectionName, name) : std::nullopt;
    }
    const std::optional<skin::IniDocument>& m_document;
};

}  // namespace

SettingsStore::SettingsStore(std::string settingsFilePath, std::string programFolder)
    : SettingsStore(
          std::move(settingsFilePath),
          skin::ProgramFiles(std::move(programFolder),
                             skin::ProgramFiles::defaultUserFolder(skin::ProgramFolder::kViewer.userName))) {}

SettingsStore::SettingsStore(std::string settingsFilePath, skin::ProgramFiles files)
    : m_settingsFilePath(std::move(settingsFilePath)), m_files(std::move(files)) {
    m_settings.saveFolder = m_files.writePath("Backup");
}

std::string SettingsStore::defaultSettingsFilePath() {
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = skin::ProgramFolder::join(home, ".config");
    } else {
        return {};
    }
    return skin::ProgramFolder::join(base, "Vistrel/Vistrel.ini");
}

void SettingsStore::readSettingsFile() {
    const std::optional<skin::IniDocument> document = skin::IniFile(m_settingsFilePath).load();
    const SettingsReader reader(document);
    const ViewerSettings defaults;
    ViewerSettings& s = m_settings;
    s.userId = reader.string("User ISeed", defaults.userId, ViewerSettings::kUserIdMaxChars);
    s.password = reader.string("User PSeed", defaults.password, ViewerSettings::kPasswordMaxChars);
    s.recorderAddress =
        reader.string("Host IPAddress", defaults.recorderAddress, ViewerSettings::kRecorderAddressMaxChars);
    s.saveFolder =
        reader.string("Record Path", m_files.writePath("Backup"), ViewerSettings::kSaveFolderMaxChars);
    s.recorderPort = reader.integer("Host Port", defaults.recorderPort);
    s.rotationIntervalIndex = reader.byte("Rotate Interval", defaults.rotationIntervalIndex);
    s.reconnectCount = reader.byte("Reconnect Count", defaults.reconnectCount);
    s.fastPlaySpeedCode = reader.byte("Request Speed", defaults.fastPlaySpeedCode);
    s.fullScreen = reader.integer("Use FullScreen", defaults.fullScreen);
    s.alertMode = reader.integer("Use AlertMode", defaults.alertMode);
    s.manualAddressMode = reader.integer("Use ManualMode", defaults.manualAddressMode);
    s.ptzProtocolIndex = reader.byte("Ptz Type", defaults.ptzProtocolIndex);
    s.ptzBaudRateIndex = reader.byte("Ptz Baudrate", defaults.ptzBaudRateIndex);
    s.recordInterval = reader.byte("Record Interval", defaults.recordInterval);
    s.dateShow = reader.byte("Date Show", defaults.dateShow);
    s.addressLabel = reader.string("Ip Label", defaults.addressLabel, ViewerSettings::kAddressLabelMaxChars);
    // "Ptz File Path" is written at exit only; the in-memory path is left as it is.
}

void SettingsStore::loadSettings() {
    readSettingsFile();
    if (!m_settings.saveFolder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(m_settings.saveFolder, ignored);
    }
    readDisplayOptions();
    readNetworkSpeed();
}

fs::FileResult SettingsStore::saveSettings() const {
    if (m_settingsFilePath.empty()) {
        return fs::FileResult::failure(m_settingsFilePath,
                                       "no settings file (neither XDG_CONFIG_HOME nor HOME is set)");
    }
    const skin::IniFile file(m_settingsFilePath);
    skin::IniDocument document(skin::TextEncoding::Utf8Bom);
    if (file.exists()) {
        std::string reason;
        auto loaded = file.load(&reason);
        if (!loaded) {
            // Lines of the file this store does not own would be lost: a file that cannot be read is kept.
            return fs::FileResult::failure(m_settingsFilePath,
                                           "cannot be read (" + reason + "), so it is not rewritten");
        }
        document = std::move(*loaded);
    }
    const ViewerSettings& s = m_settings;
    const auto putString = [&](const char* name, const std::string& value) {
        document.setValue(kSectionName, name, encodeStoredString(value));
    };
    const auto putInteger = [&](const char* name, int value) {
        document.setValue(kSectionName, name, std::string(kIntegerTag) + std::to_string(value));
    };
    putString("User ISeed", s.userId);
    putString("User PSeed", s.password);
    putString("Host IPAddress", s.recorderAddress);
    putString("Record Path", s.saveFolder);
    putInteger("Host Port", s.recorderPort);
    putInteger("Rotate Interval", s.rotationIntervalIndex);
    putInteger("Reconnect Count", s.reconnectCount);
    putInteger("Request Speed", s.fastPlaySpeedCode);
    putInteger("Use FullScreen", s.fullScreen);
    putInteger("Use AlertMode", s.alertMode);
    putInteger("Use ManualMode", s.manualAddressMode);
    putInteger("Ptz Type", s.ptzProtocolIndex);
    putInteger("Ptz Baudrate", s.ptzBaudRateIndex);
    putInteger("Record Interval", s.recordInterval);
    putInteger("Date Show", s.dateShow);
    putString("Ip Label", s.addressLabel);
    putString("Ptz File Path", s.ptzCommandFilePath);

    // The file holds the password: a folder made for it is private to the user, the file readable by
    // the user only.
    fs::AtomicFile::Options options;
    options.mode = 0600;
    options.folderMode = 0700;
    return fs::AtomicFile::write(m_settingsFilePath, document.serialize(), options);
}

void SettingsStore::readDisplayOptions() {
    const std::optional<skin::IniDocument> document = skin::IniFile(m_files.readPath(kOptionsFile)).load();
    const auto readInt = [&](const char* section, const char* key, int defaultValue) {
        const auto value = document ? document->value(section, key) : std::nullopt;
        return (value && !value->empty()) ? skin::parseProfileInt(*value) : defaultValue;
    };
    const ViewerOptions defaults;
    m_options.pixelX = readInt("PIXEL_OFFSET", "PIXEL_X", defaults.pixelX);
    m_options.pixelY = readInt("PIXEL_OFFSET", "PIXEL_Y", defaults.pixelY);
    m_options.showFrameRate = readInt("DRAW", "FRAM", defaults.showFrameRate);
    m_options.maxStopCount = readInt("PTZ_CMD_INTERVAL", "MAX_STOP_COUNT", defaults.maxStopCount);
}

void SettingsStore::readNetworkSpeed() {
    const std::optional<skin::IniDocument> document = skin::IniFile(m_files.readPath(kOptionsFile)).load();
    // Pacing values outside 1 to 10 (a hand-edited file) are brought into that range: the request
    // sends 11 minus the value, and the setup page can only show 1 to 10.
    const auto readSpeed = [&](const char* key, int defaultValue) {
        const auto value = document ? document->value("NETWORK_SPEED", key) : std::nullopt;
        const int speed = (value && !value->empty()) ? skin::parseProfileInt(*value) : defaultValue;
        return std::clamp(speed, ViewerOptions::kMinNetworkSpeed, ViewerOptions::kMaxNetworkSpeed);
    };
    const ViewerOptions defaults;
    m_options.division1 = readSpeed("DIVISION1", defaults.division1);
    m_options.division4 = readSpeed("DIVISION4", defaults.division4);
    m_options.division9 = readSpeed("DIVISION9", defaults.division9);
    m_options.division16 = readSpeed("DIVISION16", defaults.division16);
}

fs::FileResult SettingsStore::writeNetworkSpeed() const {
    const std::string path = m_files.prepareWrite(kOptionsFile);
    if (path.empty()) {
        return fs::FileResult::failure(m_files.writePath(kOptionsFile), "cannot make the file or its folder");
    }
    return skin::IniFile(path).setValues("NETWORK_SPEED",
                                         {{"DIVISION1", std::to_string(m_options.division1)},
                                          {"DIVISION4", std::to_string(m_options.division4)},
                                          {"DIVISION9", std::to_string(m_options.division9)},
                                          {"DIVISION16", std::to_string(m_options.division16)}});
}

}  // namespace dvr::config
