// The decode worker's way back to a window's thread: each task becomes a queued call on a
// context object of that thread (calls to one object run in the order they were posted; none runs once the
// object is gone).
#pragma once

#include <QObject>

#include <functional>

#include "common/frame/DecodeWorker.h"

namespace dvr::skin {

class QtTaskPoster final : public frame::TaskPoster {
public:
    explicit QtTaskPoster(QObject& context) : m_context(context) {}

    void post(std::function<void()> task) override {
        QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
    }

private:
    QObject& m_context;
};

}  // namespace dvr::skin
