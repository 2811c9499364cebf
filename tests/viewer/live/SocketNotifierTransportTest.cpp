// The recorder session over the window's socket adapter and event loop,
// against the simulator on loopback. Every wait is bounded and ends on state.
#include "tests/support/LoggedSimulator.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionDriver.h"
#include "viewer/live/widgets/SocketNotifierTransport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dvr::live {
namespace {

class Host : public link::LiveHost {
public:
    void setConnectionState(link::ConnectionState state) override { states.push_back(state); }
    void runViewDisconnect(link::DisconnectReason reason) override {
        reasons.push_back(reason);
        if (session != nullptr) {
            session->disconnect();
        }
    }
    void afterLivePicture() override { ++pictures; }

    link::RecorderSession* session = nullptr;
    std::vector<link::ConnectionState> states;
    std::vector<link::DisconnectReason> reasons;
    int pictures = 0;
};

// A session over the adapter, as the view holds one.
struct Viewer {
    Viewer() {
        transport.setDriver(&driver);
        host.session = &session;
    }
    ~Viewer() {
        session.disconnect();
        transport.setDriver(nullptr);
    }
    // Runs the event loop until done() holds or the time is up.
    bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        return true;
    }

    SocketNotifierTransport transport;
    Host host;
    link::RecorderSession session{host};
    link::SteadyClock clock;
    link::SessionDriver driver{session, transport, clock};
};

using testsupport::LoggedSimulator;

sim::SimOptions smallPictures() {
    sim::SimOptions o;
    o.codestreamBytes = 6000;
    return o;
}

TEST(SocketNotifierTransport, HostNamesResolveWithoutBlocking) {
    LoggedSimulator simulator(smallPictures());
    {
        // "localhost" may name ::1 first while the simulator listens on 127.0.0.1: each address is tried.
        Viewer viewer;
        ASSERT_TRUE(viewer.driver.connect("localhost", simulator.port()));
        ASSERT_TRUE(viewer.runUntil([&] { return viewer.host.pictures >= 2; }));
        EXPECT_EQ(viewer.host.states.front(), link::ConnectionState::Established);
        EXPECT_TRUE(viewer.host.reasons.empty());
    }
    {
        // The connect call returns before the name is looked up; the failure comes as a failed connect.
        Viewer viewer;
        ASSERT_TRUE(viewer.driver.connect("no-such-recorder.invalid", simulator.port()));
        EXPECT_TRUE(viewer.session.connectPending());
        ASSERT_TRUE(viewer.runUntil([&] { return !viewer.host.reasons.empty(); }));
        EXPECT_EQ(viewer.host.reasons,
                  std::vector<link::DisconnectReason>{link::DisconnectReason::ConnectFailed});
        EXPECT_TRUE(viewer.host.states.empty());
        EXPECT_FALSE(viewer.session.hasSocket());
    }
    {
        // A lookup given up by a disconnect reports nothing afterwards.
        Viewer viewer;
        ASSERT_TRUE(viewer.driver.connect("no-such-recorder.invalid", simulator.port()));
        viewer.session.disconnect();
        EXPECT_FALSE(viewer.session.hasSocket());
        ASSERT_TRUE(viewer.driver.connect("127.0.0.1", simulator.port()));
        ASSERT_TRUE(viewer.runUntil([&] { return viewer.host.pictures >= 1; }));
        EXPECT_TRUE(viewer.host.reasons.empty());
    }
}

TEST(SocketNotifierTransport, QueuedBytesGoOutWhenWritableAndADeafRecorderIsDropped) {
    std::vector<uint8_t> ptz(1000);
    for (size_t i = 0; i < ptz.size(); ++i) {
        ptz[i] = static_cast<uint8_t>(i * 3);
    }
    {
        // A reading recorder: what waits goes out through the write notifier, every packet whole.
        LoggedSimulator simulator(smallPictures());
        Viewer viewer;
        ASSERT_TRUE(viewer.driver.connect("127.0.0.1", simulator.port()));
        ASSERT_TRUE(viewer.runUntil([&] { return viewer.host.pictures >= 1; }));
        int sends = 0;
        while (!viewer.session.wantsWrite() && sends < 200000 && viewer.session.hasSocket()) {
            ASSERT_TRUE(viewer.session.sendPtz(ptz, 3));
            ++sends;
        }
        ASSERT_TRUE(viewer.session.wantsWrite());
        ASSERT_TRUE(viewer.runUntil([&] { return !viewer.session.wantsWrite(); }));
        ASSERT_TRUE(viewer.runUntil(
            [&] { return simulator.countLogged(R"("command":"0x1037")") >= static_cast<size_t>(sends); }));
        EXPECT_EQ(simulator.countLogged(R"("event":"torn")"), 0u);
        EXPECT_TRUE(viewer.host.reasons.empty());
    }
    {
        // A recorder that stops reading: the queue gives up beyond its bound and the view disconnects.
        sim::SimOptions o = smallPictures();
        o.stopReadingAfter = 3;
        LoggedSimulator simulator(o);
        Viewer viewer;
        ASSERT_TRUE(viewer.driver.connect("127.0.0.1", simulator.port()));
        ASSERT_TRUE(viewer.runUntil([&] { return viewer.host.pictures >= 1; }));
        for (int i = 0; i < 200000 && viewer.session.hasSocket(); ++i) {
            viewer.session.sendPtz(ptz, 3);
        }
        EXPECT_EQ(viewer.host.reasons,
                  std::vector<link::DisconnectReason>{link::DisconnectReason::SendOverflow});
        simulator.stop();
        EXPECT_EQ(simulator.countLogged(R"("event":"torn")"), 0u);
    }
}

TEST(SocketNotifierTransport, ARecorderClosingIsSeenAtOnce) {
    sim::SimOptions o = smallPictures();
    o.closeAfter = 2;
    LoggedSimulator simulator(o);
    Viewer viewer;
    ASSERT_TRUE(viewer.driver.connect("127.0.0.1", simulator.port()));
    ASSERT_TRUE(viewer.runUntil([&] { return !viewer.host.reasons.empty(); }));
    EXPECT_EQ(viewer.host.reasons, std::vector<link::DisconnectReason>{link::DisconnectReason::PeerClosed});
    EXPECT_EQ(viewer.host.pictures, 2);
    EXPECT_FALSE(viewer.session.hasSocket());
}

}  // namespace
}  // namespace dvr::live
