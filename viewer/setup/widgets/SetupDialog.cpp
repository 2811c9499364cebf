#include "viewer/setup/widgets/SetupDialog.h"

#include "common/skin/ProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/skin/IniFile.h"
#include "viewer/setup/net/DdnsHttpClient.h"
#include "viewer/setup/widgets/DdnsLoaderDialog.h"
#include "viewer/setup/widgets/SetupFields.h"

namespace dvr::setup {

namespace {

constexpr const char* kMain = "CONFIG_MAIN";
constexpr const char* kIpPort = "CONFIG_IP_PORT";
constexpr const char* kDdns = "CONFIG_DDNS";
constexpr const char* kPtzSave = "CONFIG_PTZ_SAVE";
constexpr const char* kSpeed = "CONFIG_NETWORK_SPEED";

}  // namespace

SetupDialog::SetupDialog(config::SettingsStore& store, const std::string& programFolder,
                         skin::ProgramFiles folder, SetupServices services, QWidget* parent)
    : QDialog(parent),
      m_language(std::make_unique<skin::LanguageFile>(programFolder)),
      m_controller(store, *m_language, std::move(folder), services.ptzTypeChosen, services.ptzBaudRateChosen),
      m_services(std::move(services)) {
    if (!m_services.notifier) {
        m_ownNotifier = std::make_unique<MessageBoxNotifier>(this);
        m_services.notifier = m_ownNotifier.get();
    }
    if (!m_services.folderChooser) {
        m_ownChooser = std::make_unique<DialogFolderChooser>();
        m_services.folderChooser = m_ownChooser.get();
    }
    m_lookup = new DdnsHttpClient(this);
    m_lookup->setTimeoutMs(m_services.lookupTimeoutMs);
    connect(m_lookup, &DdnsHttpClient::finished, this, &SetupDialog::onLookupFinished);

    setObjectName(QStringLiteral("setupDialog"));
    setModal(true);
    setWindowTitle(text(kMain, "Vistrel Setup"));
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->addTab(buildIpPortPage(), text(kIpPort, "IP/PORT"));
    m_pages->addTab(buildDdnsPage(), text(kDdns, "DDNS"));
    m_pages->addTab(buildPtzSavePage(), text(kPtzSave, "PTZ/SAVE"));
    m_pages->addTab(buildNetworkSpeedPage(), text(kSpeed, "Network Speed"));
    connect(m_pages, &QTabWidget::currentChanged, this, &SetupDialog::showPage);

    auto* ok = new QPushButton(text(kMain, "OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(text(kMain, "Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &SetupDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SetupDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);

    fillIpPortFields();
    applyMode();
}

SetupDialog::~SetupDialog() = default;

QString SetupDialog::text(const char* section, const char* englishText) const {
    return q(m_controller.text(section, englishText));
}

void SetupDialog::notify(const std::optional<SetupMessage>& message) {
    if (message) {
        m_services.notifier->showMessage(message->text, {});
    }
}

QWidget* SetupDialog::buildIpPortPage() {
    auto* page = new QWidget(this);
    m_name = lineEdit(page, "name", static_cast<int>(SetupController::kFieldMaxChars));
    m_address = lineEdit(page, "address", static_cast<int>(SetupController::kRecorderAddressMaxChars));
    m_port = lineEdit(page, "port", 5);
    m_port->setValidator(new QIntValidator(0, 65535, m_port));
    m_userId = lineEdit(page, "userId", static_cast<int>(config::ViewerSettings::kUserIdMaxChars));
    m_password = lineEdit(page, "password", static_cast<int>(SetupController::kPasswordFieldChars));
    m_manual = new QRadioButton(text(kIpPort, "MANUAL"), page);
    m_manual->setObjectName(QStringLiteral("manual"));
    m_ddnsMode = new QRadioButton(text(kIpPort, "DDNS"), page);
    m_ddnsMode->setObjectName(QStringLiteral("ddnsMode"));

    IpPortValues& v = m_controller.ipPort();
    connect(m_name, &QLineEdit::textChanged, this, [&v](const QString& t) { v.name = s(t); });
    connect(m_address, &QLineEdit::textChanged, this, [&v](const QString& t) { v.address = s(t); });
    connect(m_port, &QLineEdit::textChanged, this, [&v](const QString& t) { v.port = s(t); });
    connect(m_userId, &QLineEdit::textChanged, this, [&v](const QString& t) { v.userId = s(t); });
    connect(m_password, &QLineEdit::textChanged, this, [&v](const QString& t) { v.password = s(t); });
    connect(m_manual, &QRadioButton::clicked, this, [this] {
        m_controller.setManualMode(true);
        applyMode();
    });
    connect(m_ddnsMode, &QRadioButton::clicked, this, [this] {
        m_controller.setManualMode(false);
        applyMode();
    });

    m_addressList = new QTreeWidget(page);
    m_addressList->setObjectName(QStringLiteral("addressList"));
    m_addressList->setRootIsDecorated(false);
    m_addressList->setColumnCount(3);
    m_addressList->setHeaderLabels({text(kIpPort, "NAME"), text(kIpPort, "IP"), text(kIpPort, "PORT")});
    m_addressList->header()->resizeSection(0, 166);
    m_addressList->header()->resizeSection(1, 110);
    m_addressList->header()->resizeSection(2, 70);
    connect(m_addressList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int row = m_addressList->indexOfTopLevelItem(item);
        if (row >= 0) {
            m_controller.chooseAddress(static_cast<std::size_t>(row));
            m_name->setText(q(m_controller.ipPort().name));
            m_address->setText(q(m_controller.ipPort().address));
            m_port->setText(q(m_controller.ipPort().port));
        }
    });
    auto* save = new QPushButton(text(kIpPort, "Save"), page);
    save->setObjectName(QStringLiteral("save"));
    auto* remove = new QPushButton(text(kIpPort, "Delete"), page);
    remove->setObjectName(QStringLiteral("delete"));
    connect(save, &QPushButton::clicked, this, [this] {
        notify(m_controller.saveAddress());
        fillAddressList();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_addressList->indexOfTopLevelItem(m_addressList->currentItem());
        if (row >= 0) {
            notify(m_controller.deleteAddress(static_cast<std::size_t>(row)));
            fillAddressList();
        }
    });

    auto* form = new QFormLayout;
    form->addRow(text(kIpPort, "NAME"), m_name);
    form->addRow(text(kIpPort, "ADDRESS"), m_address);
    form->addRow(text(kIpPort, "PORT"), m_port);
    form->addRow(text(kIpPort, "USER ID"), m_userId);
    form->addRow(text(kIpPort, "PASSWORD"), m_password);
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_manual);
    modes->addWidget(m_ddnsMode);
    modes->addStretch();
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch();
    listButtons->addWidget(save);
    listButtons->addWidget(remove);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(modes);
    layout->addLayout(form);
    layout->addWidget(m_addressList);
    layout->addLayout(listButtons);
    return page;
}

void SetupDialog::fillIpPortFields() {
    const IpPortValues values = m_controller.ipPort();
    m_name->setText(q(values.name));
    m_address->setText(q(values.address));
    m_port->setText(q(values.port));
    m_userId->setText(q(values.userId));
    preparePasswordField(m_password, values.password, &m_controller.ipPort().passwordEdited);
    (m_controller.manualMode() ? m_manual : m_ddnsMode)->setChecked(true);
    fillAddressList();
}

void SetupDialog::fillAddressList() {
    m_addressList->clear();
    for (const AddressEntry& entry : m_controller.addressRows()) {
        m_addressList->addTopLevelItem(new QTreeWidgetItem({q(entry.name), q(entry.address), q(entry.port)}));
    }
}

QWidget* SetupDialog::buildDdnsPage() {
    auto* page = new QWidget(this);
    m_ddnsPage = page;
    const int maxField = static_cast<int>(skin::IniFile::kMaxTextChars);
    m_template = lineEdit(page, "ddnsTemplate", maxField);
    m_memberId = lineEdit(page, "memberId", static_cast<int>(SetupController::kFieldMaxChars));
    m_ddnsName = lineEdit(page, "ddnsName", static_cast<int>(SetupController::kFieldMaxChars));
    m_ddnsAddress =
        lineEdit(page, "ddnsAddress", static_cast<int>(SetupController::kRecorderAddressMaxChars));
    m_ddnsAddress->setReadOnly(true);
    m_ddnsUserId = lineEdit(page, "ddnsUserId", static_cast<int>(config::ViewerSettings::kUserIdMaxChars));
    m_ddnsPassword = lineEdit(page, "ddnsPassword", static_cast<int>(SetupController::kPasswordFieldChars));
    m_ddnsPort = lineEdit(page, "ddnsPort", 5);
    m_ddnsPort->setValidator(new QIntValidator(0, 65535, m_ddnsPort));

    DdnsValues& v = m_controller.ddns();
    auto* warning = new QLabel(page);
    warning->setObjectName(QStringLiteral("credentialsWarning"));
    warning->setVisible(false);
    connect(m_template, &QLineEdit::textChanged, this, [this, &v, warning](const QString& t) {
        v.urlTemplate = s(t);
        warning->setText(q(m_controller.credentialsWarning()));
        warning->setVisible(!warning->text().isEmpty());
    });
    connect(m_memberId, &QLineEdit::textChanged, this, [&v](const QString& t) { v.memberId = s(t); });
    connect(m_ddnsName, &QLineEdit::textChanged, this, [&v](const QString& t) { v.name = s(t); });
    connect(m_ddnsUserId, &QLineEdit::textChanged, this, [&v](const QString& t) { v.userId = s(t); });
    connect(m_ddnsPassword, &QLineEdit::textChanged, this, [&v](const QString& t) { v.password = s(t); });
    connect(m_ddnsPort, &QLineEdit::textChanged, this, [&v](const QString& t) { v.port = s(t); });

    auto* save = new QPushButton(text(kDdns, "SAVE"), page);
    save->setObjectName(QStringLiteral("ddnsSave"));
    auto* load = new QPushButton(text(kDdns, "LOAD"), page);
    load->setObjectName(QStringLiteral("ddnsLoad"));
    m_connect = new QPushButton(text(kDdns, "CONNECT"), page);
    m_connect->setObjectName(QStringLiteral("connect"));
    connect(save, &QPushButton::clicked, this, &SetupDialog::saveEntry);
    connect(load, &QPushButton::clicked, this, &SetupDialog::loadEntry);
    connect(m_connect, &QPushButton::clicked, this, &SetupDialog::lookup);

    auto* info = new QGroupBox(text(kDdns, "DDNS INFO"), page);
    auto* infoForm = new QFormLayout(info);
    infoForm->addRow(text(kDdns, "DDNS"), m_template);
    infoForm->addRow(warning);
    infoForm->addRow(text(kDdns, "Member ID"), m_memberId);
    infoForm->addRow(text(kDdns, "Name"), m_ddnsName);
    auto* infoButtons = new QHBoxLayout;
    infoButtons->addStretch();
    infoButtons->addWidget(save);
    infoButtons->addWidget(load);
    infoForm->addRow(infoButtons);
    auto* dvr = new QGroupBox(text(kDdns, "DVR INFO"), page);
    auto* dvrForm = new QFormLayout(dvr);
    dvrForm->addRow(text(kDdns, "IP Address"), m_ddnsAddress);
    dvrForm->addRow(text(kIpPort, "PORT"), m_ddnsPort);
    dvrForm->addRow(text(kDdns, "User ID"), m_ddnsUserId);
    dvrForm->addRow(text(kDdns, "Password"), m_ddnsPassword);
    dvrForm->addRow(m_connect);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(info);
    layout->addWidget(dvr);
    layout->addStretch();
    return page;
}

QWidget* SetupDialog::buildPtzSavePage() {
    auto* page = new QWidget(this);
    m_ptzType = comboBox(page, "ptzType", SetupController::ptzTypeItems());
    m_baudRate = comboBox(page, "baudRate", SetupController::baudRateItems());
    m_rotation = comboBox(page, "rotation", SetupController::rotationItems());
    m_scanRate = comboBox(page, "scanRate", SetupController::scanRateItems());
    m_fullScreen = new QCheckBox(text(kPtzSave, "Run in Full Screen Mode"), page);
    m_fullScreen->setObjectName(QStringLiteral("fullScreen"));
    m_saveFolder =
        lineEdit(page, "saveFolder", static_cast<int>(config::ViewerSettings::kSaveFolderMaxChars));
    auto* browse = new QPushButton(QStringLiteral("..."), page);
    browse->setObjectName(QStringLiteral("browse"));

    // The PTZ lists act at once; the others are stored by OK. Choices only reach the controller when the
    // user makes them, never while the page is being filled.
    connect(m_ptzType, &QComboBox::activated, this, [this](int item) { m_controller.choosePtzType(item); });
    connect(m_baudRate, &QComboBox::activated, this,
            [this](int item) { m_controller.choosePtzBaudRate(item); });
    PtzSaveValues& v = m_controller.ptzSave();
    connect(m_rotation, &QComboBox::activated, this, [&v](int item) { v.rotationInterval = item; });
    connect(m_scanRate, &QComboBox::activated, this, [&v](int item) { v.scanRateItem = item; });
    connect(m_fullScreen, &QCheckBox::toggled, this, [&v](bool on) { v.fullScreen = on; });
    connect(m_saveFolder, &QLineEdit::textEdited, this, [&v](const QString& t) { v.saveFolder = s(t); });
    connect(browse, &QPushButton::clicked, this, [this] {
        if (const auto folder =
                m_services.folderChooser->chooseFolder(this, m_controller.ptzSave().saveFolder)) {
            m_controller.ptzSave().saveFolder = *folder;
            m_saveFolder->setText(q(*folder));
        }
    });

    auto* option = new QGroupBox(text(kPtzSave, "OPTION"), page);
    auto* optionForm = new QFormLayout(option);
    optionForm->addRow(text(kPtzSave, "Circular Monitoring Interval"), m_rotation);
    optionForm->addRow(text(kPtzSave, "Scan Rate"), m_scanRate);
    optionForm->addRow(m_fullScreen);
    auto* ptz = new QGroupBox(text(kPtzSave, "PTZ"), page);
    auto* ptzForm = new QFormLayout(ptz);
    ptzForm->addRow(text(kPtzSave, "PTZ Type"), m_ptzType);
    ptzForm->addRow(text(kPtzSave, "PTZ Baudrate"), m_baudRate);
    if (m_services.editPtzCommands) {
        auto* commands = new QPushButton(text(kPtzSave, "User PTZ Command"), ptz);
        commands->setObjectName(QStringLiteral("userPtzCommand"));
        connect(commands, &QPushButton::clicked, this, [this] { m_services.editPtzCommands(this); });
        ptzForm->addRow(commands);
    }
    auto* save = new QGroupBox(text(kPtzSave, "SAVE"), page);
    auto* saveLayout = new QVBoxLayout(save);
    saveLayout->addWidget(new QLabel(text(kPtzSave, "Set Path to Save Downloaded image"), save));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_saveFolder);
    pathRow->addWidget(browse);
    saveLayout->addLayout(pathRow);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(option);
    layout->addWidget(ptz);
    layout->addWidget(save);
    layout->addStretch();
    return page;
}

QWidget* SetupDialog::buildNetworkSpeedPage() {
    auto* page = new QWidget(this);
    std::vector<std::string> items;
    for (int value = config::ViewerOptions::kMinNetworkSpeed;
         value <= config::ViewerOptions::kMaxNetworkSpeed; ++value) {
        items.push_back(std::to_string(value));
    }
    auto* form = new QFormLayout;
    const char* names[] = {"division1", "division4", "division9", "division16"};
    const char* panes[] = {"1", "4", "9", "16"};
    for (std::size_t i = 0; i < m_speeds.size(); ++i) {
        m_speeds[i] = comboBox(page, names[i], items);
        connect(m_speeds[i], &QComboBox::activated, this, [this, i](int item) {
            m_controller.networkSpeeds()[i] = item + config::ViewerOptions::kMinNetworkSpeed;
        });
        form->addRow(QLatin1String(panes[i]), m_speeds[i]);
    }
    auto* layout = new QVBoxLayout(page);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(text(kSpeed, "Screen Division"), page));
    header->addWidget(new QLabel(text(kSpeed, "Network Speed Value"), page));
    layout->addLayout(header);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

void SetupDialog::showPage(int index) {
    const auto page = static_cast<SetupPage>(index);
    if (index < 0 || index > 3 || m_controller.pageShown(page)) {
        return;
    }
    m_controller.showPage(page);
    switch (page) {
        case SetupPage::IpPort:
            break;
        case SetupPage::Ddns: {
            const DdnsValues values = m_controller.ddns();
            m_template->setText(q(values.urlTemplate));
            m_memberId->setText(q(values.memberId));
            m_ddnsName->setText(q(values.name));
            m_ddnsUserId->setText(q(values.userId));
            m_ddnsPort->setText(q(values.port));
            preparePasswordField(m_ddnsPassword, values.password, &m_controller.ddns().passwordEdited);
            break;
        }
        case SetupPage::PtzSave: {
            const PtzSaveValues values = m_controller.ptzSave();
            m_ptzType->setCurrentIndex(values.ptzType);
            m_baudRate->setCurrentIndex(values.ptzBaudRate);
            m_rotation->setCurrentIndex(values.rotationInterval);
            m_scanRate->setCurrentIndex(values.scanRateItem);
            m_fullScreen->setChecked(values.fullScreen);
            m_saveFolder->setText(q(values.saveFolder));
            break;
        }
        case SetupPage::NetworkSpeed:
            for (std::size_t i = 0; i < m_speeds.size(); ++i) {
                m_speeds[i]->setCurrentIndex(m_controller.networkSpeeds()[i] -
                                             config::ViewerOptions::kMinNetworkSpeed);
            }
            break;
    }
}

void SetupDialog::applyMode() {
    const bool manual = m_controller.manualMode();
    for (QWidget* field : std::initializer_list<QWidget*>{m_name, m_address, m_port, m_userId, m_password}) {
        field->setEnabled(manual);
    }
    m_ddnsPage->setEnabled(!manual);
}

void SetupDialog::lookup() {
    if (m_lookup->running()) {
        m_lookup->cancel();
        m_controller.lookupCancelled();
        m_connect->setText(text(kDdns, "CONNECT"));
        return;
    }
    // The shown address and the stored result go together: OK takes no earlier lookup's address.
    m_controller.lookupStarted();
    m_ddnsAddress->clear();
    m_connect->setText(text(kMain, "Cancel"));
    m_lookup->start(m_controller.lookupUrl());
}

void SetupDialog::onLookupFinished(const DdnsLookupOutcome& outcome) {
    // A cancelled lookup shows nothing, and the outcome of an earlier lookup never overwrites a newer one.
    if (outcome.cancelled || m_lookup->running()) {
        return;
    }
    m_connect->setText(text(kDdns, "CONNECT"));
    const auto message = m_controller.takeLookupAnswer(outcome.answer);
    m_ddnsAddress->setText(q(m_controller.ddns().result.address));
    m_ddnsPort->setText(q(m_controller.ddns().port));
    notify(message);
}

void SetupDialog::saveEntry() {
    notify(m_controller.saveDdnsEntry());
}

void SetupDialog::loadEntry() {
    DdnsLoaderDialog loader(m_controller, *m_services.notifier, this);
    if (loader.exec() == QDialog::Accepted) {
        m_memberId->setText(q(m_controller.ddns().memberId));
        m_ddnsName->setText(q(m_controller.ddns().name));
    }
}

void SetupDialog::accept() {
    const auto message = m_controller.confirm();
    if (!m_controller.confirmed()) {
        notify(message);
        return;
    }
    notify(message);
    if (!m_finished) {
        m_finished = true;
        m_lookup->cancel();
        notify(m_controller.finish());
    }
    QDialog::accept();
}

void SetupDialog::reject() {
    if (!m_finished) {
        m_finished = true;
        m_lookup->cancel();
        notify(m_controller.finish());
    }
    QDialog::reject();
}

SetupResult SetupDialog::runSetup(QWidget* parent, config::SettingsStore& store,
                                  const std::string& programFolder, SetupServices services) {
    SetupDialog dialog(store, programFolder,
                       skin::ProgramFiles(programFolder, skin::ProgramFiles::defaultUserFolder(
                                                             skin::ProgramFolder::kViewer.userName)),
                       std::move(services), parent);
    dialog.QDialog::exec();
    return dialog.result();
}

}  // namespace dvr::setup
