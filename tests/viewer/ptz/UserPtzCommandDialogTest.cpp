// The "User PTZ Command" dialog on the offscreen platform: a command is added, edited, shortened, saved
// through a fake file chooser into a scratch folder and read back; the refusals reach the message sink;
// Operate hands the selected command on. No file browser and no message box ever opens.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/ptz/widgets/UserPtzCommandDialog.h"

namespace dvr::ptz {
namespace {

class FakeChooser : public PtzFileChooser {
public:
    std::optional<std::string> chooseOpen(QWidget*, const std::string&) override {
        ++opens;
        return openAnswer;
    }
    std::optional<std::string> chooseSave(QWidget*, const std::string& currentPath) override {
        ++saves;
        saveStart = currentPath;
        return saveAnswer;
    }
    std::string saveStart;
    std::optional<std::string> openAnswer, saveAnswer;
    int opens = 0, saves = 0;
};

class RecordingSink : public PtzMessageSink {
public:
    void showMessage(QWidget*, const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        captions.push_back(caption);
    }
    std::vector<std::string> messages, captions;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class UserPtzCommandDialogTest : public ::testing::Test {
protected:
    UserPtzCommandDialogTest() {
        // The thirteen default commands of camera 1.
        std::ofstream out(path("start.tl"), std::ios::binary);
        out << "<1>\r\n";
        for (int i = 0; i < 13; ++i) {
            out << "CMD" << i << "/2/a0/" << std::hex << (0x10 + i) << std::dec << "/\r\n";
        }
    }
    std::string path(const char* name) const {
        return m_folder.filePath(QString::fromLatin1(name)).toStdString();
    }
    void type(QLineEdit* field, const char* text) {
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(text));
    }

    QTemporaryDir m_folder;
    FakeChooser m_files;
    RecordingSink m_sink;
};

TEST_F(UserPtzCommandDialogTest, ACommandIsAddedEditedShortenedSavedAndReadBack) {
    UserPtzCommandDialog dialog(path("start.tl"), m_files, m_sink);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("User PTZ Command"));
    ASSERT_EQ(dialog.commandList()->count(), 13);
    EXPECT_EQ(dialog.commandList()->item(12)->text(), QStringLiteral("CMD12"));
    EXPECT_EQ(dialog.lengthBox()->count(), 32);
    EXPECT_EQ(dialog.findChildren<QLabel*>().size() >= 32, true);
    EXPECT_FALSE(dialog.nameField()->isEnabled());

    // New: the name field opens; name, four bytes and the length box make the command.
    dialog.runCommand(EditorCommand::New);
    ASSERT_TRUE(dialog.nameField()->isEnabled());
    type(dialog.nameField(), "PRESET");
    type(dialog.cell(0), "A0");
    type(dialog.cell(1), "1f");
    type(dialog.cell(2), "07");
    type(dialog.cell(3), "zz");  // not a hexadecimal digit: refused by the cell
    type(dialog.cell(3), "44");
    dialog.lengthBox()->setCurrentIndex(3);
    dialog.runCommand(EditorCommand::Add);
    ASSERT_TRUE(m_sink.messages.empty()) << m_sink.messages.front();
    ASSERT_EQ(dialog.commandList()->count(), 14);
    EXPECT_EQ(dialog.commandList()->currentRow(), 13);
    EXPECT_FALSE(dialog.nameField()->isEnabled());
    PtzCommand added = dialog.editor().entries()[13];
    EXPECT_EQ(added.name, "PRESET");
    EXPECT_EQ(added.length, 4);
    EXPECT_EQ((std::vector<uint8_t>(added.bytes.begin(), added.bytes.begin() + 4)),
              (std::vector<uint8_t>{0xA0, 0x1F, 0x07, 0x44}));
    EXPECT_EQ(dialog.cell(0)->text(), QStringLiteral("a0")) << "cells show lower-case hexadecimal";

    // Edit a byte and store it.
    type(dialog.cell(1), "ff");
    dialog.runCommand(EditorCommand::Store);
    EXPECT_EQ(dialog.editor().entries()[13].bytes[1], 0xFF);

    // Shortening the length blanks the cells past it and takes effect at once.
    dialog.lengthBox()->setCurrentIndex(1);
    EXPECT_EQ(dialog.editor().entries()[13].length, 2);
    EXPECT_TRUE(dialog.cell(2)->text().isEmpty());
    EXPECT_TRUE(dialog.cell(3)->text().isEmpty());
    EXPECT_EQ(dialog.cell(1)->text(), QStringLiteral("ff"));

    // Save into another file; it becomes the current path.
    m_files.saveAnswer = path("user_command.tl");
    dialog.runCommand(EditorCommand::SaveFile);
    EXPECT_EQ(m_files.saves, 1);
    EXPECT_EQ(dialog.filePath(), path("user_command.tl"));
    EXPECT_NE(readAll(path("user_command.tl")).find("PRESET/2/a0/ff/\r\n"), std::string::npos);

    // Read back, in a dialog opened on the saved file and through Load in the first one.
    UserPtzCommandDialog reopened(path("user_command.tl"), m_files, m_sink);
    ASSERT_EQ(reopened.commandList()->count(), 14);
    reopened.commandList()->setCurrentRow(13);
    EXPECT_EQ(reopened.cell(0)->text(), QStringLiteral("a0"));
    EXPECT_EQ(reopened.cell(1)->text(), QStringLiteral("ff"));
    EXPECT_TRUE(reopened.cell(2)->text().isEmpty());
    EXPECT_EQ(reopened.lengthBox()->currentIndex(), 1);
    const PtzCommand& back = reopened.editor().entries()[13];
    EXPECT_EQ(back.name, "PRESET");
    EXPECT_EQ((std::vector<uint8_t>(back.view().begin(), back.view().end())),
              (std::vector<uint8_t>{0xA0, 0xFF}));

    m_files.openAnswer = path("start.tl");
    dialog.runCommand(EditorCommand::LoadFile);
    EXPECT_EQ(dialog.commandList()->count(), 13);
    EXPECT_EQ(dialog.filePath(), path("start.tl"));
    EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(UserPtzCommandDialogTest, RefusalsAreShownAndOperateHandsTheSelectedCommandOn) {
    UserPtzCommandDialog dialog(path("start.tl"), m_files, m_sink);
    std::vector<PtzCommand> operated;
    dialog.setOperateHandler([&](const PtzCommand& c) { operated.push_back(c); });

    dialog.runCommand(EditorCommand::Add);      // not in new-command mode
    dialog.runCommand(EditorCommand::Operate);  // nothing selected
    dialog.commandList()->setCurrentRow(12);
    dialog.runCommand(EditorCommand::Delete);  // a default command
    dialog.runCommand(EditorCommand::New);
    type(dialog.cell(0), "01");
    dialog.runCommand(EditorCommand::SaveFile);  // a new command's bytes without a name
    EXPECT_EQ(m_files.saves, 0) << "the save dialog opens only after the check";
    m_files.openAnswer = path("missing.tl");
    dialog.runCommand(EditorCommand::LoadFile);
    EXPECT_EQ(m_sink.messages,
              (std::vector<std::string>{"Please Select New Pt Command.", "Please Select Pt Cmd List",
                                        "Can't Delete Default Pt Cmd",
                                        "Please Insert Command Name or Clear Command Data.",
                                        "Can not Read File : " + path("missing.tl")}));
    EXPECT_EQ(m_sink.captions.back(), "Message");
    EXPECT_EQ(dialog.commandList()->count(), 13) << "a failed load keeps the list";
    EXPECT_EQ(dialog.filePath(), path("start.tl"));

    // Operate and a double-click hand the selected command on.
    dialog.commandList()->setCurrentRow(2);
    dialog.runCommand(EditorCommand::Operate);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QRect rect = dialog.commandList()->visualItemRect(dialog.commandList()->item(2));
    QTest::mouseClick(dialog.commandList()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(dialog.commandList()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(operated.size(), 2u);
    EXPECT_EQ(operated[0].name, "CMD2");
    EXPECT_EQ(operated[1].name, "CMD2");

    // The menu holds the seven commands with their shortcuts.
    std::vector<std::string> texts;
    for (QAction* action : dialog.menu()->actions()) {
        texts.push_back((action->text() + QLatin1Char('|') + action->shortcut().toString()).toStdString());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "&New PT Commad\tCtrl+N|Ctrl+N", "&Add PT Commad\tCtrl+A|Ctrl+A",
                         "Sa&ve PT Commad\tCtrl+V|Ctrl+V", "&Delete PT Commad\tCtrl+D|Ctrl+D",
                         "&Load User PT File\tCtrl+L|Ctrl+L", "&Save User PT File\tCtrl+S|Ctrl+S",
                         "&Operate Command\tCtrl+O|Ctrl+O"}));
}

TEST_F(UserPtzCommandDialogTest, AnUnreadableFileAtOpeningIsReportedOnceTheDialogRuns) {
    UserPtzCommandDialog dialog(path("nowhere.tl"), m_files, m_sink);
    EXPECT_TRUE(m_sink.messages.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_sink.messages, std::vector<std::string>{"Can not Read File : " + path("nowhere.tl")});
    EXPECT_EQ(dialog.commandList()->count(), 0);
}

// A command file in a folder this user may not write (the installed share folder) is saved as a
// per-user copy: the save dialog starts there, in a PTZ folder made for it.
TEST_F(UserPtzCommandDialogTest, SaveOfAFileInAReadOnlyFolderGoesToThePerUserCopy) {
    const std::string shipped = path("start.tl");
    const std::string userFolder = path("user");
    {
        UserPtzCommandDialog dialog(shipped, m_files, m_sink);
        dialog.setUserFolder(userFolder, [](const std::string&) { return false; });
        dialog.runCommand(EditorCommand::SaveFile);
        EXPECT_EQ(m_files.saveStart, userFolder + "/PTZ/start.tl");
        EXPECT_TRUE(QFileInfo(QString::fromStdString(userFolder + "/PTZ")).isDir());
    }
    UserPtzCommandDialog dialog(shipped, m_files, m_sink);
    dialog.setUserFolder(userFolder, [](const std::string&) { return true; });
    dialog.runCommand(EditorCommand::SaveFile);
    EXPECT_EQ(m_files.saveStart, shipped);
}

}  // namespace
}  // namespace dvr::ptz
