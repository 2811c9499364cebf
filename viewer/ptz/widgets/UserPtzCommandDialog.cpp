#include "viewer/ptz/widgets/UserPtzCommandDialog.h"

#include "viewer/ptz/PtzFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace dvr::ptz {

namespace {

struct MenuEntry {
    EditorCommand command;
    const char* text;
    const char* shortcut;
};

constexpr std::array<MenuEntry, 7> kMenu{{
    {EditorCommand::New, "&New PT Commad\tCtrl+N", "Ctrl+N"},
    {EditorCommand::Add, "&Add PT Commad\tCtrl+A", "Ctrl+A"},
    {EditorCommand::Store, "Sa&ve PT Commad\tCtrl+V", "Ctrl+V"},
    {EditorCommand::Delete, "&Delete PT Commad\tCtrl+D", "Ctrl+D"},
    {EditorCommand::LoadFile, "&Load User PT File\tCtrl+L", "Ctrl+L"},
    {EditorCommand::SaveFile, "&Save User PT File\tCtrl+S", "Ctrl+S"},
    {EditorCommand::Operate, "&Operate Command\tCtrl+O", "Ctrl+O"},
}};

constexpr int kCellsPerGroup = 16;
constexpr int kCellColumns = 4;

QString startFolder(const std::string& currentPath) {
    return currentPath.empty() ? QString() : QFileInfo(QString::fromStdString(currentPath)).absolutePath();
}

std::optional<std::string> chosen(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace

std::optional<std::string> DialogFileChooser::chooseOpen(QWidget* parent, const std::string& currentPath) {
    QFileDialog dialog(parent, QString(), startFolder(currentPath));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("user pantilt command(*.tl *.TL)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("tl"));
    return chosen(dialog);
}

std::optional<std::string> DialogFileChooser::chooseSave(QWidget* parent, const std::string& currentPath) {
    QFileDialog dialog(parent, QString(), startFolder(currentPath));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("User Pantilt Files (*.tl *.TL)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("tl"));
    dialog.selectFile(QStringLiteral("user_command"));
    return chosen(dialog);
}

void MessageBoxSink::showMessage(QWidget* parent, const std::string& text, const std::string& caption) {
    QMessageBox::information(parent, QString::fromStdString(caption), QString::fromStdString(text));
}

UserPtzCommandDialog::UserPtzCommandDialog(const std::string& filePath, PtzFileChooser& files,
                                           PtzMessageSink& messages, const skin::LanguageFile* language,
                                           QWidget* parent)
    : QDialog(parent), m_openedPath(filePath), m_files(files), m_messages(messages), m_language(language) {
    setWindowTitle(QStringLiteral("User PTZ Command"));
    setModal(true);
    buildLayout();
    buildMenu();
    const EditorMessage opened = m_editor.open(filePath);
    refresh();
    if (opened) {
        // Shown once the dialog is up, over it.
        QMetaObject::invokeMethod(
            this, [this, opened] { tell(opened); }, Qt::QueuedConnection);
    }
}

UserPtzCommandDialog::~UserPtzCommandDialog() = default;

void UserPtzCommandDialog::buildLayout() {
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumWidth(180);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_refreshing || row < 0) {
            return;
        }
        m_editor.selectEntry(row);
        refresh();
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { runCommand(EditorCommand::Operate); });

    m_nameField = new QLineEdit(this);
    m_nameField->setMaxLength(int(kPtzMaxNameChars));
    connect(m_nameField, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_editor.setName(text.toStdString()); });

    m_lengthBox = new QComboBox(this);
    for (int length = 1; length <= kPtzMaxBytes; ++length) {
        m_lengthBox->addItem(QString::number(length));
    }
    connect(m_lengthBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_refreshing || index < 0) {
            return;
        }
        m_editor.setLengthSelection(index);
        refresh();
    });

    m_menuButton = new QPushButton(QStringLiteral("&Menu"), this);
    m_fileField = new QLineEdit(this);
    m_fileField->setReadOnly(true);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("NAME"), this), 0, 0);
    fields->addWidget(m_nameField, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("LENGTH"), this), 1, 0);
    fields->addWidget(m_lengthBox, 1, 1);
    fields->addWidget(m_menuButton, 2, 1, Qt::AlignRight);

    // Two groups of sixteen byte cells, each holding two hexadecimal digits.
    const auto* hexDigits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,2}")), this);
    auto* cellRow = new QHBoxLayout;
    for (int group = 0; group < kPtzMaxBytes / kCellsPerGroup; ++group) {
        auto* box = new QGroupBox(this);
        auto* grid = new QGridLayout(box);
        for (int k = 0; k < kCellsPerGroup; ++k) {
            const int index = group * kCellsPerGroup + k;
            auto* cell = new QLineEdit(box);
            cell->setMaxLength(2);
            cell->setValidator(hexDigits);
            cell->setFixedWidth(32);
            connect(cell, &QLineEdit::textEdited, this,
                    [this, index](const QString& text) { m_editor.setCellText(index, text.toStdString()); });
            m_cells[size_t(index)] = cell;
            const int row = k / kCellColumns;
            const int column = (k % kCellColumns) * 2;
            grid->addWidget(new QLabel(QString::asprintf("No %d", index + 1), box), row, column);
            grid->addWidget(cell, row, column + 1);
        }
        cellRow->addWidget(box);
    }

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("FILE"), this));
    fileRow->addWidget(m_fileField, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);

    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addLayout(cellRow);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(fileRow);
    layout->addWidget(buttons);
}

void UserPtzCommandDialog::buildMenu() {
    m_menu = new QMenu(this);
    for (const MenuEntry& entry : kMenu) {
        QAction* action = m_menu->addAction(QString::fromLatin1(entry.text));
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
        action->setData(int(entry.command));
        const EditorCommand command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        // The shortcuts work without opening the menu.
        addAction(action);
    }
    connect(m_menuButton, &QPushButton::clicked, this,
            [this] { m_menu->popup(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height()))); });
}

void UserPtzCommandDialog::runCommand(EditorCommand command) {
    switch (command) {
        case EditorCommand::New:
            tell(m_editor.newCommand());
            break;
        case EditorCommand::Add:
            tell(m_editor.addCommand());
            break;
        case EditorCommand::Store:
            tell(m_editor.storeSelected());
            break;
        case EditorCommand::Delete:
            tell(m_editor.deleteSelected());
            break;
        case EditorCommand::Operate: {
            std::optional<PtzCommand> selected;
            tell(m_editor.operate(&selected));
            if (selected && m_operate) {
                m_operate(*selected);
            }
            break;
        }
        case EditorCommand::LoadFile:
            if (const auto path = m_files.chooseOpen(this, filePath())) {
                tell(m_editor.loadFile(*path));
            }
            break;
        case EditorCommand::SaveFile:
            if (const EditorMessage refused = m_editor.saveCheck()) {
                tell(refused);
            } else if (const auto path =
                           m_files.chooseSave(this, ptzSaveStartPath(filePath(), m_userFolder, m_writable))) {
                tell(m_editor.saveFile(*path));
            }
            break;
    }
    refresh();
}

void UserPtzCommandDialog::tell(const EditorMessage& message) {
    if (!message) {
        return;
    }
    std::string text = message->text;
    if (text.empty()) {
        text = m_language != nullptr ? m_language->text(kMessageSection, message->key, message->defaultText)
                                     : std::string(message->defaultText);
    }
    m_messages.showMessage(this, text, std::string(kMessageCaption));
}

void UserPtzCommandDialog::refresh() {
    m_refreshing = true;
    const auto& entries = m_editor.entries();
    if (m_list->count() != int(entries.size())) {
        m_list->clear();
        for (const PtzCommand& entry : entries) {
            m_list->addItem(QString::fromStdString(entry.name));
        }
    } else {
        for (int i = 0; i < m_list->count(); ++i) {
            const QString name = QString::fromStdString(entries[size_t(i)].name);
            if (m_list->item(i)->text() != name) {
                m_list->item(i)->setText(name);
            }
        }
    }
    m_list->setCurrentRow(m_editor.selection());
    if (m_editor.selection() < 0) {
        m_list->clearSelection();
    }
    for (int i = 0; i < kPtzMaxBytes; ++i) {
        const QString text = QString::fromStdString(m_editor.cells()[size_t(i)]);
        if (m_cells[size_t(i)]->text() != text) {
            m_cells[size_t(i)]->setText(text);
        }
    }
    m_lengthBox->setCurrentIndex(m_editor.lengthSelection());
    const QString name = QString::fromStdString(m_editor.name());
    if (m_nameField->text() != name) {
        m_nameField->setText(name);
    }
    m_nameField->setEnabled(m_editor.nameEnabled());
    m_fileField->setText(QString::fromStdString(filePath()));
    m_refreshing = false;
}

}  // namespace dvr::ptz
