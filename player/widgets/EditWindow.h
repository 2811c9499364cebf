#pragma once

#include <QImage>
#include <QTimer>
#include <map>
#include <string>
#include <thread>

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/widgets/SkinSurface.h"
#include "player/edit/EditWindowModel.h"
#include "player/widgets/StillPrinter.h"

namespace dvr::skin {
class SkinButton;
}

namespace dvr::player {

// Shown when SAVE is pressed while the last SAVE's manifest still waits for the backup file's digest.
inline constexpr const char* kSaveWaitsMessage =
    "Can not save yet: the last saved picture's manifest waits for the backup digest. Press SAVE again "
    "when it is done.";

// The image edit window: the still picture taken from the player, its filter, undo and redo, save,
// print and close commands on the edit skin, and the texts beside the picture.
class EditWindow : public skin::SkinSurface {
    Q_OBJECT
public:
    struct Options {
        const skin::PlayerSkinReader* skin = nullptr;
        bool pal = false;
        std::string programFolder;
        skin::SkinNotifier* notifier = nullptr;
        StillPrinter* printer = nullptr;
        // The backup file's first and last recording, for the printed page.
        DateTime backupStart;
        DateTime backupEnd;
    };

    EditWindow(Options options, EditPicture picture);
    ~EditWindow() override;

    const EditWindowModel& model() const { return m_model; }
    // Presses a command as the user would.
    void pressControl(int id);
    // The path of the last file SAVE wrote (empty when none).
    const std::string& lastSaved() const { return m_lastSaved; }
    // A SAVE whose manifest still waits for the backup file's digest.
    bool saving() const { return m_manifestWriter.joinable(); }

Q_SIGNALS:
    // CLOSE was pressed (or the window manager closed the window), once the manifest of a SAVE still being
    // made is written: the player shows itself again and deletes this window.
    void closed();

protected:
    void paintBackground(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QRect skinRect(const char* key) const;
    // Where the still is drawn: the skin's picture place, 96 rows taller for PAL.
    QRect pictureArea() const;
    QImage picture() const;
    void save();
    // CLOSE: now, or once the manifest being made is written.
    void requestClose();
    void saveFinished(const SaveOutcome& outcome);
    void showSaveProgress();
    void print();

    Options m_options;
    EditWindowModel m_model;
    QImage m_background;
    std::map<int, skin::SkinButton*> m_buttons;
    QTimer m_saveOkTimer;
    std::string m_lastSaved;
    // Writes a saved picture's manifest once the backup file's digest is there; the timer shows how far
    // the digest has come meanwhile.
    std::thread m_manifestWriter;
    QTimer m_saveProgressTimer;
    bool m_closeWhenSaved = false;
};

}  // namespace dvr::player
