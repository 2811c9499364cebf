// The "User PTZ Command" dialog: a thin Qt face over UserCommandEditor. It shows the command list, the
// 32 byte cells, the length box, the name field and the file path, forwards every edit and menu command
// to the model, and shows the model's answers. Files are chosen and messages shown through interfaces,
// so a test drives the whole dialog without a file browser or a message box.
//
// Use: construct it with the current PTZ command file path, exec() it, then read filePath() (the file
// last loaded or saved, which becomes the current path). Operate hands the selected command to the
// handler set with setOperateHandler() (the live view sends it once after its next picture).
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "common/skin/LanguageFile.h"
#include "viewer/ptz/UserCommandEditor.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace dvr::ptz {

// Chooses the files the editor reads and writes.
class PtzFileChooser {
public:
    virtual ~PtzFileChooser() = default;
    // A command file to read; nothing when cancelled. `currentPath` may be empty.
    virtual std::optional<std::string> chooseOpen(QWidget* parent, const std::string& currentPath) = 0;
    // A file to write (an existing one only after the user agreed to replace it); nothing when cancelled.
    virtual std::optional<std::string> chooseSave(QWidget* parent, const std::string& currentPath) = 0;
};

// The platform's open and save dialogs, with the command file filters and the "tl" default suffix.
class DialogFileChooser : public PtzFileChooser {
public:
    std::optional<std::string> chooseOpen(QWidget* parent, const std::string& currentPath) override;
    std::optional<std::string> chooseSave(QWidget* parent, const std::string& currentPath) override;
};

// Shows the editor's messages.
class PtzMessageSink {
public:
    virtual ~PtzMessageSink() = default;
    virtual void showMessage(QWidget* parent, const std::string& text, const std::string& caption) = 0;
};

// A plain message box.
class MessageBoxSink : public PtzMessageSink {
public:
    void showMessage(QWidget* parent, const std::string& text, const std::string& caption) override;
};

// Ids of the "&Menu" commands.
enum class EditorCommand : int {
    LoadFile = 40001,
    SaveFile = 40002,
    Add = 40003,
    New = 40005,
    Operate = 40007,
    Store = 40010,
    Delete = 40011,
};

class UserPtzCommandDialog : public QDialog {
    Q_OBJECT
public:
    // `language` (may be null) gives the texts of the ERR_MSG messages; without it the built-in English
    // texts are shown.
    UserPtzCommandDialog(const std::string& filePath, PtzFileChooser& files, PtzMessageSink& messages,
                         const skin::LanguageFile* language = nullptr, QWidget* parent = nullptr);
    ~UserPtzCommandDialog() override;

    void setOperateHandler(std::function<void(const PtzCommand&)> handler) { m_operate = std::move(handler); }
    // The per-user data folder: a current file this user may not write (the installed share folder) is
    // saved as a copy in its PTZ folder. `writable` answers for a path (default: the file system's).
    void setUserFolder(std::string folder, std::function<bool(const std::string&)> writable = {}) {
        m_userFolder = std::move(folder);
        m_writable = std::move(writable);
    }
    // The current PTZ command file path: the one the dialog opened with, or the file last loaded or saved.
    std::string filePath() const { return m_editor.filePath().empty() ? m_openedPath : m_editor.filePath(); }

    // Runs a menu command, as the pop-up menu and the shortcuts do.
    void runCommand(EditorCommand command);

    // --- for tests ---------------------------------------------------------------------------------------
    const UserCommandEditor& editor() const { return m_editor; }
    QListWidget* commandList() const { return m_list; }
    QLineEdit* cell(int index) const { return m_cells[size_t(index)]; }
    QComboBox* lengthBox() const { return m_lengthBox; }
    QLineEdit* nameField() const { return m_nameField; }
    QPushButton* menuButton() const { return m_menuButton; }
    QMenu* menu() const { return m_menu; }

private:
    void buildLayout();
    void buildMenu();
    void tell(const EditorMessage& message);
    // Shows what the model holds, without echoing it back as edits.
    void refresh();

    UserCommandEditor m_editor;
    std::string m_openedPath;
    PtzFileChooser& m_files;
    PtzMessageSink& m_messages;
    const skin::LanguageFile* m_language;
    std::function<void(const PtzCommand&)> m_operate;
    std::string m_userFolder;
    std::function<bool(const std::string&)> m_writable;
    bool m_refreshing = false;

    QListWidget* m_list = nullptr;
    std::array<QLineEdit*, kPtzMaxBytes> m_cells{};
    QComboBox* m_lengthBox = nullptr;
    QLineEdit* m_nameField = nullptr;
    QLineEdit* m_fileField = nullptr;
    QPushButton* m_menuButton = nullptr;
    QMenu* m_menu = nullptr;
};

}  // namespace dvr::ptz
