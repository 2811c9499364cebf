// vistrelctl ptz against the recorder simulator over loopback: the PTZ
// packets' bytes and parameters, and that each goes out between live replies.
#include "tools/dvrsim/RecorderSimulator.h"
#include "tools/vistrelctl/PtzJob.h"
#include "viewer/ptz/PtzCommandTable.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>

#include "tests/support/TempFolder.h"
#include "tests/support/Wait.h"

namespace dvr::ptz {
namespace {

namespace fs = std::filesystem;

class Simulator {
public:
    Simulator()
        : m_sim(options(), [this](const std::string& line) {
              std::lock_guard lock(m_mutex);
              m_log.push_back(line);
          }) {
        std::string error;
        EXPECT_TRUE(m_sim.listen(error)) << error;
        m_sim.start();
    }
    ~Simulator() { m_sim.stop(); }
    uint16_t port() const { return m_sim.port(); }
    std::vector<std::string> log() {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    // The log once the simulator has read every PTZ packet the job reports sent: it logs on its own
    // thread, and may still be reading the last one when the job returns.
    std::vector<std::string> logAfterPtz(const std::string& jobOut) {
        size_t sent = 0;
        for (size_t at = jobOut.find("\"hex\""); at != std::string::npos; at = jobOut.find("\"hex\"", at + 1))
            ++sent;
        auto ptzLogged = [&] {
            const std::vector<std::string> lines = log();
            return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                return l.find("\"command\":\"0x1037\"") != std::string::npos;
            }));
        };
        EXPECT_TRUE(testsupport::waitUntil([&] { return ptzLogged() >= sent; }))
            << ptzLogged() << " of " << sent << " PTZ packets reached the recorder";
        return log();
    }

private:
    static sim::SimOptions options() {
        sim::SimOptions o;
        o.codestreamBytes = 3000;
        return o;
    }
    std::mutex m_mutex;  // guards m_log
    std::vector<std::string> m_log;
    sim::RecorderSimulator m_sim;
};

struct Logged {
    std::string command;
    std::string params;
    std::string ptz;
};

std::vector<Logged> packets(const std::vector<std::string>& log) {
    static const std::regex command("\"command\":\"([^\"]*)\"");
    static const std::regex params("\"params\":\\[([0-9,]*)\\]");
    static const std::regex ptz("\"ptz\":\"([0-9a-f]*)\"");
    std::vector<Logged> out;
    for (const std::string& line : log) {
        std::smatch m;
        if (!std::regex_search(line, m, command))
            continue;
        Logged p{m[1], {}, {}};
        if (std::regex_search(line, m, params))
            p.params = m[1];
        if (std::regex_search(line, m, ptz))
            p.ptz = m[1];
        out.push_back(p);
    }
    return out;
}

// The PTZ payloads of each turn between two live requests, in order.
std::vector<std::vector<std::string>> turns(const std::vector<Logged>& log) {
    std::vector<std::vector<std::string>> out;
    bool live = false;
    for (const Logged& p : log) {
        if (p.command == "0x1011") {
            live = true;
            out.emplace_back();
        } else if (p.command == "0x1037") {
            EXPECT_TRUE(live) << "a PTZ packet before the first live request";
            if (live)
                out.back().push_back(p.ptz);
        }
    }
    while (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

struct JobRun {
    int status;
    std::string out;
    std::string err;
};

JobRun runJob(ctl::PtzJobOptions o) {
    o.host = "127.0.0.1";
    o.json = true;
    o.timeoutSeconds = 30;
    std::ostringstream out, err;
    const int status = ctl::runPtz(o, out, err);
    return {status, out.str(), err.str()};
}

ctl::PtzJobOptions jobOptions(uint16_t port, const fs::path& home, int type, int camera, int code) {
    ctl::PtzJobOptions o;
    o.port = port;
    o.home = home.string();
    o.userDataFolder = (home / "user").string();
    o.ptzType = type;
    o.camera = camera;
    o.code = code;
    return o;
}

TEST(PtzEndToEnd, HeldMoveThenStopsEachBetweenLiveReplies) {
    Simulator sim;
    const testsupport::TempFolder scratch;
    const fs::path home = scratch.path();
    auto o = jobOptions(sim.port(), home, 1, 2, kRight);
    o.holdPictures = 4;
    const JobRun run = runJob(o);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string right = "a0 02 00 02 40 00 af 4f";
    const std::string stop = "a0 02 00 00 00 00 af 0d";
    std::string expected = "{\"sent\": [";
    for (int i = 0; i < 9; ++i)
        expected += std::string(i ? ", " : "") + "{\"code\": " + (i < 4 ? "2" : "0") + ", \"hex\": \"" +
                    (i < 4 ? right : stop) + "\"}";
    EXPECT_EQ(run.out, expected + "]}\n");

    const auto log = packets(sim.logAfterPtz(run.out));
    const auto byTurn = turns(log);
    ASSERT_EQ(byTurn.size(), 9u);
    for (size_t i = 0; i < byTurn.size(); ++i) {
        ASSERT_EQ(byTurn[i].size(), 1u) << i;
        EXPECT_EQ(byTurn[i][0], i < 4 ? "a00200024000af4f" : "a00200000000af0d");
    }
    for (const Logged& p : log) {
        if (p.command == "0x1037") {
            EXPECT_EQ(p.params, "2,8,3,0,0,0,0,0");
        }
    }
}

TEST(PtzEndToEnd, SplitDiagonalsAndFileCommandsWithTheirBaudCode) {
    Simulator sim;
    const testsupport::TempFolder scratch;
    const fs::path home = scratch.path();
    {
        const JobRun run = runJob(jobOptions(sim.port(), home, 9, 0, kLeftUp));
        ASSERT_EQ(run.status, 0) << run.err;
        sim.logAfterPtz(run.out);
    }
    auto byTurn = turns(packets(sim.log()));
    ASSERT_EQ(byTurn.size(), 8u);
    const std::vector<std::string> move = {"01f0180107ef", "01f0180207ec"};   // left, up
    const std::vector<std::string> stops = {"01f0140000e5", "01f0130000e2"};  // tilt, pan
    for (size_t i = 0; i < byTurn.size(); ++i)
        EXPECT_EQ(byTurn[i], i < 3 ? move : stops) << i;

    fs::create_directories(home / "PTZ");
    fs::create_directories(home / "ini");
    std::ofstream(home / "ini" / "opt.ini") << "[PTZ_CMD_INTERVAL]\r\nMAX_STOP_COUNT=2\r\n";
    fs::copy_file(fs::path(DVR_PTZ_SOURCE_DIR) / "pelcoD.tl", home / "PTZ" / "pelcoD.tl");
    Simulator second;
    auto o = jobOptions(second.port(), home, 7, 15, kZoomIn);
    o.baudRate = 5;
    o.holdPictures = 1;
    const JobRun run = runJob(o);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("{\"code\": 9, \"hex\": \"ff 10 00 20 00 00 30\"}"), std::string::npos) << run.out;
    const auto log = packets(second.logAfterPtz(run.out));
    byTurn = turns(log);
    ASSERT_EQ(byTurn.size(), 3u);  // one zoom, then the two stops opt.ini asks for
    EXPECT_EQ(byTurn[0], std::vector<std::string>{"ff100020000030"});
    EXPECT_EQ(byTurn[2], std::vector<std::string>{"ff100000000010"});
    for (const Logged& p : log) {
        if (p.command == "0x1037") {
            EXPECT_EQ(p.params, "2,7,5,0,0,0,0,0");
        }
    }
}

TEST(PtzEndToEnd, FailuresExitOneWithOneLine) {
    const testsupport::TempFolder scratch;
    const fs::path home = scratch.path();
    // A protocol whose command file is missing: created empty, nothing to send.
    Simulator sim;
    JobRun run = runJob(jobOptions(sim.port(), home, 8, 0, kLeft));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("ljd_dominator.tl"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(home / "PTZ" / "ljd_dominator.tl"));
    EXPECT_TRUE(sim.log().size() <= 1u);  // never connected

    // Nothing listens on a port that was just free.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const uint16_t port = ntohs(a.sin_port);
    ::close(fd);
    run = runJob(jobOptions(port, home, 1, 0, kLeft));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty());
}

}  // namespace
}  // namespace dvr::ptz
