#pragma once

#include <string>
#include <vector>

#include "player/view/ExportControl.h"

namespace dvr::player {

// Control ids of the backup window.
namespace backup {
inline constexpr int kChannelList = 1040;
inline constexpr int kFrameRateList = 1041;
inline constexpr int kSizeList = 1042;
inline constexpr int kStart = 1039;
inline constexpr int kStop = 1043;
}  // namespace backup

// The backup window apart from pixels: its three lists, their choices and the start and stop buttons.
class BackupWindowModel {
public:
    // Shows the window for a file of channelCount channels: stopped, channel 1, 10 frames per second,
    // 360 x 240.
    void open(int channelCount);
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }

    // "1" to "n" for 4, 8 or 16 channels; a single "1" for any other count.
    const std::vector<std::string>& channelItems() const { return m_channelItems; }
    // "1" to "60".
    static const std::vector<std::string>& frameRateItems();
    // "360 * 240", "720 * 480".
    static const std::vector<std::string>& sizeItems();

    // Choices by list index; out-of-range indexes are ignored. Ignored while exporting.
    void selectChannel(int index);
    void selectFrameRate(int index);
    void selectSize(int index);
    int channelIndex() const { return m_channelIndex; }
    int frameRateIndex() const { return m_frameRateIndex; }
    int sizeIndex() const { return m_sizeIndex; }

    // The settings of the current choices.
    ExportSettings settings() const;

    // START: marks the window exporting (start disabled, stop enabled, lists disabled).
    ExportSettings start();
    // STOP: back to stopped. False when no export was running.
    bool stop();

    bool exporting() const { return m_exporting; }
    bool startEnabled() const { return m_open && !m_exporting; }
    bool stopEnabled() const { return m_open && m_exporting; }
    bool listsEnabled() const { return m_open && !m_exporting; }

private:
    bool m_open = false;
    bool m_exporting = false;
    int m_channelCount = 0;
    std::vector<std::string> m_channelItems;
    int m_channelIndex = 0;
    int m_frameRateIndex = 9;
    int m_sizeIndex = 0;
};

}  // namespace dvr::player
