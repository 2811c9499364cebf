// The recorder simulator as the loopback tests run it: on its own thread, on a port the system picks,
// with every line it logs kept for the test to read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/dvrsim/RecorderSimulator.h"

namespace dvr::testsupport {

class LoggedSimulator {
public:
    // Whether every picture the options can ask for is synthesised before the first connection.
    enum class Records { OnDemand, Prewarmed };

    // Listens and starts serving; a failed listen is a test failure (and listening() is false).
    explicit LoggedSimulator(sim::SimOptions options, Records records = Records::OnDemand);
    // Stops the simulator.
    ~LoggedSimulator();
    LoggedSimulator(const LoggedSimulator&) = delete;
    LoggedSimulator& operator=(const LoggedSimulator&) = delete;

    bool listening() const { return m_listening; }
    uint16_t port() const { return m_sim.port(); }
    // Ends the simulator's thread; its log stays readable.
    void stop();

    // Every line logged so far, in order (the simulator logs on its own thread).
    std::vector<std::string> log();
    // Lines logged so far that hold `text`.
    size_t countLogged(std::string_view text);
    // The packets of one command ("0x1011") the recorder received, one JSON line each, in order.
    std::vector<std::string> packets(std::string_view command);

private:
    std::mutex m_mutex;  // guards m_log
    std::vector<std::string> m_log;
    sim::RecorderSimulator m_sim;
    bool m_listening = false;
};

}  // namespace dvr::testsupport
