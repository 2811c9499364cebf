// Waiting on state in a Qt test: the event loop runs until the state holds or the time is up.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

#include "tests/support/Wait.h"

namespace dvr::testsupport {

// Runs the event loop in slices of at most `sliceMs` until `done` holds; false when `timeoutMs` passed
// first.
inline bool runEventsUntil(const std::function<bool()>& done, int timeoutMs = kStateWaitMs,
                           int sliceMs = 20) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
    }
    return true;
}

}  // namespace dvr::testsupport
