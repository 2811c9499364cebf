#include "viewer/playback/widgets/PlaybackWindow.h"

#include "viewer/playback/EventList.h"
#include "viewer/playback/PlaybackSkinKeys.h"
#include "viewer/playback/widgets/EventListDialog.h"

#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/DateCalendar.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "common/skin/widgets/ViewerSlider.h"

#include <QDate>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace dvr::playback {

namespace {

constexpr const char* kStatusSection = "STATUS_STRING";
// Where the logo goes on the window, and its size.
constexpr QRect kLogoRect(skinkeys::kLogoLeft, skinkeys::kLogoTop, skinkeys::kLogoWidth,
                          skinkeys::kLogoHeight);

QColor textColour() {
    return QColor(6, 181, 255);
}

QRect toQRect(const Rect& r) {
    return r.isEmpty() ? QRect() : QRect(r.left, r.top, r.width(), r.height());
}

}  // namespace

PlaybackWindow::PlaybackWindow(PlaybackController& controller, const std::string& programFolder,
                               QWidget* parent)
    : QWidget(parent),
      m_controller(controller),
      m_language(programFolder),
      m_skin(programFolder, nullptr),
      m_eventFile(skin::ProgramFolder::join(programFolder, kEventFileName)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_skin.open(skin::ProgramFolder::join(programFolder, skinkeys::kSkinFile));
    const auto at = [this](const skin::SkinKey& key) {
        return skin::toQRect(m_skin.readPosition(key.section, key.key));
    };
    const auto backgroundPath =
        m_skin.readBitmapPath(skinkeys::kBackground.section, skinkeys::kBackground.key);
    // Converted once to a format the painter draws directly, not again on every paint.
    if (backgroundPath && m_background.load(QString::fromStdString(*backgroundPath)))
        m_background = m_background.convertToFormat(
            m_background.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    resize(at(skinkeys::kWindow).size().expandedTo(QSize(64, 64)));

    m_font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    m_font.setPixelSize(12);
    m_font.setBold(true);

    m_area = at(skinkeys::kPictureArea);
    m_clockRect = at(skinkeys::kClock);
    m_startTextRect = at(skinkeys::kStartLabel);
    m_startRect = at(skinkeys::kStart);
    m_endTextRect = at(skinkeys::kEndLabel);
    m_endRect = at(skinkeys::kEnd);
    m_requestTextRect = at(skinkeys::kRequestLabel);
    m_requestRect = at(skinkeys::kRequest);
    m_recordTextRect = at(skinkeys::kRecordLabel);
    m_recordRect = at(skinkeys::kRecordPosition);
    m_playTextRect = at(skinkeys::kPlayLabel);
    m_playRect = at(skinkeys::kPlayPosition);
    m_qualityRect = at(skinkeys::kQuality);
    m_statusRect = at(skinkeys::kStatus);
    m_frameRect = at(skinkeys::kFrameRate);
    m_logo.load(QString::fromStdString(skin::ProgramFolder::join(programFolder, skinkeys::kLogoFile)));
    m_controller.layout().setArea(Rect{m_area.left(), m_area.top(), m_area.right() + 1, m_area.bottom() + 1});

    for (const skin::SkinButtonKeys& keys : skinkeys::buttons())
        makeButton(keys);
    button(command::kWheel)->enable(false);
    m_repaints.setBeforeRepaint([this] {
        if (skin::SkinButton* wheel = button(command::kWheel))
            wheel->setImage(m_controller.layout().wheelUp() ? 1 : 0);
    });

    m_slider = new skin::ViewerSlider(this);
    const auto track = m_skin.readBitmapPath(skinkeys::kSliderTrack.section, skinkeys::kSliderTrack.key);
    const auto thumb = m_skin.readBitmapPath(skinkeys::kSliderThumb.section, skinkeys::kSliderThumb.key);
    m_slider->load(QString::fromStdString(track.value_or("")), QString::fromStdString(thumb.value_or("")));
    m_slider->setRange(0, 86399);
    m_slider->setGeometry(at(skinkeys::kSlider));
    connect(m_slider, &skin::ViewerSlider::horizontalScroll, this,
            [this](int, int, skin::ViewerSlider* slider) {
                m_controller.onSliderScrolled(slider->position());
                refresh();
            });

    m_calendar = new skin::DateCalendar(this);
    m_calendar->setGeometry(at(skinkeys::kCalendar));
    connect(m_calendar, &skin::DateCalendar::dateChosen, this, [this](const QDate& date) {
        m_controller.onCalendarDate(date.year(), date.month(), date.day());
        refresh();
    });

    m_idleTimer.setInterval(kIdleWatchMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        m_controller.onIdleTick();
        refresh();
    });
    m_rangeTimer.setSingleShot(true);
    m_rangeTimer.setInterval(kRangeTimerMs);
    connect(&m_rangeTimer, &QTimer::timeout, this, [this] {
        m_controller.onRangeTimer();
        refresh();
    });
    // Once a second the pictures counted become the frame-rate text.
    m_frameTimer.setInterval(1000);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] {
        m_framesPerSecond = m_framesThisSecond;
        m_framesThisSecond = 0;
        if (m_frameRateShown)
            update(m_frameRect);
    });
    m_frameTimer.start();
    m_exporter = std::make_unique<PlaybackExporter>(
        *this, m_controller, m_area,
        [this](const QString& text, const QString& caption) { Q_EMIT messageRequested(text, caption); },
        [this](const char* section, const char* key, const char* defaultText) {
            return m_language.text(section, key, defaultText);
        });
    m_exporter->setRecordingChanged([this] { syncButtons(); });
    refresh();
}

PlaybackWindow::~PlaybackWindow() = default;

void PlaybackWindow::makeButton(const skin::SkinButtonKeys& keys) {
    auto* b = new skin::SkinButton(this);
    skin::SkinButtonLoader::loadStandard(*b, m_skin, keys.section.c_str(), keys.commandId, keys.kind);
    b->place(skin::toQRect(m_skin.readPosition(keys.positionSection, keys.positionKey)));
    connect(b, &skin::SkinButton::command, this, [this](int id, skin::SkinButton*) { onCommand(id); });
    m_buttons[keys.commandId] = b;
}

skin::SkinButton* PlaybackWindow::button(int commandId) const {
    const auto it = m_buttons.find(commandId);
    return it == m_buttons.end() ? nullptr : it->second;
}

QRect PlaybackWindow::paneRect(int channel) const {
    return toQRect(m_controller.layout().paneRect(channel));
}

void PlaybackWindow::press(int commandId) {
    onCommand(commandId);
}

void PlaybackWindow::closeAsked() {
    onCommand(command::kExit);
}

void PlaybackWindow::onCommand(int commandId) {
    const PlaybackCommandEffects effects = m_controller.onCommand(commandId);
    switch (effects.action) {
        case PlaybackAction::SaveSnapshot:
            m_exporter->saveSnapshot();
            break;
        case PlaybackAction::Print:
            m_exporter->printPicture();
            break;
        case PlaybackAction::ToggleRecording:
            m_exporter->toggleRecording();
            break;
        case PlaybackAction::ShowEventList:
            showEventList();
            break;
        case PlaybackAction::None:
            break;
    }
    if (effects.repaintPictureArea) {
        update(m_area);
        m_controller.layoutApplied();
    }
    refresh();
}

void PlaybackWindow::showEventList() {
    std::error_code ignored;
    const bool stored = std::filesystem::exists(m_eventFile, ignored);
    if (m_eventDialog || !m_controller.openEventList())
        return;
    auto* dialog = new EventListDialog(m_eventFile, m_language, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_eventDialog = dialog;
    connect(dialog, &EventListDialog::eventPicked, this, [this, dialog](quint32 timeWord) {
        m_controller.jumpTo(timeWord);
        dialog->accept();
        // The play buttons settle a moment after the play request went out.
        QTimer::singleShot(10, this, [this] { refresh(); });
    });
    connect(dialog, &QDialog::finished, this, [this] {
        m_eventDialog = nullptr;
        m_controller.closeEventList();
        refresh();
    });
    if (stored)
        dialog->reload();
    dialog->open();
}

void PlaybackWindow::eventListArrived() {
    if (m_eventDialog)
        m_eventDialog->reload();
}

void PlaybackWindow::syncButtons() {
    const PlaybackLayout& layout = m_controller.layout();
    for (int c = 0; c < kPaneCount; ++c)
        if (skin::SkinButton* b = button(command::kChannelFirst + c);
            b && b->checked() != layout.isVisible(c))
            b->setChecked(layout.isVisible(c));
    for (int k = 0; k < 5; ++k) {
        const bool checked = int(m_controller.checkedButton()) == k;
        if (skin::SkinButton* b = button(command::kPlayFirst + k); b && b->checked() != checked)
            b->setChecked(checked);
    }
    // Event list while paused only; the AVI button stays down while recording.
    if (skin::SkinButton* b = button(command::kEvent);
        b && b->isSkinEnabled() != m_controller.eventButtonEnabled())
        b->enable(m_controller.eventButtonEnabled());
    if (skin::SkinButton* b = button(command::kSaveAvi); b && b->checked() != m_exporter->recording())
        b->setChecked(m_exporter->recording());
    if (skin::SkinButton* b = button(command::kModeOne); b && b->checked() != layout.modeOneChecked())
        b->setChecked(layout.modeOneChecked());
    if (skin::SkinButton* b = button(command::kModeFour); b && b->checked() != layout.modeFourChecked())
        b->setChecked(layout.modeFourChecked());
    m_slider->setEnabled(m_controller.sliderEnabled());
    m_calendar->setEnabled(m_controller.calendarEnabled());
    const QDate date(m_controller.calendarYear(), m_controller.calendarMonth(), m_controller.calendarDay());
    if (date.isValid() && date != m_calendar->date())
        m_calendar->setDate(date);
    if (!m_slider->dragging() && m_slider->position() != m_controller.sliderValue())
        m_slider->setPosition(m_controller.sliderValue());
}

void PlaybackWindow::syncTimers() {
    if (m_controller.idleWatchRunning() != m_idleTimer.isActive()) {
        if (m_controller.idleWatchRunning())
            m_idleTimer.start();
        else
            m_idleTimer.stop();
    }
    if (m_controller.rangeTimerPending() && !m_rangeTimer.isActive())
        m_rangeTimer.start();
}

void PlaybackWindow::refresh() {
    syncButtons();
    syncTimers();
    update();
}

void PlaybackWindow::refreshLater() {
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        syncButtons();
        syncTimers();
        // The texts and the status; the panes repaint with their pictures.
        repaintChangedTexts();
    });
}

QString PlaybackWindow::text(const char* key) const {
    return QString::fromStdString(m_language.text(kStatusSection, key, key));
}

void PlaybackWindow::showPicture(int channel, const frame::FrameHeader& header,
                                 const frame::DecodedPicture& picture, const PaneDrawList& draws) {
    if (channel < 0 || channel >= kPaneCount || picture.empty())
        return;
    const int base = frame::baseChannel(channel, header.pictureFlags);
    // The decoded rows are B, G, R, X bytes: the layout of a 32-bit RGB image here.
    // The channel's buffer is reused while the picture size stays the same.
    QImage& buffer = m_buffers[size_t(base)];
    if (buffer.width() != picture.width || buffer.height() != picture.height)
        buffer = QImage(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(buffer.scanLine(y), picture.pixels.data() + size_t(y) * picture.stride(),
                    picture.stride());
    m_paneImages.pictureChanged(base);
    if (draws.count > 0) {
        ++m_framesThisSecond;
        ++m_picturesShown;
    }
    for (int i = 0; i < draws.count && m_afterPicture.count < kPaneCount; ++i)
        m_afterPicture.draws[size_t(m_afterPicture.count++)] = draws.draws[size_t(i)];
    // The picture is in its buffer: the rest waits until the session has sent its next request.
    if (!m_afterPicturePending) {
        m_afterPicturePending = true;
        QMetaObject::invokeMethod(
            this, [this] { afterPictures(); }, Qt::QueuedConnection);
    }
}

void PlaybackWindow::afterPictures() {
    m_afterPicturePending = false;
    const PaneDrawList draws = m_afterPicture;
    m_afterPicture.count = 0;
    for (int i = 0; i < draws.count; ++i)
        m_repaints.update(toQRect(draws.draws[size_t(i)].pane));
    // The wheel turns with every picture; it is drawn with the next paced repaint.
    m_repaints.schedule();
    repaintChangedTexts();
}

void PlaybackWindow::repaintChangedTexts() {
    // Each text on its own (their bounding rectangle would cover the picture area and redraw every pane),
    // and only when it changed: laying out the texts for every picture cost as much as its panes.
    const std::array<std::string, kChangingTexts> texts = {m_controller.clockText(),
                                                           m_controller.startText(),
                                                           m_controller.endText(),
                                                           m_controller.requestText(),
                                                           formatPercent(m_controller.recordPercent()),
                                                           formatPercent(m_controller.playPercent()),
                                                           m_controller.layout().formatText(),
                                                           m_controller.statusText()};
    const std::array<QRect, kChangingTexts> rects = {m_clockRect,  m_startRect, m_endRect,     m_requestRect,
                                                     m_recordRect, m_playRect,  m_qualityRect, m_statusRect};
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] != m_changingTexts[i]) {
            m_changingTexts[i] = texts[i];
            m_repaints.update(rects[i]);
        }
    }
}

void PlaybackWindow::drawPane(QPainter& painter, const PaneDraw& draw) const {
    const QImage& image = m_buffers[size_t(draw.buffer)];
    const QRect pane = toQRect(draw.pane);
    if (image.isNull() || pane.isEmpty())
        return;
    if (!draw.hasSource) {
        painter.fillRect(pane, Qt::black);
        return;
    }
    const QRect source(draw.source.x, draw.source.y, draw.source.width, draw.source.height);
    painter.drawImage(pane.topLeft(), m_paneImages.scaled(draw.channel, draw.buffer, image,
                                                          source.intersected(image.rect()), pane.size()));
}

void PlaybackWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The skin's background around the picture area, black within it: each drawn only where the region
    // asks (a paced repaint is mostly panes, which cover the black at once).
    const QRegion around = event->region() - QRegion(m_area);
    for (const QRect& r : around) {
        if (!m_background.isNull())
            painter.drawImage(r.topLeft(), m_background, r);
        else
            painter.fillRect(r, Qt::black);
    }
    for (const QRect& r : event->region() & QRegion(m_area))
        painter.fillRect(r, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const PaneDrawList panes = m_controller.layout().repaintAll();
    for (int i = 0; i < panes.count; ++i)
        if (event->region().intersects(toQRect(panes.draws[size_t(i)].pane)))
            drawPane(painter, panes.draws[size_t(i)]);
    painter.setPen(Qt::white);
    for (int c = 0; c < kPaneCount; ++c) {
        // The outline's own rectangle, one pixel out on each side of the pane (drawn only where asked).
        const QRect pane = paneRect(c);
        if (!pane.isEmpty() && event->region().intersects(pane.adjusted(-1, -1, 1, 1)))
            painter.drawRect(pane.adjusted(-1, -1, 0, 0));
    }

    painter.setFont(m_font);
    // A text outside the repainted region is not laid out at all: a picture repaints its panes and four
    // texts, and laying out the other ten cost as much as drawing a small pane.
    const QRegion& region = event->region();
    // `textOf` is asked only for a text that is drawn.
    auto field = [&](const QRect& r, const auto& textOf) {
        if (r.isEmpty() || !region.intersects(r))
            return;
        painter.fillRect(r, Qt::black);
        painter.setPen(textColour());
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, QString(textOf()));
    };
    field(m_clockRect, [&] { return QString::fromStdString(m_controller.clockText()); });
    field(m_startTextRect, [&] { return text("START TIME") + QStringLiteral("  "); });
    field(m_startRect, [&] { return QString::fromStdString(m_controller.startText()); });
    field(m_endTextRect, [&] { return text("END TIME") + QStringLiteral("  "); });
    field(m_endRect, [&] { return QString::fromStdString(m_controller.endText()); });
    field(m_requestTextRect, [&] { return text("REQUEST TIME") + QStringLiteral("  "); });
    field(m_requestRect, [&] { return QString::fromStdString(m_controller.requestText()); });
    field(m_recordTextRect, [&] { return text("R-POSITION") + QStringLiteral(" : "); });
    field(m_recordRect, [&] { return QString::fromStdString(formatPercent(m_controller.recordPercent())); });
    field(m_playTextRect, [&] { return text("P-POSITION") + QStringLiteral(" : "); });
    field(m_playRect, [&] { return QString::fromStdString(formatPercent(m_controller.playPercent())); });
    field(m_qualityRect,
          [&] { return QString::fromStdString(m_controller.layout().formatText()).trimmed(); });
    // The status text's key is its first word group; the searching text keeps its blanks.
    field(m_statusRect, [&] {
        const QString statusKey = QString::fromStdString(m_controller.statusText()).trimmed();
        return statusKey.isEmpty() ? QString() : text(statusKey.toUtf8().constData());
    });
    if (m_frameRateShown)
        field(m_frameRect,
              [&] { return QStringLiteral("%1 FPS").arg(m_framesPerSecond, 2, 10, QLatin1Char('0')); });
    if (!m_logo.isNull())
        painter.drawImage(kLogoRect, m_logo);
}

void PlaybackWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton &&
        m_controller.layout().onDoubleClick(p.x(), p.y(), m_controller.playing())) {
        update(m_area);
        m_controller.layoutApplied();
    }
    refresh();
}

void PlaybackWindow::mouseMoveEvent(QMouseEvent* event) {
    m_controller.onUserActivity();
    QWidget::mouseMoveEvent(event);
}

void PlaybackWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !m_controller.busy() && !m_fullScreen)
        Q_EMIT dragRequested();
    QWidget::mousePressEvent(event);
}

void PlaybackWindow::keyPressEvent(QKeyEvent* event) {
    m_controller.onUserActivity();
    QWidget::keyPressEvent(event);
}

void PlaybackWindow::panesCleared() {
    for (QImage& image : m_buffers)
        image = QImage();
    m_paneImages.clear();
    update(m_area);
}

void PlaybackWindow::showMessage(const link::MessageText& message) {
    Q_EMIT messageRequested(
        QString::fromStdString(m_language.text(message.section, message.key, message.defaultText)),
        QString::fromStdString(std::string(message.caption)));
}

void PlaybackWindow::pausing() {
    if (m_exporter->recording())
        m_exporter->onPause();
}

void PlaybackWindow::windowClosed() {
    if (m_exporter->recording())
        m_exporter->onPause();
    m_idleTimer.stop();
    m_rangeTimer.stop();
    hide();
    Q_EMIT closed();
}

}  // namespace dvr::playback
