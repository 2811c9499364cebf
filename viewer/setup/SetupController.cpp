#include "viewer/setup/SetupController.h"

#include <algorithm>

#include "common/skin/IniFile.h"
#include "common/skin/TextCodec.h"
#include "viewer/setup/BookFile.h"

namespace dvr::setup {

namespace {

constexpr const char* kDdnsSection = "DDNS_INFO";
constexpr const char* kEmpty = "EMPTY";
constexpr std::array<const char*, 4> kDivisionKeys = {"DIVISION1", "DIVISION4", "DIVISION9", "DIVISION16"};

std::size_t pageIndex(SetupPage page) {
    return static_cast<std::size_t>(page);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Where a file of the viewer is written: its folder made and, when it moves to the per-user folder, the
// shipped file copied there first; the plain write path when that fails, so the failure names it.
std::string writeTarget(const skin::ProgramFiles& folder, std::string_view relativePath) {
    const std::string prepared = folder.prepareWrite(relativePath);
    return prepared.empty() ? folder.writePath(relativePath) : prepared;
}

// Sets keys of one section of an ini file the viewer owns, keeping its other lines: the per-user copy
// when there is one, else the program folder's file while it is writable. A file that cannot be read is
// not rewritten. `mode`: the file's mode exactly (nothing keeps the old one).
FileWriteResult writeKeys(const skin::ProgramFiles& folder, const char* relativePath, const char* section,
                          const std::vector<std::pair<std::string, std::string>>& values,
                          std::optional<unsigned> mode = std::nullopt) {
    const std::string path = writeTarget(folder, relativePath);
    const fs::FileResult result = skin::IniFile(path).setValues(section, values, mode);
    return {result.ok, result.path, result.reason};
}

// Sets keys of opt.ini. A DDNS template with a user and password makes the file a secret: whenever the
// file holds one after the write, only its owner may read it.
FileWriteResult writeOptions(const skin::ProgramFiles& folder, const char* section,
                             const std::vector<std::pair<std::string, std::string>>& values) {
    std::string urlTemplate;
    bool templateWritten = false;
    for (const auto& [key, value] : values) {
        if (std::string_view(section) == kDdnsSection && key == "DDNS") {
            urlTemplate = value;
            templateWritten = true;
        }
    }
    if (!templateWritten) {
        urlTemplate = skin::IniFile(folder.readPath(SetupController::kOptionsRelativePath))
                          .readString(kDdnsSection, "DDNS", "", 4096);
    }
    const std::optional<unsigned> mode =
        DdnsLookup::hasCredentials(urlTemplate) ? std::optional<unsigned>(0600) : std::nullopt;
    return writeKeys(folder, SetupController::kOptionsRelativePath, section, values, mode);
}

}  // namespace

const std::vector<std::string>& SetupController::ptzTypeItems() {
    static const std::vector<std::string> items = {"PELCO-D",     "PELCO-P",  "SCC-641",  "HMC-250",
                                                   "HID-2404",    "DSC-230S", "DRX-502A", "ACCUDOME",
                                                   "VIDO AU-Gxx", "YOKO",     "ON-D"};
    return items;
}

const std::vector<std::string>& SetupController::baudRateItems() {
    static const std::vector<std::string> items = {"1200",  "2400",  "4800",  "9600",
                                                   "19200", "38400", "57600", "115200"};
    return items;
}

const std::vector<std::string>& SetupController::rotationItems() {
    static const std::vector<std::string> items = [] {
        std::vector<std::string> out;
        for (int seconds = 1; seconds <= 10; ++seconds) {
            out.push_back((seconds < 10 ? "0" : "") + std::to_string(seconds) + " SEC");
        }
        return out;
    }();
    return items;
}

const std::vector<std::string>& SetupController::scanRateItems() {
    static const std::vector<std::string> items = {"1X", "2X", "4X", "16X", "64X"};
    return items;
}

int SetupController::scanRateItemFor(int storedSpeed) {
    const int item = storedSpeed > 3 ? storedSpeed - 1 : storedSpeed;
    return std::clamp(item, 0, 4);
}

int SetupController::storedSpeedFor(int scanRateItem) {
    return scanRateItem >= 4 ? 5 : std::max(scanRateItem, 0);
}

SetupController::SetupController(config::SettingsStore& store, const skin::LanguageFile& language,
                                 skin::ProgramFiles folder, std::function<void(int)> ptzTypeChosen,
                                 std::function<void(int)> ptzBaudRateChosen)
    : m_store(store),
      m_language(language),
      m_folder(std::move(folder)),
      m_ptzTypeChosen(std::move(ptzTypeChosen)),
      m_ptzBaudRateChosen(std::move(ptzBaudRateChosen)),
      m_ptzTypeAtOpen(store.settings().ptzProtocolIndex),
      m_manualMode(store.settings().manualAddressMode != 0),
      m_addressBook(AddressBook::load(m_folder.readPath(AddressBook::kRelativePath))) {
    showPage(SetupPage::IpPort);
}

std::string SetupController::text(const char* section, const char* englishText) const {
    return m_language.text(section, englishText);
}

void SetupController::showPage(SetupPage page) {
    if (m_shown[pageIndex(page)]) {
        return;
    }
    m_shown[pageIndex(page)] = true;
    const config::ViewerSettings& s = m_store.settings();
    switch (page) {
        case SetupPage::IpPort:
            m_ipPort.name = s.displayedAddressLabel();
            m_ipPort.address = s.displayedRecorderAddress();
            m_ipPort.port = std::to_string(s.recorderPort);
            m_ipPort.userId = s.userId;
            m_ipPort.password = s.password;
            m_ipPort.passwordEdited = false;
            break;
        case SetupPage::Ddns: {
            const skin::IniFile options(m_folder.readPath(kOptionsRelativePath));
            m_ddns.urlTemplate = options.readString(kDdnsSection, "DDNS", kEmpty);
            m_ddns.memberId = options.readString(kDdnsSection, "GROUP", kEmpty);
            m_ddns.name = options.readString(kDdnsSection, "NAME", kEmpty);
            m_ddns.userId = s.userId;
            m_ddns.password = s.password;
            m_ddns.passwordEdited = false;
            m_ddns.port = std::to_string(s.recorderPort);
            break;
        }
        case SetupPage::PtzSave:
            m_ptzSave.ptzType = s.ptzProtocolIndex;
            m_ptzSave.ptzBaudRate = s.ptzBaudRateIndex;
            m_ptzSave.rotationInterval = s.rotationIntervalIndex;
            m_ptzSave.scanRateItem = scanRateItemFor(s.fastPlaySpeedCode);
            // A stored speed above 3 is shown one lower and lowered to that at once.
            if (s.fastPlaySpeedCode > 3) {
                m_store.settings().fastPlaySpeedCode = static_cast<std::uint8_t>(m_ptzSave.scanRateItem);
            }
            m_ptzSave.fullScreen = s.fullScreen != 0;
            m_ptzSave.saveFolder = s.saveFolder;
            break;
        case SetupPage::NetworkSpeed: {
            const config::ViewerOptions& o = m_store.options();
            m_networkSpeeds = {o.division1, o.division4, o.division9, o.division16};
            break;
        }
    }
}

bool SetupController::pageShown(SetupPage page) const {
    return m_shown[pageIndex(page)];
}

void SetupController::chooseAddress(std::size_t row) {
    const std::vector<AddressEntry> rows = m_addressBook.rows();
    if (row < rows.size()) {
        m_ipPort.name = rows[row].name;
        m_ipPort.address = rows[row].address;
        m_ipPort.port = rows[row].port;
    }
}

std::optional<SetupMessage> SetupController::writeFailure(const FileWriteResult& result) const {
    if (result.ok) {
        return std::nullopt;
    }
    return SetupMessage{"Cannot write " + result.describe(), true};
}

std::optional<SetupMessage> SetupController::saveAddress() {
    AddressBook changed = m_addressBook;
    const AddressEntry entry{fieldText(m_ipPort.name),
                             skin::TextCodec::leftChars(m_ipPort.address, AddressBook::kAddressMaxChars),
                             fieldText(m_ipPort.port)};
    // A full book would store the entry past what it reads back: it would be lost at the next start.
    if (!changed.hasRoomFor(entry)) {
        return SetupMessage{kBookFullMessage, true};
    }
    changed.save(entry);
    const FileWriteResult result =
        BookFile::writeBytes(writeTarget(m_folder, AddressBook::kRelativePath), changed.serialize());
    if (result.ok) {
        m_addressBook = std::move(changed);
    }
    return writeFailure(result);
}

std::optional<SetupMessage> SetupController::deleteAddress(std::size_t row) {
    AddressBook changed = m_addressBook;
    if (!changed.remove(row)) {
        return std::nullopt;
    }
    const FileWriteResult result =
        BookFile::writeBytes(writeTarget(m_folder, AddressBook::kRelativePath), changed.serialize());
    if (result.ok) {
        m_addressBook = std::move(changed);
    }
    return writeFailure(result);
}

void SetupController::setManualMode(bool manual) {
    m_manualMode = manual;
    m_store.settings().manualAddressMode = manual ? 1 : 0;
}

const std::string& SetupController::storedPassword() const {
    return m_store.settings().password;
}

std::string SetupController::credentialsWarning() const {
    if (!DdnsLookup::sendsCredentialsInClear(m_ddns.urlTemplate)) {
        return {};
    }
    return "Warning: the user name and password in this address are sent unencrypted over http.";
}

std::string SetupController::lookupUrl() const {
    return DdnsLookup::requestUrl(m_ddns.urlTemplate, m_ddns.memberId, m_ddns.name);
}

void SetupController::lookupStarted() {
    m_lookupRunning = true;
    m_ddns.result = LookupAnswer{};
}

std::optional<SetupMessage> SetupController::takeLookupAnswer(const LookupAnswer& answer) {
    m_lookupRunning = false;
    m_ddns.result = answer;
    if (!answer.ok) {
        m_ddns.result.address.clear();
        return SetupMessage{answer.message, true};
    }
    m_ddns.port = answer.port;
    return std::nullopt;
}

SetupMessage SetupController::takeLookupFailure(const std::string& reason) {
    m_lookupRunning = false;
    m_ddns.result = LookupAnswer{false, {}, {}, reason};
    return SetupMessage{reason, true};
}

std::optional<SetupMessage> SetupController::saveDdnsEntry() {
    DdnsList list = DdnsList::load(m_folder.readPath(DdnsList::kRelativePath));
    if (!list.hasRoomFor(fieldText(m_ddns.name))) {
        return SetupMessage{kBookFullMessage, true};
    }
    if (!list.save(fieldText(m_ddns.memberId), fieldText(m_ddns.name))) {
        return std::nullopt;
    }
    return writeFailure(
        BookFile::writeBytes(writeTarget(m_folder, DdnsList::kRelativePath), list.serialize()));
}

DdnsList SetupController::ddnsList() const {
    return DdnsList::load(m_folder.readPath(DdnsList::kRelativePath));
}

std::optional<SetupMessage> SetupController::deleteDdnsEntry(std::size_t row) {
    DdnsList list = ddnsList();
    if (!list.remove(row)) {
        return std::nullopt;
    }
    return writeFailure(
        BookFile::writeBytes(writeTarget(m_folder, DdnsList::kRelativePath), list.serialize()));
}

void SetupController::chooseDdnsEntry(const DdnsEntry& entry) {
    m_ddns.memberId = entry.group;
    m_ddns.name = entry.name;
}

void SetupController::choosePtzType(int item) {
    m_ptzSave.ptzType = item;
    m_store.settings().ptzProtocolIndex = static_cast<std::uint8_t>(item);
    if (m_ptzTypeChosen) {
        m_ptzTypeChosen(item);
    }
}

void SetupController::choosePtzBaudRate(int item) {
    m_ptzSave.ptzBaudRate = item;
    m_store.settings().ptzBaudRateIndex = static_cast<std::uint8_t>(item);
    if (m_ptzBaudRateChosen) {
        m_ptzBaudRateChosen(item);
    }
}

std::string SetupController::fieldText(const std::string& text) const {
    return skin::TextCodec::leftChars(text, kFieldMaxChars);
}

std::optional<SetupMessage> SetupController::confirm() {
    // Every check comes first: a refused OK leaves the settings as they were.
    std::string name = fieldText(m_ipPort.name);
    if (name.empty()) {
        name = "UNTITLE";
    }
    std::string address;
    std::optional<int> port;
    std::string userId;
    std::string password;
    bool passwordEdited = false;
    if (m_manualMode) {
        address = std::string(DdnsLookup::trim(m_ipPort.address));
        port = DdnsLookup::parsePort(DdnsLookup::trim(m_ipPort.port));
        if (address.empty() || equalsIgnoringAsciiCase(address, "0.0.0.0") ||
            !DdnsLookup::isValidHost(address) || !port) {
            return SetupMessage{m_language.errorMessage(15), true};
        }
        userId = m_ipPort.userId;
        password = m_ipPort.password;
        passwordEdited = m_ipPort.passwordEdited;
    } else {
        port = DdnsLookup::parsePort(DdnsLookup::trim(m_ddns.port));
        if (m_lookupRunning || !m_ddns.result.ok || !port) {
            return SetupMessage{m_language.errorMessage(16), true};
        }
        address = m_ddns.result.address;
        userId = m_ddns.userId;
        password = m_ddns.password;
        passwordEdited = m_ddns.passwordEdited;
    }

    config::ViewerSettings& s = m_store.settings();
    const config::ViewerSettings before = s;
    s.addressLabel = skin::TextCodec::leftChars(name, config::ViewerSettings::kAddressLabelMaxChars);
    s.recorderAddress = skin::TextCodec::leftChars(address, kRecorderAddressMaxChars);
    s.recorderPort = *port;
    s.userId = skin::TextCodec::leftChars(fieldText(userId), config::ViewerSettings::kUserIdMaxChars);
    // An untouched password field keeps the stored password, however long it is.
    if (passwordEdited) {
        s.password =
            skin::TextCodec::leftChars(fieldText(password), config::ViewerSettings::kPasswordMaxChars);
    }
    if (pageShown(SetupPage::PtzSave)) {
        s.ptzProtocolIndex = static_cast<std::uint8_t>(m_ptzSave.ptzType);
        s.rotationIntervalIndex = static_cast<std::uint8_t>(m_ptzSave.rotationInterval);
        s.fastPlaySpeedCode = static_cast<std::uint8_t>(storedSpeedFor(m_ptzSave.scanRateItem));
        s.fullScreen = m_ptzSave.fullScreen ? 1 : 0;
        s.saveFolder =
            skin::TextCodec::leftChars(m_ptzSave.saveFolder, config::ViewerSettings::kSaveFolderMaxChars);
    }
    m_changes.fullScreenChanged = s.fullScreen != before.fullScreen;
    m_changes.ptzTypeChanged = s.ptzProtocolIndex != m_ptzTypeAtOpen;
    m_changes.connectionChanged = s.recorderAddress != before.recorderAddress ||
                                  s.recorderPort != before.recorderPort || s.userId != before.userId ||
                                  s.password != before.password;
    m_confirmed = true;

    if (!pageShown(SetupPage::NetworkSpeed)) {
        return std::nullopt;
    }
    config::ViewerOptions& o = m_store.options();
    const std::array<int, 4> previous = {o.division1, o.division4, o.division9, o.division16};
    std::array<int, 4> speeds = m_networkSpeeds;
    for (int& speed : speeds) {
        speed = std::clamp(speed, config::ViewerOptions::kMinNetworkSpeed,
                           config::ViewerOptions::kMaxNetworkSpeed);
    }
    o.division1 = speeds[0];
    o.division4 = speeds[1];
    o.division9 = speeds[2];
    o.division16 = speeds[3];
    m_changes.networkSpeedChanged = speeds != previous;
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < speeds.size(); ++i) {
        values.emplace_back(kDivisionKeys[i], std::to_string(speeds[i]));
    }
    const FileWriteResult result = writeOptions(m_folder, "NETWORK_SPEED", values);
    if (result.ok) {
        return std::nullopt;
    }
    // The viewer re-reads opt.ini after OK: the speeds in use stay what the file holds.
    o.division1 = previous[0];
    o.division4 = previous[1];
    o.division9 = previous[2];
    o.division16 = previous[3];
    m_changes.networkSpeedChanged = false;
    return SetupMessage{
        "The network speeds were not stored; the previous ones stay in use.\n" + writeFailure(result)->text,
        true};
}

std::optional<SetupMessage> SetupController::finish() {
    if (!pageShown(SetupPage::Ddns)) {
        return std::nullopt;
    }
    const FileWriteResult result =
        writeOptions(m_folder, kDdnsSection,
                     {{"DDNS", m_ddns.urlTemplate}, {"GROUP", m_ddns.memberId}, {"NAME", m_ddns.name}});
    return writeFailure(result);
}

}  // namespace dvr::setup
