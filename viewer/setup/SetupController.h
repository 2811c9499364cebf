#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/skin/LanguageFile.h"
#include "common/skin/ProgramFiles.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/setup/AddressBook.h"
#include "viewer/setup/DdnsList.h"
#include "viewer/setup/DdnsLookup.h"

namespace dvr::setup {

// The four pages of the setup dialog, in tab order.
enum class SetupPage { IpPort, Ddns, PtzSave, NetworkSpeed };

// A text for a message box.
struct SetupMessage {
    std::string text;
    bool error = true;
};

// Saving a new entry into an address book or DDNS list that holds the most it can.
inline constexpr const char* kBookFullMessage =
    "The list holds 1000 entries, the most it can: delete one first.";

// What a confirmed dialog changed, for the caller to re-apply.
struct SetupChanges {
    bool fullScreenChanged = false;
    bool ptzTypeChanged = false;  // relative to the type when the dialog opened
    bool networkSpeedChanged = false;
    bool connectionChanged = false;  // address, port, user ID or password
};

// Values of the IP/PORT page.
struct IpPortValues {
    std::string name;
    std::string address;
    std::string port;
    std::string userId;
    std::string password;
    // False while the password field still holds the stored password untouched.
    bool passwordEdited = false;
};

// Values of the DDNS page.
struct DdnsValues {
    std::string urlTemplate;
    std::string memberId;
    std::string name;
    std::string userId;
    std::string password;
    bool passwordEdited = false;
    std::string port;
    LookupAnswer result;  // the last lookup's outcome; ok stays false until one succeeds
};

// Values of the PTZ/SAVE page (list item indices).
struct PtzSaveValues {
    int ptzType = 0;
    int ptzBaudRate = 0;
    int rotationInterval = 0;
    int scanRateItem = 0;
    bool fullScreen = false;
    std::string saveFolder;
};

// The setup dialog without its widgets: the pages' values, the address book and DDNS list, the checks
// of OK. Pages read the settings when they are first shown and write them back only when OK passes its
// checks; the PTZ type and baud rate take effect as soon as they are chosen.
class SetupController {
public:
    static constexpr std::size_t kPasswordFieldChars = 8;
    static constexpr std::size_t kFieldMaxChars = 127;
    static constexpr std::size_t kRecorderAddressMaxChars = config::ViewerSettings::kRecorderAddressMaxChars;
    static constexpr const char* kOptionsRelativePath = "ini/opt.ini";

    static const std::vector<std::string>& ptzTypeItems();
    static const std::vector<std::string>& baudRateItems();
    static const std::vector<std::string>& rotationItems();
    static const std::vector<std::string>& scanRateItems();
    // "Request Speed" as the Scan Rate list shows it: above 3 it is shown one lower.
    static int scanRateItemFor(int storedSpeed);
    // The "Request Speed" stored for a Scan Rate item: items 0 to 3 store 0 to 3, "64X" stores 5.
    static int storedSpeedFor(int scanRateItem);

    // `ptzTypeChosen` and `ptzBaudRateChosen` are called whenever the user picks a PTZ type or baud rate
    // (sending switches to them at once).
    SetupController(config::SettingsStore& store, const skin::LanguageFile& language,
                    skin::ProgramFiles folder, std::function<void(int)> ptzTypeChosen = {},
                    std::function<void(int)> ptzBaudRateChosen = {});

    // A text of the language file, the key being its English wording.
    std::string text(const char* section, const char* englishText) const;
    const skin::LanguageFile& language() const { return m_language; }
    const skin::ProgramFiles& folder() const { return m_folder; }

    // Fills the page's values from the settings the first time it is shown. PTZ/SAVE lowers a stored
    // "Request Speed" above 3 to the value its Scan Rate item shows.
    void showPage(SetupPage page);
    bool pageShown(SetupPage page) const;

    // IP/PORT page.
    IpPortValues& ipPort() { return m_ipPort; }
    const AddressBook& addressBook() const { return m_addressBook; }
    std::vector<AddressEntry> addressRows() const { return m_addressBook.rows(); }
    // Double click: the row's name, address and port go to the fields.
    void chooseAddress(std::size_t row);
    // Save: the fields' name, address and port into the book, then the book is written.
    std::optional<SetupMessage> saveAddress();
    // Delete: removes the row and writes the book (an empty book stays empty).
    std::optional<SetupMessage> deleteAddress(std::size_t row);
    bool manualMode() const { return m_manualMode; }
    void setManualMode(bool manual);
    // The password as stored, for a field that must not cut it short.
    const std::string& storedPassword() const;

    // DDNS page.
    DdnsValues& ddns() { return m_ddns; }
    std::string lookupUrl() const;
    // CONNECT started a lookup: the last result is forgotten, and OK in DDNS mode is refused until a
    // lookup succeeds.
    void lookupStarted();
    // The running lookup was cancelled: no result.
    void lookupCancelled() { m_lookupRunning = false; }
    bool lookupRunning() const { return m_lookupRunning; }
    // Takes a lookup's outcome; a failed one gives the message to show.
    std::optional<SetupMessage> takeLookupAnswer(const LookupAnswer& answer);
    // A lookup that never got an answer (transport failure): clears the result, gives the reason.
    SetupMessage takeLookupFailure(const std::string& reason);
    // The one-line warning the DDNS page shows while its address would send a user and password
    // unencrypted (plain http); empty otherwise.
    std::string credentialsWarning() const;
    // SAVE: the member ID and name into ddns.ini.
    std::optional<SetupMessage> saveDdnsEntry();
    DdnsList ddnsList() const;
    // The Loader's Delete: removes the row and rewrites ddns.ini.
    std::optional<SetupMessage> deleteDdnsEntry(std::size_t row);
    // The Loader's OK: the chosen row's member ID and name go to the fields.
    void chooseDdnsEntry(const DdnsEntry& entry);

    // PTZ/SAVE page.
    PtzSaveValues& ptzSave() { return m_ptzSave; }
    void choosePtzType(int item);
    void choosePtzBaudRate(int item);

    // Network Speed page: the values 1 to 10 for 1, 4, 9 and 16 panes.
    std::array<int, 4>& networkSpeeds() { return m_networkSpeeds; }

    // OK: checks the fields; on a failed check gives the message and changes nothing. Otherwise stores
    // every shown page's values into the settings, writes the network speeds to opt.ini when that page
    // was shown and reports the changes through changes(). When opt.ini cannot be written the dialog
    // closes anyway; the message says the speeds were not stored, and the previous ones stay in use.
    std::optional<SetupMessage> confirm();
    bool confirmed() const { return m_confirmed; }
    const SetupChanges& changes() const { return m_changes; }
    // The dialog closes (OK or Cancel): the DDNS page's template, member ID and name go back to opt.ini
    // when it was shown.
    std::optional<SetupMessage> finish();

private:
    std::optional<SetupMessage> writeFailure(const FileWriteResult& result) const;
    std::string fieldText(const std::string& text) const;

    config::SettingsStore& m_store;
    const skin::LanguageFile& m_language;
    skin::ProgramFiles m_folder;
    std::function<void(int)> m_ptzTypeChosen;
    std::function<void(int)> m_ptzBaudRateChosen;
    int m_ptzTypeAtOpen = 0;
    bool m_manualMode = true;
    bool m_lookupRunning = false;
    std::array<bool, 4> m_shown{};
    IpPortValues m_ipPort;
    DdnsValues m_ddns;
    PtzSaveValues m_ptzSave;
    std::array<int, 4> m_networkSpeeds{};
    AddressBook m_addressBook;
    bool m_confirmed = false;
    SetupChanges m_changes;
};

}  // namespace dvr::setup
