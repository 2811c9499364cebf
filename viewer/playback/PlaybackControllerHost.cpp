#include "viewer/playback/PlaybackControllerHost.h"

#include <algorithm>

#include "viewer/link/RecorderSession.h"

namespace dvr::playback {

PlaybackControllerHost::PlaybackControllerHost(PlaybackController& controller) : m_controller(controller) {
    m_controller.setLayoutListener([this] { redecodeForLayout(); });
}

PlaybackControllerHost::~PlaybackControllerHost() {
    m_lifetime.reset();
    m_controller.setLayoutListener(nullptr);
}

void PlaybackControllerHost::setDecodeWorker(frame::DecodeWorker* worker, link::RecorderSession* session) {
    m_worker = worker;
    m_session = session;
}

void PlaybackControllerHost::setPlaying(bool on) {
    if (!on)
        m_controller.playingStopped();
}

void PlaybackControllerHost::connectionLost(link::DisconnectReason reason) {
    forgetDecodes();
    if (reason == link::DisconnectReason::ConnectFailed)
        m_controller.onConnectFailed();
}

void PlaybackControllerHost::recordingRange(const link::RecordingRange& range) {
    // A range reply follows every log-in: a picture of the connection before is not drawn.
    forgetDecodes();
    m_controller.setRecordingRange(range);
}

void PlaybackControllerHost::playbackPictureTime(uint32_t dateWord, uint32_t timeWord) {
    m_controller.pictureTime(dateWord, timeWord);
}

void PlaybackControllerHost::playbackPosition(uint32_t millionths) {
    m_controller.positionPercent(millionths, m_recordMillionths);
}

void PlaybackControllerHost::playbackStatus(uint32_t code) {
    m_controller.playStatus(code);
}

void PlaybackControllerHost::playbackPicture(const frame::PictureRecord& record) {
    if (m_worker != nullptr) {
        // The session inspected the header and the marker already: the controller's check comes next, as
        // it does before a decode on this thread.
        if (!acceptPicture(record.header))
            return;
        if (m_decodeOut)
            m_waiting.keep(record);  // a picture nobody asked for: only the newest one waits
        else
            submitDecode(record);
        return;
    }
    frame::PictureRecord shown = record;
    shown.options.shown = decodeSize();
    keepAndDraw(record, m_decoder.decode(shown, [this](const frame::FrameHeader& header) {
        return acceptPicture(header);
    }));
}

void PlaybackControllerHost::submitDecode(const frame::PictureRecord& record) {
    frame::PictureRecord shown = record;
    shown.options.shown = decodeSize();
    m_decodeOut = true;
    const uint64_t turn = m_decodeTurn;
    m_worker->submit(shown, m_lifetime,
                     [this, turn](frame::WorkerDecode& decode) { pictureDecoded(turn, decode); });
}

void PlaybackControllerHost::pictureDecoded(uint64_t turn, frame::WorkerDecode& decode) {
    if (turn != m_decodeTurn || !m_decodeOut)
        return;
    m_decodeOut = false;
    const frame::DecodedFrame& result = decode.frame;
    const frame::DecodedPicture& picture = decode.picture;
    const frame::ShownSize shown = decodeSize();
    if (!m_controller.isOpen() || (m_session != nullptr && !m_session->connected())) {
        // The window closed or the connection ended meanwhile: nothing is drawn, and the session sends
        // nothing for it.
        m_waiting.clear();
    } else if (result.ok() && frame::decodedTooSmall(result.header.pictureFlags, picture, shown)) {
        // The layout grew while the picture was decoded: it is decoded again at the panes' new size, and
        // the follow-up request waits for that.
        if (m_worker != nullptr) {
            submitDecode(decode.record);
            return;
        }
        frame::PictureRecord shownRecord = decode.record;
        shownRecord.options.shown = shown;
        keepAndDraw(decode.record, m_decoder.decode(shownRecord));
    } else {
        keepAndDraw(decode.record, result);
        if (m_waiting.waiting()) {
            // The picture that came meanwhile is decoded next, and the follow-up request waits for it.
            submitDecode(m_waiting.record());
            m_waiting.clear();
            return;
        }
    }
    if (m_session != nullptr)
        m_session->releasePlaybackRequest();
}

void PlaybackControllerHost::forgetDecodes() {
    ++m_decodeTurn;
    m_decodeOut = false;
    m_waiting.clear();
}

void PlaybackControllerHost::keepAndDraw(const frame::PictureRecord& record,
                                         const frame::DecodedFrame& result) {
    if (!result.ok() || result.channel < 0 || result.channel >= kPaneCount)
        return;
    const int reduction = result.picture->reduction;
    KeptRecord& kept = m_kept[size_t(frame::baseChannel(result.channel, result.header.pictureFlags))];
    kept.bytes.assign(record.bytes.begin(), record.bytes.end());
    kept.header = record.header;
    kept.options = record.options;
    kept.options.shown = {};
    kept.channel = result.channel;
    kept.reduction = reduction;
    kept.fullWidth = reduction > 0 ? result.picture->fullWidth : result.picture->width;
    kept.fullHeight = reduction > 0 ? result.picture->fullHeight : result.picture->height;
    kept.order = ++m_keptOrder;
    const PaneDrawList draws = m_controller.pictureArrived(result.channel, result.header, reduction);
    pictureDrawn(result.channel, result.header, *result.picture, draws);
}

void PlaybackControllerHost::redecodeForLayout() {
    const PlaybackLayout& layout = m_controller.layout();
    const frame::ShownSize shown = layout.shownSize();
    std::array<int, kPaneCount> buffers{};
    int count = 0;
    for (int buffer = 0; buffer < kPaneCount; ++buffer) {
        const KeptRecord& kept = m_kept[size_t(buffer)];
        if (kept.bytes.empty() || kept.reduction == 0 || !layout.bufferShown(buffer))
            continue;
        const int needed =
            frame::reductionFor(kept.header.pictureFlags, kept.fullWidth, kept.fullHeight, shown);
        if (needed < kept.reduction)
            buffers[size_t(count++)] = buffer;
    }
    // In arrival order, as the pictures came.
    std::sort(buffers.begin(), buffers.begin() + count,
              [this](int a, int b) { return m_kept[size_t(a)].order < m_kept[size_t(b)].order; });
    for (int i = 0; i < count; ++i) {
        const int buffer = buffers[size_t(i)];
        KeptRecord& kept = m_kept[size_t(buffer)];
        frame::PictureRecord record{kept.bytes, kept.header, kept.options};
        record.options.shown = shown;
        const frame::DecodedFrame result = m_decoder.decode(record);
        // The same picture again: it must name the channel it was stored for.
        if (!result.ok() || result.channel != kept.channel)
            continue;
        kept.reduction = result.picture->reduction;
        const PaneDrawList draws = m_controller.layout().bufferRedecoded(buffer, kept.reduction);
        pictureDrawn(result.channel, result.header, *result.picture, draws);
    }
}

}  // namespace dvr::playback
