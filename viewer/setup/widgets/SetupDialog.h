#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "viewer/setup/SetupController.h"

namespace dvr::skin {
class SkinNotifier;
}
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace dvr::setup {

class DdnsHttpClient;

// Picks a folder for "Record Path" (the system's folder browser in the program, a fake in tests).
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseFolder(QWidget* parent, const std::string& startFolder) = 0;
};

// The system's folder browser.
class DialogFolderChooser : public FolderChooser {
public:
    std::optional<std::string> chooseFolder(QWidget* parent, const std::string& startFolder) override;
};

// Message boxes of the dialog.
class DialogSetupNotifier;

// What the dialog needs from its caller besides the settings.
struct SetupServices {
    skin::SkinNotifier* notifier = nullptr;      // message boxes; null: real message boxes
    FolderChooser* folderChooser = nullptr;      // null: the system's folder browser
    std::function<void(int)> ptzTypeChosen;      // switches the PTZ protocol for sending at once
    std::function<void(int)> ptzBaudRateChosen;  // switches the PTZ baud-rate code for sending at once
    // Opens the "User PTZ Command" editor over the dialog; null: the PTZ/SAVE page has no button for it.
    std::function<void(QWidget*)> editPtzCommands;
    int lookupTimeoutMs = 10000;
};

// What a finished dialog reports.
struct SetupResult {
    bool accepted = false;
    SetupChanges changes;
};

// The modal "Vistrel Setup" dialog: OK, Cancel and the pages IP/PORT, DDNS, PTZ/SAVE and Network
// Speed. Every decision is the controller's; the dialog copies field values to it and shows its answers.
class SetupDialog : public QDialog {
    Q_OBJECT
public:
    SetupDialog(config::SettingsStore& store, const std::string& programFolder, skin::ProgramFiles folder,
                SetupServices services, QWidget* parent = nullptr);
    ~SetupDialog() override;

    // Runs the dialog for the settings of the viewer whose program folder is `programFolder`. After an
    // accepted dialog the settings and their network speeds are updated in `store`; the caller
    // re-applies full screen, the PTZ command set and the network speed of its layout as the changes
    // say, and uses the new address, port and log-in at the next connection.
    static SetupResult runSetup(QWidget* parent, config::SettingsStore& store,
                                const std::string& programFolder, SetupServices services = {});

    SetupController& controller() { return m_controller; }
    SetupResult result() const { return {m_controller.confirmed(), m_controller.changes()}; }

    void accept() override;
    void reject() override;

private:
    QWidget* buildIpPortPage();
    QWidget* buildDdnsPage();
    QWidget* buildPtzSavePage();
    QWidget* buildNetworkSpeedPage();
    void showPage(int index);
    void fillIpPortFields();
    void fillAddressList();
    void applyMode();
    // CONNECT: starts a lookup, or cancels the running one.
    void lookup();
    void onLookupFinished(const struct DdnsLookupOutcome& outcome);
    // SAVE and LOAD of the DDNS page.
    void saveEntry();
    void loadEntry();
    void notify(const std::optional<SetupMessage>& message);
    QString text(const char* section, const char* englishText) const;

    std::unique_ptr<skin::LanguageFile> m_language;
    SetupController m_controller;
    SetupServices m_services;
    std::unique_ptr<skin::SkinNotifier> m_ownNotifier;
    std::unique_ptr<FolderChooser> m_ownChooser;
    DdnsHttpClient* m_lookup = nullptr;
    bool m_finished = false;

    QTabWidget* m_pages = nullptr;
    // IP/PORT
    QLineEdit* m_name = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_userId = nullptr;
    QLineEdit* m_password = nullptr;
    QRadioButton* m_manual = nullptr;
    QRadioButton* m_ddnsMode = nullptr;
    QTreeWidget* m_addressList = nullptr;
    // DDNS
    QWidget* m_ddnsPage = nullptr;
    QLineEdit* m_template = nullptr;
    QLineEdit* m_memberId = nullptr;
    QLineEdit* m_ddnsName = nullptr;
    QLineEdit* m_ddnsAddress = nullptr;
    QLineEdit* m_ddnsUserId = nullptr;
    QLineEdit* m_ddnsPassword = nullptr;
    QLineEdit* m_ddnsPort = nullptr;
    QPushButton* m_connect = nullptr;
    // PTZ/SAVE
    QComboBox* m_ptzType = nullptr;
    QComboBox* m_baudRate = nullptr;
    QComboBox* m_rotation = nullptr;
    QComboBox* m_scanRate = nullptr;
    QCheckBox* m_fullScreen = nullptr;
    QLineEdit* m_saveFolder = nullptr;
    // Network Speed
    std::array<QComboBox*, 4> m_speeds{};
};

}  // namespace dvr::setup
