#include "player/backup/BackupWindowModel.h"

namespace dvr::player {

namespace {

std::vector<std::string> numbers(int count) {
    std::vector<std::string> items;
    for (int i = 1; i <= count; ++i) {
        items.push_back(std::to_string(i));
    }
    return items;
}

}  // namespace

void BackupWindowModel::open(int channelCount) {
    m_open = true;
    m_exporting = false;
    m_channelCount = channelCount;
    const bool known = channelCount == 4 || channelCount == 8 || channelCount == 16;
    m_channelItems = numbers(known ? channelCount : 1);
    m_channelIndex = 0;
    m_frameRateIndex = 9;
    m_sizeIndex = 0;
}

const std::vector<std::string>& BackupWindowModel::frameRateItems() {
    static const std::vector<std::string> items = numbers(60);
    return items;
}

const std::vector<std::string>& BackupWindowModel::sizeItems() {
    static const std::vector<std::string> items = {"360 * 240", "720 * 480"};
    return items;
}

void BackupWindowModel::selectChannel(int index) {
    if (!m_exporting && index >= 0 && index < int(m_channelItems.size())) {
        m_channelIndex = index;
    }
}

void BackupWindowModel::selectFrameRate(int index) {
    if (!m_exporting && index >= 0 && index < int(frameRateItems().size())) {
        m_frameRateIndex = index;
    }
}

void BackupWindowModel::selectSize(int index) {
    if (!m_exporting && index >= 0 && index < int(sizeItems().size())) {
        m_sizeIndex = index;
    }
}

ExportSettings BackupWindowModel::settings() const {
    ExportSettings settings;
    settings.channelCount = m_channelCount;
    settings.framesPerSecond = m_frameRateIndex + 1;
    settings.channel = m_channelIndex;
    settings.width = m_sizeIndex == 1 ? 720 : 360;
    settings.height = m_sizeIndex == 1 ? 480 : 240;
    return settings;
}

ExportSettings BackupWindowModel::start() {
    m_exporting = true;
    return settings();
}

bool BackupWindowModel::stop() {
    const bool was = m_exporting;
    m_exporting = false;
    return was;
}

}  // namespace dvr::player
