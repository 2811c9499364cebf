#pragma once

#include <QSize>

class QGraphicsScene;
class QGraphicsView;
class QWidget;

namespace dvr::skin {

// Shows a skinned window full screen without changing the screen's resolution: the window goes into a
// scene drawn scaled up uniformly to the largest size that fits its host, centred on black, so that
// clicks reach it at the scaled places too. The host is the top-level window that holds it.
class ScaledSkinHost {
public:
    ScaledSkinHost(QWidget& host, QWidget& content, QSize skinSize)
        : m_host(host), m_content(content), m_skinSize(skinSize) {}
    ScaledSkinHost(const ScaledSkinHost&) = delete;
    ScaledSkinHost& operator=(const ScaledSkinHost&) = delete;

    bool scaled() const { return m_view != nullptr; }
    // Moves the content into the scaled scene, or back into the host at the top-left corner.
    void setScaled(bool on);
    // Fits the scaled scene to the host's size again (after the host was resized).
    void fit();

private:
    QWidget& m_host;
    QWidget& m_content;
    QSize m_skinSize;
    QGraphicsScene* m_scene = nullptr;  // scaled: the scene holding the content (owned by the host)
    QGraphicsView* m_view = nullptr;    // scaled: shows the scene scaled (owned by the host)
};

}  // namespace dvr::skin
