#pragma once

#include <QObject>
#include <QTimer>

#include <array>

#include "viewer/live/LiveController.h"

namespace dvr::live {

// The view's timers as Qt timers on the user-interface thread.
class QtLiveTimers : public LiveTimers {
public:
    explicit QtLiveTimers(QObject* owner) {
        for (size_t i = 0; i < m_timers.size(); ++i) {
            m_timers[i] = new QTimer(owner);
        }
    }
    // Expiries go to `controller` from now on.
    void connectTo(LiveController& controller) {
        for (size_t i = 0; i < m_timers.size(); ++i) {
            QObject::connect(m_timers[i], &QTimer::timeout, m_timers[i],
                             [&controller, i] { controller.onTimer(LiveTimer(i)); });
        }
    }
    void start(LiveTimer timer, int periodMs) override { m_timers[size_t(timer)]->start(periodMs); }
    void stop(LiveTimer timer) override { m_timers[size_t(timer)]->stop(); }

private:
    std::array<QTimer*, 4> m_timers{};
};

}  // namespace dvr::live
