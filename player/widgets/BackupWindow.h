#pragma once

#include <QImage>

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/widgets/SkinSurface.h"
#include "player/backup/BackupWindowModel.h"

class QComboBox;

namespace dvr::skin {
class SkinButton;
}

namespace dvr::player {

// The backup window: channel, frame rate and size lists and the START and STOP buttons on the backup
// skin. It only forwards: the player runs the export.
class BackupWindow : public skin::SkinSurface {
    Q_OBJECT
public:
    BackupWindow(const skin::PlayerSkinReader& skin, QWidget* parent);

    // Fills the lists for a file of channelCount channels and selects the defaults.
    void openFor(int channelCount);
    // Opens the window for a file of channelCount channels at `place` on the screen (its size kept
    // when `place` is empty).
    void showAt(const QRect& place, int channelCount);
    // Ends any export as STOP does and hides the window.
    void closeWindow();
    // The export could not start: START is usable again.
    void exportRefused();
    BackupWindowModel& model() { return m_model; }
    const BackupWindowModel& model() const { return m_model; }
    // Presses START or STOP, or chooses a list entry (list id, index), as the user would.
    void pressControl(int id);
    void choose(int listId, int index);
    // Shows the model's state in the lists and buttons.
    void applyModel();

Q_SIGNALS:
    void startRequested(dvr::player::ExportSettings settings);
    void stopRequested();

protected:
    void paintBackground(QPainter& painter) override;

private:
    BackupWindowModel m_model;
    QImage m_background;
    QComboBox* m_channels = nullptr;
    QComboBox* m_frameRates = nullptr;
    QComboBox* m_sizes = nullptr;
    skin::SkinButton* m_start = nullptr;
    skin::SkinButton* m_stop = nullptr;
};

}  // namespace dvr::player
