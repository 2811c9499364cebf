#include "viewer/playback/PlaybackSessionHost.h"

namespace dvr::playback {

void PlaybackSessionHost::setPlaying(bool on) {
    if (!on)
        m_controller.playingStopped();
}

void PlaybackSessionHost::connectionLost(link::DisconnectReason reason) {
    if (reason == link::DisconnectReason::ConnectFailed)
        m_controller.onConnectFailed();
}

void PlaybackSessionHost::recordingRange(const link::RecordingRange& range) {
    m_controller.setRecordingRange(range);
}

void PlaybackSessionHost::playbackPictureTime(uint32_t dateWord, uint32_t timeWord) {
    m_controller.pictureTime(dateWord, timeWord);
}

void PlaybackSessionHost::playbackPosition(uint32_t millionths) {
    m_controller.positionPercent(millionths, m_recordMillionths);
}

void PlaybackSessionHost::playbackStatus(uint32_t code) {
    m_controller.playStatus(code);
}

void PlaybackSessionHost::playbackPicture(const frame::PictureRecord& record) {
    const frame::DecodedFrame result =
        m_decoder.decode(record, [this](const frame::FrameHeader& header) { return acceptPicture(header); });
    if (!result.ok())
        return;
    const PaneDrawList draws = m_controller.pictureArrived(result.channel, result.header);
    pictureDrawn(result.channel, result.header, *result.picture, draws);
}

}  // namespace dvr::playback
