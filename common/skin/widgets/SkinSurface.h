#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace dvr::skin {

class SkinButton;

// A widget that paints a background bitmap and, over it, the images of the
// skin buttons that use it as their foreign drawing surface. The buttons stay
// transparent input areas above it.
class SkinSurface : public QWidget {
    Q_OBJECT
public:
    explicit SkinSurface(QWidget* parent = nullptr);
    // Buttons drawn here go back to painting themselves, so none keeps a pointer to a destroyed surface.
    ~SkinSurface() override;

    void setBackground(const QImage& image);
    const QImage& background() const { return m_background; }

    void attach(SkinButton* button);
    void detach(SkinButton* button);
    // Repaints the area of button on this surface.
    void updateButton(const SkinButton* button);
    // Paints every attached button's current image.
    void paintButtons(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Draws what lies under the buttons; default: the background at (0, 0).
    virtual void paintBackground(QPainter& painter);

private:
    QRect areaOf(const SkinButton* button) const;

    QImage m_background;
    QList<QPointer<SkinButton>> m_buttons;
};

}  // namespace dvr::skin
