// The live window's SETUP button against the recorder simulator over loopback, on the offscreen platform:
// the real setup dialog is driven through its widgets; after OK the next connection goes to the new
// recorder, and full screen and the network speed follow the new settings; Cancel changes nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "common/skin/widgets/SkinButton.h"
#include "tests/viewer/live/WindowTestSupport.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/ptz/widgets/UserPtzCommandDialog.h"
#include "viewer/setup/widgets/SetupDialog.h"

namespace dvr::live {
namespace {

using windowtest::waitFor;

constexpr uint16_t kClosedPort = 1;  // nothing listens there on loopback

// Runs `drive` on the first modal widget of type T that shows up (inside the dialog's own event loop).
template <typename T>
void whenModal(std::function<void(T&)> drive) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, drive] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            drive(*dialog);
        }
    });
    poll->start(10);
}

template <typename T>
T& child(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QLatin1String(name));
    if (widget == nullptr) {
        ADD_FAILURE() << "no widget " << name;
        std::abort();
    }
    return *widget;
}

// Picks an item of a list as the user would.
void choose(QComboBox& box, int item) {
    box.setCurrentIndex(item);
    Q_EMIT box.activated(item);
}

class SetupWindow : public windowtest::SimulatorWindowTest<> {
protected:
    void SetUp() override {
        sim::SimOptions options;
        options.pictures = sim::PictureMix::Full;
        ASSERT_NO_FATAL_FAILURE(startRecorder(options, Records::OnDemand));

        // The run starts on a loopback port nothing listens on, given on the command line and stored.
        ViewOptions view = viewOptions(kClosedPort);
        view.timers = &m_timers;
        view.clock = &m_clock;
        makeFrame(std::move(view));
        config::ViewerSettings& settings = m_frame->view()->settingsStore().settings();
        settings.recorderAddress = "127.0.0.1";
        settings.recorderPort = kClosedPort;
        settings.fullScreen = 0;
        m_frame->show();
    }

    // Presses SETUP; `drive` fills the dialog and closes it.
    void pressSetup(std::function<void(setup::SetupDialog&)> drive) {
        whenModal<setup::SetupDialog>(std::move(drive));
        skin::SkinButton* button = view().button(command::kSetting);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    // The new port on IP/PORT, full screen on PTZ/SAVE and speed 7 for sixteen panes.
    void fillNewSettings(setup::SetupDialog& dialog) {
        child<QLineEdit>(dialog, "port").setText(QString::number(m_recorder->port()));
        auto& pages = child<QTabWidget>(dialog, "pages");
        pages.setCurrentIndex(2);
        child<QCheckBox>(dialog, "fullScreen").setChecked(true);
        pages.setCurrentIndex(3);
        choose(child<QComboBox>(dialog, "division16"), 6);
    }
};

TEST_F(SetupWindow, OkConnectsToTheNewRecorderAndAppliesFullScreenAndSpeed) {
    bool shown = false;
    pressSetup([&](setup::SetupDialog& dialog) {
        shown = true;
        fillNewSettings(dialog);
        QTest::mouseClick(&child<QPushButton>(dialog, "ok"), Qt::LeftButton);
    });
    ASSERT_TRUE(shown);
    EXPECT_TRUE(m_notifier.messages().empty());
    EXPECT_EQ(view().settingsStore().settings().recorderPort, m_recorder->port());
    EXPECT_TRUE(m_frame->fullScreenShown());
    EXPECT_EQ(view().controller().networkSpeed(), 7);

    // The port given for this run gave way to the one just set.
    view().pressConnect();
    ASSERT_TRUE(waitFor([this] { return view().connectionState() == link::ConnectionState::Established; }));
    ASSERT_TRUE(waitFor([this] { return view().picturesShown() > 0; }));
    EXPECT_EQ(view().session()->live().requestSpeed(), 7);
}

TEST_F(SetupWindow, CancelKeepsTheRecorderAndTheDisplay) {
    pressSetup([&](setup::SetupDialog& dialog) {
        fillNewSettings(dialog);
        QTest::mouseClick(&child<QPushButton>(dialog, "cancel"), Qt::LeftButton);
    });
    EXPECT_EQ(view().settingsStore().settings().recorderPort, kClosedPort);
    EXPECT_FALSE(m_frame->fullScreenShown());
    EXPECT_NE(view().controller().networkSpeed(), 7);
    view().pressConnect();
    ASSERT_TRUE(waitFor([this] { return view().connectionState() != link::ConnectionState::Connecting; }));
    EXPECT_NE(view().connectionState(), link::ConnectionState::Established);
}

// The PTZ/SAVE page opens the command editor on the live window's command file; the file it leaves
// current becomes the live window's.
// The PTZ type and baud rate reach sending while the dialog is still open (the command editor's Operate
// sends with them).
TEST_F(SetupWindow, PtzTypeAndBaudRateActWhileTheDialogIsOpen) {
    int typeSeen = -1;
    uint32_t rateSeen = 0;
    pressSetup([&](setup::SetupDialog& dialog) {
        child<QTabWidget>(dialog, "pages").setCurrentIndex(2);
        choose(child<QComboBox>(dialog, "ptzType"), 9);
        choose(child<QComboBox>(dialog, "baudRate"), 5);
        typeSeen = view().controller().ptz().settings().ptzType;
        rateSeen = view().controller().ptz().settings().baudRateCode;
        dialog.reject();
    });
    EXPECT_EQ(typeSeen, 9);
    EXPECT_EQ(rateSeen, 5u);
    EXPECT_EQ(view().controller().ptz().settings().baudRateCode, 5u);
}

TEST_F(SetupWindow, PtzPageOpensTheCommandEditorOnTheCurrentFile) {
    const std::string file = m_home->filePath(QStringLiteral("cams.tl")).toStdString();
    {
        QFile out(QString::fromStdString(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("UP/2/a0/1f/\r\n");
    }
    view().controller().setPtzCommandFilePath(file);
    std::string opened;
    std::string firstName;
    pressSetup([&](setup::SetupDialog& dialog) {
        child<QTabWidget>(dialog, "pages").setCurrentIndex(2);
        whenModal<ptz::UserPtzCommandDialog>([&](ptz::UserPtzCommandDialog& editor) {
            opened = editor.filePath();
            if (!editor.editor().entries().empty()) {
                firstName = editor.editor().entries().front().name;
            }
            editor.reject();
        });
        QTest::mouseClick(&child<QPushButton>(dialog, "userPtzCommand"), Qt::LeftButton);
        dialog.reject();
    });
    EXPECT_EQ(opened, file);
    EXPECT_EQ(firstName, "UP");
    EXPECT_EQ(view().controller().ptzCommandFilePath(), file);
}

}  // namespace
}  // namespace dvr::live
