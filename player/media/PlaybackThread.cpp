#include "player/media/PlaybackThread.h"

#include "player/media/ByteSource.h"
#include "player/media/PlaybackReader.h"

namespace dvr::media {

PlaybackThread::PlaybackThread(PlaybackShared& shared, PlaybackSink& sink, PlaybackRules& rules,
                               PlaybackClock& clock)
    : m_shared(shared), m_sink(sink), m_rules(rules), m_clock(clock) {}

PlaybackThread::~PlaybackThread() {
    stop();
}

void PlaybackThread::start(const Params& params) {
    stop();
    m_ended.store(false);
    // The thread starts in mode 5; the window sees it from now on, not only once the thread runs.
    m_shared.setMode(PlayMode::GoToStart);
    m_shared.runFlag.store(1);
    m_thread = std::thread([this, params] { run(params); });
}

void PlaybackThread::stop() {
    m_shared.runFlag.store(0);
    if (m_thread.joinable())
        m_thread.join();
}

void PlaybackThread::run(Params params) {
    PlaybackReader reader(m_shared, m_sink, m_rules, m_clock);
    auto source = FileByteSource::open(params.path);
    if (!source) {
        m_sink.showMessage("Can not read ZAV file. ");
        m_shared.setMode(PlayMode::Pause);
        m_ended.store(true);
        return;
    }
    reader.start(std::move(source), params.endOffset);
    while (m_shared.runFlag.load() != 0) {
        if (!reader.step())
            break;
    }
    reader.finish();
    m_ended.store(true);
}

}  // namespace dvr::media
