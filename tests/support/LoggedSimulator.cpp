#include "tests/support/LoggedSimulator.h"

#include <gtest/gtest.h>

#include <utility>

namespace dvr::testsupport {

LoggedSimulator::LoggedSimulator(sim::SimOptions options, Records records)
    : m_sim(std::move(options), [this](const std::string& line) {
          std::lock_guard lock(m_mutex);
          m_log.push_back(line);
      }) {
    if (records == Records::Prewarmed) {
        m_sim.records().prewarm();
    }
    std::string error;
    m_listening = m_sim.listen(error);
    EXPECT_TRUE(m_listening) << error;
    if (m_listening) {
        m_sim.start();
    }
}

LoggedSimulator::~LoggedSimulator() {
    m_sim.stop();
}

void LoggedSimulator::stop() {
    m_sim.stop();
}

std::vector<std::string> LoggedSimulator::log() {
    std::lock_guard lock(m_mutex);
    return m_log;
}

size_t LoggedSimulator::countLogged(std::string_view text) {
    std::lock_guard lock(m_mutex);
    size_t n = 0;
    for (const std::string& line : m_log) {
        n += line.find(text) != std::string::npos;
    }
    return n;
}

std::vector<std::string> LoggedSimulator::packets(std::string_view command) {
    const std::string needle = "\"command\":\"" + std::string(command) + "\"";
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const std::string& line : m_log) {
        if (line.find(needle) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace dvr::testsupport
