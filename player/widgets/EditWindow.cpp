#include "player/widgets/EditWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QPainter>
#include <utility>

#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "player/edit/EditSkinKeys.h"
#include "player/view/PlayerFolders.h"
#include "player/widgets/PlayerSkinImages.h"

namespace dvr::player {

namespace {}  // namespace

EditWindow::EditWindow(Options options, EditPicture picture)
    : m_options(std::move(options)), m_model(std::move(picture)) {
    setWindowTitle(QStringLiteral("Image Edit"));
    setFocusPolicy(Qt::StrongFocus);
    const skin::PlayerSkinReader& skin = *m_options.skin;
    m_background = loadSkinImage(skin, "ZAV_EDIT", m_options.pal ? "PALSKIN" : "NTSKIN");
    setBackground(m_background);
    const QRect area = pictureArea();
    QSize size = m_background.isNull() ? QSize(area.right() + 280, area.bottom() + 16) : m_background.size();
    for (const skin::SkinButtonKeys& keys : edit::skinButtons()) {
        auto* button = new skin::SkinButton(this, false);
        skin::SkinButtonLoader::loadPlayerDialog(*button, skin, keys.section.c_str(), keys.commandId);
        const QRect rect = skinRect(keys.positionKey.c_str());
        button->place(rect);
        size = size.expandedTo(QSize(rect.right() + 1, rect.bottom() + 1));
        m_buttons[keys.commandId] = button;
        connect(button, &skin::SkinButton::command, this,
                [this](int id, skin::SkinButton*) { pressControl(id); });
    }
    setFixedSize(size);
    m_saveOkTimer.setSingleShot(true);
    m_saveOkTimer.setInterval(1000);
    connect(&m_saveOkTimer, &QTimer::timeout, this, [this] {
        m_model.hideSaveConfirmation();
        update();
    });
    m_saveProgressTimer.setInterval(250);
    connect(&m_saveProgressTimer, &QTimer::timeout, this, &EditWindow::showSaveProgress);
}

QRect EditWindow::skinRect(const char* key) const {
    return skin::toQRect(m_options.skin->readPosition(edit::kSkinPositions, key));
}

QRect EditWindow::pictureArea() const {
    // The skin gives the NTSC picture's place; a PAL still has 96 rows more (576 instead of 480), which
    // it keeps instead of being squeezed into the NTSC rows.
    QRect place = skinRect("POS_OVERLAY_TERM");
    if (m_options.pal) {
        place.setHeight(place.height() + 96);
    }
    return place;
}

QImage EditWindow::picture() const {
    const exporting::StillImage& image = m_model.image();
    if (image.empty()) {
        return {};
    }
    // B, G, R bytes per pixel, top row first: Qt's BGR888.
    return QImage(image.bgr.data(), image.width, image.height, image.width * 3, QImage::Format_BGR888).copy();
}

void EditWindow::pressControl(int id) {
    // Once CLOSE waits for the last SAVE's manifest, the window only waits: a print dialog or a filter
    // begun now would still be running when the window goes.
    if (m_closeWhenSaved) {
        return;
    }
    switch (id) {
        case edit::kSave:
            save();
            break;
        case edit::kPrint:
            print();
            break;
        case edit::kClose:
            requestClose();
            return;
        default:
            m_model.command(id);
            break;
    }
    update();
}

void EditWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close (title bar, Alt+F4) is CLOSE: the player shows itself again and
    // deletes this window.
    event->ignore();
    requestClose();
}

void EditWindow::requestClose() {
    // A SAVE whose manifest is still being made closes the window once it is written, so that its
    // outcome (a manifest that could not be written) is still shown.
    if (saving()) {
        m_closeWhenSaved = true;
        return;
    }
    Q_EMIT closed();
}

void EditWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) {
        pressControl(edit::kUndo);
    } else if (event->matches(QKeySequence::Redo) ||
               (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
        pressControl(edit::kRedo);
    } else {
        SkinSurface::keyPressEvent(event);
    }
}

EditWindow::~EditWindow() {
    // A manifest still waiting for the digest is finished first: the picture never stays without it.
    if (m_manifestWriter.joinable()) {
        m_manifestWriter.join();
    }
}

void EditWindow::save() {
    if (m_manifestWriter.joinable()) {
        // One manifest is made at a time: this picture is not written, and the user is told so.
        if (m_options.notifier) {
            m_options.notifier->showMessage(kSaveWaitsMessage, "backup");
        }
        return;
    }
    const OutputFolder folder = chooseOutputFolder(m_options.programFolder, playerUserDataFolder(), "Backup");
    const SaveTarget target{folder.path, folder.perUser};
    SaveOutcome still = m_model.writeStill(target);
    if (!still.ok || m_model.sourceDigestReady()) {
        const evidence::ManifestWrite manifest =
            still.ok ? m_model.writeManifest(still.path) : evidence::ManifestWrite{};
        saveFinished(m_model.finishSave(std::move(still), manifest, target));
        return;
    }
    // The manifest names the backup file's digest, still being worked out since the file was opened:
    // the picture is written, its manifest follows on a thread of its own when the digest is there.
    showSaveProgress();
    m_saveProgressTimer.start();
    m_manifestWriter = std::thread([this, still, target] {
        const evidence::ManifestWrite manifest = m_model.writeManifest(still.path);
        QMetaObject::invokeMethod(
            this,
            [this, still, target, manifest] {
                m_manifestWriter.join();
                m_saveProgressTimer.stop();
                saveFinished(m_model.finishSave(still, manifest, target));
                update();
                if (std::exchange(m_closeWhenSaved, false)) {
                    Q_EMIT closed();
                }
            },
            Qt::QueuedConnection);
    });
}

void EditWindow::showSaveProgress() {
    const std::optional<int> percent = m_model.sourceDigestPercent();
    m_model.showSaveProgress("SAVED, MANIFEST WAITS FOR THE BACKUP DIGEST" +
                             (percent ? " " + std::to_string(*percent) + "%" : std::string("...")));
    update();
}

void EditWindow::saveFinished(const SaveOutcome& outcome) {
    if (outcome.ok) {
        m_lastSaved = outcome.path;
        QApplication::beep();
        m_saveOkTimer.start();
    } else if (m_options.notifier) {
        m_options.notifier->showMessage(outcome.message, "backup");
    }
}

void EditWindow::print() {
    m_model.command(edit::kPrint);
    if (!m_options.printer) {
        return;
    }
    PrintFacts facts;
    facts.backupStart = m_options.backupStart;
    facts.backupEnd = m_options.backupEnd;
    facts.pictureTime = m_model.time();
    const QDateTime now = QDateTime::currentDateTime();
    facts.printTime = {now.date().year(), now.date().month(),  now.date().day(),
                       now.time().hour(), now.time().minute(), now.time().second()};
    facts.channel = m_model.channel();
    facts.width = m_model.image().width;
    facts.height = m_model.image().height;
    if (m_options.printer->print(this, facts, picture()) == PrintResult::Failed && m_options.notifier) {
        m_options.notifier->showMessage("No Printer Driver is installed", "ZAV IMAGE PRINT");
    }
}

void EditWindow::paintBackground(QPainter& painter) {
    if (m_background.isNull()) {
        painter.fillRect(rect(), QColor(161, 160, 160));
    } else {
        painter.drawImage(0, 0, m_background);
    }
    const QRect area = pictureArea();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(area.adjusted(1, 1, -1, -1), picture());

    QFont font(QString::fromLatin1(kPlayerFontFamily));
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const auto text = [&](const char* key, const std::string& value) {
        painter.drawText(skinRect(key), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(value));
    };
    text("POS_REC_DATE_TIME_TXT", "RECORD DATE/TIME");
    text("POS_REC_DATE", m_model.dateText());
    text("POS_REC_TIME", m_model.timeText());
    text("POS_IMG_SIZE_TXT", "IMAGE SIZE");
    text("POS_IMG_WIDTH", m_model.widthText());
    text("POS_IMG_HEIGHT", m_model.heightText());
    text("POS_COMMAND_TXT", "COMMAND");
    text("POS_COMMAND", m_model.commandText());
    if (!m_model.saveConfirmation().empty()) {
        const QRect okRect = skinRect("POS_SAVE_OK");
        const QString ok = painter.fontMetrics().elidedText(
            QString::fromStdString(m_model.saveConfirmation()), Qt::ElideMiddle, okRect.width());
        painter.drawText(okRect, Qt::AlignLeft | Qt::AlignVCenter, ok);
    }
}

}  // namespace dvr::player
